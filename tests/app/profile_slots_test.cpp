#include "app/profile_slots.h"

#include "app/settings_keys.h"
#include "app/settings_store.h"
#include "profiles/profile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdlib>
#include <optional>
#include <utility>
#include <vector>

namespace auralith::app {
namespace {

using settings::settingsSection;

// Plays the main window: keeps one loaded profile per category, as the
// controller does, and records every activation in order.
class RecordingTarget : public CategoryProfileTarget {
 public:
  struct Call {
    PaneCategory category;
    QString path;
    int boost;
  };

  explicit RecordingTarget(const std::string& folder) : builtIn(folder), desktop(folder), headphones(folder) {}

  void SetBuiltInProfile(const QString& path, int boost) override { Take(PaneCategory::BuiltIn, builtIn, path, boost); }
  void SetDesktopProfile(const QString& path, int boost) override { Take(PaneCategory::Desktop, desktop, path, boost); }
  void SetHeadphoneProfile(const QString& path, int boost) override {
    Take(PaneCategory::Headphones, headphones, path, boost);
  }

  profiles::Profile builtIn;
  profiles::Profile desktop;
  profiles::Profile headphones;
  std::vector<Call> calls;

 private:
  void Take(PaneCategory category, profiles::Profile& profile, const QString& path, int boost) {
    profile.setBoost(boost);
    profile.load(path.toStdString());
    calls.push_back({category, path, boost});
  }
};

class ProfileSlotsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(config_.isValid());
    ASSERT_TRUE(profileDir_.isValid());
    setenv(settings::configDirEnv, config_.path().toLocal8Bit().constData(), 1);
    // The shipped profiles, installed as a fresh profile folder.
    const QDir assets(AURALITH_PROFILE_ASSETS);
    for (const QString& name : assets.entryList({"*.hvnp"}, QDir::Files))
      ASSERT_TRUE(QFile::copy(assets.filePath(name), Folder() + name));
    store_.emplace();
    target_.emplace(Folder().toStdString());
  }
  void TearDown() override { unsetenv(settings::configDirEnv); }

  QString Folder() const { return profileDir_.path() + "/"; }
  QString Builtin(PaneCategory category, int slot) const {
    return Folder() + profiles::BuiltinProfileFile(category, slot);
  }
  // A profile file of the user's own (a copy of a shipped one).
  QString UserFile(const QString& name) const {
    const QString path = Folder() + name;
    QFile::copy(Builtin(PaneCategory::Headphones, 2), path);
    return path;
  }
  ProfileSlots Slots() { return ProfileSlots(*store_, *target_, Folder().toStdString()); }
  QString Stored(const char* key) const { return store_->GetProfileString(settingsSection, key, "<absent>"); }
  void StoreSlots(const char* const* keys, const std::vector<QString>& paths) {
    for (std::size_t i = 0; i < paths.size(); ++i) store_->WriteProfileString(settingsSection, keys[i], paths[i]);
  }
  // Five user files A to E stored as the headphone slots.
  std::vector<QString> StoreFiveHeadphoneFiles() {
    std::vector<QString> paths;
    for (const char* name : {"A.hvnp", "B.hvnp", "C.hvnp", "D.hvnp", "E.hvnp"}) paths.push_back(UserFile(name));
    StoreSlots(settings::headphoneSlotKeys, paths);
    return paths;
  }
  std::vector<QString> StoredHeadphoneSlots() const {
    std::vector<QString> paths;
    for (const char* key : settings::headphoneSlotKeys) paths.push_back(Stored(key));
    return paths;
  }
  static std::vector<QString> AsVector(const ProfileSlots::SlotList& list) { return {list.begin(), list.end()}; }

  QTemporaryDir config_;
  QTemporaryDir profileDir_;
  std::optional<settings::SettingsStore> store_;
  std::optional<RecordingTarget> target_;
};

TEST_F(ProfileSlotsTest, EmptyStoreListsTheBuiltinTableAndWritesNothing) {
  ProfileSlots lists = Slots();
  for (PaneCategory category : {PaneCategory::BuiltIn, PaneCategory::Desktop, PaneCategory::Headphones})
    for (int slot = 1; slot <= 5; ++slot)
      EXPECT_EQ(lists.Slots(category)[static_cast<std::size_t>(slot - 1)], Builtin(category, slot));
  EXPECT_EQ(lists.ActivePath(PaneCategory::Headphones), Folder() + "Varrow Headphones.hvnp");
  lists.Refresh();
  EXPECT_FALSE(QFileInfo::exists(store_->FilePath())) << "a refresh must not write the fallbacks back";
  EXPECT_TRUE(target_->calls.empty()) << "building the lists activates nothing";
}

TEST_F(ProfileSlotsTest, StartUpLoadsEverySlotOneInCategoryOrderWithItsBoost) {
  store_->WriteProfileInt(settingsSection, settings::headphoneBoostKey, 1);
  const QString ownDesktop = UserFile("My Speakers.hvnp");
  store_->WriteProfileString(settingsSection, settings::desktopSlotKeys[0], ownDesktop);

  Slots().ActivateAll();

  ASSERT_EQ(target_->calls.size(), 3u);
  EXPECT_EQ(target_->calls[0].category, PaneCategory::BuiltIn);
  EXPECT_EQ(target_->calls[0].path, Builtin(PaneCategory::BuiltIn, 1));
  EXPECT_EQ(target_->calls[0].boost, 0);
  EXPECT_EQ(target_->calls[1].category, PaneCategory::Desktop);
  EXPECT_EQ(target_->calls[1].path, ownDesktop);
  EXPECT_EQ(target_->calls[2].category, PaneCategory::Headphones);
  EXPECT_EQ(target_->calls[2].path, Builtin(PaneCategory::Headphones, 1));
  EXPECT_EQ(target_->calls[2].boost, 1);
  EXPECT_EQ(target_->headphones.boost(), 1);
  EXPECT_EQ(target_->builtIn.boost(), 0);

  // Each category's profile holds the parameters of its own file.
  for (auto [profile, path] :
       {std::pair{&target_->builtIn, Builtin(PaneCategory::BuiltIn, 1)}, std::pair{&target_->desktop, ownDesktop},
        std::pair{&target_->headphones, Builtin(PaneCategory::Headphones, 1)}}) {
    profiles::Profile direct(Folder().toStdString());
    direct.load(path.toStdString());
    ASSERT_FALSE(direct.musicSet().empty()) << path.toStdString();
    for (int number = 1; number <= 58; ++number) {
      EXPECT_EQ(profile->musicSet()[number], direct.musicSet()[number]) << path.toStdString() << " #" << number;
      EXPECT_EQ(profile->movieSet()[number], direct.movieSet()[number]) << path.toStdString() << " #" << number;
    }
  }
}

TEST_F(ProfileSlotsTest, MissingFilesFallBackPerSlotPosition) {
  const QString own = UserFile("Own.hvnp");
  StoreSlots(settings::builtInSlotKeys, {Folder() + "gone.hvnp", "", own, profileDir_.path()});
  ProfileSlots lists = Slots();
  const auto& list = lists.Slots(PaneCategory::BuiltIn);
  EXPECT_EQ(list[0], Builtin(PaneCategory::BuiltIn, 1)) << "a file that is gone";
  EXPECT_EQ(list[1], Builtin(PaneCategory::BuiltIn, 2)) << "an empty value";
  EXPECT_EQ(list[2], own);
  EXPECT_EQ(list[3], Builtin(PaneCategory::BuiltIn, 4)) << "a folder is no profile file";
  EXPECT_EQ(list[4], Builtin(PaneCategory::BuiltIn, 5)) << "never written";
  EXPECT_EQ(Stored(settings::builtInSlotKeys[0]), Folder() + "gone.hvnp") << "nothing is written back";
}

TEST_F(ProfileSlotsTest, MakeSlotActiveMovesOneSlotUpKeepsTheOthersAndWritesAllFive) {
  const auto p = StoreFiveHeadphoneFiles();
  ProfileSlots lists = Slots();

  ASSERT_TRUE(lists.MakeSlotActive(PaneCategory::Headphones, 2));
  const std::vector<QString> afterThird = {p[2], p[0], p[1], p[3], p[4]};
  EXPECT_EQ(AsVector(lists.Slots(PaneCategory::Headphones)), afterThird);
  EXPECT_EQ(StoredHeadphoneSlots(), afterThird);
  ASSERT_EQ(target_->calls.size(), 1u);
  EXPECT_EQ(target_->calls[0].category, PaneCategory::Headphones);
  EXPECT_EQ(target_->calls[0].path, p[2]);

  ASSERT_TRUE(lists.MakeSlotActive(PaneCategory::Headphones, 4));
  const std::vector<QString> afterFifth = {p[4], p[2], p[0], p[1], p[3]};
  EXPECT_EQ(AsVector(lists.Slots(PaneCategory::Headphones)), afterFifth);
  EXPECT_EQ(StoredHeadphoneSlots(), afterFifth);
}

TEST_F(ProfileSlotsTest, MakeSlotActiveWritesTheFallbacksTooAndLeavesOtherCategoriesAlone) {
  ProfileSlots lists = Slots();
  ASSERT_TRUE(lists.MakeSlotActive(PaneCategory::Desktop, 4));
  const std::vector<QString> expected = {Builtin(PaneCategory::Desktop, 5), Builtin(PaneCategory::Desktop, 1),
                                         Builtin(PaneCategory::Desktop, 2), Builtin(PaneCategory::Desktop, 3),
                                         Builtin(PaneCategory::Desktop, 4)};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Stored(settings::desktopSlotKeys[i]), expected[static_cast<std::size_t>(i)]);
  EXPECT_EQ(Stored(settings::builtInSlotKeys[0]), "<absent>");
  EXPECT_EQ(Stored(settings::headphoneSlotKeys[0]), "<absent>");
  EXPECT_EQ(target_->desktop.record().location, Builtin(PaneCategory::Desktop, 5).toStdString())
      << "the desktop profile was loaded from the new slot 1";
  ASSERT_EQ(target_->calls.size(), 1u);
  EXPECT_EQ(target_->calls[0].path, Builtin(PaneCategory::Desktop, 5));
}

TEST_F(ProfileSlotsTest, MakeSlotActiveRefusesIndexesOutsideOneToFour) {
  const auto p = StoreFiveHeadphoneFiles();
  ProfileSlots lists = Slots();
  for (int index : {-1, 0, 5}) EXPECT_FALSE(lists.MakeSlotActive(PaneCategory::Headphones, index)) << index;
  EXPECT_EQ(StoredHeadphoneSlots(), p);
  EXPECT_TRUE(target_->calls.empty());
}

TEST_F(ProfileSlotsTest, AddingANewPathDropsSlotFive) {
  const auto p = StoreFiveHeadphoneFiles();
  const QString added = UserFile("Fetched.hvnp");
  ProfileSlots lists = Slots();
  lists.AddPath(PaneCategory::Headphones, added);
  const std::vector<QString> expected = {added, p[0], p[1], p[2], p[3]};
  EXPECT_EQ(StoredHeadphoneSlots(), expected);
  EXPECT_EQ(AsVector(lists.Slots(PaneCategory::Headphones)), expected);
  ASSERT_FALSE(target_->calls.empty());
  EXPECT_EQ(target_->calls.back().path, added);
}

TEST_F(ProfileSlotsTest, AddingAListedPathMovesItUpWithoutDroppingAnything) {
  const auto p = StoreFiveHeadphoneFiles();
  ProfileSlots lists = Slots();
  lists.AddPath(PaneCategory::Headphones, p[3]);
  const std::vector<QString> expected = {p[3], p[0], p[1], p[2], p[4]};
  EXPECT_EQ(StoredHeadphoneSlots(), expected);
  ASSERT_FALSE(target_->calls.empty());
  EXPECT_EQ(target_->calls.back().path, p[3]);

  // Already in slot 1: the order stays and the profile is activated again.
  const std::size_t before = target_->calls.size();
  lists.AddPath(PaneCategory::Headphones, p[3]);
  EXPECT_EQ(StoredHeadphoneSlots(), expected);
  EXPECT_EQ(target_->calls.size(), before + 1);
  EXPECT_EQ(target_->calls.back().path, p[3]);
}

TEST_F(ProfileSlotsTest, LetterCaseMakesADifferentPath) {
  const auto p = StoreFiveHeadphoneFiles();
  const QString upper = Folder() + "A.HVNP";
  ASSERT_TRUE(QFile::copy(p[0], upper));
  ProfileSlots lists = Slots();
  lists.AddPath(PaneCategory::Headphones, upper);
  const std::vector<QString> expected = {upper, p[0], p[1], p[2], p[3]};
  EXPECT_EQ(StoredHeadphoneSlots(), expected);
}

TEST_F(ProfileSlotsTest, DeletedActiveFileShowsTheSlotOneDefaultEvenWhenListedElsewhere) {
  const QString own = UserFile("Own.hvnp");
  const QString slotOneDefault = Builtin(PaneCategory::BuiltIn, 1);
  ProfileSlots lists = Slots();
  lists.AddPath(PaneCategory::BuiltIn, own);
  ASSERT_EQ(lists.Slots(PaneCategory::BuiltIn)[1], slotOneDefault);

  ASSERT_TRUE(QFile::remove(own));
  lists.Refresh();
  EXPECT_EQ(lists.Slots(PaneCategory::BuiltIn)[0], slotOneDefault);
  EXPECT_EQ(lists.Slots(PaneCategory::BuiltIn)[1], slotOneDefault);
  EXPECT_EQ(Stored(settings::builtInSlotKeys[0]), own) << "the stored value stays until the next reordering";
}

TEST_F(ProfileSlotsTest, ActivatingAMissingDefaultKeepsThePreviousProfile) {
  ProfileSlots lists = Slots();
  lists.ActivateSlotOne(PaneCategory::Headphones);
  const float loaded = target_->headphones.musicSet()[1];
  ASSERT_FALSE(target_->headphones.record().model.empty());
  const std::string model = target_->headphones.record().model;

  ASSERT_TRUE(QFile::remove(Builtin(PaneCategory::Headphones, 1)));
  lists.Refresh();
  EXPECT_EQ(lists.ActivePath(PaneCategory::Headphones), Builtin(PaneCategory::Headphones, 1)) << "still listed";
  lists.ActivateSlotOne(PaneCategory::Headphones);
  EXPECT_EQ(target_->headphones.musicSet()[1], loaded);
  EXPECT_EQ(target_->headphones.record().model, model);
}

}  // namespace
}  // namespace auralith::app
