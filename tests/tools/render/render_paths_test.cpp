// The short ways through the renderer give the same bytes as the plain
// ones: 16-bit input read as it is (against the same samples read as
// floats), reading and writing on threads of their own (against one
// thread). Failures on those threads end the rendering as before.
#include "tools/render/renderer.h"

#include "profiles/temp_folder.h"
#include "wav_files.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <utility>
#include <vector>

using namespace auralith::render;

namespace {

constexpr IoThreads kBothWays[] = {IoThreads::Off, IoThreads::On};

const char* Name(IoThreads threads) { return threads == IoThreads::On ? "on threads" : "in one thread"; }

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Any container and encoding libsndfile writes. 16-bit samples are written
// as k for k / 32768 (libsndfile's own float conversion scales by 32767).
bool WriteAs(const std::string& path, const Sound& sound, int format) {
  SF_INFO info{};
  info.samplerate = sound.rate;
  info.channels = sound.channels;
  info.format = format;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!file) return false;
  const auto frames = static_cast<sf_count_t>(sound.frames());
  bool ok = false;
  if ((format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16) {
    std::vector<short> pcm;
    for (const float x : sound.samples) pcm.push_back(static_cast<short>(std::lrint(x * 32768.0f)));
    ok = sf_writef_short(file, pcm.data(), frames) == frames;
  } else {
    ok = sf_writef_float(file, sound.samples.data(), frames) == frames;
  }
  return sf_close(file) == 0 && ok;
}

// Every sample on the 16-bit grid, so that a float file holds exactly what
// a 16-bit file does.
Sound OnSixteenBitGrid(Sound sound) {
  for (float& x : sound.samples) x = std::nearbyint(x * 32768.0f) / 32768.0f;
  return sound;
}

Sound Mono(const Sound& stereo) {
  Sound mono{stereo.rate, 1, {}};
  for (std::size_t f = 0; f < stereo.frames(); ++f) mono.samples.push_back(stereo.samples[2 * f]);
  return mono;
}

// Long enough to go round the threads' ring of blocks more than twice, with
// a silent stretch the chain skips and a last block that is not full.
Sound Music() {
  Sound sound = PinkNoise(2.5, 7);
  AppendSilence(sound, 3 * kBlockFrames + 17);
  const Sound more = PinkNoise(3.5, 8);
  sound.samples.insert(sound.samples.end(), more.samples.begin(), more.samples.end());
  for (float& x : sound.samples) x *= 0.7f;
  return OnSixteenBitGrid(sound);
}

class RenderPathsTest : public ::testing::Test {
 protected:
  RenderOptions Options(const std::string& input, IoThreads threads) {
    RenderOptions o;
    o.profile = "Varrow Laptop";
    o.input = input;
    o.output = tmp.folder() + "out.wav";
    o.ioThreads = threads;
    return o;
  }

  // The bytes of a 16-bit rendering (dither on: the noise must follow the
  // same blocks too).
  std::string Render(const std::string& input, IoThreads threads) {
    const RenderResult result = RenderFile(Options(input, threads));
    EXPECT_EQ(result.status, kExitOk) << input << " " << Name(threads) << ": " << result.error;
    return ReadAll(tmp.folder() + "out.wav");
  }

  bool NoTemporaryFileLeft() const {
    for (const auto& entry : std::filesystem::directory_iterator(tmp.path()))
      if (entry.path().filename().string().find(".auralith-render") != std::string::npos) return false;
    return true;
  }

  TempFolder tmp;
};

}  // namespace

TEST_F(RenderPathsTest, SixteenBitInputReadAsItIsGivesWhatTheFloatPathGave) {
  const Sound music = Music();
  const std::string asFloats = tmp.folder() + "floats.wav";
  ASSERT_TRUE(WriteAs(asFloats, music, SF_FORMAT_WAV | SF_FORMAT_FLOAT));
  const std::string expected = Render(asFloats, IoThreads::Off);
  ASSERT_EQ(expected.size(), 44 + 4 * music.frames());

  const std::pair<const char*, int> sixteenBit[] = {{"pcm16.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
                                                    {"pcm16.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16},
                                                    {"pcm16.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16}};
  for (const auto& [name, format] : sixteenBit) {
    const std::string input = tmp.folder() + name;
    ASSERT_TRUE(WriteAs(input, music, format)) << name;
    EXPECT_TRUE(Render(input, IoThreads::Off) == expected) << name;
  }

  // Mono is spread to both sides in place.
  const Sound mono = Mono(music);
  ASSERT_TRUE(WriteAs(asFloats, mono, SF_FORMAT_WAV | SF_FORMAT_FLOAT));
  const std::string monoInput = tmp.folder() + "mono16.wav";
  ASSERT_TRUE(WriteAs(monoInput, mono, SF_FORMAT_WAV | SF_FORMAT_PCM_16));
  EXPECT_TRUE(Render(monoInput, IoThreads::Off) == Render(asFloats, IoThreads::Off));
}

TEST_F(RenderPathsTest, ThreadsChangeNeitherTheSoundNorTheProgressReports) {
  struct Input {
    const char* name;
    Sound sound;
    int format;
  };
  const Sound music = Music();
  Sound at48k{48000, 2, {}};
  AppendSine(at48k, 1000.0, 0.5, 1.7);
  const Input inputs[] = {{"music.wav", music, SF_FORMAT_WAV | SF_FORMAT_PCM_16},
                          {"music-float.wav", music, SF_FORMAT_WAV | SF_FORMAT_FLOAT},
                          {"mono.wav", Mono(music), SF_FORMAT_WAV | SF_FORMAT_PCM_16},
                          {"48k.wav", at48k, SF_FORMAT_WAV | SF_FORMAT_PCM_16},
                          // fewer blocks than the ring hands on at once
                          {"short.wav", PinkNoise(0.1, 3), SF_FORMAT_WAV | SF_FORMAT_PCM_16},
                          {"empty.wav", Sound{44100, 2, {}}, SF_FORMAT_WAV | SF_FORMAT_PCM_16}};
  for (const auto& [name, sound, format] : inputs) {
    const std::string input = tmp.folder() + name;
    ASSERT_TRUE(WriteAs(input, sound, format)) << name;

    for (const bool floatOutput : {false, true}) {
      std::vector<std::string> outputs;
      std::vector<std::vector<std::pair<std::uint64_t, std::uint64_t>>> reports;
      for (const IoThreads threads : kBothWays) {
        RenderOptions o = Options(input, threads);
        o.floatOutput = floatOutput;
        std::vector<std::pair<std::uint64_t, std::uint64_t>> calls;
        const RenderResult result =
            RenderFile(o, [&calls](std::uint64_t done, std::uint64_t total) { calls.emplace_back(done, total); });
        ASSERT_EQ(result.status, kExitOk) << name << " " << Name(threads) << ": " << result.error;
        // The float WAV's header has a time stamp: compare the samples.
        const Sound out = ReadSound(o.output);
        outputs.push_back(floatOutput ? std::string(reinterpret_cast<const char*>(out.samples.data()),
                                                    out.samples.size() * sizeof(float))
                                      : ReadAll(o.output));
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls.back().first, result.frames);
        reports.push_back(std::move(calls));
      }
      EXPECT_TRUE(outputs[0] == outputs[1]) << name << (floatOutput ? " float" : " 16-bit");
      EXPECT_EQ(reports[0], reports[1]) << name;
    }
  }
}

TEST_F(RenderPathsTest, FailuresOnEitherPathEndTheRenderingAsBefore) {
  // A FLAC file cut in half: the decoder loses its way in the middle.
  const std::string flac = tmp.folder() + "whole.flac";
  ASSERT_TRUE(WriteAs(flac, PinkNoise(4.0, 5), SF_FORMAT_FLAC | SF_FORMAT_PCM_16));
  const std::string whole = ReadAll(flac);
  const std::string cut = tmp.write("cut.flac", whole.substr(0, whole.size() / 2));
  const std::string input = tmp.folder() + "in.wav";
  ASSERT_TRUE(WriteAs(input, PinkNoise(4.0, 6), SF_FORMAT_WAV | SF_FORMAT_PCM_16));

  for (const IoThreads threads : kBothWays) {
    SCOPED_TRACE(Name(threads));
    tmp.write("out.wav", "keep me");
    RenderResult result = RenderFile(Options(cut, threads));
    EXPECT_EQ(result.status, kExitBadInput);
    EXPECT_EQ(result.error.rfind("cannot read the input: ", 0), 0u) << result.error;
    EXPECT_EQ(ReadAll(tmp.folder() + "out.wav"), "keep me");
    EXPECT_TRUE(NoTemporaryFileLeft());

    // A device that is full from the first sample on.
    RenderOptions o = Options(input, threads);
    o.output = "/dev/full";
    result = RenderFile(o);
    EXPECT_EQ(result.status, kExitFailed);
    EXPECT_EQ(result.error, "cannot write '/dev/full': No space left on device");

    // A file that may not grow past 64 kB: the writer fails while the reader
    // is blocks ahead, waiting for room.
    o.output = tmp.folder() + "out.wav";
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 64 * 1024;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    result = RenderFile(o);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(result.status, kExitFailed);
    EXPECT_EQ(result.error.rfind("cannot write '" + o.output + "': ", 0), 0u) << result.error;
    EXPECT_EQ(ReadAll(tmp.folder() + "out.wav"), "keep me");
    EXPECT_TRUE(NoTemporaryFileLeft());
  }
}
