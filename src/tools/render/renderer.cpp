#include "tools/render/renderer.h"

#include "dsp/chain.h"
#include "mapping/missing_parameters.h"
#include "mapping/profile_mapping.h"
#include "mapping/user_eq.h"
#include "profiles/builtin_profiles.h"
#include "profiles/profile_folder.h"
#include "tools/render/audio_input.h"
#include "tools/render/audio_output.h"
#include "tools/render/block_ring.h"

#include <sched.h>
#include <sys/stat.h>
#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

namespace auralith::render {

namespace {

bool IsRegularFile(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

RenderResult Failure(int status, std::string error) {
  RenderResult result;
  result.status = status;
  result.error = std::move(error);
  return result;
}

bool AllZero(const std::int16_t* samples, std::size_t count) {
  return std::all_of(samples, samples + count, [](std::int16_t s) { return s == 0; });
}

// One block on its way: the frames as the driver would deliver them, read
// straight into `pcm`, then the chain's floats, then (for 16-bit output)
// `pcm` again with the result.
struct Block {
  std::array<std::int16_t, 2 * kBlockFrames> pcm;
  std::array<float, 2 * kBlockFrames> samples;
  std::size_t frames = 0;
  bool silent = false;
};

// Blocks in flight between the reader, the chain and the writer threads:
// about 1.3 s of sound, 650 kB.
constexpr std::size_t kRingBlocks = 32;

// The frames read into `block` (0 at the end of the sound or on an error).
std::size_t ReadBlock(AudioInput& input, Block& block, bool quieter) {
  block.frames = input.Read(block.pcm.data(), kBlockFrames);
  const std::size_t samples = 2 * block.frames;
  // Silence is passed on untouched, as the audio thread does.
  block.silent = AllZero(block.pcm.data(), samples);
  if (block.silent) {
    std::fill_n(block.samples.begin(), samples, 0.0f);
  } else {
    dsp::PcmToFloat(reinterpret_cast<const std::uint8_t*>(block.pcm.data()), samples * sizeof(std::int16_t),
                    block.samples.data(), quieter);
  }
  return block.frames;
}

void RunChain(dsp::DspState& state, Block& block) {
  if (!block.silent) dsp::ProcessBlock(state, block.samples.data(), block.frames);
}

bool WriteBlock(AudioOutput& output, Block& block, bool floatOutput) {
  if (floatOutput) return output.Write(block.samples.data(), block.frames);
  if (!block.silent) dsp::FloatToPcm(block.samples.data(), 2 * block.frames, block.pcm.data());
  return output.Write(block.pcm.data(), block.frames);
}

bool MayUseSeveralProcessors() {
  cpu_set_t set;
  CPU_ZERO(&set);
  return sched_getaffinity(0, sizeof(set), &set) == 0 && CPU_COUNT(&set) > 1;
}

// What a rendering's loop needs; the loop reports how it ended.
struct Stream {
  AudioInput& input;
  AudioOutput& output;
  dsp::DspState& state;
  bool quieter;
  bool floatOutput;
  const ProgressCallback& progress;
  std::uint64_t frames = 0;  // written so far
  std::uint64_t nextReport = 0;
  bool writeFailed = false;

  void Written(const Block& block) {
    frames += block.frames;
    if (progress && frames >= nextReport) {
      progress(frames, input.totalFrames());
      nextReport = frames + kBlockFrames * 25;  // about every second of sound
    }
  }
};

void RenderInOneThread(Stream& stream, Block& block) {
  while (ReadBlock(stream.input, block, stream.quieter) != 0) {
    RunChain(stream.state, block);
    if (!WriteBlock(stream.output, block, stream.floatOutput)) {
      stream.writeFailed = true;
      return;
    }
    stream.Written(block);
  }
}

// Reading and writing on threads of their own, the chain on this one, with
// the blocks passed on in order through the ring. Returns false, having
// done nothing, when the threads cannot be started.
bool RenderOnThreads(Stream& stream, std::vector<Block>& blocks) {
  BlockRing ring(blocks.size());
  const auto slot = [&blocks](std::uint64_t number) -> Block& { return blocks[number % blocks.size()]; };
  const auto read = [&] {
    while (const std::optional<std::uint64_t> number = ring.Acquire(BlockRing::kRead)) {
      if (ReadBlock(stream.input, slot(*number), stream.quieter) == 0) break;
      ring.Release(BlockRing::kRead);
    }
    ring.Finish();
  };
  const auto write = [&] {
    while (const std::optional<std::uint64_t> number = ring.Acquire(BlockRing::kWrite)) {
      Block& block = slot(*number);
      if (!WriteBlock(stream.output, block, stream.floatOutput)) {
        stream.writeFailed = true;
        ring.Stop();  // the reader and the chain give up too
        return;
      }
      stream.Written(block);
      ring.Release(BlockRing::kWrite);
    }
  };
  std::thread reader;
  std::thread writer;
  try {
    reader = std::thread(read);
    writer = std::thread(write);
  } catch (const std::system_error&) {
    ring.Stop();  // neither has begun: the ring was not open yet
    if (reader.joinable()) reader.join();
    return false;
  }
  ring.Open();
  while (const std::optional<std::uint64_t> number = ring.Acquire(BlockRing::kChain)) {
    RunChain(stream.state, slot(*number));
    ring.Release(BlockRing::kChain);
  }
  reader.join();
  writer.join();
  return true;
}

}  // namespace

std::string ResolveProfile(const std::string& argument) {
  // A built-in name never means a file of that name in the working folder.
  const std::string builtin = profiles::FindBuiltinProfileFile(argument);
  if (builtin.empty()) return IsRegularFile(argument) ? argument : std::string{};
  for (const std::string& folder : {profiles::ProfileFolder(), std::string(AURALITH_BUILTIN_PROFILE_DIR "/")}) {
    if (!folder.empty() && IsRegularFile(folder + builtin)) return folder + builtin;
  }
  return {};
}

std::string MissingParametersWarning(const std::string& profilePath, profiles::Profile& profile, int contentMode) {
  const std::vector<std::int32_t> missing = dsp::MissingProfileParameters(profile.parameterSet(contentMode));
  if (missing.empty()) return {};
  const char* set = contentMode == profiles::kContentModeMusic ? "music" : "movie";
  return "profile '" + profilePath + "' (" + set + " set) lacks parameter" + (missing.size() == 1 ? " " : "s ") +
         dsp::ParameterNumberList(missing) + "; they read as 0";
}

void SetUpChain(dsp::DspState& state, profiles::Profile& profile, const RenderOptions& options) {
  dsp::InitDsp(state);
  state.noise = dsp::NoiseSource(options.seed);
  state.dither = options.dither;
  state.kiroActive = options.kiro;
  profile.setBoost(options.boost ? 1 : 0);

  dsp::ApplyNeutralParams(state);
  state.processingOff = false;
  if (options.processingOff) {
    ApplyUserEqRecord(state, options.userEq);
    state.processingOff = true;
    dsp::ApplyNeutralParams(state);
  } else {
    dsp::ApplyProfileParams(state, profile, options.contentMode);
    ApplyUserEqRecord(state, options.userEq);
  }
}

RenderResult RenderFile(const RenderOptions& options, const ProgressCallback& progress) {
  const std::string profilePath = ResolveProfile(options.profile);
  if (profilePath.empty()) return Failure(kExitBadInput, "unknown profile '" + options.profile + "'");
  // No database: rendering needs no descriptions and must not create one.
  profiles::Profile profile("");
  profile.load(profilePath);
  if (profile.record().location != profilePath)
    return Failure(kExitBadInput, "cannot read profile '" + profilePath + "'");
  RenderResult result;
  // Played as it is (stored files may rely on the zeros), but not in silence.
  if (!options.processingOff) result.warning = MissingParametersWarning(profilePath, profile, options.contentMode);

  std::string error;
  const std::unique_ptr<AudioInput> input = AudioInput::Open(options.input, error);
  if (!input) return Failure(kExitBadInput, error);

  auto state = std::make_unique<dsp::DspState>();
  SetUpChain(*state, profile, options);
  const bool quieter = state->processingOff && options.category != Category::BuiltIn;

  const std::unique_ptr<AudioOutput> output = AudioOutput::Create(options.output, options.floatOutput, error);
  if (!output) return Failure(kExitFailed, error);

  Stream stream{*input, *output, *state, quieter, options.floatOutput, progress};
  const bool threads =
      options.ioThreads == IoThreads::On || (options.ioThreads == IoThreads::Auto && MayUseSeveralProcessors());
  std::vector<Block> blocks(threads ? kRingBlocks : 1);
  if (!threads || !RenderOnThreads(stream, blocks)) RenderInOneThread(stream, blocks.front());
  dsp::FreeDsp(*state);
  // A write fails on a block read before any later read could fail.
  if (stream.writeFailed) return Failure(kExitFailed, output->error());
  if (!input->error().empty()) return Failure(kExitBadInput, input->error());
  if (!output->Commit()) return Failure(kExitFailed, output->error());
  result.frames = stream.frames;
  if (progress) progress(result.frames, result.frames);
  return result;
}

}  // namespace auralith::render
