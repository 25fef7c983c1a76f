#include "profiles/profile.h"

#include "profiles/profile_file_format.h"
#include "sqlite_helpers.h"
#include "stored_record.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

using namespace auralith::profiles;

namespace {

class ProfileTest : public ::testing::Test {
 protected:
  std::string databaseFile() const { return tmp.folder() + kProfileDatabaseFileName; }
  TempFolder tmp;
};

}  // namespace

TEST_F(ProfileTest, ConstructionCreatesTheDatabase) {
  Profile profile(tmp.folder());
  EXPECT_TRUE(std::filesystem::exists(databaseFile()));
  EXPECT_EQ(profile.boost(), 0);
  EXPECT_EQ(profile.record(), ProfileRecord{});
  EXPECT_TRUE(profile.musicSet().empty());
}

TEST_F(ProfileTest, WithoutAFolderNoDatabaseIsOpenedAndFilesStillLoad) {
  const std::string path = tmp.write("Plain.hvnp", "1 80\n");
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(tmp.path());
  Profile profile("");
  profile.load(path);
  std::filesystem::current_path(previous);
  EXPECT_FALSE(profile.database().isOpen());
  EXPECT_FALSE(std::filesystem::exists(tmp.path() / kProfileDatabaseFileName));
  EXPECT_EQ(profile.record().model, "Plain");
  EXPECT_EQ(profile.picturePath(), "Plain.png");
}

TEST_F(ProfileTest, LoadWithoutARowDerivesNameAndPicture) {
  const std::string path = tmp.write("Varrow Laptop.hvnp", "1 80\n21 80\n\n1 76\n");
  Profile profile(tmp.folder());
  profile.load(path);

  EXPECT_EQ(profile.record().model, "Varrow Laptop");
  EXPECT_EQ(profile.record().location, path);
  EXPECT_EQ(profile.record().imageFileName, "Varrow_Laptop.png");
  EXPECT_EQ(profile.picturePath(), tmp.folder() + "Varrow_Laptop.png");
  EXPECT_FLOAT_EQ(profile.parameterSet(kContentModeMusic)[21], 80.0f);
  EXPECT_FLOAT_EQ(profile.parameterSet(kContentModeMovie)[1], 76.0f);
  EXPECT_FLOAT_EQ(profile.parameterSet(2)[1], 76.0f);  // any other mode is movie
}

TEST_F(ProfileTest, LoadTakesTheDatabaseRow) {
  const std::string path = tmp.write("x1.hvnp", "1 80\n");
  Profile writer(tmp.folder());
  ASSERT_TRUE(writer.database().store(path, StoredRecord(3, "Arden", "X1 Studio", "Closed back", "")));
  const std::string other = tmp.write("x2.hvnp", "1 80\n");
  ASSERT_TRUE(writer.database().store(other, StoredRecord(2, "Arden", "X2", "", "x2 picture.png")));

  Profile profile(tmp.folder());
  profile.load(path);
  EXPECT_EQ(profile.record().deviceCategoryId, 3);
  EXPECT_EQ(profile.record().manufacturer, "Arden");
  EXPECT_EQ(profile.record().model, "X1 Studio");
  EXPECT_EQ(profile.record().description, "Closed back");
  EXPECT_EQ(profile.record().imageFileName, "x1.png");  // empty in the row: derived

  profile.load(other);
  EXPECT_EQ(profile.record().imageFileName, "x2 picture.png");
}

TEST_F(ProfileTest, ColumnNamesMatchWithoutRegardToCase) {
  ASSERT_TRUE(Execute(databaseFile(),
                      "CREATE TABLE profiles(ID INTEGER PRIMARY KEY AUTOINCREMENT, DEVICE INTEGER,"
                      " MFTR TEXT, MODEL TEXT, DESCR TEXT, DATAPATH TEXT, IMGPATH TEXT);"
                      "INSERT INTO profiles (DEVICE, MFTR, MODEL, DESCR, DATAPATH, IMGPATH)"
                      " VALUES('1', 'Maker', 'Name', 'Text', '" +
                          tmp.folder() +
                          "a.hvnp', 'a.png');"
                          "INSERT INTO profiles (DEVICE, MFTR, MODEL, DESCR, DATAPATH, IMGPATH)"
                          " VALUES('speakers', 'M', 'N', '', '" +
                          tmp.folder() + "b.hvnp', '');"));
  Profile profile(tmp.folder());
  const std::string path = tmp.write("a.hvnp", "1 80\n");
  profile.load(path);
  EXPECT_EQ(profile.record().manufacturer, "Maker");
  EXPECT_EQ(profile.record().model, "Name");
  EXPECT_EQ(profile.record().description, "Text");
  EXPECT_EQ(profile.record().imageFileName, "a.png");
  EXPECT_EQ(profile.record().deviceCategoryId, 1);

  // A category that is not a number reads as 0.
  profile.load(tmp.write("b.hvnp", "1 80\n"));
  EXPECT_EQ(profile.record().deviceCategoryId, 0);
  EXPECT_EQ(profile.record().model, "N");
}

TEST_F(ProfileTest, UnreadableFilesLeaveEverythingAsItWas) {
  const std::string good = tmp.write("Good.hvnp", "1 80\n\n1 70\n");
  Profile profile(tmp.folder());
  profile.setBoost(1);
  profile.load(good);
  const ProfileRecord before = profile.record();

  profile.load(tmp.folder() + "Missing.hvnp");
  std::filesystem::create_directory(tmp.path() / "Folder.hvnp");
  profile.load(tmp.folder() + "Folder.hvnp");
  profile.load("/dev/zero");
  // A slot path naming a FIFO returns at once instead of waiting for a writer.
  const std::string fifo = tmp.folder() + "Fifo.hvnp";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  profile.load(fifo);
  // Nothing near a profile file's size.
  std::string huge(kMaxProfileFileBytes + 1, '\n');
  huge.replace(0, 5, "1 10\n");
  profile.load(tmp.write("Huge.hvnp", huge));

  EXPECT_EQ(profile.record(), before);
  EXPECT_EQ(profile.musicSet().size(), 1u);
  EXPECT_FLOAT_EQ(profile.musicSet()[1], 80.0f);
  EXPECT_FLOAT_EQ(profile.movieSet()[1], 70.0f);
  EXPECT_EQ(profile.boost(), 1);
}

TEST_F(ProfileTest, LoadReplacesBothSetsButKeepsFieldsWithoutARow) {
  const std::string first = tmp.write("First.hvnp", "1 80\n2 30\n\n3 4\n");
  const std::string second = tmp.write("Second.hvnp", "5 6\n");
  Profile profile(tmp.folder());
  ASSERT_TRUE(profile.database().store(first, StoredRecord(3, "Maker", "First model", "Text", "f.png")));
  profile.setBoost(1);
  profile.load(first);
  profile.load(second);

  // The file without a row keeps manufacturer, description and category.
  EXPECT_EQ(profile.record().manufacturer, "Maker");
  EXPECT_EQ(profile.record().description, "Text");
  EXPECT_EQ(profile.record().deviceCategoryId, 3);
  EXPECT_EQ(profile.record().model, "Second");
  EXPECT_EQ(profile.record().imageFileName, "Second.png");
  EXPECT_EQ(profile.boost(), 1);
  EXPECT_FALSE(profile.musicSet().contains(1));
  EXPECT_FALSE(profile.movieSet().contains(3));
  EXPECT_FLOAT_EQ(profile.musicSet()[5], 6.0f);
}

TEST_F(ProfileTest, CorruptDatabaseStillLoadsFiles) {
  tmp.write(kProfileDatabaseFileName, std::string(2048, '\x01'));
  const std::string path = tmp.write("Dr. Bass.hvnp", "1 80\n");
  Profile profile(tmp.folder());
  profile.load(path);
  EXPECT_EQ(profile.record().model, "Dr");
  EXPECT_EQ(profile.record().imageFileName, "Dr.png");
  EXPECT_FLOAT_EQ(profile.musicSet()[1], 80.0f);
}
