#include "app/server_client_options.h"

#include "app/aulx_app.h"
#include "app/command_line.h"
#include "app/diagnostic_log.h"
#include "app/server_host.h"
#include "app/settings_keys.h"
#include "app/settings_store.h"
#include "files/regular_file.h"
#include "profiles/profile_folder.h"
#include "update/own_version.h"

#include <QSysInfo>

namespace auralith::app {

namespace {
// /etc/machine-id holds 32 hexadecimal digits and a line feed.
constexpr std::uint64_t kMachineIdFileLimit = 256;

QString ServerHostOfThisRun() {
  if (const AUlxApp* application = AUlxApp::Instance()) return application->GetServerHost();
  return ServerHostForMode(kProductionServer);
}
}  // namespace

profiles::AccountDetails ReadAccountDetails(const settings::SettingsStore& store, const QString& machineIdFile) {
  profiles::AccountDetails account;
  account.email = store.GetProfileString(settings::settingsSection, accountEmailKey);
  account.password = store.GetProfileString(settings::settingsSection, accountPasswordKey);
  account.machineId = store.GetProfileString(settings::settingsSection, machineIdKey);
  if (account.machineId.isEmpty()) {
    const files::ReadResult read = files::ReadRegularFile(machineIdFile.toStdString(), kMachineIdFileLimit);
    if (read.contents)
      account.machineId = profiles::DerivedMachineIdentifier(QByteArray::fromStdString(*read.contents));
  }
  return account;
}

profiles::ProfileServerOptions ProfileServerOptionsFor(const QString& serverHost,
                                                       const settings::SettingsStore& store) {
  profiles::ProfileServerOptions options;
  options.serverHost = serverHost;
  options.http = net::DefaultHttpOptions();
  options.account = ReadAccountDetails(store);
  options.computerName = QSysInfo::machineHostName();
  options.version = QString::fromLatin1(kOwnVersionString);
  options.folder = profiles::ProfileFolder();
  options.log = [](const QString& line) { WriteLog(line); };
  return options;
}

update::VersionCheckOptions VersionCheckOptionsFor(const QString& serverHost) {
  update::VersionCheckOptions options;
  options.host = serverHost;
  options.http = net::DefaultHttpOptions();
  options.log = [](const QString& line) { WriteLog(line); };
  return options;
}

profiles::ProfileServerOptions ProfileServerOptionsOfThisRun(std::function<void(const QString&)> tellUser) {
  profiles::ProfileServerOptions options;
  if (AUlxApp* application = AUlxApp::Instance()) {
    options = ProfileServerOptionsFor(application->GetServerHost(), application->Settings());
  } else {
    options = ProfileServerOptionsFor(ServerHostOfThisRun(), settings::SettingsStore());
  }
  options.tellUser = std::move(tellUser);
  return options;
}

update::VersionCheckOptions VersionCheckOptionsOfThisRun(std::function<void(const QString&)> reportError) {
  update::VersionCheckOptions options = VersionCheckOptionsFor(ServerHostOfThisRun());
  options.reportError = std::move(reportError);
  return options;
}

}  // namespace auralith::app
