#pragma once

#include <QByteArray>
#include <QString>

// The one form every request to the profile server carries, and the
// account details that go into it (read by the application, which knows
// where they are stored).

namespace auralith::profiles {

struct AccountDetails {
  QString email;
  QString password;
  QString machineId;
};

// A one-way hash of the system's machine id, keyed for this application,
// so the raw id never leaves the computer; empty when there is none.
QString DerivedMachineIdentifier(const QByteArray& systemMachineId);

// application/x-www-form-urlencoded, byte by byte over UTF-8: letters,
// digits and "*-._" stay, a blank becomes "+", every other byte "%XX".
QByteArray FormEncode(const QString& value);

// "email=..&password=..&type_id=2&machine_id=..&machine_friendly_name=..
// &version=..&iamnotversionone=1".
QByteArray BuildRequestForm(const AccountDetails& account, const QString& computerName, const QString& version);

}  // namespace auralith::profiles
