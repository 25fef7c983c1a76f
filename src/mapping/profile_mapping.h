// The profile-to-DSP mapping: fills the chain's parameter records from a
// profile's numbered parameters, or with the transparent set while processing
// is off, and sets one peaking slot's frequency or Q. Control thread only;
// every operation publishes the parameter set once, after its last write.
//
// Profile values are truncated toward zero and used as indices into the
// start-up tables. Indices beyond a table are clamped to it and values that
// are not finite read as 0, so no profile can read outside a table.
#pragma once

#include <cstdint>

#include "dsp/dsp_state.h"
#include "profiles/profile.h"

namespace auralith::dsp {

// Default frequency indices of profile slots 0 to 9 in the neutral set
// (28, 63, 125, 250, 500, 1000, 2000, 4000, 8000 and 12 500 Hz).
inline constexpr std::int32_t kNeutralBandFrequencies[kProfilePeakSlots] = {0, 7, 13, 19, 25, 31, 37, 43, 49, 53};

// Writes the parameter set of `contentMode` (1 music, anything else movie)
// into the chain, with the profile's output boost. A set holding none of the
// parameters 1 to 58 would map every stage to silence; it is applied as the
// neutral set instead, leaving the user equalizer's slots as they are.
void ApplyProfileParams(DspState& state, profiles::Profile& profile, int contentMode);

// Makes every profile stage transparent. The user equalizer's slots 10 and 11
// are reset too unless processing is off, when they keep what they hold.
void ApplyNeutralParams(DspState& state);

// Gives peaking slot `slot` (0 to 11) the c and d of frequency index
// `frequencyIndex` at its current Q. While processing is off the user
// equalizer's slots 10 and 11 are frozen. A slot outside 0 to 11 is ignored.
void SetBandFrequency(DspState& state, std::int32_t frequencyIndex, std::int32_t slot);

// The same for the Q index at the slot's current frequency.
void SetBandQ(DspState& state, std::int32_t qIndex, std::int32_t slot);

// SetBandFrequency and SetBandQ without publishing: for an operation that
// changes more of a slot and publishes once at its end.
void StoreBandFrequency(DspState& state, std::int32_t frequencyIndex, std::int32_t slot);
void StoreBandQ(DspState& state, std::int32_t qIndex, std::int32_t slot);

}  // namespace auralith::dsp
