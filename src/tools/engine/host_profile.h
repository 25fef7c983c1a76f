#pragma once
// The category's active profile applied to the chain as the main window's
// ApplyProfile does it: built-in slot 1 of the category (until the user
// interface keeps its own slots), in the stored content mode, processing on
// or off, with the category's boost, K.I.R.O and user equalizer.

#include <string>

#include "dsp/dsp_state.h"
#include "profiles/profile.h"
#include "tools/engine/host_settings.h"

namespace auralith::engine {

// The file of the category's active profile; empty when it is not found.
std::string ActiveProfilePath(int category);

// Loads the profile at `path` (when not empty) and applies the listening
// state. With processing off the chain stays neutral. At start-up the
// neutral set goes first, as every start begins switched off.
// What the user is told when the content mode's set of the loaded profile
// leaves parameters out (they read as 0, mostly silence): the profile's name
// and the missing numbers. Empty when the set gives them all.
std::string MissingParametersNotice(profiles::Profile& profile, const std::string& path, int contentMode);

void ApplyListeningState(dsp::DspState& state, profiles::Profile& profile, const std::string& path,
                         const ListeningState& listening, bool startUp);

}  // namespace auralith::engine
