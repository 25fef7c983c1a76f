#include "dsp/chain.h"

#include <algorithm>
#include <cmath>

#include "dsp/chain_pipeline.h"

#if AURALITH_SSE2
#include <emmintrin.h>
#endif

namespace auralith::dsp {
namespace {

bool IsFinite(float v) { return std::isfinite(v); }
bool IsFinite(const ShelfState& s) { return std::isfinite(s.s); }
bool IsFinite(const PeakState& s) {
  return std::all_of(s.x.begin(), s.x.end(), [](float v) { return std::isfinite(v); }) &&
         std::all_of(s.y.begin(), s.y.end(), [](float v) { return std::isfinite(v); });
}
bool IsFinite(const Lr4State& s) {
  for (double v : {s.x1, s.x2, s.u1, s.u2, s.y1, s.y2, s.v1, s.v2}) {
    if (!std::isfinite(v)) return false;
  }
  return true;
}

// A non-finite memory would keep its stage (and all after it) silent or
// screaming for good; start that stage afresh instead.
template <typename T>
void ClearIfNonFinite(std::array<T, 2>& stage) {
  if (!IsFinite(stage[0]) || !IsFinite(stage[1])) stage = {};
}

void ClearNonFiniteMemories(DspMemories& m) {
  ClearIfNonFinite(m.inputHighPass);
  ClearIfNonFinite(m.lowShelf1);
  ClearIfNonFinite(m.highShelf1);
  ClearIfNonFinite(m.lowShelf2);
  ClearIfNonFinite(m.highShelf2);
  ClearIfNonFinite(m.compressor1Env);
  ClearIfNonFinite(m.lowBandEnv);
  ClearIfNonFinite(m.highBandEnv);
  for (auto& slot : m.peak) ClearIfNonFinite(slot);
  ClearIfNonFinite(m.lowBandLowPass);
  ClearIfNonFinite(m.highBandHighPass);
  ClearIfNonFinite(m.midBandLowPass);
  ClearIfNonFinite(m.midBandHighPass);
}

std::int16_t SampleToPcm(float x) {
  if (std::isnan(x)) {
    x = 0.0f;
  } else if (x > kClipLevel) {
    x = kClipLevel;
  } else if (x < -kClipLevel) {
    x = -kClipLevel;
  }
  // Half to even, the default rounding mode.
  return static_cast<std::int16_t>(std::nearbyint(static_cast<double>(x * 32768.0f)));
}

}  // namespace

namespace detail {

bool CanRunAvx() {
#if defined(AURALITH_AVX_PIPELINE)
  return __builtin_cpu_supports("avx");  // a load of what start-up detected
#else
  return false;
#endif
}

#if !defined(AURALITH_AVX_PIPELINE)
void RunPipelineAvx(const DspParams& params, DspMemories& memories, bool kiro, float noiseAmplitude, NoiseSource& noise,
                    float* block, std::size_t frames, const BandOut& bands) {
  RunPipeline(params, memories, kiro, noiseAmplitude, noise, block, frames, bands);
}
#endif

}  // namespace detail

int PcmToFloat(const std::uint8_t* source, std::size_t byteCount, float* destination, bool quieter) {
  const float scale = quieter ? kPcmScaleQuieter : kPcmScale;
  const std::size_t samples = byteCount / 2;
  std::size_t i = 0;
#if AURALITH_SSE2
  // The stream is little-endian, as SSE2's loads are: eight samples at a
  // time, sign-extended to 32 bits; int16 to float is exact, so the one
  // rounding is the multiply's, as in the loop below.
  const __m128 scale4 = _mm_set1_ps(scale);
  for (; i + 8 <= samples; i += 8) {
    const __m128i pcm = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 2 * i));
    const __m128i low = _mm_srai_epi32(_mm_unpacklo_epi16(pcm, pcm), 16);
    const __m128i high = _mm_srai_epi32(_mm_unpackhi_epi16(pcm, pcm), 16);
    _mm_storeu_ps(destination + i, _mm_mul_ps(_mm_cvtepi32_ps(low), scale4));
    _mm_storeu_ps(destination + i + 4, _mm_mul_ps(_mm_cvtepi32_ps(high), scale4));
  }
#endif
  for (; i < samples; ++i) {
    const auto bits = static_cast<std::uint16_t>(source[2 * i] | (source[2 * i + 1] << 8));
    destination[i] = static_cast<float>(static_cast<std::int16_t>(bits)) * scale;
  }
  return 1;
}

void ProcessBlock(DspState& state, float* block, std::size_t frames) {
  if (frames == 0) return;
  const DspParams& params = state.handover.Acquire();
  const bool kiro = state.kiroActive.load(std::memory_order_relaxed);
  const float noiseAmplitude = state.dither.load(std::memory_order_relaxed) ? std::ldexp(1.0f, -24) : 0.0f;
  const bool haveBands = state.lowBand && state.midBand && state.highBand;
  const detail::BandOut bands = haveBands
                                    ? detail::BandOut{state.lowBand.get(), state.midBand.get(), state.highBand.get()}
                                    : detail::BandOut{nullptr, nullptr, nullptr};

  const bool avx = state.useAvx && detail::CanRunAvx();
  NoiseSource noise = state.noise;
  for (std::size_t done = 0; done < frames;) {
    const std::size_t piece = std::min(frames - done, kBandBufferFrames);
    state.frameCount = static_cast<std::int32_t>(piece);
    float* at = block + 2 * done;
    if (avx) {
      detail::RunPipelineAvx(params, state.memories, kiro, noiseAmplitude, noise, at, piece, bands);
    } else {
      detail::RunPipeline(params, state.memories, kiro, noiseAmplitude, noise, at, piece, bands);
    }
    done += piece;
  }
  state.noise = noise;
  ClearNonFiniteMemories(state.memories);
}

void FloatToPcm(const float* block, std::size_t sampleCount, std::int16_t* out) {
  std::size_t i = 0;
#if AURALITH_SSE2
  const __m128 hi = _mm_set1_ps(kClipLevel);
  const __m128 lo = _mm_set1_ps(-kClipLevel);
  const __m128 fullScale = _mm_set1_ps(32768.0f);
  const auto convert4 = [&](const float* p) {
    __m128 x = _mm_loadu_ps(p);
    x = _mm_and_ps(x, _mm_cmpord_ps(x, x));  // NaN -> 0
    x = _mm_max_ps(_mm_min_ps(x, hi), lo);
    return _mm_cvtps_epi32(_mm_mul_ps(x, fullScale));  // half to even
  };
  for (; i + 8 <= sampleCount; i += 8) {
    const __m128i packed = _mm_packs_epi32(convert4(block + i), convert4(block + i + 4));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), packed);
  }
#endif
  for (; i < sampleCount; ++i) out[i] = SampleToPcm(block[i]);
}

}  // namespace auralith::dsp
