#pragma once

#include <QAnyStringView>
#include <QByteArray>
#include <QString>

#include <optional>

// The persistent per-user settings: one INI file in the user's configuration
// folder ("$XDG_CONFIG_HOME/Halvorn Vovaruzoz/Auralith.conf", or below
// $AURALITH_CONFIG_DIR when that is set). Nothing is cached: every read goes
// to the file and every write reaches the disk before it returns, so several
// store objects (and processes) always agree.
//
// A file that cannot be parsed reads as empty (every read yields its
// default); the first write sets it aside as "Auralith.conf.corrupt" and
// starts a clean file, so the damaged bytes are neither lost nor copied.

namespace auralith::settings {

inline constexpr const char* companyName = "Halvorn Vovaruzoz";
inline constexpr const char* applicationName = "Auralith";
// Replaces the XDG configuration folder (tests, portable use).
inline constexpr const char* configDirEnv = "AURALITH_CONFIG_DIR";

class SettingsStore {
 public:
  // The user's store of this application.
  SettingsStore();
  // The store of `application` under the company key `company`.
  SettingsStore(QAnyStringView company, QAnyStringView application);

  // Where the store of `application` under `company` lives.
  static QString FilePathFor(QAnyStringView company, QAnyStringView application);
  const QString& FilePath() const { return filePath_; }

  // The stored integer, else `defaultValue` (also when the stored value is
  // not a decimal integer in range).
  int GetProfileInt(QAnyStringView section, QAnyStringView name, int defaultValue) const;
  bool WriteProfileInt(QAnyStringView section, QAnyStringView name, int value);

  // The stored text, else `defaultValue` (also when the value is no text).
  QString GetProfileString(QAnyStringView section, QAnyStringView name, const QString& defaultValue = QString()) const;
  bool WriteProfileString(QAnyStringView section, QAnyStringView name, const QString& value);

  // The stored byte block, or nothing when absent or not a byte block.
  std::optional<QByteArray> GetProfileBinary(QAnyStringView section, QAnyStringView name) const;
  // As above, but a block of any other length than `length` reads as absent.
  std::optional<QByteArray> GetProfileBinary(QAnyStringView section, QAnyStringView name, qsizetype length) const;
  bool WriteProfileBinary(QAnyStringView section, QAnyStringView name, const QByteArray& bytes);

 private:
  std::optional<QVariant> Read(QAnyStringView section, QAnyStringView name) const;
  bool Write(QAnyStringView section, QAnyStringView name, const QVariant& value);
  bool SetCorruptFileAside() const;

  QString filePath_;
};

}  // namespace auralith::settings
