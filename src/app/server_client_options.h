#pragma once

#include "profile_server/profile_server_client.h"
#include "update/version_check.h"

#include <QString>

#include <functional>

namespace auralith::settings {
class SettingsStore;
}

// Fills the options of the two server clients for this run: the server
// host, the account details of the settings store, the profile folder, the
// computer's name and the diagnostic log. The clients themselves know
// nothing of the application.

namespace auralith::app {

// Values of the "Settings" section holding the account details; all empty
// until the user (or an installer) sets them.
inline constexpr const char* accountEmailKey = "accountEmailKey";
inline constexpr const char* accountPasswordKey = "accountPasswordKey";
// A stored machine identifier replaces the one derived from the system's.
inline constexpr const char* machineIdKey = "machineIdKey";

inline constexpr const char* kSystemMachineIdFile = "/etc/machine-id";

// The account details of this installation.
profiles::AccountDetails ReadAccountDetails(const settings::SettingsStore& store,
                                            const QString& machineIdFile = QString::fromLatin1(kSystemMachineIdFile));

profiles::ProfileServerOptions ProfileServerOptionsFor(const QString& serverHost, const settings::SettingsStore& store);
update::VersionCheckOptions VersionCheckOptionsFor(const QString& serverHost);

// The same for the running application object (its server mode and
// settings store; the production host when there is none). `tellUser`
// shows the warning message box.
profiles::ProfileServerOptions ProfileServerOptionsOfThisRun(std::function<void(const QString&)> tellUser);
update::VersionCheckOptions VersionCheckOptionsOfThisRun(std::function<void(const QString&)> reportError);

}  // namespace auralith::app
