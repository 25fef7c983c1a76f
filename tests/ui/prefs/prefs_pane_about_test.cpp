#include "ui/prefs/prefs_pane_about.h"

#include "app/login_start.h"
#include "app/profile_slots.h"
#include "app/settings_store.h"
#include "dsp/dsp_state.h"
#include "ui/main/aulx_app_dlg.h"
#include "ui/widgets/gdip_button.h"
#include "ui/widgets/resources/ui_strings.h"
#include "ui/widgets/static_image.h"
#include "update/own_version.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>

#include "support/scoped_env.h"

namespace auralith::ui {
namespace {

class NoProfiles : public app::CategoryProfileTarget {
 public:
  void SetBuiltInProfile(const QString&, int) override {}
  void SetDesktopProfile(const QString&, int) override {}
  void SetHeadphoneProfile(const QString&, int) override {}
};

// Takes the URLs the pane asks the desktop to open.
class UrlRecorder : public QObject {
  Q_OBJECT
 public:
  QList<QUrl> opened;
 public slots:
  void Open(const QUrl& url) { opened << url; }
};

// The pane reads nothing of the context; it gets one like every pane.
class PrefsPaneAboutTest : public ::testing::Test {
 protected:
  settings::SettingsStore store{QStringLiteral("Halvorn Test"), QStringLiteral("AboutPane")};
  std::unique_ptr<dsp::DspState> state = std::make_unique<dsp::DspState>();
  NoProfiles profiles;
  PrefsContext context{store, *state, profiles, {}, {}, {}, {}, {}, {}, {}, {}};
  APrefsPaneAbout pane{context};
};

TEST_F(PrefsPaneAboutTest, ShowsTheProductAndTheVersionTheUpdateCheckCompares) {
  EXPECT_EQ(APrefsPaneAbout::VersionLine(), QStringLiteral("Version ") + QString::fromLatin1(kOwnVersionString));
  EXPECT_EQ(APrefsPaneAbout::VersionLine(), QStringLiteral("Version 1.2.4"));
  // The string table's version is the same fact.
  EXPECT_EQ(UiString(145), QString::fromLatin1(kOwnVersionString));
  QStringList texts;
  for (QLabel* label : pane.findChildren<QLabel*>()) texts << label->text();
  EXPECT_TRUE(texts.contains(QStringLiteral("Halvorn Auralith")));
  EXPECT_TRUE(texts.contains(QStringLiteral("Version 1.2.4")));
  auto* description = pane.findChild<QLabel*>(QStringLiteral("description"));
  ASSERT_NE(description, nullptr);
  EXPECT_EQ(description->text(), QStringLiteral("Patented real-time audio re-mastering"));
  EXPECT_TRUE(description->font().italic());
  auto* logo = pane.findChild<AStaticImage*>(QStringLiteral("logo"));
  ASSERT_NE(logo, nullptr);
  EXPECT_FALSE(logo->Holder().IsEmpty());
}

TEST_F(PrefsPaneAboutTest, BannerOpensTheHomePage) {
  pane.show();

  UrlRecorder recorder;
  QDesktopServices::setUrlHandler(QStringLiteral("http"), &recorder, "Open");
  auto* link = pane.findChild<CGdipButton*>(QStringLiteral("homePageLink"));
  ASSERT_NE(link, nullptr);
  auto* banner = pane.findChild<AStaticImage*>(QStringLiteral("banner"));
  ASSERT_NE(banner, nullptr);
  EXPECT_EQ(link->geometry(), banner->geometry());
  EXPECT_FALSE(link->accessibleName().isEmpty());
  QTest::mouseClick(link, Qt::LeftButton);
  QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
  ASSERT_EQ(recorder.opened.size(), 1);
  EXPECT_EQ(recorder.opened.front(), QUrl(QString::fromLatin1(kHomePageUrl)));
}

TEST_F(PrefsPaneAboutTest, TheLoginBoxSwitchesTheAutostartEntryAndShowsWhetherItExists) {
  QTemporaryDir config;
  ASSERT_TRUE(config.isValid());
  testing::ScopedEnv home("XDG_CONFIG_HOME", config.path().toLocal8Bit().constData());
  const QString entry = config.path() + QStringLiteral("/autostart/auralith.desktop");
  APrefsPaneAbout own(context);
  own.show();
  QCheckBox* box = own.StartAtLoginBox();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->text(), QStringLiteral("Start Auralith when I log in"));
  EXPECT_EQ(box->accessibleName(), box->text());
  // Off by default.
  EXPECT_FALSE(box->isChecked());

  QTest::mouseClick(box, Qt::LeftButton, {}, box->rect().center());
  EXPECT_TRUE(box->isChecked());
  EXPECT_TRUE(QFile::exists(entry));
  QTest::mouseClick(box, Qt::LeftButton, {}, box->rect().center());
  EXPECT_FALSE(box->isChecked());
  EXPECT_FALSE(QFile::exists(entry));

  // Switched on elsewhere (the command line) while the pane was hidden.
  own.hide();
  ASSERT_TRUE(app::SetStartAtLogin(true));
  own.show();
  EXPECT_TRUE(box->isChecked());
}

}  // namespace
}  // namespace auralith::ui

#include "prefs_pane_about_test.moc"
