// The user equalizer record applied to slots 10 and 11 the way the
// equalizer pane applies a stored record when it loads it.
#pragma once

#include "dsp/dsp_state.h"
#include "tools/render/render_options.h"

#include <cstddef>
#include <cstdint>

namespace auralith::render {

// The stored record's bytes, eight little-endian 32-bit words, as the
// record.
UserEqRecord DecodeUserEqRecord(const std::uint8_t* bytes);

// Slider positions outside their ranges are clamped to them, as the pane's
// sliders do. Writes nothing while processing is off.
void ApplyUserEqRecord(dsp::DspState& state, const UserEqRecord& record);

}  // namespace auralith::render
