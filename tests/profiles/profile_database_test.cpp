#include "profiles/profile_database.h"

#include "sqlite_helpers.h"
#include "stored_record.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace auralith::profiles;

namespace {

std::string Column(const ProfileDatabase::Row& row, const std::string& name) {
  for (const auto& [column, text] : row) {
    if (column == name) return text;
  }
  return "<absent>";
}

class ProfileDatabaseTest : public ::testing::Test {
 protected:
  std::string file() const { return tmp.folder() + kProfileDatabaseFileName; }
  TempFolder tmp;
};

}  // namespace

TEST_F(ProfileDatabaseTest, OpeningCreatesAnEmptyTable) {
  {
    ProfileDatabase db(file());
    EXPECT_TRUE(db.isOpen());
  }
  ASSERT_TRUE(std::filesystem::exists(file()));
  EXPECT_EQ(QueryText(file(), "SELECT count(*) FROM profiles"), "0");
  EXPECT_EQ(QueryText(file(), "SELECT group_concat(name) FROM pragma_table_info('profiles')"),
            "id,device,mftr,model,descr,dataPath,imgPath");
}

TEST_F(ProfileDatabaseTest, LookupOfAnUnknownPathFindsNoRow) {
  ProfileDatabase db(file());
  EXPECT_FALSE(db.lookup(tmp.folder() + "Varrow Laptop.hvnp").has_value());
}

TEST_F(ProfileDatabaseTest, StoringTwiceKeepsOneRowWithTheSecondValues) {
  ProfileDatabase db(file());
  const std::string path = tmp.folder() + "Arden X1.hvnp";
  ASSERT_TRUE(db.store(path, StoredRecord(1, "Arden", "X1", "first", "x1.png")));
  ASSERT_TRUE(db.store(path, StoredRecord(3, "Arden", "X1 Pro", "second", "")));

  EXPECT_EQ(QueryText(file(), "SELECT count(*) FROM profiles"), "1");
  const auto row = db.lookup(path);
  ASSERT_TRUE(row.has_value());
  EXPECT_EQ(Column(*row, "device"), "3");
  EXPECT_EQ(Column(*row, "model"), "X1 Pro");
  EXPECT_EQ(Column(*row, "descr"), "second");
  EXPECT_EQ(Column(*row, "imgPath"), "");
  EXPECT_EQ(Column(*row, "dataPath"), path);
  // The category id is stored as a number, as the column's type says.
  EXPECT_EQ(QueryText(file(), "SELECT typeof(device) FROM profiles"), "integer");
}

TEST_F(ProfileDatabaseTest, QuotesAndSemicolonsRoundTripUnchanged) {
  ProfileDatabase db(file());
  const std::string path = tmp.folder() + "O'Neil's \"Bass\"; Edition.hvnp";
  const std::string description = "It's loud'; DROP TABLE profiles; -- ünïcødé";
  ASSERT_TRUE(db.store(path, StoredRecord(2, "O'Neil", "Bass'", description, "a'b.png")));

  const auto row = db.lookup(path);
  ASSERT_TRUE(row.has_value());
  EXPECT_EQ(Column(*row, "descr"), description);
  EXPECT_EQ(Column(*row, "mftr"), "O'Neil");
  EXPECT_EQ(Column(*row, "imgPath"), "a'b.png");
  EXPECT_EQ(QueryText(file(), "SELECT count(*) FROM profiles"), "1");
}

TEST_F(ProfileDatabaseTest, RowsOfOtherPathsAreLeftAlone) {
  ProfileDatabase db(file());
  ASSERT_TRUE(db.store("/p/a.hvnp", StoredRecord(1, "A", "a", "", "")));
  ASSERT_TRUE(db.store("/p/b.hvnp", StoredRecord(2, "B", "b", "", "")));
  ASSERT_TRUE(db.store("/p/a.hvnp", StoredRecord(3, "A2", "a2", "", "")));
  EXPECT_EQ(Column(*db.lookup("/p/b.hvnp"), "mftr"), "B");
  EXPECT_EQ(Column(*db.lookup("/p/a.hvnp"), "mftr"), "A2");
  // Paths compare exactly, letter case included.
  EXPECT_FALSE(db.lookup("/p/A.hvnp").has_value());
}

TEST_F(ProfileDatabaseTest, ConnectionsToOneFileSeeEachOthersRows) {
  ProfileDatabase longLived(file());
  {
    ProfileDatabase shortLived(file());
    ASSERT_TRUE(shortLived.store("/p/a.hvnp", StoredRecord(3, "A", "a", "d", "a.png")));
  }
  const auto row = longLived.lookup("/p/a.hvnp");
  ASSERT_TRUE(row.has_value());
  EXPECT_EQ(Column(*row, "model"), "a");
}

TEST_F(ProfileDatabaseTest, MissingFolderFindsAndStoresNothing) {
  const std::string missing = tmp.folder() + "no such folder/" + kProfileDatabaseFileName;
  ProfileDatabase db(missing);
  EXPECT_FALSE(db.isOpen());
  EXPECT_FALSE(db.store("/p/a.hvnp", StoredRecord(1, "A", "a", "", "")));
  EXPECT_FALSE(db.lookup("/p/a.hvnp").has_value());
  EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST_F(ProfileDatabaseTest, CorruptFileFindsAndStoresNothingAndStaysAsItIs) {
  const std::string junk(4096, '\x5a');
  tmp.write(kProfileDatabaseFileName, junk);
  ProfileDatabase db(file());
  EXPECT_FALSE(db.store("/p/a.hvnp", StoredRecord(1, "A", "a", "", "")));
  EXPECT_FALSE(db.lookup("/p/a.hvnp").has_value());
  EXPECT_EQ(std::filesystem::file_size(file()), junk.size());
}

TEST_F(ProfileDatabaseTest, AFolderInPlaceOfTheFileFindsAndStoresNothing) {
  std::filesystem::create_directory(file());
  ProfileDatabase db(file());
  EXPECT_FALSE(db.store("/p/a.hvnp", StoredRecord(1, "A", "a", "", "")));
  EXPECT_FALSE(db.lookup("/p/a.hvnp").has_value());
}

TEST_F(ProfileDatabaseTest, TableWithoutTheExpectedColumnsStoresNothing) {
  ASSERT_TRUE(Execute(file(), "CREATE TABLE profiles(id INTEGER, other TEXT)"));
  ProfileDatabase db(file());
  EXPECT_FALSE(db.store("/p/a.hvnp", StoredRecord(1, "A", "a", "", "")));
  EXPECT_FALSE(db.lookup("/p/a.hvnp").has_value());
  EXPECT_EQ(QueryText(file(), "SELECT count(*) FROM profiles"), "0");
}

TEST(ProfileDatabaseClosed, DefaultConnectionFindsAndStoresNothing) {
  ProfileDatabase db;
  EXPECT_FALSE(db.isOpen());
  EXPECT_FALSE(db.store("/p/a.hvnp", ProfileRecord{}));
  EXPECT_FALSE(db.lookup("/p/a.hvnp").has_value());
}
