// What the headless host reads from the settings store.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QTemporaryDir>

#include <cstdlib>

#include "app/settings_keys.h"
#include "app/settings_store.h"
#include "tools/engine/host_settings.h"

namespace auralith::engine {
namespace {

namespace keys = auralith::settings;

class HostSettings : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.isValid());
    setenv(keys::configDirEnv, folder_.path().toLocal8Bit().constData(), 1);
  }
  void TearDown() override { unsetenv(keys::configDirEnv); }

  void Write(const char* name, int value) { store().WriteProfileInt(keys::settingsSection, name, value); }
  keys::SettingsStore store() { return keys::SettingsStore(); }

  QTemporaryDir folder_;
};

QByteArray EqBytes(const render::UserEqRecord& record) {
  QByteArray bytes;
  for (int32_t word : record) {
    const auto u = uint32_t(word);
    for (int shift = 0; shift < 32; shift += 8) bytes.append(char((u >> shift) & 0xFF));
  }
  return bytes;
}

TEST_F(HostSettings, AFirstRunIsDesktopSpeakersMusicAndProcessingOff) {
  const ListeningState state = ReadListeningState();
  EXPECT_EQ(state.category, 2);
  EXPECT_EQ(state.contentMode, 1);
  EXPECT_FALSE(state.processing);
  EXPECT_FALSE(state.boost);
  EXPECT_FALSE(state.kiro);
  EXPECT_EQ(state.userEq, render::kDefaultUserEqRecord);
}

TEST_F(HostSettings, OnlyALowLatencyKeyOfOneSelectsTheSmallBlocks) {
  EXPECT_FALSE(ReadLowLatency()) << "off by default";
  Write(keys::lowLatencyKey, 1);
  EXPECT_TRUE(ReadLowLatency());
  Write(keys::lowLatencyKey, 2);
  EXPECT_FALSE(ReadLowLatency());
  store().WriteProfileString(keys::settingsSection, keys::lowLatencyKey, "yes");
  EXPECT_FALSE(ReadLowLatency());
}

TEST_F(HostSettings, KiroCountsOnlyForHeadphones) {
  Write(keys::headphoneKiroKey, 1);
  Write(keys::modeKey, 0);
  EXPECT_FALSE(ReadListeningState().kiro);
  Write(keys::modeKey, 1);
  EXPECT_TRUE(ReadListeningState().kiro);
}

TEST_F(HostSettings, TheCategorysOwnBoostAndEqualizerRecord) {
  Write(keys::modeKey, 1);
  Write(keys::desktopBoostKey, 1);
  const render::UserEqRecord record = {0, 20, 5, -7, 1, 40, 2, 30};
  store().WriteProfileBinary(keys::settingsSection, keys::headphoneEqKey, EqBytes(record));
  ListeningState state = ReadListeningState();
  EXPECT_FALSE(state.boost) << "the desktop boost is not the headphones'";
  EXPECT_EQ(state.userEq, record);
  Write(keys::headphoneBoostKey, 1);
  EXPECT_TRUE(ReadListeningState().boost);
}

TEST_F(HostSettings, AnEqualizerRecordOfAnotherLengthReadsAsAbsent) {
  Write(keys::modeKey, 0);
  store().WriteProfileBinary(keys::settingsSection, keys::builtinEqKey, QByteArray(31, '\x01'));
  EXPECT_EQ(ReadListeningState().userEq, render::kDefaultUserEqRecord);
}

TEST_F(HostSettings, OutputNamesByCategoryCode) {
  store().WriteProfileString(keys::settingsSection, keys::biOutputKey, "Speakers (Built-in Audio)");
  store().WriteProfileString(keys::settingsSection, keys::hpOutputKey, "Headphones (USB Audio)");
  EXPECT_EQ(StoredOutputName(0), "Speakers (Built-in Audio)");
  EXPECT_EQ(StoredOutputName(1), "Headphones (USB Audio)");
  EXPECT_EQ(StoredOutputName(2), "");
  EXPECT_EQ(StoredOutputName(7), "") << "any other category has no device";
}

}  // namespace
}  // namespace auralith::engine
