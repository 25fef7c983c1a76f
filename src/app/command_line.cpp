#include "app/command_line.h"

#include "app/commands.h"

namespace auralith::app {

QString JoinArguments(const QStringList& argumentsAfterProgram) { return argumentsAfterProgram.join(u' '); }

int UrlCommand(const QString& unquoted) {
  const QString scheme = QString::fromLatin1(kUrlScheme);
  if (!unquoted.startsWith(scheme)) return kNoCommand;
  QString verbText = unquoted;
  verbText.remove(scheme);
  int command = kNoCommand;
  for (int code = kFirstCommand; code <= kLastCommand; ++code) {
    if (verbText.startsWith(QLatin1StringView(kCommandVerbs[code - 1]))) command = code;
  }
  return command;
}

int ServerModeOf(const QString& unquoted) {
  struct Switch {
    const char* text;
    int mode;
  };
  static constexpr Switch kSwitches[] = {
      {"-cactus", kLocalServerWithLog}, {"-zebra", kStagingServerWithLog}, {"-pluto", kStagingServer}};
  for (const Switch& option : kSwitches) {
    if (unquoted.compare(QLatin1StringView(option.text), Qt::CaseInsensitive) == 0) return option.mode;
  }
  return kProductionServer;
}

LoginSwitch LoginSwitchOf(const QStringList& argumentsAfterProgram) {
  if (argumentsAfterProgram.isEmpty() || argumentsAfterProgram.first() != QLatin1StringView(kStartAtLoginOption))
    return LoginSwitch::kNone;
  if (argumentsAfterProgram.size() != 2) return LoginSwitch::kInvalid;
  const QString& value = argumentsAfterProgram.at(1);
  if (value == QLatin1StringView("on")) return LoginSwitch::kOn;
  if (value == QLatin1StringView("off")) return LoginSwitch::kOff;
  return LoginSwitch::kInvalid;
}

StartupRequest ParseCommandLine(const QStringList& argumentsAfterProgram) {
  StartupRequest request;
  request.loginSwitch = LoginSwitchOf(argumentsAfterProgram);
  if (request.loginSwitch != LoginSwitch::kNone) return request;
  QString unquoted = JoinArguments(argumentsAfterProgram);
  unquoted.remove(u'"');
  if (unquoted.startsWith(QString::fromLatin1(kUrlScheme))) {
    // A URL may come from any web page: it carries a command, never a
    // server mode.
    request.pendingCommand = UrlCommand(unquoted);
  } else if (!argumentsAfterProgram.isEmpty()) {
    request.serverMode = ServerModeOf(unquoted);
  }
  return request;
}

}  // namespace auralith::app
