#include "app/settings_store.h"

#include "files/regular_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QVariant>

#include <limits>

namespace auralith::settings {

namespace {

// Section and value names are single path components: a separator would
// silently address another group of the file.
bool IsPlainName(QAnyStringView name) {
  const QString text = name.toString();
  return !text.isEmpty() && !text.contains(u'/') && !text.contains(u'\\');
}

// What QSettings writes: UTF-8 text of section headers, comments and
// "name=value" lines. Its own parser takes almost anything, and what it
// takes it writes back, so damage is caught here first.
bool IsWellFormed(const QByteArray& bytes) {
  for (const char byte : bytes) {
    const auto code = static_cast<unsigned char>(byte);
    if (code < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') return false;
  }
  QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const QString text = decoder(bytes);
  if (decoder.hasError()) return false;
  QStringView body(text);
  if (body.startsWith(QChar(0xfeff))) body = body.mid(1);  // editors' byte-order mark
  for (QStringView line : body.split(u'\n')) {
    line = line.trimmed();
    if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#')) continue;
    if (line.startsWith(u'[') ? !line.endsWith(u']') : !line.contains(u'=')) return false;
  }
  return true;
}

enum class FileState { kMissing, kWellFormed, kCorrupt, kUnreadable };

// A settings file is a few kilobytes; a pipe, device or folder in its place
// is never opened (a FIFO would block the open).
constexpr std::uint64_t kMaxSettingsFileBytes = 1024 * 1024;

FileState Inspect(const QString& path) {
  const QFileInfo info(path);
  if (!info.exists()) return FileState::kMissing;
  const files::ReadResult read = files::ReadRegularFile(path.toStdString(), kMaxSettingsFileBytes);
  if (!read.contents) return FileState::kUnreadable;
  return IsWellFormed(QByteArray::fromStdString(*read.contents)) ? FileState::kWellFormed : FileState::kCorrupt;
}

std::optional<int> ToInt(const QVariant& value) {
  qlonglong number = 0;
  bool ok = false;
  switch (value.typeId()) {
    case QMetaType::QString:
      number = value.toString().trimmed().toLongLong(&ok, 10);
      break;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
      number = value.toLongLong(&ok);
      break;
    default:
      break;
  }
  if (!ok || number < std::numeric_limits<int>::min() || number > std::numeric_limits<int>::max()) return std::nullopt;
  return static_cast<int>(number);
}

}  // namespace

SettingsStore::SettingsStore() : SettingsStore(companyName, applicationName) {}

SettingsStore::SettingsStore(QAnyStringView company, QAnyStringView application)
    : filePath_(FilePathFor(company, application)) {}

QString SettingsStore::FilePathFor(QAnyStringView company, QAnyStringView application) {
  QString root = qEnvironmentVariable(configDirEnv);
  if (root.isEmpty()) root = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  return root + u'/' + company.toString() + u'/' + application.toString() + QStringLiteral(".conf");
}

std::optional<QVariant> SettingsStore::Read(QAnyStringView section, QAnyStringView name) const {
  if (!IsPlainName(section) || !IsPlainName(name)) return std::nullopt;
  if (Inspect(filePath_) != FileState::kWellFormed) return std::nullopt;
  QSettings file(filePath_, QSettings::IniFormat);
  if (file.status() != QSettings::NoError) return std::nullopt;
  file.beginGroup(section);
  QVariant value = file.value(name);
  if (!value.isValid()) return std::nullopt;
  return value;
}

bool SettingsStore::SetCorruptFileAside() const {
  const QString aside = filePath_ + QStringLiteral(".corrupt");
  QFile::remove(aside);
  return QFile::rename(filePath_, aside);
}

bool SettingsStore::Write(QAnyStringView section, QAnyStringView name, const QVariant& value) {
  if (!IsPlainName(section) || !IsPlainName(name)) return false;
  const FileState state = Inspect(filePath_);
  if (state == FileState::kUnreadable) return false;
  if (state == FileState::kCorrupt && !SetCorruptFileAside()) return false;
  QSettings file(filePath_, QSettings::IniFormat);
  if (file.status() != QSettings::NoError) return false;
  file.beginGroup(section);
  file.setValue(name, value);
  file.sync();
  return file.status() == QSettings::NoError;
}

int SettingsStore::GetProfileInt(QAnyStringView section, QAnyStringView name, int defaultValue) const {
  const std::optional<QVariant> value = Read(section, name);
  if (!value) return defaultValue;
  return ToInt(*value).value_or(defaultValue);
}

bool SettingsStore::WriteProfileInt(QAnyStringView section, QAnyStringView name, int value) {
  // Stored as decimal text, the form the file gives back when read.
  return Write(section, name, QString::number(value));
}

QString SettingsStore::GetProfileString(QAnyStringView section, QAnyStringView name,
                                        const QString& defaultValue) const {
  const std::optional<QVariant> value = Read(section, name);
  if (!value || value->typeId() != QMetaType::QString) return defaultValue;
  return value->toString();
}

bool SettingsStore::WriteProfileString(QAnyStringView section, QAnyStringView name, const QString& value) {
  return Write(section, name, value);
}

std::optional<QByteArray> SettingsStore::GetProfileBinary(QAnyStringView section, QAnyStringView name) const {
  const std::optional<QVariant> value = Read(section, name);
  if (!value || value->typeId() != QMetaType::QByteArray) return std::nullopt;
  return value->toByteArray();
}

std::optional<QByteArray> SettingsStore::GetProfileBinary(QAnyStringView section, QAnyStringView name,
                                                          qsizetype length) const {
  std::optional<QByteArray> bytes = GetProfileBinary(section, name);
  if (!bytes || bytes->size() != length) return std::nullopt;
  return bytes;
}

bool SettingsStore::WriteProfileBinary(QAnyStringView section, QAnyStringView name, const QByteArray& bytes) {
  return Write(section, name, bytes);
}

}  // namespace auralith::settings
