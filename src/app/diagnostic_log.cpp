#include "app/diagnostic_log.h"

#include "app/machine_report.h"

#include <QDir>
#include <QStandardPaths>

#include <ctime>
#include <mutex>

#include <locale.h>

namespace auralith::app {

QString DesktopFolder() {
  const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  if (!desktop.isEmpty() && QDir(desktop).exists()) return desktop;
  const QString home = QDir::homePath();
  return QDir(home).exists() ? home : QString();
}

QString LogTimeStamp() {
  const std::time_t now = std::time(nullptr);
  std::tm local = {};
  localtime_r(&now, &local);
  locale_t userLocale = newlocale(LC_TIME_MASK, "", locale_t(0));
  if (userLocale == locale_t(0)) userLocale = newlocale(LC_TIME_MASK, "C", locale_t(0));
  char text[128] = {};
  const size_t length = strftime_l(text, sizeof text, "%x %X", &local, userLocale);
  freelocale(userLocale);
  return QString::fromLocal8Bit(text, static_cast<qsizetype>(length));
}

DiagnosticLog::DiagnosticLog(Options options) : options_(std::move(options)) {}

DiagnosticLog::~DiagnosticLog() = default;

void DiagnosticLog::Open() {
  file_ = std::make_unique<QFile>();
  if (!options_.active) return;
  const QString folder = options_.folder ? options_.folder() : QString();
  if (folder.isEmpty()) return;
  file_->setFileName(folder + u'/' + QLatin1StringView(kLogFileName));
  if (!file_->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) return;
  if (options_.writeReport) options_.writeReport(*file_);
  WriteLine(QStringLiteral("Log opened."));
}

void DiagnosticLog::WriteLine(const QString& message) {
  if (!file_ || !file_->isOpen()) return;
  file_->write((LogTimeStamp() + u' ' + message + u'\n').toUtf8());
}

void DiagnosticLog::WriteLog(const QString& message) {
  if (!file_) Open();
  WriteLine(message);
}

void DiagnosticLog::CloseLog() {
  WriteLine(QStringLiteral("Log closed."));
  file_.reset();
}

namespace {

struct ProcessLog {
  std::mutex mutex;
  std::unique_ptr<DiagnosticLog> log = std::make_unique<DiagnosticLog>(DiagnosticLog::Options{});
  SoundServerQuery soundServer;
};

ProcessLog& TheLog() {
  static ProcessLog processLog;
  return processLog;
}

}  // namespace

void SetSoundServerQuery(SoundServerQuery query) {
  ProcessLog& process = TheLog();
  const std::lock_guard lock(process.mutex);
  process.soundServer = std::move(query);
}

void SetLogActive(bool active) {
  ProcessLog& process = TheLog();
  const std::lock_guard lock(process.mutex);
  DiagnosticLog::Options options;
  options.active = active;
  options.writeReport = [query = process.soundServer](QIODevice& device) { WriteMachineReport(device, query); };
  process.log = std::make_unique<DiagnosticLog>(std::move(options));
}

void WriteLog(const QString& message) {
  ProcessLog& process = TheLog();
  const std::lock_guard lock(process.mutex);
  process.log->WriteLog(message);
}

void CloseLog() {
  ProcessLog& process = TheLog();
  const std::lock_guard lock(process.mutex);
  process.log->CloseLog();
}

}  // namespace auralith::app
