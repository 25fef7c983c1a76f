#include "app/login_start.h"

#include "app/commands.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

namespace auralith::app {

namespace {

constexpr const char* kEntryName = "auralith.desktop";
constexpr const char* kStarterName = "auralith-login";

QString RunningProgram() { return QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget(); }

}  // namespace

QString AutostartFolder() {
  QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
  // A relative value is invalid and ignored, as the base directory rules say.
  if (!config.startsWith(u'/')) config = QDir::homePath() + QStringLiteral("/.config");
  return QDir::cleanPath(config + QStringLiteral("/autostart"));
}

QString AutostartEntryPath() { return AutostartFolder() + u'/' + QString::fromLatin1(kEntryName); }

QString ExecArgument(const QString& argument) {
  static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9/._+:-]+$"));
  if (plain.match(argument).hasMatch()) return argument;
  QString quoted;
  for (const QChar c : argument) {
    if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') quoted += u'\\';
    quoted += c;
  }
  quoted.replace(u'\\', QStringLiteral("\\\\"));
  // A literal % would start a field code.
  quoted.replace(u'%', QStringLiteral("%%"));
  return u'"' + quoted + u'"';
}

QString LoginCommandLine(const QString& program) {
  const QFileInfo programFile(program);
  const QString starter =
      QDir::cleanPath(programFile.absolutePath() + QStringLiteral("/" AURALITH_LIBEXEC_FROM_BINDIR "/") +
                      QString::fromLatin1(kStarterName));
  if (QFileInfo(starter).isExecutable()) return ExecArgument(starter);
  return ExecArgument(programFile.absoluteFilePath()) + u' ' + QString::fromLatin1(kUrlScheme) +
         QString::fromLatin1(kCommandVerbs[kCommandHideWindow - 1]);
}

QString LoginCommandLine() { return LoginCommandLine(RunningProgram()); }

QString AutostartEntryText(const QString& execLine) {
  return QStringLiteral(
             "[Desktop Entry]\n"
             "Type=Application\n"
             "Version=1.0\n"
             "Name=Auralith\n"
             "GenericName=Audio Enhancer\n"
             "Comment=Starts Auralith in the tray when you log in\n"
             "Icon=auralith\n"
             "Exec=%1\n"
             "Terminal=false\n"
             "X-GNOME-Autostart-enabled=true\n")
      .arg(execLine);
}

bool StartsAtLogin() {
  QFile entry(AutostartEntryPath());
  if (!entry.open(QIODevice::ReadOnly)) return false;
  // A desktop's own switch for autostart entries turns it off in place.
  for (const QByteArray& line : entry.readAll().split('\n')) {
    const QByteArray setting = line.trimmed();
    if (setting == "Hidden=true" || setting == "X-GNOME-Autostart-enabled=false") return false;
  }
  return true;
}

bool SetStartAtLogin(bool on, QString* error) {
  const QString path = AutostartEntryPath();
  auto failed = [error](const QString& reason) {
    if (error) *error = reason;
    return false;
  };
  if (!on) {
    QFile entry(path);
    if (!entry.exists() || entry.remove()) return true;
    return failed(path + QStringLiteral(": ") + entry.errorString());
  }
  if (!QDir().mkpath(AutostartFolder())) return failed(AutostartFolder() + QStringLiteral(": cannot be created"));
  // Written beside the old entry and renamed over it: a session that logs
  // in meanwhile reads the old entry or the new one, never half of one.
  QSaveFile entry(path);
  if (!entry.open(QIODevice::WriteOnly)) return failed(path + QStringLiteral(": ") + entry.errorString());
  entry.write(AutostartEntryText(LoginCommandLine()).toUtf8());
  if (!entry.commit()) return failed(path + QStringLiteral(": ") + entry.errorString());
  return true;
}

}  // namespace auralith::app
