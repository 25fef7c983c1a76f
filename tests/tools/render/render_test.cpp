// End-to-end renderings through the real chain.
#include "tools/render/renderer.h"

#include "tools/render/audio_output.h"

#include "dsp/chain.h"
#include "profiles/builtin_profiles.h"
#include "profiles/temp_folder.h"
#include "wav_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

using namespace auralith::render;
using auralith::profiles::kBuiltinProfileFiles;

namespace {

constexpr std::size_t kRate = 44100;

class RenderTest : public ::testing::Test {
 protected:
  std::string Input(const std::string& name, const Sound& sound) {
    const std::string path = tmp.folder() + name;
    EXPECT_TRUE(WriteSound(path, sound));
    return path;
  }

  // Float output without dither: the chain's output as it is.
  RenderOptions Options(const std::string& profile, const std::string& input) {
    RenderOptions o;
    o.profile = profile;
    o.input = input;
    o.output = tmp.folder() + "out.wav";
    o.floatOutput = true;
    o.dither = false;
    return o;
  }

  Sound Render(const RenderOptions& o) {
    const RenderResult result = RenderFile(o);
    EXPECT_EQ(result.status, kExitOk) << result.error;
    return ReadSound(o.output);
  }

  // A built-in profile with one parameter line of its music set replaced.
  std::string BuiltinWith(const char* file, int number, int value) {
    std::ifstream in(std::string(AURALITH_PROFILE_SOURCE_DIR "/") + file);
    std::ostringstream out;
    std::string line;
    bool inMusic = true;
    while (std::getline(in, line)) {
      if (line.empty()) inMusic = false;
      if (inMusic && line.rfind(std::to_string(number) + " ", 0) == 0)
        line = std::to_string(number) + " " + std::to_string(value);
      out << line << "\n";
    }
    return tmp.write("modified.hvnp", out.str());
  }

  TempFolder tmp;
};

Sound Sine(double frequency, double amplitude, double seconds, int rate = 44100, int channels = 2) {
  Sound s{rate, channels, {}};
  AppendSine(s, frequency, amplitude, seconds);
  return s;
}

double Peak(const Sound& s, std::size_t fromFrame) {
  double peak = 0.0;
  for (std::size_t i = fromFrame * 2; i < s.samples.size(); ++i)
    peak = std::max(peak, static_cast<double>(std::fabs(s.samples[i])));
  return peak;
}

}  // namespace

TEST_F(RenderTest, BoostedBandRaisesOnlyItsOwnFrequencies) {
  // Varrow Laptop lifts 160 Hz by 5 dB with band 4; the same profile with
  // that band at 0 dB shows what the band alone does. The level is low, so
  // no compressor acts.
  const std::string flat = BuiltinWith("Varrow Laptop.hvnp", 35, 24);
  for (auto [frequency, expectedDb] : {std::pair{160.0, 5.0}, std::pair{2000.0, 0.0}}) {
    const std::string in = Input("sine.wav", Sine(frequency, 0.003, 2.0));
    const Sound lifted = Render(Options("Varrow Laptop", in));
    const Sound plain = Render(Options(flat, in));
    const double db = Db(Rms(lifted, 0, kRate, 2 * kRate) / Rms(plain, 0, kRate, 2 * kRate));
    EXPECT_NEAR(db, expectedDb, 0.15) << frequency << " Hz";
  }
}

TEST_F(RenderTest, CompressorHoldsBackTheLoudSection) {
  Sound signal{44100, 2, {}};
  AppendSine(signal, 1000.0, 0.01, 1.5);  // -40 dBFS
  AppendSine(signal, 1000.0, 0.7, 1.5);   // -3 dBFS
  const std::string in = Input("steps.wav", signal);
  auto gainReduction = [&](const Sound& out) {
    const double quiet = Rms(out, 0, kRate, 3 * kRate / 2) / Rms(signal, 0, kRate, 3 * kRate / 2);
    const double loud = Rms(out, 1, 5 * kRate / 2, 3 * kRate) / Rms(signal, 1, 5 * kRate / 2, 3 * kRate);
    return Db(quiet) - Db(loud);
  };
  EXPECT_GT(gainReduction(Render(Options("Varrow Laptop", in))), 10.0);

  RenderOptions off = Options("Varrow Laptop", in);
  off.processingOff = true;
  EXPECT_NEAR(gainReduction(Render(off)), 0.0, 0.05);
}

TEST_F(RenderTest, BuiltinProfilesDoNotClipFullScalePinkNoise) {
  const std::string in = Input("pink.wav", PinkNoise(2.5, 7));
  for (const auto& category : kBuiltinProfileFiles) {
    for (const char* file : category) {
      for (int mode : {1, 0}) {
        RenderOptions o = Options(file, in);
        o.profile = std::string(AURALITH_PROFILE_SOURCE_DIR "/") + file;
        o.contentMode = mode;
        o.dither = true;
        // After the compressors have settled on the noise.
        EXPECT_LE(Peak(Render(o), kRate / 2), auralith::dsp::kClipLevel) << file << " " << mode;
      }
    }
  }
}

TEST_F(RenderTest, SixteenBitOutputNeverExceedsTheClip) {
  RenderOptions o = Options("Sipharo Laptop", Input("loud.wav", Sine(100.0, 1.0, 1.0)));
  o.floatOutput = false;
  o.boost = true;
  const Sound out = Render(o);
  EXPECT_EQ(SubFormat(o.output), SF_FORMAT_PCM_16);
  const double peak = Peak(out, 0);
  EXPECT_NEAR(peak, 32394.0 / 32768.0, 1e-9);  // the clip acts, and holds
}

TEST_F(RenderTest, ProcessingOffIsNeutralAndFiveDecibelsQuieterOffBuiltInSpeakers) {
  const Sound signal = Sine(1000.0, 0.3, 1.0);
  const std::string in = Input("sine.wav", signal);
  RenderOptions o = Options("Varrow Laptop", in);
  o.processingOff = true;
  const double reference = Rms(signal, 0, kRate / 2, kRate);
  EXPECT_NEAR(Db(Rms(Render(o), 0, kRate / 2, kRate) / reference), 0.0, 0.01);
  for (Category quieter : {Category::Desktop, Category::Headphones}) {
    o.category = quieter;
    EXPECT_NEAR(Db(Rms(Render(o), 1, kRate / 2, kRate) / reference), -5.0, 0.01);
  }
  o.category = Category::BuiltIn;
  o.kiro = true;
  EXPECT_NEAR(Db(Rms(Render(o), 0, kRate / 2, kRate) / reference), -23.1, 0.02);
}

TEST_F(RenderTest, UserEqualizerRecordActsWithProcessingOnAndOff) {
  // Bass band at 160 Hz (position 15), gain position 32: +4 dB.
  const std::string in = Input("bass.wav", Sine(160.0, 0.003, 1.5));
  for (bool off : {false, true}) {
    RenderOptions o = Options("Tennet Headphones", in);
    o.processingOff = off;
    const double flat = Rms(Render(o), 0, kRate, 3 * kRate / 2);
    o.userEq = {1, 15, 3, 32, 1, 49, 3, 24};
    const double lifted = Rms(Render(o), 0, kRate, 3 * kRate / 2);
    EXPECT_NEAR(Db(lifted / flat), 4.0, 0.05) << "off " << off;
    o.userEq = {0, 15, 3, 32, 1, 49, 3, 24};  // the band disabled
    EXPECT_NEAR(Db(Rms(Render(o), 0, kRate, 3 * kRate / 2) / flat), 0.0, 0.01);
  }
}

TEST_F(RenderTest, SilentBlocksPassUntouched) {
  Sound signal{44100, 2, {}};
  AppendSilence(signal, 3 * kBlockFrames);
  AppendSine(signal, 440.0, 0.5, 0.5);
  RenderOptions o = Options("Varrow Laptop", Input("gap.wav", signal));
  o.dither = true;
  const Sound out = Render(o);
  ASSERT_EQ(out.frames(), signal.frames());
  for (std::size_t i = 0; i < 2 * 3 * kBlockFrames; ++i) ASSERT_EQ(out.samples[i], 0.0f) << i;

  // One non-zero sample makes its whole block go through the chain.
  Sound click{44100, 2, {}};
  AppendSilence(click, kBlockFrames);
  click.samples[100] = 0.5f;
  const Sound processed = Render(Options("Varrow Laptop", Input("click.wav", click)));
  EXPECT_NE(processed.samples[2 * kBlockFrames - 2], 0.0f);
}

TEST_F(RenderTest, MonoAndOtherRatesBecome44100HzStereo) {
  const Sound mono = Sine(1000.0, 0.5, 1.0, 48000, 1);
  RenderOptions o = Options("Varrow Laptop", Input("mono48.wav", mono));
  o.processingOff = true;
  const Sound out = Render(o);
  EXPECT_EQ(out.rate, 44100);
  EXPECT_EQ(out.channels, 2);
  EXPECT_NEAR(static_cast<double>(out.frames()), 44100.0, 2.0);
  int crossings = 0;
  for (std::size_t f = 4410; f < 4410 + kRate / 2; ++f) {
    EXPECT_EQ(out.samples[2 * f], out.samples[2 * f + 1]);
    crossings += (out.samples[2 * f] < 0.0f) != (out.samples[2 * f + 2] < 0.0f);
  }
  EXPECT_NEAR(crossings, 1000, 2);  // half a second of 1 kHz
  EXPECT_NEAR(Db(Rms(out, 0, 4410, 40000) / (0.5 / std::sqrt(2.0))), 0.0, 0.05);
}

TEST_F(RenderTest, OfMoreChannelsTheFirstTwoAreLeftAndRight) {
  Sound quad{44100, 4, {}};
  for (std::size_t f = 0; f < kRate / 4; ++f) {
    const float x = 0.25f * static_cast<float>(std::sin(0.05 * static_cast<double>(f)));
    quad.samples.insert(quad.samples.end(), {x, -x, 0.9f, 0.9f});
  }
  RenderOptions o = Options("Varrow Laptop", Input("quad.wav", quad));
  o.processingOff = true;
  const Sound out = Render(o);
  ASSERT_EQ(out.channels, 2);
  const double left = Rms(out, 0, 4410, kRate / 4);
  EXPECT_NEAR(Db(left / (0.25 / std::sqrt(2.0))), 0.0, 0.05);
  for (std::size_t f = 4410; f < kRate / 4; ++f) ASSERT_EQ(out.samples[2 * f], -out.samples[2 * f + 1]) << f;
}

TEST_F(RenderTest, DitherFollowsTheSeed) {
  const std::string in = Input("quiet.wav", Sine(300.0, 0.001, 0.3));
  RenderOptions o = Options("Brevik Speakers", in);
  o.dither = true;
  const Sound first = Render(o);
  const Sound again = Render(o);
  o.seed = 2;
  const Sound other = Render(o);
  EXPECT_EQ(first.samples, again.samples);
  EXPECT_NE(first.samples, other.samples);
}

TEST_F(RenderTest, HostileProfilesRenderWithinTheClip) {
  std::mt19937 random(3);
  std::string binary(65536, '\0');
  for (char& c : binary) c = static_cast<char>(random());
  std::string extremes;
  for (int n = 1; n <= 58; ++n)
    extremes += std::to_string(n) + (n % 3 == 0 ? " nan\n" : n % 3 == 1 ? " 1e30\n" : " -inf\n");
  std::string longLine;
  while (longLine.size() < (1u << 20)) longLine += "21 9999 26 -1e9 ";
  const std::string negative = "1 -2147483648\n25 2147483647\n21 -5\n56 -100\n";

  const std::string in = Input("loud.wav", Sine(200.0, 1.0, 0.5));
  for (const std::string& content : {binary, extremes, longLine, negative}) {
    RenderOptions o = Options(tmp.write("hostile.hvnp", content), in);
    o.boost = true;
    const Sound out = Render(o);
    ASSERT_EQ(out.frames(), kRate / 2);
    for (float x : out.samples) ASSERT_TRUE(std::isfinite(x));
  }
}

TEST_F(RenderTest, BadInputIsReportedAndTheOutputKept) {
  const std::string existing = tmp.write("out.wav", "keep me");
  RenderOptions o = Options("Varrow Laptop", tmp.folder() + "missing.wav");
  RenderResult result = RenderFile(o);
  EXPECT_EQ(result.status, kExitBadInput);
  EXPECT_NE(result.error.find("missing.wav"), std::string::npos);

  o.input = tmp.write("junk.wav", "RIFF but not really a sound file");
  EXPECT_EQ(RenderFile(o).status, kExitBadInput);

  o.input = Input("fine.wav", Sine(100.0, 0.1, 0.1));
  o.profile = "Nonexistent Laptop";
  result = RenderFile(o);
  EXPECT_EQ(result.status, kExitBadInput);
  EXPECT_NE(result.error.find("unknown profile"), std::string::npos);

  o.profile = tmp.folder();  // a folder is no profile
  EXPECT_EQ(RenderFile(o).status, kExitBadInput);

  std::ifstream kept(existing);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "keep me");

  o.profile = "Varrow Laptop";
  o.output = tmp.folder() + "no such folder/out.wav";
  EXPECT_EQ(RenderFile(o).status, kExitFailed);
}

TEST_F(RenderTest, SuccessReplacesTheOutputAndLeavesNoTemporaryFile) {
  tmp.write("out.wav", "old");
  const RenderOptions o = Options("Varrow Laptop", Input("in.wav", Sine(100.0, 0.1, 0.2)));
  const Sound out = Render(o);
  EXPECT_EQ(out.frames(), kRate / 5);
  EXPECT_EQ(SubFormat(o.output), SF_FORMAT_FLOAT);
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(tmp.path())) {
    ++files;
    EXPECT_EQ(entry.path().filename().string().find(".auralith-render"), std::string::npos);
  }
  EXPECT_EQ(files, 2);  // in.wav and out.wav
}

TEST(RenderCommand, ExitStatusAndOneLineErrors) {
  TempFolder tmp;
  auto run = [&](const std::string& args) {
    const std::string command = std::string("'" AURALITH_RENDER_EXE "' ") + args + " 2>'" + tmp.folder() + "err.txt'";
    const int status = std::system(command.c_str());
    std::ifstream err(tmp.folder() + "err.txt");
    const std::string text((std::istreambuf_iterator<char>(err)), {});
    return std::pair{WIFEXITED(status) ? WEXITSTATUS(status) : -1, text};
  };
  const std::string in = tmp.folder() + "in.wav";
  ASSERT_TRUE(WriteSound(in, Sine(440.0, 0.2, 0.1)));

  auto [status, text] = run("--mode film 'Varrow Laptop' '" + in + "' '" + tmp.folder() + "o.wav'");
  EXPECT_EQ(status, 2);
  EXPECT_EQ(text.rfind("auralith-render: --mode", 0), 0u) << text;
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);

  std::tie(status, text) = run("'Varrow Laptop' '" + tmp.folder() + "none.wav' '" + tmp.folder() + "o.wav'");
  EXPECT_EQ(status, 2);
  EXPECT_NE(text.find("none.wav"), std::string::npos);

  std::tie(status, text) = run("'Varrow Laptop' '" + in + "' '" + tmp.folder() + "o.wav'");
  EXPECT_EQ(status, 0) << text;
  EXPECT_EQ(SubFormat(tmp.folder() + "o.wav"), SF_FORMAT_PCM_16);
}

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::uint32_t U32At(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value |= std::uint32_t(std::uint8_t(bytes[at + i])) << (8 * i);
  return value;
}

// The samples of a rendering after its header (both kinds are 44 bytes).
std::string DataOf(const std::string& wav) { return wav.size() > kStreamHeaderBytes ? wav.substr(44) : ""; }

int RunShell(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST_F(RenderTest, FifoOutputIsStreamedInPlaceAndNeverReplaced) {
  const std::string input = Input("in.wav", Sine(300.0, 0.3, 0.2));
  RenderOptions o = Options("Varrow Laptop", input);
  o.floatOutput = false;
  o.output = tmp.folder() + "file.wav";
  ASSERT_EQ(RenderFile(o).status, kExitOk);
  const std::string regular = ReadAll(o.output);

  const std::string fifo = tmp.folder() + "out.fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::string streamed;
  std::thread reader([&] { streamed = ReadAll(fifo); });
  o.output = fifo;
  const RenderResult result = RenderFile(o);
  reader.join();
  EXPECT_EQ(result.status, kExitOk) << result.error;

  struct stat info {};
  ASSERT_EQ(lstat(fifo.c_str(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode));
  ASSERT_GE(streamed.size(), kStreamHeaderBytes);
  EXPECT_EQ(streamed.substr(0, 4), "RIFF");
  EXPECT_EQ(U32At(streamed, 4), kStreamingSize);
  EXPECT_EQ(streamed.substr(8, 8), "WAVEfmt ");
  EXPECT_EQ(U32At(streamed, 24), 44100u);
  EXPECT_EQ(streamed.substr(36, 4), "data");
  EXPECT_EQ(U32At(streamed, 40), kStreamingSize);
  EXPECT_EQ(streamed.size(), kStreamHeaderBytes + (kRate / 5) * 4);
  EXPECT_EQ(DataOf(streamed), DataOf(regular));
  // The regular rendering's header carries the real sizes.
  EXPECT_EQ(U32At(regular, 40), (kRate / 5) * 4);
}

TEST_F(RenderTest, StreamingHeaderOfFloatOutput) {
  const auto header = StreamingWavHeader(true);
  const std::string bytes(header.begin(), header.end());
  EXPECT_EQ(U32At(bytes, 16), 16u);               // fmt chunk size
  EXPECT_EQ(U32At(bytes, 20) & 0xFFFF, 3u);       // IEEE float
  EXPECT_EQ(U32At(bytes, 28), 44100u * 8);        // bytes per second
  EXPECT_EQ(U32At(bytes, 32), 8u | (32u << 16));  // block align, bits
}

TEST(RenderCommand, StdoutIsWrittenAsAStreamOrAsTheFileItRedirectsTo) {
  TempFolder tmp;
  const std::string in = tmp.folder() + "in.wav";
  ASSERT_TRUE(WriteSound(in, Sine(440.0, 0.2, 0.1)));
  const std::string render = std::string("'" AURALITH_RENDER_EXE "' 'Varrow Laptop' '") + in + "' /dev/stdout";
  // Through a pipe: a stream with the size markers.
  ASSERT_EQ(RunShell(render + " | cat > '" + tmp.folder() + "piped.wav'"), 0);
  const std::string piped = ReadAll(tmp.folder() + "piped.wav");
  ASSERT_GE(piped.size(), kStreamHeaderBytes);
  EXPECT_EQ(U32At(piped, 40), kStreamingSize);
  EXPECT_EQ(piped.size(), kStreamHeaderBytes + 4410u * 4);
  // Redirected to a file: that file gets the complete WAV; /dev/stdout stays.
  ASSERT_EQ(RunShell(render + " > '" + tmp.folder() + "redirected.wav'"), 0);
  const std::string redirected = ReadAll(tmp.folder() + "redirected.wav");
  EXPECT_EQ(U32At(redirected, 40), 4410u * 4);
  EXPECT_EQ(DataOf(redirected), DataOf(piped));
  struct stat info {};
  ASSERT_EQ(lstat("/dev/stdout", &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
}

TEST_F(RenderTest, InputThatIsNoRegularFileIsRefusedAtOnce) {
  const std::string fifo = tmp.folder() + "in.fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  RenderOptions o = Options("Varrow Laptop", fifo);
  RenderResult result = RenderFile(o);  // no writer ever comes: must not wait
  EXPECT_EQ(result.status, kExitBadInput);
  EXPECT_NE(result.error.find("not a regular file"), std::string::npos) << result.error;
  o.input = "/dev/zero";
  EXPECT_EQ(RenderFile(o).status, kExitBadInput);
  o.input = Input("in.wav", Sine(100.0, 0.1, 0.1));
  o.profile = fifo;
  EXPECT_EQ(RenderFile(o).status, kExitBadInput);
}

TEST(RenderCommand, BuiltinNameIsNeverTakenFromTheWorkingFolder) {
  TempFolder work;
  TempFolder profiles;  // an empty profile folder: the installed one serves
  const std::string in = work.folder() + "in.wav";
  ASSERT_TRUE(WriteSound(in, Sine(440.0, 0.2, 0.1)));
  work.write("Varrow Laptop.hvnp", "1 0\n");
  work.write("Varrow Laptop", "1 0\n");
  const std::string env = "AURALITH_PROFILE_DIR='" + profiles.folder() + "' ";
  const std::string exe = std::string("'" AURALITH_RENDER_EXE "' ");
  for (const char* name : {"'Varrow Laptop'", "'Varrow Laptop.hvnp'"}) {
    ASSERT_EQ(RunShell("cd '" + work.folder() + "' && " + env + exe + name + " in.wav by-name.wav 2>err.txt"), 0);
    EXPECT_EQ(ReadAll(work.folder() + "err.txt"), "") << name;  // the complete built-in, no warning
    ASSERT_EQ(RunShell("cd '" + work.folder() + "' && " + env + exe +
                       "'" AURALITH_PROFILE_SOURCE_DIR "/Varrow Laptop.hvnp' in.wav by-path.wav"),
              0);
    EXPECT_EQ(ReadAll(work.folder() + "by-name.wav"), ReadAll(work.folder() + "by-path.wav")) << name;
  }
  // A path to the file in the working folder still names that file.
  ASSERT_EQ(RunShell("cd '" + work.folder() + "' && " + env + exe + "'./Varrow Laptop.hvnp' in.wav own.wav 2>err.txt"),
            0);
  EXPECT_NE(ReadAll(work.folder() + "err.txt").find("lacks"), std::string::npos);
}

TEST(RenderCommand, ProfileMissingParametersWarnsAndStillRenders) {
  TempFolder tmp;
  const std::string in = tmp.folder() + "in.wav";
  ASSERT_TRUE(WriteSound(in, Sine(440.0, 0.2, 0.1)));
  const std::string profile = tmp.write("Sparse.hvnp", "1 0\n3 5\n\n");
  const std::string exe = std::string("'" AURALITH_RENDER_EXE "' ");
  ASSERT_EQ(RunShell(exe + "'" + profile + "' '" + in + "' '" + tmp.folder() + "o.wav' 2>'" + tmp.folder() + "e'"), 0);
  EXPECT_EQ(ReadAll(tmp.folder() + "e"), "auralith-render: warning: profile '" + profile +
                                             "' (music set) lacks parameters 2, 4-58; they read as 0\n");
  // The movie set is empty: every number is named.
  ASSERT_EQ(RunShell(exe + "--mode movie '" + profile + "' '" + in + "' '" + tmp.folder() + "o.wav' 2>'" +
                     tmp.folder() + "e'"),
            0);
  EXPECT_NE(ReadAll(tmp.folder() + "e").find("(movie set) lacks parameters 1-58"), std::string::npos);
  // With processing off no profile set is played, so nothing is said.
  ASSERT_EQ(
      RunShell(exe + "--off '" + profile + "' '" + in + "' '" + tmp.folder() + "o.wav' 2>'" + tmp.folder() + "e'"), 0);
  EXPECT_EQ(ReadAll(tmp.folder() + "e"), "");
}
