#include "profiles/profile_file_format.h"

#include "temp_folder.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <memory>

using namespace auralith::profiles;

namespace {

struct Sets {
  ProfileParameterSet music;
  ProfileParameterSet movie;
};

Sets Read(const std::string& content) {
  TempFolder folder;
  const std::string path = folder.write("p.hvnp", content);
  Sets sets;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
  EXPECT_TRUE(ReadProfileParameters(file.get(), sets.music, sets.movie));
  return sets;
}

struct Scan {
  bool ok;
  int32_t number;
  float value;
};

Scan ScanLine(const char* line) {
  Scan scan{false, -1, -1.0f};
  scan.ok = ScanParameterLine(line, scan.number, scan.value);
  return scan;
}

}  // namespace

TEST(ProfileLineScan, ParameterLinesAndSeparators) {
  Scan s = ScanLine("12 0.5 dB\n");
  EXPECT_TRUE(s.ok);
  EXPECT_EQ(s.number, 12);
  EXPECT_FLOAT_EQ(s.value, 0.5f);

  // The integer scan stops at the point; the value scan starts there.
  s = ScanLine("12.5 3\n");
  EXPECT_TRUE(s.ok);
  EXPECT_EQ(s.number, 12);
  EXPECT_FLOAT_EQ(s.value, 0.5f);

  s = ScanLine("12-3");
  EXPECT_TRUE(s.ok);
  EXPECT_EQ(s.number, 12);
  EXPECT_FLOAT_EQ(s.value, -3.0f);

  s = ScanLine(" \t7\t -2.5e1\r\n");
  EXPECT_TRUE(s.ok);
  EXPECT_EQ(s.number, 7);
  EXPECT_FLOAT_EQ(s.value, -25.0f);

  EXPECT_FALSE(ScanLine("12,5\n").ok);
  EXPECT_FALSE(ScanLine("12\n").ok);
  EXPECT_FALSE(ScanLine("\n").ok);
  EXPECT_FALSE(ScanLine("# Music\n").ok);
  EXPECT_FALSE(ScanLine("12 dB\n").ok);
}

TEST(ProfileLineScan, AcceptsNonFiniteValuesAsTheScanDoes) {
  Scan s = ScanLine("3 nan");
  EXPECT_TRUE(s.ok);
  EXPECT_TRUE(std::isnan(s.value));
  s = ScanLine("4 -inf");
  EXPECT_TRUE(s.ok);
  EXPECT_TRUE(std::isinf(s.value));
  s = ScanLine("5 1e60");
  EXPECT_TRUE(s.ok);
  EXPECT_TRUE(std::isinf(s.value));
}

#ifdef AURALITH_TEST_LOCPATH
// A user whose locale writes "3,5" must still get "3.5" read as 3.5.
TEST(ProfileLineScan, UsesThePointWhateverTheLocale) {
  setenv("LOCPATH", AURALITH_TEST_LOCPATH, 1);
  const std::string previous = std::setlocale(LC_ALL, nullptr);
  if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "no German locale could be made";
  const Scan point = ScanLine("12 3.5");
  const Scan comma = ScanLine("12 3,5");
  std::setlocale(LC_ALL, previous.c_str());
  unsetenv("LOCPATH");

  EXPECT_TRUE(point.ok);
  EXPECT_FLOAT_EQ(point.value, 3.5f);
  EXPECT_TRUE(comma.ok);  // "12 3" scans; ",5" is trailing text
  EXPECT_FLOAT_EQ(comma.value, 3.0f);
}
#endif

TEST(ProfileFileRead, FirstSeparatorSplitsMusicFromMovie) {
  Sets sets = Read("1 80\n2 30\n\n1 70\n# comment\n3 4\n");
  EXPECT_EQ(sets.music.size(), 2u);
  EXPECT_FLOAT_EQ(sets.music[1], 80.0f);
  EXPECT_FLOAT_EQ(sets.music[2], 30.0f);
  EXPECT_FLOAT_EQ(sets.movie[1], 70.0f);
  EXPECT_FLOAT_EQ(sets.movie[3], 4.0f);
  EXPECT_FALSE(sets.movie.contains(2));
}

TEST(ProfileFileRead, WithoutSeparatorOnlyTheMusicSetIsFilled) {
  Sets sets = Read("1 80\n25 1");
  EXPECT_EQ(sets.music.size(), 2u);
  EXPECT_TRUE(sets.movie.empty());
  EXPECT_FLOAT_EQ(sets.movie[1], 0.0f);  // absent reads 0.0 ...
  EXPECT_TRUE(sets.movie.contains(1));   // ... and is then part of the set
}

TEST(ProfileFileRead, HeadingFirstPutsEverythingIntoTheMovieSet) {
  Sets sets = Read("Laptop profile\n1 80\n2 30\n");
  EXPECT_TRUE(sets.music.empty());
  EXPECT_EQ(sets.movie.size(), 2u);
}

TEST(ProfileFileRead, LastLineOfANumberWins) {
  Sets sets = Read("12 1\n12 2\n\n12 3\n12 4\n");
  EXPECT_FLOAT_EQ(sets.music[12], 2.0f);
  EXPECT_FLOAT_EQ(sets.movie[12], 4.0f);
}

TEST(ProfileFileRead, LongLinesAreCutInto255CharacterPieces) {
  // 300 characters: "1 2" plus padding up to 255, then a piece "3 4...".
  const std::string line = "1 2" + std::string(252, 'x') + "3 4" + std::string(41, 'x') + "\n";
  ASSERT_EQ(line.size(), 300u);
  Sets sets = Read(line + "5 6\n");
  EXPECT_FLOAT_EQ(sets.music[1], 2.0f);
  EXPECT_FLOAT_EQ(sets.music[3], 4.0f);
  EXPECT_FLOAT_EQ(sets.music[5], 6.0f);
  EXPECT_TRUE(sets.movie.empty());
}

TEST(ProfileFileRead, CarriageReturnLineFeedCountsAsOneCharacter) {
  // 254 characters and CRLF make one 255-character piece: no stray
  // separator appears between the two lines.
  const std::string line = "1 2" + std::string(251, ' ') + "\r\n";
  Sets sets = Read(line + "3 4\r\n\r\n5 6\r\n");
  EXPECT_FLOAT_EQ(sets.music[1], 2.0f);
  EXPECT_FLOAT_EQ(sets.music[3], 4.0f);
  EXPECT_FLOAT_EQ(sets.movie[5], 6.0f);
  EXPECT_FALSE(sets.music.contains(5));
}

TEST(ProfileFileRead, ZeroByteEndsTheScannedText) {
  Sets sets = Read(std::string("1 2\0 junk\n", 10) +
                   std::string("\0"
                               "3 4\n",
                               5) +
                   "7 8\n");
  EXPECT_FLOAT_EQ(sets.music[1], 2.0f);
  // The second line reads as empty text, so it is the separator.
  EXPECT_FALSE(sets.music.contains(3));
  EXPECT_FALSE(sets.movie.contains(3));
  EXPECT_FLOAT_EQ(sets.movie[7], 8.0f);
}

TEST(ProfileNames, DisplayAndPictureNamesFollowTheFileName) {
  EXPECT_EQ(ProfileFileName("/a/b/Varrow Laptop.hvnp"), "Varrow Laptop.hvnp");
  EXPECT_EQ(ProfileFileName("Varrow Laptop.hvnp"), "Varrow Laptop.hvnp");
  EXPECT_EQ(ProfileDisplayName("/a/b.c/Varrow Laptop.hvnp"), "Varrow Laptop");
  EXPECT_EQ(DerivedPictureName("Varrow Laptop"), "Varrow_Laptop.png");
  EXPECT_EQ(ProfileDisplayName("/x/Dr. Bass.hvnp"), "Dr");
  EXPECT_EQ(DerivedPictureName(ProfileDisplayName("/x/Dr. Bass.hvnp")), "Dr.png");
  EXPECT_EQ(ProfileDisplayName("/x/no extension"), "no extension");
  // Backslashes are ordinary characters of a file name here.
  EXPECT_EQ(ProfileFileName("/x/a\\b.hvnp"), "a\\b.hvnp");
}
