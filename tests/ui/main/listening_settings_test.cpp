#include "ui/main/listening_settings.h"

#include "app/settings_keys.h"
#include "app/settings_store.h"
#include "ui/main/window_commands.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace auralith::ui {
namespace {

namespace keys = auralith::settings;

class ListeningSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { qputenv(keys::configDirEnv, dir_.path().toUtf8()); }
  void TearDown() override { qunsetenv(keys::configDirEnv); }

  QTemporaryDir dir_;
};

TEST_F(ListeningSettingsTest, EmptyStoreGivesFirstRunDefaults) {
  keys::SettingsStore store;
  const StoredState state = ReadStoredState(store);
  EXPECT_EQ(state.category, kCategoryDesktop);
  EXPECT_EQ(state.contentMode, 1);
  EXPECT_FALSE(state.processing);
  EXPECT_EQ(state.visible, keys::isVisibleKeyFirstRun);
}

TEST_F(ListeningSettingsTest, OutOfRangeCategoryAndModeReadAsDefaults) {
  keys::SettingsStore store;
  for (int bad : {-1, 3, 7, 1000}) {
    store.WriteProfileInt(keys::settingsSection, keys::modeKey, bad);
    store.WriteProfileInt(keys::settingsSection, keys::musicKey, bad);
    const StoredState state = ReadStoredState(store);
    EXPECT_EQ(state.category, kCategoryDesktop) << bad;
    EXPECT_EQ(state.contentMode, 1) << bad;
  }
  store.WriteProfileInt(keys::settingsSection, keys::musicKey, 2);
  EXPECT_EQ(ReadStoredState(store).contentMode, 1);
  for (int category : {0, 1, 2}) {
    store.WriteProfileInt(keys::settingsSection, keys::modeKey, category);
    EXPECT_EQ(ReadStoredState(store).category, category);
  }
  store.WriteProfileInt(keys::settingsSection, keys::musicKey, 0);
  EXPECT_EQ(ReadStoredState(store).contentMode, 0);
}

TEST_F(ListeningSettingsTest, StateValuesRoundTrip) {
  keys::SettingsStore store;
  WriteStoredState(store, StoredState{kCategoryHeadphones, 0, true, 0});
  const StoredState state = ReadStoredState(store);
  EXPECT_EQ(state.category, kCategoryHeadphones);
  EXPECT_EQ(state.contentMode, 0);
  EXPECT_TRUE(state.processing);
  EXPECT_EQ(state.visible, 0);
  EXPECT_EQ(store.GetProfileInt(keys::settingsSection, keys::isProcessingKey, -5), 1);
}

TEST_F(ListeningSettingsTest, CategoryValuesFollowTheirNames) {
  EXPECT_STREQ(OutputKeyOf(kCategoryBuiltIn), keys::biOutputKey);
  EXPECT_STREQ(OutputKeyOf(kCategoryHeadphones), keys::hpOutputKey);
  EXPECT_STREQ(OutputKeyOf(kCategoryDesktop), keys::dtOutputKey);
  EXPECT_STREQ(OutputKeyOf(9), keys::biOutputKey);
  EXPECT_STREQ(EqKeyOf(kCategoryHeadphones), keys::headphoneEqKey);
  EXPECT_STREQ(BoostKeyOf(kCategoryBuiltIn), keys::builtInBoostKey);
  EXPECT_EQ(PaneCategoryOf(kCategoryHeadphones), profiles::PaneCategory::Headphones);
  EXPECT_EQ(PaneCategoryOf(kCategoryDesktop), profiles::PaneCategory::Desktop);
  EXPECT_EQ(CategoryMenuItem(kCategoryHeadphones), command_id::kHeadphones);
  EXPECT_EQ(CategoryMenuItem(kCategoryDesktop), command_id::kDesktop);
  EXPECT_EQ(CategoryMenuItem(kCategoryBuiltIn), command_id::kBuiltIn);
  EXPECT_EQ(ContentMenuItem(1), command_id::kMusic);
  EXPECT_EQ(ContentMenuItem(0), command_id::kMovie);
}

TEST_F(ListeningSettingsTest, KiroOnlyForHeadphones) {
  keys::SettingsStore store;
  EXPECT_FALSE(KiroActiveFor(store, kCategoryHeadphones));
  store.WriteProfileInt(keys::settingsSection, keys::headphoneKiroKey, 1);
  EXPECT_TRUE(KiroActiveFor(store, kCategoryHeadphones));
  EXPECT_FALSE(KiroActiveFor(store, kCategoryDesktop));
  EXPECT_FALSE(KiroActiveFor(store, kCategoryBuiltIn));
}

}  // namespace
}  // namespace auralith::ui
