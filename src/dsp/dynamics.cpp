#include "dsp/dynamics.h"

#include <cmath>

#include "dsp/stage_kernels.h"

namespace auralith::dsp {
namespace detail {

void CompressorGains(float leftDetector, float rightDetector, int above, float exponent, float& left, float& right) {
  left = (above & 1) != 0 ? std::pow(leftDetector, exponent) : 1.0f;
  right = (above & 2) != 0 ? std::pow(rightDetector, exponent) : 1.0f;
}

float LinkedCompressorGain(float detector, float exponent) { return std::pow(detector, exponent); }

}  // namespace detail
void RunCompressor(std::int32_t linkMode, float* block, std::size_t frames, const CompParams& params, bool kiroActive,
                   float& leftEnvelope, float& rightEnvelope) {
  detail::CompressorKernel kernel(params, linkMode, kiroActive, leftEnvelope, rightEnvelope);
  for (std::size_t i = 0; i < frames; ++i) {
    detail::StoreFrame(block + 2 * i, kernel.Step(detail::LoadFrame(block + 2 * i)));
  }
  leftEnvelope = kernel.LeftEnvelope();
  rightEnvelope = kernel.RightEnvelope();
}

void MixBands(float* block, std::size_t frames, float outputGain, std::int32_t dynamicsMode, const float* low,
              const float* mid, const float* high) {
  // A float times a float is exact in double, so rounding the double product
  // once gives the single-precision product.
  const std::size_t samples = 2 * frames;
  if (dynamicsMode == kThreeBand) {
    for (std::size_t i = 0; i < samples; ++i) {
      block[i] = ((low[i] + high[i]) + mid[i]) * outputGain;
    }
  } else if (dynamicsMode == kSingleBand) {
    for (std::size_t i = 0; i < samples; ++i) block[i] *= outputGain;
  }
}

}  // namespace auralith::dsp
