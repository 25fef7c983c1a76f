// What ulxd takes from outside: its command line, WAV files for the test
// feed, and the module arguments of sinks found on the sound server.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include <string>
#include <vector>

#include "driver/harness/ulxd_harness.h"
#include "driver/options.h"
#include "driver/sink_arguments.h"
#include "driver/wav_file.h"
#include "ulx/ulx_interface.h"

namespace auralith::ulxd {
namespace {

std::optional<Options> Parse(std::vector<std::string> args, std::string* errorOut = nullptr) {
  std::string error;
  auto options = ParseOptions(args, error);
  if (errorOut) *errorOut = error;
  return options;
}

TEST(Options, DefaultsOfferTheAuralithDeviceFromTheSoundServer) {
  auto options = Parse({});
  ASSERT_TRUE(options);
  EXPECT_EQ(options->sinkName, "auralith");
  EXPECT_NE(options->description.find("Auralith"), std::string::npos);
  EXPECT_FALSE(options->TestFeed());
}

TEST(Options, ReadsATestToneWithAndWithoutLevel) {
  auto plain = Parse({"--tone", "1000"});
  ASSERT_TRUE(plain);
  EXPECT_DOUBLE_EQ(*plain->toneHz, 1000.0);
  EXPECT_DOUBLE_EQ(plain->toneDbfs, -6.0);
  auto level = Parse({"--tone", "440.5@-20", "--volume", "-6"});
  ASSERT_TRUE(level);
  EXPECT_DOUBLE_EQ(*level->toneHz, 440.5);
  EXPECT_DOUBLE_EQ(level->toneDbfs, -20.0);
  EXPECT_DOUBLE_EQ(level->volumeDb, -6.0);
}

TEST(Options, RefusesWhatCouldBreakTheDeviceOrItsName) {
  std::string error;
  EXPECT_FALSE(Parse({"--description", "Virtual Output"}, &error));
  EXPECT_NE(error.find("Auralith"), std::string::npos);
  EXPECT_FALSE(Parse({"--description", "Auralith' x='y"}));
  EXPECT_FALSE(Parse({"--sink-name", "a b"}));
  EXPECT_FALSE(Parse({"--interface-name", "../escape"}));
  EXPECT_FALSE(Parse({"--tone", "0"}));
  EXPECT_FALSE(Parse({"--tone", "30000"}));
  EXPECT_FALSE(Parse({"--tone", "1000@3"}));
  EXPECT_FALSE(Parse({"--tone", "abc"}));
  EXPECT_FALSE(Parse({"--tone", "1000", "--wav", "x.wav"}));
  EXPECT_FALSE(Parse({"--volume", "-6"}));  // the server applies the real volume
  EXPECT_FALSE(Parse({"--volume"}));
  EXPECT_FALSE(Parse({"--loop", "--tone", "1000"}));
  EXPECT_FALSE(Parse({"--bogus"}));
}

TEST(Options, TakesASimulatedVolumeOnlyWithinTheRangeTheApplicationUses) {
  auto loudest = Parse({"--tone", "1000", "--volume", "24"});
  ASSERT_TRUE(loudest);
  EXPECT_DOUBLE_EQ(loudest->volumeDb, 24.0);
  EXPECT_TRUE(Parse({"--tone", "1000", "--volume", "-192"}));
  std::string error;
  EXPECT_FALSE(Parse({"--tone", "1000", "--volume", "24.5"}, &error));
  EXPECT_NE(error.find("-192 and 24"), std::string::npos) << error;
  EXPECT_FALSE(Parse({"--tone", "1000", "--volume", "800"}));  // once +inf in the application
  EXPECT_FALSE(Parse({"--tone", "1000", "--volume", "-30000"}));
}

std::vector<uint8_t> WavBytes(const std::vector<int16_t>& samples, int channels, int rate = 44100) {
  testing::TempDir dir;
  testing::WriteWav(dir / "x.wav", samples, channels, rate);
  FILE* f = std::fopen((dir / "x.wav").c_str(), "rb");
  std::vector<uint8_t> bytes;
  int c;
  while ((c = std::fgetc(f)) != EOF) bytes.push_back(uint8_t(c));
  std::fclose(f);
  return bytes;
}

TEST(WavFile, ReadsStereoAsItIsAndMonoOnBothChannels) {
  std::vector<int16_t> stereo;
  std::string error;
  ASSERT_TRUE(ParseWav(WavBytes({1, -1, 32767, -32768}, 2), stereo, error)) << error;
  EXPECT_EQ(stereo, (std::vector<int16_t>{1, -1, 32767, -32768}));
  ASSERT_TRUE(ParseWav(WavBytes({5, -7, 9}, 1), stereo, error)) << error;
  EXPECT_EQ(stereo, (std::vector<int16_t>{5, 5, -7, -7, 9, 9}));
}

TEST(WavFile, KeepsTheWholeFramesOfAFileCutShort) {
  auto bytes = WavBytes({1, 2, 3, 4, 5, 6}, 2);
  bytes.resize(bytes.size() - 3);  // half of the last frame is gone
  std::vector<int16_t> stereo;
  std::string error;
  ASSERT_TRUE(ParseWav(bytes, stereo, error)) << error;
  EXPECT_EQ(stereo, (std::vector<int16_t>{1, 2, 3, 4}));
}

TEST(WavFile, RefusesOtherFormatsAndBrokenFiles) {
  std::vector<int16_t> stereo;
  std::string error;
  EXPECT_FALSE(ParseWav(WavBytes({1, 2}, 2, 48000), stereo, error));
  EXPECT_FALSE(ParseWav(WavBytes({1, 2, 3}, 3), stereo, error));
  auto bytes = WavBytes({1, 2}, 2);
  bytes[20] = 3;  // IEEE float
  EXPECT_FALSE(ParseWav(bytes, stereo, error));
  EXPECT_FALSE(ParseWav({}, stereo, error));
  EXPECT_FALSE(ParseWav(std::vector<uint8_t>(12, 'x'), stereo, error));
  auto noData = WavBytes({}, 2);
  noData.resize(36);
  EXPECT_FALSE(ParseWav(noData, stereo, error));
  // A chunk claiming more bytes than the file has ends the walk safely.
  auto huge = WavBytes({1, 2}, 2);
  ulx::StoreU32(huge.data() + 16, 0xFFFFFFF0u);
  EXPECT_FALSE(ParseWav(huge, stereo, error));
  EXPECT_FALSE(ReadWav("/nonexistent/x.wav", stereo, error));
}

TEST(WavFile, ReadsOnlyRegularFilesAndSaysWhy) {
  std::vector<int16_t> stereo;
  std::string error;
  // /dev/zero never ends: refused before a byte is read.
  EXPECT_FALSE(ReadWav("/dev/zero", stereo, error));
  EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
  char folder[] = "/tmp/auralith-wav-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string fifo = std::string(folder) + "/feed.wav";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(ReadWav(fifo, stereo, error));  // returns instead of waiting for a writer
  EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
  const std::string wav = std::string(folder) + "/tone.wav";
  const std::vector<uint8_t> bytes = WavBytes({3, -3}, 2);
  FILE* file = std::fopen(wav.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
  std::fclose(file);
  ASSERT_TRUE(ReadWav(wav, stereo, error)) << error;
  EXPECT_EQ(stereo, (std::vector<int16_t>{3, -3}));
  unlink(wav.c_str());
  unlink(fifo.c_str());
  rmdir(folder);
}

TEST(SinkArguments, RecognisesOnlyOurSinkAndItsOwner) {
  std::string args = SinkArguments("auralith", "Auralith Virtual Output", 4242);
  EXPECT_NE(args.find("norewinds=1"), std::string::npos);
  EXPECT_NE(args.find("rate=44100"), std::string::npos);
  EXPECT_EQ(SinkOwner(args, "auralith"), 4242);
  EXPECT_FALSE(SinkOwner(args, "auralit"));
  EXPECT_FALSE(SinkOwner(SinkArguments("auralith2", "Auralith", 1), "auralith"));
  // A sink someone made by hand under our name is not ours to remove.
  EXPECT_FALSE(SinkOwner("sink_name=auralith rate=44100", "auralith"));
  EXPECT_FALSE(SinkOwner("sink_name=auralith sink_properties=\"ulxd.pid=x\"", "auralith"));
}

TEST(SinkArguments, TellsARunningDaemonFromAGoneOne) {
  EXPECT_FALSE(IsRunningUlxd(getpid()));  // running, but not ulxd
  EXPECT_FALSE(IsRunningUlxd(999999999));
}

}  // namespace
}  // namespace auralith::ulxd
