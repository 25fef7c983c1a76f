#include "tools/render/renderer.h"

#include "dsp/chain.h"
#include "mapping/missing_parameters.h"
#include "mapping/profile_mapping.h"
#include "mapping/user_eq.h"
#include "profiles/builtin_profiles.h"
#include "profiles/installed_folder.h"
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

bool RunsFromBuildTree() {
  const std::string program = profiles::RunningProgramPath();
  const std::string tree = AURALITH_BUILD_TREE_DIR "/";
  return !program.empty() && program.compare(0, tree.size(), tree) == 0;
}

// Blocks of the audio thread in a row, read and written at once (fewer,
// larger system calls) and processed block by block.
constexpr std::size_t kBatchBlocks = 8;
constexpr std::size_t kBatchFrames = kBatchBlocks * kBlockFrames;

// A batch on its way: the frames as the driver would deliver them, read
// straight into `pcm`, then the chain's floats, then (for 16-bit output)
// `pcm` again with the result.
struct Batch {
  std::array<std::int16_t, 2 * kBatchFrames> pcm;
  std::array<float, 2 * kBatchFrames> samples;
  std::array<bool, kBatchBlocks> silent;
  std::size_t frames = 0;
};

// Batches in flight between the reader, the chain and the writer threads:
// about 2.6 s of sound, 1.4 MB.
constexpr std::size_t kRingBatches = 8;

// Calls `step(index, first frame, frames)` for each block of the batch.
template <typename Step>
void ForEachBlock(const Batch& batch, Step&& step) {
  for (std::size_t block = 0, start = 0; start < batch.frames; ++block, start += kBlockFrames)
    step(block, start, std::min(kBlockFrames, batch.frames - start));
}

// The frames read into `batch` (0 at the end of the sound or on an error).
std::size_t ReadBatch(AudioInput& input, Batch& batch, bool quieter) {
  batch.frames = input.Read(batch.pcm.data(), kBatchFrames);
  ForEachBlock(batch, [&](std::size_t block, std::size_t start, std::size_t frames) {
    const std::int16_t* pcm = batch.pcm.data() + 2 * start;
    float* samples = batch.samples.data() + 2 * start;
    // Silence is passed on untouched, as the audio thread does.
    batch.silent[block] = AllZero(pcm, 2 * frames);
    if (batch.silent[block])
      std::fill_n(samples, 2 * frames, 0.0f);
    else
      dsp::PcmToFloat(reinterpret_cast<const std::uint8_t*>(pcm), 2 * frames * sizeof(std::int16_t), samples, quieter);
  });
  return batch.frames;
}

void RunChain(dsp::DspState& state, Batch& batch) {
  ForEachBlock(batch, [&](std::size_t block, std::size_t start, std::size_t frames) {
    if (!batch.silent[block]) dsp::ProcessBlock(state, batch.samples.data() + 2 * start, frames);
  });
}

bool WriteBatch(AudioOutput& output, Batch& batch, bool floatOutput) {
  if (floatOutput) return output.Write(batch.samples.data(), batch.frames);
  // Silent blocks hold zeros, which convert to zeros.
  dsp::FloatToPcm(batch.samples.data(), 2 * batch.frames, batch.pcm.data());
  return output.Write(batch.pcm.data(), batch.frames);
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

  void Written(const Batch& batch) {
    frames += batch.frames;
    if (progress && frames >= nextReport) {
      progress(frames, input.totalFrames());
      nextReport = frames + kBlockFrames * 25;  // about every second of sound
    }
  }
};

void RenderInOneThread(Stream& stream, Batch& batch) {
  while (ReadBatch(stream.input, batch, stream.quieter) != 0) {
    RunChain(stream.state, batch);
    if (!WriteBatch(stream.output, batch, stream.floatOutput)) {
      stream.writeFailed = true;
      return;
    }
    stream.Written(batch);
  }
}

// Reading and writing on threads of their own, the chain on this one, with
// the batches passed on in order through the ring. Returns false, having
// done nothing, when the threads cannot be started.
bool RenderOnThreads(Stream& stream, std::vector<Batch>& batches) {
  BlockRing ring(batches.size());
  const auto slot = [&batches](std::uint64_t number) -> Batch& { return batches[number % batches.size()]; };
  const auto read = [&] {
    while (const std::optional<std::uint64_t> number = ring.Acquire(BlockRing::kRead)) {
      if (ReadBatch(stream.input, slot(*number), stream.quieter) == 0) break;
      ring.Release(BlockRing::kRead);
    }
    ring.Finish();
  };
  const auto write = [&] {
    while (const std::optional<std::uint64_t> number = ring.Acquire(BlockRing::kWrite)) {
      Batch& batch = slot(*number);
      if (!WriteBatch(stream.output, batch, stream.floatOutput)) {
        stream.writeFailed = true;
        ring.Stop();  // the reader and the chain give up too
        return;
      }
      stream.Written(batch);
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
  // An installed program uses its own installed built-ins only, so a broken
  // installation shows; only a program in the build tree falls back to the
  // source tree's.
  std::string installed = profiles::InstalledProfileFolder();
  if (installed.empty() && RunsFromBuildTree()) installed = AURALITH_BUILTIN_PROFILE_DIR "/";
  for (const std::string& folder : {profiles::ProfileFolder(), installed}) {
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
  std::vector<Batch> batches(threads ? kRingBatches : 1);
  if (!threads || !RenderOnThreads(stream, batches)) RenderInOneThread(stream, batches.front());
  dsp::FreeDsp(*state);
  // A write fails on a batch read before any later read could fail.
  if (stream.writeFailed) return Failure(kExitFailed, output->error());
  if (!input->error().empty()) return Failure(kExitBadInput, input->error());
  if (!output->Commit()) return Failure(kExitFailed, output->error());
  result.frames = stream.frames;
  if (progress) progress(result.frames, result.frames);
  return result;
}

}  // namespace auralith::render
