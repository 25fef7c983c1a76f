#include "tools/engine/host_profile.h"

#include <filesystem>

#include "mapping/missing_parameters.h"
#include "mapping/profile_mapping.h"
#include "mapping/user_eq.h"
#include "profiles/builtin_profiles.h"
#include "tools/render/renderer.h"

namespace auralith::engine {
namespace {

profiles::PaneCategory PaneCategoryOf(int category) {
  switch (category) {
    case 0:
      return profiles::PaneCategory::BuiltIn;
    case 1:
      return profiles::PaneCategory::Headphones;
    default:
      return profiles::PaneCategory::Desktop;
  }
}

}  // namespace

std::string ActiveProfilePath(int category) {
  return render::ResolveProfile(profiles::BuiltinProfileFile(PaneCategoryOf(category), 1));
}

std::string MissingParametersNotice(profiles::Profile& profile, const std::string& path, int contentMode) {
  const std::vector<std::int32_t> missing = dsp::MissingProfileParameters(profile.parameterSet(contentMode));
  if (missing.empty()) return {};
  return "The profile \"" + std::filesystem::path(path).stem().string() + "\" gives no parameter " +
         dsp::ParameterNumberList(missing) + "; they play as 0.";
}

void ApplyListeningState(dsp::DspState& state, profiles::Profile& profile, const std::string& path,
                         const ListeningState& listening, bool startUp) {
  if (!path.empty()) profile.load(path);
  profile.setBoost(listening.boost ? 1 : 0);
  state.kiroActive.store(listening.kiro, std::memory_order_relaxed);
  // Every start begins switched off and applies the profile once so;
  // processing goes on afterwards when it was on at the last shutdown.
  if (startUp || !listening.processing) {
    state.processingOff.store(true, std::memory_order_relaxed);
    dsp::ApplyNeutralParams(state);
  }
  if (!listening.processing) return;
  state.processingOff.store(false, std::memory_order_relaxed);
  dsp::ApplyProfileParams(state, profile, listening.contentMode);
  render::ApplyUserEqRecord(state, listening.userEq);
}

}  // namespace auralith::engine
