#include "ui/prefs/prefs_dlg.h"

#include "prefs_fixture.h"
#include "ui/main/help_dlg.h"
#include "ui/prefs/prefs_pane_settings.h"
#include "ui/prefs/prefs_tab_ctrl.h"
#include "ui/widgets/gdip_button.h"

#include <QComboBox>
#include <QFile>
#include <QTest>

namespace auralith::ui::test {
namespace {

class PrefsDlgTest : public PrefsFixture {
 protected:
  std::unique_ptr<APrefsDlg> MakeDialog() {
    return std::make_unique<APrefsDlg>(*context_, std::make_unique<FakeService>());
  }
};

TEST_F(PrefsDlgTest, CreatedHiddenWithThreeTabsOnSettings) {
  const auto dialog = MakeDialog();
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_TRUE(dialog->Ready());
  APrefsTabCtrl& tabs = dialog->Tabs();
  ASSERT_EQ(tabs.count(), 3);
  EXPECT_EQ(tabs.tabText(0), "Settings");
  EXPECT_EQ(tabs.tabText(1), "ULX Equalizer");
  EXPECT_EQ(tabs.tabText(2), "About");
  EXPECT_EQ(tabs.currentIndex(), 0);
  EXPECT_EQ(dialog->windowTitle(), "Auralith Preferences");
  EXPECT_EQ(dialog->HelpButton()->ButtonTip(), "Open online help page");
  EXPECT_EQ(dialog->SoundButton()->ButtonTip(), "Open the Sound Settings window for your computer");
  for (CGdipButton* button : {dialog->HelpButton(), dialog->SoundButton()}) {
    for (bool lit : {false, true}) {
      button->SetLit(lit);
      const ImageHolder* shown = button->CurrentImage();
      ASSERT_NE(shown, nullptr);
      EXPECT_FALSE(shown->IsEmpty()) << "the icon shows in either state";
    }
  }
}

TEST_F(PrefsDlgTest, EscapeOnlyHidesAndTheTabIsKeptAcrossShowings) {
  const auto dialog = MakeDialog();
  dialog->ShowWindow();
  ASSERT_TRUE(dialog->isVisible());
  dialog->Tabs().setCurrentIndex(APrefsTabCtrl::kAboutTab);
  QTest::keyClick(dialog.get(), Qt::Key_Escape);
  EXPECT_FALSE(dialog->isVisible());
  dialog->RefreshPanes();
  dialog->ShowWindow();
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(dialog->Tabs().currentIndex(), APrefsTabCtrl::kAboutTab);
}

TEST_F(PrefsDlgTest, RefreshPanesBringsTheSettingsPaneToTheMainWindowsCategory) {
  Store(settings::hpOutputKey, "USB Headset");
  const auto dialog = MakeDialog();
  category_ = 1;
  dialog->RefreshPanes();
  EXPECT_EQ(dialog->Tabs().Settings().Category(), profiles::PaneCategory::Headphones);
  EXPECT_EQ(dialog->Tabs().Settings().OutputDevices()->currentText(), "USB Headset");
}

TEST_F(PrefsDlgTest, TheSoundSettingsAreTheFirstProgramFoundInOrder) {
  QTemporaryDir bin;
  ASSERT_TRUE(bin.isValid());
  const QByteArray path = qgetenv("PATH");
  qputenv("PATH", bin.path().toLocal8Bit());
  EXPECT_FALSE(FindSoundSettings().has_value());
  const auto install = [&](const QString& name) {
    QFile file(bin.path() + "/" + name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\n");
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  };
  install("systemsettings");
  std::optional<SoundSettingsCommand> found = FindSoundSettings();
  ASSERT_TRUE(found.has_value());
  EXPECT_TRUE(found->program.endsWith("/systemsettings"));
  EXPECT_EQ(found->arguments, QStringList{"kcm_pulseaudio"});
  install("gnome-control-center");
  found = FindSoundSettings();
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(found->arguments, QStringList{"sound"});
  install("pavucontrol");
  found = FindSoundSettings();
  ASSERT_TRUE(found.has_value());
  EXPECT_TRUE(found->program.endsWith("/pavucontrol"));
  EXPECT_TRUE(found->arguments.isEmpty());
  qputenv("PATH", path);
}

}  // namespace
}  // namespace auralith::ui::test
