// The block chain: 16-bit samples to float, every stage in its fixed order,
// and back to 16 bits. Blocks are interleaved stereo, left sample first.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dsp/dsp_state.h"

namespace auralith::dsp {

// Scale of PcmToFloat: 1/32768, or 5 dB lower with `quieter`.
inline constexpr float kPcmScale = 3.0517578125e-05f;
inline constexpr float kPcmScaleQuieter = 1.7161255527753383e-05f;

// Clip level of FloatToPcm (about -0.1 dBFS): results stay within +-32394.
inline constexpr float kClipLevel = 0.9886f;

// Converts `byteCount` bytes of 16-bit signed little-endian samples into one
// float each (an odd trailing byte is ignored). Returns 1.
int PcmToFloat(const std::uint8_t* source, std::size_t byteCount, float* destination, bool quieter);

// Runs the whole chain over `frames` frames of `block`, in place, with the
// parameter set last published. Audio thread only; allocates nothing, takes no
// lock, makes no system call. A block longer than the band buffers is
// processed in pieces (with the same result as one piece).
void ProcessBlock(DspState& state, float* block, std::size_t frames);

// Clips every sample at +-kClipLevel, scales it to 16 bits (rounding half to
// even) and writes it to `out` (`sampleCount` entries, any count). NaN becomes
// 0. Writes into the caller's buffer, so the audio thread allocates nothing.
void FloatToPcm(const float* block, std::size_t sampleCount, std::int16_t* out);

}  // namespace auralith::dsp
