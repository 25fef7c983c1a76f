#pragma once

#include <QString>
#include <QStringList>

// Reading the start-up command line: a "halvorn-ulx://" URL with a command
// verb, one of the server-mode switches, or nothing.

namespace auralith::app {

enum ServerMode : int {
  kProductionServer = 0,
  kLocalServerWithLog = 1,    // "-cactus"
  kStagingServerWithLog = 2,  // "-zebra"
  kStagingServer = 3,         // "-pluto"
};

// "--start-at-login on|off": switches starting at login and ends; any other
// value, or a missing or extra one, is a mistake.
enum class LoginSwitch { kNone, kOn, kOff, kInvalid };
inline constexpr const char* kStartAtLoginOption = "--start-at-login";

struct StartupRequest {
  int pendingCommand = 0;  // from a URL; 0 when none
  int serverMode = kProductionServer;
  LoginSwitch loginSwitch = LoginSwitch::kNone;
};

// The command line as one text: the arguments after the program name,
// joined by single blanks.
QString JoinArguments(const QStringList& argumentsAfterProgram);

// The command of a command line whose double quotes are already removed:
// the code of the last verb (in code order) the text starts with once every
// "halvorn-ulx://" is deleted; 0 when the text is no URL or has no known
// verb. Verbs match case-sensitively and by prefix.
int UrlCommand(const QString& unquoted);

// The server mode of a command line whose double quotes are already
// removed: one switch, matched case-insensitively and as a whole.
int ServerModeOf(const QString& unquoted);

// The switch of a command line whose first argument is the option.
LoginSwitch LoginSwitchOf(const QStringList& argumentsAfterProgram);

StartupRequest ParseCommandLine(const QStringList& argumentsAfterProgram);

}  // namespace auralith::app
