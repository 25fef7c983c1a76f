#include "ui/prefs/profile_browser.h"

#include "prefs_fixture.h"
#include "ui/prefs/prefs_pane_settings.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

namespace auralith::ui::test {
namespace {

using profiles::PaneCategory;
namespace keys = settings;

const QByteArray kCatalogue = R"(<?xml version="1.0"?>
<profiles>
 <device><id>1</id>
  <manufacturer><name>Empty Co</name></manufacturer>
  <manufacturer><name>Lapco</name>
   <model><name>Lap One</name><description>First laptop</description>
     <file_url>http://srv/files/Lap%20One.hvnp</file_url><image_url></image_url></model>
   <model><name>Lap Two</name><description>Second laptop</description>
     <file_url>http://srv/files/Lap%20Two.hvnp</file_url><image_url></image_url></model>
  </manufacturer>
 </device>
 <device><id>3</id>
  <manufacturer><name>Earco</name>
   <model><name>Ear One</name><description>Closed headphones</description>
     <file_url>http://srv/files/Ear%20One.hvnp</file_url><image_url></image_url></model>
  </manufacturer>
 </device>
</profiles>
)";

class ProfileBrowserTest : public PrefsFixture {
 protected:
  void SetUp() override {
    PrefsFixture::SetUp();
    service_.reply = kCatalogue;
  }
  std::unique_ptr<APrefsPaneSettings> MakePane() { return std::make_unique<APrefsPaneSettings>(*context_, service_); }
  // Fetches the catalogue and picks the first manufacturer and model.
  static ProfileBrowser& ChooseFirstModel(APrefsPaneSettings& pane) {
    ProfileBrowser& browser = pane.Browser();
    browser.FetchCatalogue();
    browser.Manufacturers()->setCurrentRow(0);
    browser.Models()->setCurrentRow(0);
    return browser;
  }
  static QStringList Rows(const QListWidget* list) {
    QStringList rows;
    for (int i = 0; i < list->count(); ++i) rows << list->item(i)->text();
    return rows;
  }
};

TEST_F(ProfileBrowserTest, TheFetchListsTheCategorysManufacturersWithModelsOnly) {
  category_ = 0;
  const auto pane = MakePane();
  ProfileBrowser& browser = pane->Browser();
  EXPECT_EQ(browser.Manufacturers()->count(), 0);
  QTest::mouseClick(browser.FetchButton(), Qt::LeftButton);
  EXPECT_EQ(service_.catalogueFetches, 1);
  EXPECT_EQ(Rows(browser.Manufacturers()), QStringList{"Lapco"});
  EXPECT_TRUE(browser.Status()->text().isEmpty());
  EXPECT_TRUE(browser.FetchButton()->isEnabled());
  browser.Manufacturers()->setCurrentRow(0);
  EXPECT_EQ(Rows(browser.Models()), (QStringList{"Lap One", "Lap Two"}));
  browser.Models()->setCurrentRow(1);
  EXPECT_EQ(browser.Description()->text(), "Second laptop");
  EXPECT_TRUE(browser.GetProfileButton()->isEnabled()) << "no picture, still enabled";
}

TEST_F(ProfileBrowserTest, ACategoryChangeFromElsewhereRefillsTheListsWithoutARequest) {
  category_ = 0;
  const auto pane = MakePane();
  ProfileBrowser& browser = pane->Browser();
  browser.FetchCatalogue();
  browser.Manufacturers()->setCurrentRow(0);
  ASSERT_EQ(browser.Models()->count(), 2);
  category_ = 1;  // the tray switched to headphones
  pane->RefreshLists();
  EXPECT_EQ(Rows(browser.Manufacturers()), QStringList{"Earco"});
  EXPECT_EQ(browser.Models()->count(), 0);
  EXPECT_FALSE(browser.GetProfileButton()->isEnabled());
  EXPECT_EQ(service_.catalogueFetches, 1);
}

TEST_F(ProfileBrowserTest, GetProfileStoresNothingForARowOfAnotherCategory) {
  category_ = 1;
  const auto pane = MakePane();
  ProfileBrowser& browser = ChooseFirstModel(*pane);
  // A copy of the row outlives the switch, as a row left on screen would.
  const QListWidgetItem headphoneRow(*browser.Models()->currentItem());
  ASSERT_NE(browser.RecordOf(&headphoneRow), nullptr);
  category_ = 0;
  pane->OnCategoryButton(PaneCategory::BuiltIn);
  EXPECT_EQ(browser.Models()->count(), 0) << "the switch empties the model list";
  EXPECT_EQ(browser.RecordOf(&headphoneRow), nullptr);
  browser.GetProfile();
  EXPECT_TRUE(service_.stored.empty());
}

TEST_F(ProfileBrowserTest, ARefetchInvalidatesOldRows) {
  category_ = 0;
  const auto pane = MakePane();
  ProfileBrowser& browser = pane->Browser();
  browser.FetchCatalogue();
  browser.Manufacturers()->setCurrentRow(0);
  const QListWidgetItem stale(*browser.Models()->item(0));
  ASSERT_NE(browser.RecordOf(&stale), nullptr);
  browser.FetchCatalogue();
  EXPECT_EQ(browser.RecordOf(&stale), nullptr);
}

TEST_F(ProfileBrowserTest, AStoredProfileBecomesSlotOneOfTheCategory) {
  category_ = 1;
  const QString path = UserFile("Ear One.hvnp");
  service_.storedPath = path.toStdString();
  const auto pane = MakePane();
  ProfileBrowser& browser = ChooseFirstModel(*pane);
  QTest::mouseClick(browser.GetProfileButton(), Qt::LeftButton);
  ASSERT_EQ(service_.stored.size(), 1u);
  EXPECT_EQ(service_.stored[0].model, "Ear One");
  EXPECT_EQ(service_.stored[0].deviceCategoryId, 3);
  EXPECT_EQ(showPreferences_, 1);
  EXPECT_EQ(Stored(keys::headphoneSlotKeys[0]), path);
  EXPECT_EQ(Stored(keys::headphoneSlotKeys[1]), Folder() + "Varrow Headphones.hvnp");
  EXPECT_EQ(profiles_.calls.back().path, path);
  EXPECT_EQ(pane->ActiveName()->text(), "Ear One");
}

TEST_F(ProfileBrowserTest, AFailedFetchChangesNoSlot) {
  category_ = 1;
  const auto pane = MakePane();
  ProfileBrowser& browser = ChooseFirstModel(*pane);
  browser.GetProfile();
  EXPECT_EQ(service_.stored.size(), 1u);
  EXPECT_EQ(Stored(keys::headphoneSlotKeys[0]), "<absent>");
  EXPECT_EQ(showPreferences_, 0);
}

}  // namespace
}  // namespace auralith::ui::test
