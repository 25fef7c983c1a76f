// The linear filter stages: 4th-order Linkwitz-Riley sections, first-order
// shelves and second-order peaking bands, and the Butterworth designs.
// Every stage works on interleaved stereo frames, left before right, both
// channels with the same parameters.
#pragma once

#include <cstddef>

#include "dsp/dsp_records.h"

namespace auralith::dsp {

// Fixed pole of the shelves' all-pass, and 1 - p^2 in single precision.
inline constexpr float kShelfPole = 0.866f;
inline constexpr float kShelfPoleM = 0.25004398822784424f;

// Second-order Butterworth (Q = 1/sqrt 2) at 44.1 kHz with corner `fc` Hz.
Lr4Coeffs DesignLowPass(float fc);
Lr4Coeffs DesignHighPass(float fc);

// Two cascaded biquads with `coeffs`, from `in` to `out`; `out` may be `in`.
void RunLr4(Lr4State& left, Lr4State& right, const Lr4Coeffs& coeffs, const float* in, float* out, std::size_t frames);

void RunLowShelf(ShelfState& left, ShelfState& right, const ShelfParams& params, float* block, std::size_t frames);
void RunHighShelf(ShelfState& left, ShelfState& right, const ShelfParams& params, float* block, std::size_t frames);

void RunPeak(PeakState& left, PeakState& right, const PeakParams& params, float* block, std::size_t frames);

// c and d of a peaking band at `frequency` Hz with quality `q`, bandwidth
// capped at pi/1.05 near the Nyquist frequency.
struct PeakCoeffs {
  float c, d;
};
PeakCoeffs DesignPeak(float frequency, float q);

}  // namespace auralith::dsp
