#include "profile_server/request_form.h"

#include <QMessageAuthenticationCode>

namespace auralith::profiles {

namespace {
// Keys the hash to this application, so its value matches no other
// program's derived identifier.
constexpr char kMachineIdHashKey[] = "Auralith profile server machine identifier";
}  // namespace

QString DerivedMachineIdentifier(const QByteArray& systemMachineId) {
  const QByteArray id = systemMachineId.trimmed();
  if (id.isEmpty()) return QString();
  return QString::fromLatin1(
      QMessageAuthenticationCode::hash(id, QByteArray(kMachineIdHashKey), QCryptographicHash::Sha256).toHex());
}

QByteArray FormEncode(const QString& value) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  QByteArray out;
  for (const char c : value.toUtf8()) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') || byte == '*' ||
        byte == '-' || byte == '.' || byte == '_') {
      out += c;
    } else if (byte == ' ') {
      out += '+';
    } else {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0F];
    }
  }
  return out;
}

QByteArray BuildRequestForm(const AccountDetails& account, const QString& computerName, const QString& version) {
  QByteArray form;
  form += "email=" + FormEncode(account.email);
  form += "&password=" + FormEncode(account.password);
  form += "&type_id=2";
  form += "&machine_id=" + FormEncode(account.machineId);
  form += "&machine_friendly_name=" + FormEncode(computerName);
  form += "&version=" + FormEncode(version);
  form += "&iamnotversionone=1";
  return form;
}

}  // namespace auralith::profiles
