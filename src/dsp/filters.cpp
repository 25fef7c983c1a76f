#include "dsp/filters.h"

#include <cmath>
#include <numbers>

#include "dsp/stage_kernels.h"

namespace auralith::dsp {
namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

// Butterworth design in the beta/gamma form; `high` selects the high-pass.
Lr4Coeffs DesignButterworth(float fc, bool high) {
  const double w = static_cast<double>(fc / static_cast<float>(kStreamRate)) * kTwoPi;
  const double sigma = std::sin(w) * static_cast<double>(std::sqrt(2.0f)) * 0.5;
  const float beta = static_cast<float>(0.5 * (1.0 - sigma) / (1.0 + sigma));
  const double betaPlusHalf = static_cast<double>(beta) + 0.5;
  const float gamma = static_cast<float>(std::cos(w) * betaPlusHalf);
  const double sum = high ? betaPlusHalf + gamma : betaPlusHalf - gamma;
  const float alpha = static_cast<float>(sum * 0.25);

  Lr4Coeffs c;
  c.b0 = static_cast<float>(2.0f * alpha);
  c.b1 = static_cast<float>((high ? -4.0f : 4.0f) * alpha);
  c.b2 = c.b0;
  c.a0 = 1.0;
  c.a1 = static_cast<float>(-2.0f * gamma);
  c.a2 = static_cast<float>(2.0f * beta);
  return c;
}

template <typename Kernel, typename Params, typename State>
void RunInPlace(State& left, State& right, const Params& params, float* block, std::size_t frames) {
  Kernel kernel(params, left, right);
  for (std::size_t i = 0; i < frames; ++i) {
    detail::StoreFrame(block + 2 * i, kernel.Step(detail::LoadFrame(block + 2 * i)));
  }
  kernel.Save(left, right);
}

}  // namespace

Lr4Coeffs DesignLowPass(float fc) { return DesignButterworth(fc, false); }
Lr4Coeffs DesignHighPass(float fc) { return DesignButterworth(fc, true); }

PeakCoeffs DesignPeak(float frequency, float q) {
  const float omega = static_cast<float>(static_cast<double>(frequency) * kTwoPi / kSampleRate);
  float divisor = q;
  if (static_cast<double>(omega / divisor) >= std::numbers::pi) {
    // Keep the band below the Nyquist frequency: bandwidth at most pi/1.05.
    divisor = static_cast<float>(static_cast<double>(omega) / std::numbers::pi * 1.05);
  }
  const double o = std::tan(0.5 * static_cast<double>(omega / divisor));
  const float c = static_cast<float>((1.0 - o) / (o + 1.0));
  const float d = static_cast<float>(-static_cast<double>(std::cos(omega)) * (static_cast<double>(c) + 1.0));
  return {c, d};
}

void RunLr4(Lr4State& left, Lr4State& right, const Lr4Coeffs& coeffs, const float* in, float* out, std::size_t frames) {
  detail::Lr4Kernel kernel(coeffs, left, right);
  for (std::size_t i = 0; i < frames; ++i) {
    detail::StoreFrame(out + 2 * i, kernel.Step(detail::LoadFrame(in + 2 * i)));
  }
  kernel.Save(left, right);
}

void RunLowShelf(ShelfState& left, ShelfState& right, const ShelfParams& params, float* block, std::size_t frames) {
  RunInPlace<detail::ShelfKernel<false>>(left, right, params, block, frames);
}

void RunHighShelf(ShelfState& left, ShelfState& right, const ShelfParams& params, float* block, std::size_t frames) {
  RunInPlace<detail::ShelfKernel<true>>(left, right, params, block, frames);
}

void RunPeak(PeakState& left, PeakState& right, const PeakParams& params, float* block, std::size_t frames) {
  RunInPlace<detail::PeakKernel>(left, right, params, block, frames);
}

}  // namespace auralith::dsp
