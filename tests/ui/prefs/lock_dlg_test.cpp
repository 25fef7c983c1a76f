#include "ui/prefs/lock_dlg.h"

#include "app/settings_keys.h"
#include "app/settings_store.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>
#include <optional>

namespace {

namespace keys = auralith::settings;

class LockDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(config_.isValid());
    setenv(keys::configDirEnv, config_.path().toLocal8Bit().constData(), 1);
    store_.emplace();
  }
  void TearDown() override { unsetenv(keys::configDirEnv); }
  QString Code() const {
    return store_->GetProfileString(keys::settingsSection, keys::headphoneLockCodeKey, "<absent>");
  }

  QTemporaryDir config_;
  std::optional<keys::SettingsStore> store_;
};

TEST_F(LockDlgTest, SetModeEnablesOkOnlyForTwoEqualFourDigitCodes) {
  ALockDlg dialog(*store_, ALockDlg::Mode::Set);
  EXPECT_FALSE(dialog.OkButton()->isEnabled());
  EXPECT_EQ(dialog.CodeEdit()->echoMode(), QLineEdit::Password);
  EXPECT_EQ(dialog.CodeEdit()->maxLength(), 4);
  QTest::keyClicks(dialog.CodeEdit(), "12a3x4");
  EXPECT_EQ(dialog.CodeEdit()->text(), "1234") << "letters cannot be typed";
  QTest::keyClicks(dialog.ConfirmEdit(), "1235");
  EXPECT_FALSE(dialog.OkButton()->isEnabled());
  dialog.ConfirmEdit()->setText("123");
  EXPECT_FALSE(dialog.OkButton()->isEnabled());
  dialog.CodeEdit()->setText("123");
  EXPECT_FALSE(dialog.OkButton()->isEnabled()) << "three equal digits are not a code";
  dialog.CodeEdit()->setText("1234");
  dialog.ConfirmEdit()->setText("1234");
  EXPECT_TRUE(dialog.OkButton()->isEnabled());
  QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(Code(), "1234");
}

TEST_F(LockDlgTest, AcceptWithoutAValidInputStoresNothingAndStaysOpen) {
  ALockDlg dialog(*store_, ALockDlg::Mode::Set);
  dialog.show();
  dialog.CodeEdit()->setText("12");
  dialog.ConfirmEdit()->setText("12");
  QTest::keyClick(dialog.ConfirmEdit(), Qt::Key_Return);  // the default button
  dialog.accept();
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(Code(), "<absent>");
}

TEST_F(LockDlgTest, UnlockModeTakesOnlyTheStoredCodeAndClearsIt) {
  store_->WriteProfileString(keys::settingsSection, keys::headphoneLockCodeKey, "4321");
  ALockDlg dialog(*store_, ALockDlg::Mode::Unlock);
  dialog.show();
  EXPECT_FALSE(dialog.ConfirmEdit()->isVisible());
  EXPECT_EQ(dialog.OkButton()->text(), "Unlock");
  dialog.CodeEdit()->setText("1234");
  EXPECT_FALSE(dialog.OkButton()->isEnabled());
  dialog.accept();
  EXPECT_EQ(Code(), "4321") << "a wrong code unlocks nothing";
  dialog.CodeEdit()->setText("4321");
  EXPECT_TRUE(dialog.OkButton()->isEnabled());
  dialog.accept();
  EXPECT_EQ(Code(), "");
}

TEST_F(LockDlgTest, CancellingStoresNothingInEitherMode) {
  store_->WriteProfileString(keys::settingsSection, keys::headphoneLockCodeKey, "4321");
  for (ALockDlg::Mode mode : {ALockDlg::Mode::Set, ALockDlg::Mode::Unlock}) {
    ALockDlg dialog(*store_, mode);
    dialog.show();
    dialog.CodeEdit()->setText("4321");
    dialog.ConfirmEdit()->setText("4321");
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(Code(), "4321");
  }
}

}  // namespace
