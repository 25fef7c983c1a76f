#include "profiles/installed_folder.h"

#include "profiles/builtin_profiles.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using namespace auralith::profiles;
namespace fs = std::filesystem;

namespace {

const std::string kBuiltFolder = AURALITH_PROFILE_ASSETS_DIR "/";

std::string Contents(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::size_t FileCount(const fs::path& folder) {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder)) ++count;
  return count;
}

TEST(CopyMissingBuiltinsTest, FillsAnEmptyFolderWithEveryProfileAndPicture) {
  TempFolder temp;
  const fs::path user = temp.path() / "data" / "Halvorn Vovaruzoz";
  const BuiltinCopy copy = CopyMissingBuiltins(kBuiltFolder, user.string() + "/");
  EXPECT_TRUE(copy.failed.empty());
  EXPECT_EQ(copy.copied.size(), 30u);
  // Nothing else, no temporary left behind.
  EXPECT_EQ(FileCount(user), 30u);
  for (const std::string& name : copy.copied) {
    EXPECT_EQ(Contents(user / name), Contents(kBuiltFolder + name)) << name;
    // The user's own copy: writable, whatever the installed file's mode.
    struct stat info {};
    ASSERT_EQ(::stat((user / name).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u) << name;
  }
  EXPECT_TRUE(fs::exists(user / "Varrow Laptop.hvnp"));
  EXPECT_TRUE(fs::exists(user / "Varrow_Laptop.png"));
}

TEST(CopyMissingBuiltinsTest, NeverReplacesWhatTheUserHas) {
  TempFolder temp;
  const fs::path user = temp.path() / "user";
  fs::create_directories(user);
  std::ofstream(user / "Brevik Speakers.hvnp") << "1 7.0\n";
  std::ofstream(user / "Tennet_Laptop.png") << "my picture";
  // Even a broken link holds its name.
  fs::create_symlink(temp.path() / "nowhere", user / "Yarrick Speakers.hvnp");

  const BuiltinCopy first = CopyMissingBuiltins(kBuiltFolder, user.string());
  EXPECT_TRUE(first.failed.empty());
  EXPECT_EQ(first.copied.size(), 27u);
  EXPECT_EQ(Contents(user / "Brevik Speakers.hvnp"), "1 7.0\n");
  EXPECT_EQ(Contents(user / "Tennet_Laptop.png"), "my picture");
  EXPECT_TRUE(fs::is_symlink(user / "Yarrick Speakers.hvnp"));
  EXPECT_EQ(Contents(user / "Brevik_Speakers.png"), Contents(kBuiltFolder + "Brevik_Speakers.png"));

  // A later start finds everything there.
  std::ofstream(user / "Varrow Laptop.hvnp", std::ios::trunc) << "changed by the user";
  const BuiltinCopy second = CopyMissingBuiltins(kBuiltFolder, user.string());
  EXPECT_TRUE(second.copied.empty());
  EXPECT_TRUE(second.failed.empty());
  EXPECT_EQ(Contents(user / "Varrow Laptop.hvnp"), "changed by the user");
}

TEST(CopyMissingBuiltinsTest, SkipsWhatTheInstallationLacksAndReportsAnUnwritableFolder) {
  TempFolder temp;
  const fs::path installed = temp.path() / "installed";
  fs::create_directories(installed);
  fs::copy_file(kBuiltFolder + "Lusker Speakers.hvnp", installed / "Lusker Speakers.hvnp");
  // Only regular files are copied.
  fs::create_directory(installed / "Lusker_Speakers.png");
  const BuiltinCopy partial = CopyMissingBuiltins(installed.string(), (temp.path() / "user").string());
  EXPECT_TRUE(partial.failed.empty());
  ASSERT_EQ(partial.copied.size(), 1u);
  EXPECT_EQ(partial.copied[0], "Lusker Speakers.hvnp");
  EXPECT_FALSE(fs::exists(temp.path() / "user" / "Lusker_Speakers.png"));

  temp.write("a-file", "not a folder");
  const BuiltinCopy blocked = CopyMissingBuiltins(kBuiltFolder, (temp.path() / "a-file" / "user").string());
  EXPECT_TRUE(blocked.copied.empty());
  EXPECT_EQ(blocked.failed.size(), 1u);

  EXPECT_TRUE(CopyMissingBuiltins("", (temp.path() / "other").string()).copied.empty());
  EXPECT_FALSE(fs::exists(temp.path() / "other"));
}

// The data folder is found from the program's own folder: for this test
// program, "share/auralith" beside its folder.
TEST(InstalledFolderTest, IsFoundRelativeToTheProgram) {
  const fs::path program = fs::read_symlink("/proc/self/exe");
  const fs::path data = (program.parent_path() / AURALITH_DATA_FROM_BINDIR).lexically_normal();
  fs::remove_all(data);
  EXPECT_EQ(InstalledDataFolder(), "");
  EXPECT_EQ(InstalledProfileFolder(), "");

  fs::create_directories(data);
  EXPECT_EQ(InstalledDataFolder(), data.string() + "/");
  EXPECT_EQ(InstalledProfileFolder(), "");
  fs::create_directories(data / "profiles");
  EXPECT_EQ(InstalledProfileFolder(), data.string() + "/profiles/");
  fs::remove_all(data);
}

}  // namespace
