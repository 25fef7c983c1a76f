// The user equalizer record applied to slots 10 and 11 the way the
// equalizer pane applies a stored record when it loads it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "dsp/dsp_state.h"

namespace auralith::render {

// The eight words of a stored user equalizer record: bass enabled,
// frequency, Q, gain position, then the same for treble.
using UserEqRecord = std::array<std::int32_t, 8>;
inline constexpr UserEqRecord kDefaultUserEqRecord = {1, 15, 3, 24, 1, 49, 3, 24};

// The stored record's bytes, eight little-endian 32-bit words, as the
// record.
UserEqRecord DecodeUserEqRecord(const std::uint8_t* bytes);

// Slider positions outside their ranges are clamped to them, as the pane's
// sliders do. Writes nothing while processing is off.
void ApplyUserEqRecord(dsp::DspState& state, const UserEqRecord& record);

}  // namespace auralith::render
