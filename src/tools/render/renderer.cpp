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

#include <sys/stat.h>
#include <algorithm>
#include <filesystem>
#include <memory>
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
  std::error_code failed;
  const std::string program = std::filesystem::read_symlink("/proc/self/exe", failed).string();
  const std::string tree = AURALITH_BUILD_TREE_DIR "/";
  return !failed && program.compare(0, tree.size(), tree) == 0;
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

  std::vector<std::int16_t> pcm(2 * kBlockFrames);
  std::vector<float> block(2 * kBlockFrames);
  std::uint64_t nextReport = 0;
  while (true) {
    const std::size_t frames = input->Read(pcm.data(), kBlockFrames);
    if (frames == 0) break;
    const std::size_t samples = 2 * frames;
    // Silence is passed on untouched, as the audio thread does.
    if (AllZero(pcm.data(), samples)) {
      std::fill_n(block.begin(), samples, 0.0f);
    } else {
      dsp::PcmToFloat(reinterpret_cast<const std::uint8_t*>(pcm.data()), samples * sizeof(std::int16_t), block.data(),
                      quieter);
      dsp::ProcessBlock(*state, block.data(), frames);
      dsp::FloatToPcm(block.data(), samples, pcm.data());
    }
    const bool written = options.floatOutput ? output->Write(block.data(), frames) : output->Write(pcm.data(), frames);
    if (!written) {
      dsp::FreeDsp(*state);
      return Failure(kExitFailed, output->error());
    }
    result.frames += frames;
    if (progress && result.frames >= nextReport) {
      progress(result.frames, input->totalFrames());
      nextReport = result.frames + kBlockFrames * 25;  // about every second of sound
    }
  }
  dsp::FreeDsp(*state);
  if (!input->error().empty()) return Failure(kExitBadInput, input->error());
  if (!output->Commit()) return Failure(kExitFailed, output->error());
  if (progress) progress(result.frames, result.frames);
  return result;
}

}  // namespace auralith::render
