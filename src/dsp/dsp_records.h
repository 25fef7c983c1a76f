// Parameter records and stage memories of the processing chain.
//
// Parameter records (…Coeffs, …Params, DspParams) are written by the control
// thread and reach the audio thread only as published snapshots (see
// dsp_state.h). Stage memories (…State, envelopes) belong to the audio thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "dsp/stream_format.h"

namespace auralith::dsp {

inline constexpr double kSampleRate = kStreamRate;

// Peaking slots 0-9 are the profile's equaliser bands, 10 and 11 the user
// equaliser.
inline constexpr std::size_t kPeakSlots = 12;
inline constexpr std::size_t kProfilePeakSlots = 10;
inline constexpr std::size_t kFirstUserEqSlot = 10;

// Link mode of a compressor: this value links the channels, anything else
// leaves them independent.
inline constexpr std::int32_t kLinked = 1;

// dynamicsMode: 0 three bands, 1 one full-band compressor; any other value
// runs the full-band compressor and applies no output gain.
inline constexpr std::int32_t kThreeBand = 0;
inline constexpr std::int32_t kSingleBand = 1;

// Second-order Butterworth section run twice in cascade (4th-order
// Linkwitz-Riley). Single-precision values widened to double; a0 is always
// 1.0 and unused.
struct Lr4Coeffs {
  double b0 = 0.0, b1 = 0.0, b2 = 0.0, a0 = 0.0, a1 = 0.0, a2 = 0.0;
  bool operator==(const Lr4Coeffs&) const = default;
};

// One channel of a Linkwitz-Riley section. The output histories hold
// single-precision values widened to double.
struct Lr4State {
  double x1 = 0.0, x2 = 0.0;  // first biquad: inputs n-1, n-2
  double u1 = 0.0, u2 = 0.0;  // second biquad: inputs n-1, n-2
  double y1 = 0.0, y2 = 0.0;  // first biquad: outputs n-1, n-2
  double v1 = 0.0, v2 = 0.0;  // second biquad: outputs n-1, n-2
  bool operator==(const Lr4State&) const = default;
};

// First-order shelf. sign < 0 selects the cut form, anything else the boost
// form; norm (G) is used by the boost form only.
struct ShelfParams {
  float a = 0.0f;     // linear gain, 0 < a <= 1
  float norm = 0.0f;  // G
  float sign = 0.0f;
  bool operator==(const ShelfParams&) const = default;
};

struct ShelfState {
  float s = 0.0f;
  bool operator==(const ShelfState&) const = default;
};

// Second-order peaking band around an all-pass with coefficients c and d;
// k is the linear gain at the centre frequency (1.0 is transparent).
struct PeakParams {
  float k = 1.0f;
  float c = 0.0f;
  float d = 0.0f;
  bool operator==(const PeakParams&) const = default;
};

// One channel of a peaking band: x[0..2] inputs n-2, n-1, n; y[0..2] all-pass
// outputs n-2, n-1, n.
struct PeakState {
  std::array<float, 3> x{};
  std::array<float, 3> y{};
  bool operator==(const PeakState&) const = default;
};

struct CompParams {
  float attack = 0.0f;        // envelope coefficient while the level rises
  float release = 0.0f;       // envelope coefficient while it falls
  float thresholdInv = 0.0f;  // 1 / threshold (linear amplitude)
  float ratio = 0.0f;
  float makeup = 0.0f;  // linear gain after compression
  bool operator==(const CompParams&) const = default;
};

// Every parameter of the chain: one consistent set is in force for a whole
// block. Defaults are the values at start-up: silence (zero coefficients,
// outputGain 0) with transparent peaking slots.
struct DspParams {
  float masterGain = 1.0f;
  std::int32_t dynamicsMode = kThreeBand;
  float outputGain = 0.0f;

  Lr4Coeffs inputHighPass;

  ShelfParams lowShelf1, highShelf1, lowShelf2, highShelf2;

  CompParams compressor1, lowBandCompressor, highBandCompressor;
  std::int32_t compressor1Link = 0;
  std::int32_t lowBandLink = 0;
  std::int32_t highBandLink = 0;

  std::array<PeakParams, kPeakSlots> peak{};

  // Crossover of the three-band layout.
  Lr4Coeffs lowBandLowPass;    // lower crossover frequency
  Lr4Coeffs highBandHighPass;  // upper crossover frequency
  Lr4Coeffs midBandLowPass;    // upper crossover frequency
  Lr4Coeffs midBandHighPass;   // lower crossover frequency

  bool operator==(const DspParams&) const = default;
};

// Stage memories, one per channel (index 0 left, 1 right). Only InitDsp clears
// them, and ProcessBlock when one has become non-finite.
struct DspMemories {
  std::array<Lr4State, 2> inputHighPass{};
  std::array<ShelfState, 2> lowShelf1{}, highShelf1{}, lowShelf2{}, highShelf2{};
  std::array<float, 2> compressor1Env{}, lowBandEnv{}, highBandEnv{};
  std::array<std::array<PeakState, 2>, kPeakSlots> peak{};
  std::array<Lr4State, 2> lowBandLowPass{}, highBandHighPass{}, midBandLowPass{}, midBandHighPass{};
  bool operator==(const DspMemories&) const = default;
};

}  // namespace auralith::dsp
