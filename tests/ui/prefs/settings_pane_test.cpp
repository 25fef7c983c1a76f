#include "ui/prefs/prefs_pane_settings.h"

#include "prefs_fixture.h"
#include "ui/widgets/gdip_button.h"
#include "ui/widgets/static_image.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace auralith::ui::test {
namespace {

using profiles::PaneCategory;
namespace keys = settings;

class SettingsPaneTest : public PrefsFixture {
 protected:
  std::unique_ptr<APrefsPaneSettings> MakePane() { return std::make_unique<APrefsPaneSettings>(*context_, service_); }
};

TEST_F(SettingsPaneTest, StartUpLoadsEveryCategoryAndMirrorsTheMainWindow) {
  category_ = 1;
  Store(keys::hpOutputKey, "USB Headset");
  const auto pane = MakePane();
  EXPECT_EQ(pane->Category(), PaneCategory::Headphones);
  EXPECT_TRUE(pane->CategoryButton(PaneCategory::Headphones)->IsLit());
  EXPECT_FALSE(pane->CategoryButton(PaneCategory::Desktop)->IsLit());
  EXPECT_EQ(pane->OutputDevices()->count(), 2) << "the virtual device is not offered";
  EXPECT_EQ(pane->OutputDevices()->currentText(), "USB Headset");
  ASSERT_GE(profiles_.calls.size(), 3u);
  const std::size_t n = profiles_.calls.size();
  EXPECT_EQ(profiles_.calls[n - 3].code, 0);
  EXPECT_EQ(profiles_.calls[n - 2].code, 2);
  EXPECT_EQ(profiles_.calls[n - 1].code, 1);
  EXPECT_EQ(profiles_.calls[n - 1].path, Folder() + "Varrow Headphones.hvnp");
  EXPECT_EQ(pane->ActiveName()->text(), "Varrow Headphones");
  EXPECT_EQ(pane->Preset(2)->text(), "Dorvane\nHeadphones");
}

TEST_F(SettingsPaneTest, AnUnpluggedDeviceIsShownAsTheFallbackAndNoValueIsWritten) {
  category_ = 1;
  Store(keys::hpOutputKey, "Bluetooth Headphones");
  Store(keys::biOutputKey, "Speakers");
  Store(keys::dtOutputKey, "USB Headset");
  const auto pane = MakePane();
  pane->RefreshLists();
  EXPECT_EQ(pane->OutputDevices()->currentText(), "Speakers (Built-in Audio)");
  EXPECT_TRUE(chosen_.empty()) << "a refresh switches nothing";
  EXPECT_EQ(Stored(keys::hpOutputKey), "Bluetooth Headphones");
  EXPECT_EQ(Stored(keys::biOutputKey), "Speakers");
  EXPECT_EQ(Stored(keys::dtOutputKey), "USB Headset");
}

TEST_F(SettingsPaneTest, TheFirstRunStoresTheShownDeviceForTheCurrentCategoryOnly) {
  category_ = 0;
  const auto pane = MakePane();
  ASSERT_EQ(chosen_.size(), 1u);
  EXPECT_EQ(chosen_[0].sinkName, "speakers");
  EXPECT_EQ(Stored(keys::biOutputKey), "Speakers (Built-in Audio)");
  EXPECT_EQ(Stored(keys::hpOutputKey), "<absent>");
  EXPECT_EQ(Stored(keys::dtOutputKey), "<absent>");
  pane->RefreshLists();
  EXPECT_EQ(chosen_.size(), 1u) << "once stored, refreshes write nothing";
}

TEST_F(SettingsPaneTest, WithoutARealDeviceNothingIsWrittenOrSwitched) {
  devices_ = {devices_[0]};
  const auto pane = MakePane();
  EXPECT_EQ(pane->OutputDevices()->count(), 0);
  EXPECT_TRUE(chosen_.empty());
  EXPECT_EQ(Stored(keys::dtOutputKey), "<absent>");
}

TEST_F(SettingsPaneTest, OnlyTheUsersChoiceOfDeviceIsStoredAndDestructionWritesNothing) {
  Store(keys::dtOutputKey, "Speakers");
  auto pane = MakePane();
  pane->OutputDevices()->setCurrentIndex(1);  // code, not the user
  EXPECT_TRUE(chosen_.empty());
  pane->OutputDevices()->setCurrentIndex(0);
  emit pane->OutputDevices()->activated(1);
  ASSERT_EQ(chosen_.size(), 1u);
  EXPECT_EQ(chosen_[0].sinkName, "headset");
  EXPECT_EQ(Stored(keys::dtOutputKey), "USB Headset");
  Store(keys::dtOutputKey, "Speakers");  // chosen elsewhere, the tray menu
  pane.reset();
  EXPECT_EQ(Stored(keys::dtOutputKey), "Speakers");
  EXPECT_EQ(chosen_.size(), 1u);
}

TEST_F(SettingsPaneTest, TheLowLatencyBoxShowsTheStoredModeAndOnlyAClickStoresAndSwitchesIt) {
  store_->WriteProfileInt(keys::settingsSection, keys::lowLatencyKey, 1);
  const auto pane = MakePane();
  QCheckBox* box = pane->LowLatency();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->accessibleName(), "Low latency (for video)");
  EXPECT_EQ(box->text(), "Low latency (for video)");
  EXPECT_TRUE(box->isChecked());
  EXPECT_TRUE(lowLatencySwitches_.empty()) << "showing the stored mode switches nothing";

  pane->show();
  QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2));
  EXPECT_FALSE(box->isChecked());
  EXPECT_EQ(lowLatencySwitches_, std::vector<bool>{false});
  EXPECT_EQ(store_->GetProfileInt(keys::settingsSection, keys::lowLatencyKey, -1), 0);
  box->click();
  EXPECT_EQ(lowLatencySwitches_, (std::vector<bool>{false, true}));
  EXPECT_EQ(store_->GetProfileInt(keys::settingsSection, keys::lowLatencyKey, -1), 1);

  // Written elsewhere (the headless host's settings): a refresh shows it
  // without switching the engine again.
  store_->WriteProfileInt(keys::settingsSection, keys::lowLatencyKey, 0);
  pane->RefreshLists();
  EXPECT_FALSE(box->isChecked());
  EXPECT_EQ(lowLatencySwitches_.size(), 2u);
}

TEST_F(SettingsPaneTest, PresetThreeOfFiveMovesTheThirdToSlotOne) {
  category_ = 1;
  std::vector<QString> paths;
  for (const char* name : {"A.hvnp", "B.hvnp", "C.hvnp", "D.hvnp", "E.hvnp"}) paths.push_back(UserFile(name));
  for (std::size_t i = 0; i < paths.size(); ++i) Store(keys::headphoneSlotKeys[i], paths[i]);
  const auto pane = MakePane();
  QTest::mouseClick(pane->Preset(2), Qt::LeftButton);
  EXPECT_EQ(Stored(keys::headphoneSlotKeys[0]), paths[2]);
  EXPECT_EQ(Stored(keys::headphoneSlotKeys[1]), paths[0]);
  EXPECT_EQ(Stored(keys::headphoneSlotKeys[2]), paths[1]);
  EXPECT_EQ(Stored(keys::headphoneSlotKeys[3]), paths[3]);
  EXPECT_EQ(Stored(keys::headphoneSlotKeys[4]), paths[4]);
  EXPECT_EQ(profiles_.calls.back().path, paths[2]);
  EXPECT_EQ(profiles_.calls.back().code, 1);
  EXPECT_EQ(pane->ActiveName()->text(), "C");
  EXPECT_EQ(pane->Preset(1)->text(), "A");
  EXPECT_EQ(pane->Preset(2)->text(), "B");
}

TEST_F(SettingsPaneTest, AnUnreadableSlotShowsItsOwnNameAndNoPicture) {
  category_ = 1;
  QImage picture(8, 8, QImage::Format_ARGB32);
  picture.fill(Qt::red);
  ASSERT_TRUE(picture.save(Folder() + "Tennet_Headphones.png"));
  ASSERT_TRUE(QFile::remove(Folder() + "Dorvane Headphones.hvnp"));
  const auto pane = MakePane();
  EXPECT_FALSE(pane->SlotPicture(1)->Holder().IsEmpty()) << "slot 2 has its picture";
  EXPECT_EQ(pane->Preset(2)->text(), "Dorvane\nHeadphones");
  EXPECT_TRUE(pane->SlotPicture(2)->Holder().IsEmpty()) << "never slot 2's picture";
}

TEST_F(SettingsPaneTest, KiroControlsShowOnlyForHeadphonesAndFollowTheLock) {
  category_ = 1;
  store_->WriteProfileInt(keys::settingsSection, keys::headphoneKiroKey, 1);
  Store(keys::headphoneLockCodeKey, "1234");
  const auto pane = MakePane();
  pane->show();
  EXPECT_TRUE(pane->Kiro()->isVisible());
  EXPECT_TRUE(pane->Kiro()->isChecked());
  EXPECT_FALSE(pane->Kiro()->isEnabled());
  EXPECT_EQ(pane->LockButton()->text(), "Unlock");
  category_ = 0;
  pane->RefreshLists();
  pane->RefreshProfiles();
  EXPECT_FALSE(pane->Kiro()->isVisible());
  EXPECT_FALSE(pane->LockButton()->isVisible());
}

TEST_F(SettingsPaneTest, ClickingKiroStoresItAndTheLockOpensInTheRightMode) {
  category_ = 1;
  store_->WriteProfileInt(keys::settingsSection, keys::headphoneKiroKey, 1);
  const auto pane = MakePane();
  pane->show();
  std::vector<ALockDlg::Mode> modes;
  pane->SetLockRunner([&](ALockDlg::Mode mode) {
    modes.push_back(mode);
    Store(keys::headphoneLockCodeKey, mode == ALockDlg::Mode::Set ? "1234" : "");
    return true;
  });
  QTest::mouseClick(pane->LockButton(), Qt::LeftButton);
  EXPECT_EQ(pane->LockButton()->text(), "Unlock");
  EXPECT_FALSE(pane->Kiro()->isEnabled());
  QTest::mouseClick(pane->LockButton(), Qt::LeftButton);
  EXPECT_EQ(pane->LockButton()->text(), "Lock");
  ASSERT_EQ(modes.size(), 2u);
  EXPECT_EQ(modes[0], ALockDlg::Mode::Set);
  EXPECT_EQ(modes[1], ALockDlg::Mode::Unlock);
  pane->Kiro()->click();
  EXPECT_FALSE(pane->Kiro()->isChecked());
  EXPECT_FALSE(pane->LockButton()->isEnabled());
  EXPECT_EQ(store_->GetProfileInt(keys::settingsSection, keys::headphoneKiroKey, -1), 0);
}

TEST_F(SettingsPaneTest, TheDesktopButtonSwitchesTheMainWindowAndShowsItsSlotsAndDevice) {
  category_ = 0;
  Store(keys::biOutputKey, "Speakers");
  Store(keys::dtOutputKey, "USB Headset");
  const auto pane = MakePane();
  chosen_.clear();
  QTest::mouseClick(pane->CategoryButton(PaneCategory::Desktop), Qt::LeftButton);
  ASSERT_EQ(setCategories_.size(), 1u);
  EXPECT_EQ(setCategories_[0], 2);
  EXPECT_EQ(pane->Category(), PaneCategory::Desktop);
  EXPECT_EQ(pane->ActiveName()->text(), "Brevik Speakers");
  EXPECT_EQ(pane->OutputDevices()->currentText(), "USB Headset");
  EXPECT_TRUE(chosen_.empty());
}

}  // namespace
}  // namespace auralith::ui::test
