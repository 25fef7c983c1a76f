#pragma once

#include <QByteArray>
#include <QString>

namespace auralith::settings {
class SettingsStore;
}

// The one form every request to the profile server carries, and the
// account details that go into it.

namespace auralith::profiles {

// Values of the "Settings" section holding the account details; all empty
// until the user (or an installer) sets them.
inline constexpr const char* accountEmailKey = "accountEmailKey";
inline constexpr const char* accountPasswordKey = "accountPasswordKey";
// A stored machine identifier replaces the one derived from the system's.
inline constexpr const char* machineIdKey = "machineIdKey";

inline constexpr const char* kSystemMachineIdFile = "/etc/machine-id";

struct AccountDetails {
  QString email;
  QString password;
  QString machineId;
};

// A one-way hash of the system's machine id, keyed for this application,
// so the raw id never leaves the computer; empty when there is none.
QString DerivedMachineIdentifier(const QByteArray& systemMachineId);

// The account details of this installation.
AccountDetails ReadAccountDetails(const settings::SettingsStore& store,
                                  const QString& machineIdFile = QString::fromLatin1(kSystemMachineIdFile));

// application/x-www-form-urlencoded, byte by byte over UTF-8: letters,
// digits and "*-._" stay, a blank becomes "+", every other byte "%XX".
QByteArray FormEncode(const QString& value);

// "email=..&password=..&type_id=2&machine_id=..&machine_friendly_name=..
// &version=..&iamnotversionone=1".
QByteArray BuildRequestForm(const AccountDetails& account, const QString& computerName, const QString& version);

}  // namespace auralith::profiles
