#include "profiles/builtin_profiles.h"

#include "profiles/profile.h"
#include "profiles/profile_file_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

using namespace auralith::profiles;

namespace {

const std::string kSourceFolder = AURALITH_PROFILE_SOURCE_DIR "/";
const std::string kBuiltFolder = AURALITH_PROFILE_ASSETS_DIR "/";

// Largest index each parameter's table takes (parameters 22 to 25 are modes).
int HighestIndex(int number) {
  if (number == 1 || (number >= 6 && number <= 8)) return 104;
  if (number >= 2 && number <= 5) return 48;
  if (number >= 9 && number <= 11) return 5;
  if (number >= 12 && number <= 17) return 99;
  if (number == 21) return 115;  // room for the +12 of the boost
  if (number >= 18 && number <= 20) return 127;
  if (number >= 22 && number <= 25) return 1;
  if (number == 56) return 19;
  if (number >= 57) return 57;
  switch ((number - 26) % 3) {
    case 0:
      return 60;  // peak gain
    case 1:
      return 15;  // Q
    default:
      return 57;  // frequency
  }
}

std::map<int, float> Values(ProfileParameterSet& set) {
  std::map<int, float> values;
  for (int n = 1; n <= 58; ++n) values[n] = set[n];
  return values;
}

// Width and height from a PNG's header, or 0 x 0 when it is no PNG.
std::pair<std::uint32_t, std::uint32_t> PngSize(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  unsigned char header[24] = {};
  in.read(reinterpret_cast<char*>(header), sizeof header);
  const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  if (!in || !std::equal(signature, signature + 8, header)) return {0, 0};
  auto word = [&](int at) {
    return std::uint32_t{header[at]} << 24 | std::uint32_t{header[at + 1]} << 16 | std::uint32_t{header[at + 2]} << 8 |
           header[at + 3];
  };
  return {word(16), word(20)};
}

}  // namespace

TEST(BuiltinProfiles, TableLookup) {
  EXPECT_STREQ(BuiltinProfileFile(PaneCategory::Headphones, 1), "Varrow Headphones.hvnp");
  EXPECT_STREQ(BuiltinProfileFile(PaneCategory::BuiltIn, 3), "Dorvane Netbook.hvnp");
  EXPECT_STREQ(BuiltinProfileFile(PaneCategory::Desktop, 5), "Yarrick Speakers.hvnp");
  EXPECT_EQ(FindBuiltinProfileFile("Ormund Speakers"), "Ormund Speakers.hvnp");
  EXPECT_EQ(FindBuiltinProfileFile("Ormund Speakers.hvnp"), "Ormund Speakers.hvnp");
  EXPECT_EQ(FindBuiltinProfileFile("ormund speakers"), "");
  EXPECT_EQ(FindBuiltinProfileFile("Ormund"), "");
}

TEST(BuiltinProfiles, EveryFileHoldsTwoCompleteSetsWithinTheTables) {
  for (const auto& category : kBuiltinProfileFiles) {
    std::set<std::map<int, float>> seen;
    for (const char* file : category) {
      Profile profile("");
      profile.load(kSourceFolder + file);
      ASSERT_EQ(profile.record().location, kSourceFolder + file) << file;
      ASSERT_EQ(profile.musicSet().size(), 58u) << file << ": music set";
      ASSERT_EQ(profile.movieSet().size(), 58u) << file << ": movie set";
      for (ProfileParameterSet* set : {&profile.musicSet(), &profile.movieSet()}) {
        for (int n = 1; n <= 58; ++n) {
          const float v = (*set)[n];
          EXPECT_EQ(v, std::trunc(v)) << file << " parameter " << n;
          EXPECT_GE(v, 0.0f) << file << " parameter " << n;
          EXPECT_LE(v, static_cast<float>(HighestIndex(n))) << file << " parameter " << n;
        }
      }
      const auto music = Values(profile.musicSet());
      const auto movie = Values(profile.movieSet());
      EXPECT_NE(music, movie) << file;
      EXPECT_TRUE(seen.insert(music).second) << file << " repeats another music set";
      EXPECT_TRUE(seen.insert(movie).second) << file << " repeats another movie set";
    }
  }
}

TEST(BuiltinProfiles, EveryFileHasItsPicture) {
  for (const auto& category : kBuiltinProfileFiles) {
    for (const char* file : category) {
      const std::string picture = DerivedPictureName(ProfileDisplayName(file));
      const std::string stem = picture.substr(0, picture.size() - 4);
      EXPECT_TRUE(std::filesystem::exists(kSourceFolder + stem + ".svg")) << stem;
      EXPECT_EQ(PngSize(kBuiltFolder + picture), (std::pair<std::uint32_t, std::uint32_t>{80, 80})) << picture;
      EXPECT_TRUE(std::filesystem::exists(kBuiltFolder + file)) << file;
    }
  }
}
