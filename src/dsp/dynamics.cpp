#include "dynamics.h"

#include <cmath>

#include "stage_kernels.h"

namespace auralith::dsp {
namespace detail {

F2 CompressorGains(F2 detector, int above, float exponent) {
  const float left = (above & 1) != 0 ? std::pow(Left(detector), exponent) : 1.0f;
  const float right = (above & 2) != 0 ? std::pow(Right(detector), exponent) : 1.0f;
  return MakeF2(left, right);
}

F2 LinkedCompressorGain(F2 detector, float exponent) {
  return SplatF2(std::pow(Left(detector), exponent));
}

CompressorKernel::CompressorKernel(const CompParams& p, std::int32_t linkMode, bool kiroActive,
                                   float envL, float envR)
    : linked_(linkMode == kLinked),
      attack_(SplatF2(p.attack)),
      release_(SplatF2(p.release)),
      thresholdInv_(SplatF2(kiroActive ? static_cast<float>(static_cast<double>(p.thresholdInv) *
                                                           kKiroThresholdFactor)
                                       : p.thresholdInv)),
      makeup_(SplatF2(p.makeup)),
      exponent_(static_cast<float>(1.0 / static_cast<double>(p.ratio)) - 1.0f),
      env_(MakeF2(envL, envR)) {}

}  // namespace detail

void RunCompressor(std::int32_t linkMode, float* block, std::size_t frames,
                   const CompParams& params, bool kiroActive, float& leftEnvelope,
                   float& rightEnvelope) {
  detail::CompressorKernel kernel(params, linkMode, kiroActive, leftEnvelope, rightEnvelope);
  for (std::size_t i = 0; i < frames; ++i) {
    detail::StoreFrame(block + 2 * i, kernel.Step(detail::LoadFrame(block + 2 * i)));
  }
  leftEnvelope = kernel.LeftEnvelope();
  rightEnvelope = kernel.RightEnvelope();
}

void MixBands(float* block, std::size_t frames, float outputGain, std::int32_t dynamicsMode,
              const float* low, const float* mid, const float* high) {
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
