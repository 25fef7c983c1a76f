#include "app/settings_store.h"
#include "app/settings_keys.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdlib>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace auralith::settings {
namespace {

class SettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.isValid());
    setenv(configDirEnv, folder_.path().toLocal8Bit().constData(), 1);
  }
  void TearDown() override { unsetenv(configDirEnv); }

  QString FilePath() const { return folder_.path() + "/Halvorn Vovaruzoz/Auralith.conf"; }

  void WriteRaw(const QByteArray& bytes) {
    QDir().mkpath(folder_.path() + "/Halvorn Vovaruzoz");
    QFile file(FilePath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
  }

  QByteArray ReadRaw(const QString& path) const {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }

  // Made after SetUp has redirected the configuration folder.
  SettingsStore Store() const { return SettingsStore(); }

  QTemporaryDir folder_;
};

TEST_F(SettingsStoreTest, LivesInTheCompanyFolderBelowTheRedirectedConfigFolder) {
  EXPECT_EQ(Store().FilePath(), FilePath());
  unsetenv(configDirEnv);
  setenv("XDG_CONFIG_HOME", folder_.path().toLocal8Bit().constData(), 1);
  EXPECT_EQ(SettingsStore().FilePath(), FilePath());
  unsetenv("XDG_CONFIG_HOME");
}

TEST_F(SettingsStoreTest, EmptyStoreGivesEveryCallerItsDefault) {
  SettingsStore store = Store();
  EXPECT_EQ(store.GetProfileInt(settingsSection, modeKey, modeKeyDefault), 2);
  EXPECT_EQ(store.GetProfileInt(settingsSection, musicKey, musicKeyDefault), 1);
  EXPECT_EQ(store.GetProfileInt(settingsSection, isProcessingKey, isProcessingKeyDefault), 0);
  EXPECT_EQ(store.GetProfileInt(settingsSection, isVisibleKey, isVisibleKeyDefault), 1);
  EXPECT_EQ(store.GetProfileInt(settingsSection, isVisibleKey, isVisibleKeyFirstRun), -1);
  EXPECT_EQ(store.GetProfileString(settingsSection, hpOutputKey), QString());
  EXPECT_TRUE(store.GetProfileString(settingsSection, builtInSlotKeys[0]).isEmpty());
  EXPECT_EQ(store.GetProfileString(settingsSection, headphoneLockCodeKey, "none"), "none");
  EXPECT_FALSE(store.GetProfileBinary(settingsSection, builtinEqKey).has_value());
  // Reading creates nothing.
  EXPECT_FALSE(QFile::exists(FilePath()));
}

TEST_F(SettingsStoreTest, ValuesReachTheFileAndEveryOtherStoreAtOnce) {
  SettingsStore writer = Store();
  SettingsStore reader = Store();
  const QByteArray record(userEqRecordSize, '\x7f');
  EXPECT_TRUE(writer.WriteProfileInt(settingsSection, modeKey, 1));
  EXPECT_TRUE(writer.WriteProfileInt(settingsSection, isVisibleKey, -1));
  EXPECT_TRUE(writer.WriteProfileString(settingsSection, dtOutputKey, "Speakers, \"front\" @ 44.1 kHz"));
  EXPECT_TRUE(writer.WriteProfileBinary(settingsSection, desktopEqKey, record));
  EXPECT_EQ(reader.GetProfileInt(settingsSection, modeKey, modeKeyDefault), 1);
  EXPECT_EQ(reader.GetProfileInt(settingsSection, isVisibleKey, 1), -1);
  EXPECT_EQ(reader.GetProfileString(settingsSection, dtOutputKey), "Speakers, \"front\" @ 44.1 kHz");
  EXPECT_EQ(reader.GetProfileBinary(settingsSection, desktopEqKey, userEqRecordSize), record);
  EXPECT_TRUE(ReadRaw(FilePath()).contains("[Settings]"));
}

TEST_F(SettingsStoreTest, AnyBytesAndAnyTextComeBackUnchanged) {
  QByteArray everyByte;
  for (int byte = 0; byte < 256; ++byte) everyByte.append(static_cast<char>(byte));
  const QString text = QString::fromUtf8("line 1\nline 2\t\u00e9\u4e2d; # [x] =y \\ @end");
  SettingsStore store = Store();
  ASSERT_TRUE(store.WriteProfileBinary(settingsSection, builtinEqKey, everyByte));
  ASSERT_TRUE(store.WriteProfileString(settingsSection, builtInSlotKeys[0], text));
  ASSERT_TRUE(store.WriteProfileString(settingsSection, hpOutputKey, "@ByteArray(x)"));
  EXPECT_EQ(Store().GetProfileBinary(settingsSection, builtinEqKey), everyByte);
  EXPECT_EQ(Store().GetProfileString(settingsSection, builtInSlotKeys[0]), text);
  EXPECT_EQ(Store().GetProfileString(settingsSection, hpOutputKey), "@ByteArray(x)");
  EXPECT_FALSE(QFile::exists(FilePath() + ".corrupt"));
}

TEST_F(SettingsStoreTest, ReadsWhatAnotherProgramWroteSinceTheLastRead) {
  SettingsStore store = Store();
  EXPECT_TRUE(store.WriteProfileInt(settingsSection, musicKey, 1));
  EXPECT_EQ(store.GetProfileInt(settingsSection, musicKey, -5), 1);
  // A different size, so the change shows even within one time-stamp tick.
  WriteRaw("[Settings]\nmusicKey=0\nmodeKey=1\n");
  EXPECT_EQ(store.GetProfileInt(settingsSection, musicKey, -5), 0);
  EXPECT_EQ(store.GetProfileInt(settingsSection, modeKey, -5), 1);
}

TEST_F(SettingsStoreTest, AHandEditedFileIsRead) {
  WriteRaw(
      "\xef\xbb\xbf; edited by hand\r\n[Other]\r\nmodeKey=0\r\n\r\n[Settings]\r\n"
      "# the headphones\r\n  modeKey = 1 \r\nhpOutputKey=USB Headset\r\n");
  SettingsStore store = Store();
  EXPECT_EQ(store.GetProfileInt(settingsSection, modeKey, modeKeyDefault), 1);
  EXPECT_EQ(store.GetProfileString(settingsSection, hpOutputKey), "USB Headset");
}

TEST_F(SettingsStoreTest, AValueOfTheWrongTypeReadsAsTheCallersDefault) {
  WriteRaw(
      "[Settings]\nisVisibleKey=yes\nmodeKey=4294967297\nmusicKey=1x\n"
      "builtinEqKey=not bytes\nbiOutputKey=@ByteArray(abc)\nhpOutputKey=a, b\n"
      "headphoneKiroKey=\" 1 \"\n");
  SettingsStore store = Store();
  EXPECT_EQ(store.GetProfileInt(settingsSection, isVisibleKey, isVisibleKeyFirstRun), -1);
  EXPECT_EQ(store.GetProfileInt(settingsSection, modeKey, modeKeyDefault), 2);
  EXPECT_EQ(store.GetProfileInt(settingsSection, musicKey, musicKeyDefault), 1);
  EXPECT_FALSE(store.GetProfileBinary(settingsSection, builtinEqKey).has_value());
  EXPECT_EQ(store.GetProfileString(settingsSection, biOutputKey, "x"), "x");
  EXPECT_EQ(store.GetProfileString(settingsSection, hpOutputKey, "x"), "x");
  EXPECT_EQ(store.GetProfileInt(settingsSection, headphoneKiroKey, 0), 1);
}

TEST_F(SettingsStoreTest, EqualizerRecordsOfAnotherLengthReadAsAbsent) {
  SettingsStore store = Store();
  for (const qsizetype length : {qsizetype{0}, qsizetype{4}, qsizetype{31}, qsizetype{40}}) {
    ASSERT_TRUE(store.WriteProfileBinary(settingsSection, headphoneEqKey, QByteArray(length, 'a')));
    EXPECT_FALSE(store.GetProfileBinary(settingsSection, headphoneEqKey, userEqRecordSize)) << length << " bytes";
    EXPECT_EQ(store.GetProfileBinary(settingsSection, headphoneEqKey)->size(), length);
  }
  QByteArray record(userEqRecordSize, '\0');
  record[0] = '\x01';
  record[31] = '\xff';
  ASSERT_TRUE(store.WriteProfileBinary(settingsSection, headphoneEqKey, record));
  EXPECT_EQ(store.GetProfileBinary(settingsSection, headphoneEqKey, userEqRecordSize), record);
}

TEST_F(SettingsStoreTest, ACorruptFileReadsAsEmptyAndIsSetAsideByTheFirstWrite) {
  QByteArray garbage = "[Settings]\nmodeKey=0\n";
  for (int i = 0; i < 300; ++i) garbage.append(static_cast<char>((i * 37) % 256));
  WriteRaw(garbage);
  SettingsStore store = Store();
  EXPECT_EQ(store.GetProfileInt(settingsSection, modeKey, modeKeyDefault), 2);

  EXPECT_TRUE(store.WriteProfileInt(settingsSection, musicKey, 0));
  EXPECT_EQ(ReadRaw(FilePath() + ".corrupt"), garbage);
  EXPECT_EQ(ReadRaw(FilePath()), "[Settings]\nmusicKey=0\n");
  EXPECT_EQ(store.GetProfileInt(settingsSection, musicKey, 1), 0);
  EXPECT_EQ(store.GetProfileInt(settingsSection, modeKey, modeKeyDefault), 2);
}

TEST_F(SettingsStoreTest, AnUnreadableStoreGivesDefaultsAndRefusesWrites) {
  // A folder where the file belongs cannot be read even by root.
  ASSERT_TRUE(QDir().mkpath(FilePath()));
  SettingsStore store = Store();
  EXPECT_EQ(store.GetProfileInt(settingsSection, modeKey, modeKeyDefault), 2);
  EXPECT_FALSE(store.WriteProfileInt(settingsSection, modeKey, 0));
  EXPECT_TRUE(QFileInfo(FilePath()).isDir());
}

TEST_F(SettingsStoreTest, AFifoOrDeviceInPlaceOfTheFileIsNeverOpened) {
  ASSERT_TRUE(QDir().mkpath(folder_.path() + "/Halvorn Vovaruzoz"));
  ASSERT_EQ(mkfifo(FilePath().toLocal8Bit().constData(), 0600), 0);
  SettingsStore store = Store();
  // Both return at once instead of waiting for a writer on the FIFO.
  EXPECT_EQ(store.GetProfileInt(settingsSection, modeKey, modeKeyDefault), 2);
  EXPECT_FALSE(store.WriteProfileInt(settingsSection, modeKey, 0));
  ASSERT_TRUE(QFile::remove(FilePath()));
  ASSERT_EQ(symlink("/dev/zero", FilePath().toLocal8Bit().constData()), 0);
  EXPECT_EQ(store.GetProfileInt(settingsSection, modeKey, modeKeyDefault), 2);
  EXPECT_FALSE(store.WriteProfileInt(settingsSection, modeKey, 0));
}

TEST_F(SettingsStoreTest, NamesThatWouldAddressAnotherGroupAreRefused) {
  SettingsStore store = Store();
  EXPECT_FALSE(store.WriteProfileInt(settingsSection, "Other/modeKey", 1));
  EXPECT_FALSE(store.WriteProfileInt("Settings/Sub", modeKey, 1));
  EXPECT_FALSE(store.WriteProfileString(settingsSection, "", "x"));
  EXPECT_EQ(store.GetProfileInt(settingsSection, "a\\b", 7), 7);
  EXPECT_FALSE(QFile::exists(FilePath()));
}

TEST_F(SettingsStoreTest, AWriteSurvivesAProcessThatDiesRightAfterIt) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    SettingsStore store;
    store.WriteProfileString(settingsSection, builtInSlotKeys[4], "/profiles/a.hvnp");
    store.WriteProfileInt(settingsSection, advUserEqKey, 1);
    std::abort();
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));
  SettingsStore store = Store();
  EXPECT_EQ(store.GetProfileString(settingsSection, builtInSlotKeys[4]), "/profiles/a.hvnp");
  EXPECT_EQ(store.GetProfileInt(settingsSection, advUserEqKey, advUserEqKeyDefault), 1);
}

}  // namespace
}  // namespace auralith::settings
