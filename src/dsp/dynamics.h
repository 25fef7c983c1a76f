// Level control: the feed-forward stereo compressor and the band mixer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dsp/dsp_records.h"

namespace auralith::dsp {

// Lowers every threshold by 23.1 dB while hearing protection is active.
inline constexpr double kKiroThresholdFactor = 14.29;

// Compresses `frames` frames of `block` in place. `linkMode` kLinked makes
// both channels follow the louder envelope. `kiroActive` lowers the threshold.
void RunCompressor(std::int32_t linkMode, float* block, std::size_t frames, const CompParams& params, bool kiroActive,
                   float& leftEnvelope, float& rightEnvelope);

// dynamicsMode kThreeBand: block = (low + high + mid) x outputGain;
// kSingleBand: block x outputGain; any other value leaves the block alone.
// The band buffers are read only in the three-band layout.
void MixBands(float* block, std::size_t frames, float outputGain, std::int32_t dynamicsMode, const float* low,
              const float* mid, const float* high);

}  // namespace auralith::dsp
