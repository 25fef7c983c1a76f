#include "chain.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "stage_kernels.h"

#if AURALITH_SSE2
#include <emmintrin.h>
#endif

namespace auralith::dsp {
namespace {

using detail::CompressorKernel;
using detail::F2;
using detail::InputStageKernel;
using detail::Lr4Kernel;
using detail::PeakKernel;
using detail::ShelfKernel;

constexpr float kKiroAttenuation = 0.07f;  // -23.1 dB

template <std::size_t... I>
std::array<PeakKernel, sizeof...(I)> MakePeaks(const DspParams& p, const DspMemories& m,
                                               std::size_t first, std::index_sequence<I...>) {
  return {PeakKernel(p.peak[first + I], m.peak[first + I][0], m.peak[first + I][1])...};
}

template <std::size_t N, typename Kernels>
void SavePeaks(const Kernels& kernels, DspMemories& m, std::size_t first) {
  for (std::size_t i = 0; i < N; ++i) kernels[i].Save(m.peak[first + i][0], m.peak[first + i][1]);
}

// Every stage of the chain with its parameters and memories loaded.
struct Chain {
  Chain(const DspParams& p, DspMemories& m, bool kiro, float noiseAmplitude, NoiseSource& noise)
      : inputHighPass(p.inputHighPass, m.inputHighPass[0], m.inputHighPass[1]),
        input(kiro ? kKiroAttenuation : 1.0f, p.masterGain, noiseAmplitude, noise),
        lowShelf1(p.lowShelf1, m.lowShelf1[0], m.lowShelf1[1]),
        highShelf1(p.highShelf1, m.highShelf1[0], m.highShelf1[1]),
        compressor1(p.compressor1, p.compressor1Link, kiro, m.compressor1Env[0],
                    m.compressor1Env[1]),
        lowShelf2(p.lowShelf2, m.lowShelf2[0], m.lowShelf2[1]),
        highShelf2(p.highShelf2, m.highShelf2[0], m.highShelf2[1]),
        profileEq(MakePeaks(p, m, 0, std::make_index_sequence<kProfilePeakSlots>())),
        lowBandLowPass(p.lowBandLowPass, m.lowBandLowPass[0], m.lowBandLowPass[1]),
        highBandHighPass(p.highBandHighPass, m.highBandHighPass[0], m.highBandHighPass[1]),
        midBandLowPass(p.midBandLowPass, m.midBandLowPass[0], m.midBandLowPass[1]),
        midBandHighPass(p.midBandHighPass, m.midBandHighPass[0], m.midBandHighPass[1]),
        lowBandCompressor(p.lowBandCompressor, p.lowBandLink, kiro, m.lowBandEnv[0],
                          m.lowBandEnv[1]),
        highBandCompressor(p.highBandCompressor, p.highBandLink, kiro, m.highBandEnv[0],
                           m.highBandEnv[1]),
        userEq(MakePeaks(p, m, kFirstUserEqSlot,
                         std::make_index_sequence<kPeakSlots - kFirstUserEqSlot>())) {}

  void Save(DspMemories& m) const {
    inputHighPass.Save(m.inputHighPass[0], m.inputHighPass[1]);
    lowShelf1.Save(m.lowShelf1[0], m.lowShelf1[1]);
    highShelf1.Save(m.highShelf1[0], m.highShelf1[1]);
    m.compressor1Env = {compressor1.LeftEnvelope(), compressor1.RightEnvelope()};
    lowShelf2.Save(m.lowShelf2[0], m.lowShelf2[1]);
    highShelf2.Save(m.highShelf2[0], m.highShelf2[1]);
    SavePeaks<kProfilePeakSlots>(profileEq, m, 0);
    lowBandLowPass.Save(m.lowBandLowPass[0], m.lowBandLowPass[1]);
    highBandHighPass.Save(m.highBandHighPass[0], m.highBandHighPass[1]);
    midBandLowPass.Save(m.midBandLowPass[0], m.midBandLowPass[1]);
    midBandHighPass.Save(m.midBandHighPass[0], m.midBandHighPass[1]);
    m.lowBandEnv = {lowBandCompressor.LeftEnvelope(), lowBandCompressor.RightEnvelope()};
    m.highBandEnv = {highBandCompressor.LeftEnvelope(), highBandCompressor.RightEnvelope()};
    SavePeaks<kPeakSlots - kFirstUserEqSlot>(userEq, m, kFirstUserEqSlot);
  }

  Lr4Kernel inputHighPass;
  InputStageKernel input;
  ShelfKernel<false> lowShelf1;
  ShelfKernel<true> highShelf1;
  CompressorKernel compressor1;
  ShelfKernel<false> lowShelf2;
  ShelfKernel<true> highShelf2;
  std::array<PeakKernel, kProfilePeakSlots> profileEq;
  Lr4Kernel lowBandLowPass, highBandHighPass, midBandLowPass, midBandHighPass;
  CompressorKernel lowBandCompressor, highBandCompressor;
  std::array<PeakKernel, kPeakSlots - kFirstUserEqSlot> userEq;
};

enum class Layout { kThreeBand, kSingleBand, kSingleBandWithoutGain };

struct BandOut {
  float* low;
  float* mid;
  float* high;
};

// Pipeline depth of the chain: stage k works on frame n - k while frame n
// enters, so the stages of one loop turn are independent of each other and
// the processor overlaps them. Each stage still sees its input in frame order
// and keeps its own memories, so the result equals running the stages one
// after another over the whole block.
constexpr std::ptrdiff_t kFirstPeak = 7;
constexpr std::ptrdiff_t kCrossover = kFirstPeak + static_cast<std::ptrdiff_t>(kProfilePeakSlots);
constexpr std::ptrdiff_t kBandDynamics = kCrossover + 1;
constexpr std::ptrdiff_t kMixer = kBandDynamics + 1;
constexpr std::ptrdiff_t kUserEq = kMixer + 1;
constexpr std::ptrdiff_t kLastStage = kUserEq + 1;

// What each stage handed on in the previous loop turn.
struct Pipe {
  std::array<F2, kLastStage> out{};
  F2 lowPass{}, highPass{}, midLowPass{};  // crossover outputs
  F2 low{}, mid{}, high{};                 // the three bands
};

// One loop turn for frame n entering the chain. kEdge: some stages have no
// frame to work on (filling or draining the pipeline).
template <Layout kLayout, bool kEdge>
inline void Turn(Chain& c, Pipe& p, float* block, std::ptrdiff_t n, std::ptrdiff_t frames,
                 F2 gain, const BandOut& bands) {
  const auto on = [n, frames](std::ptrdiff_t stage) {
    return !kEdge || (n - stage >= 0 && n - stage < frames);
  };
  // Latest stage first: each one reads what its predecessor handed on in the
  // previous turn before that is overwritten.
  if (on(kLastStage)) {
    detail::StoreFrame(block + 2 * (n - kLastStage), c.userEq[1].Step(p.out[kUserEq]));
  }
  if (on(kUserEq)) p.out[kUserEq] = c.userEq[0].Step(p.out[kMixer]);
  if constexpr (kLayout == Layout::kThreeBand) {
    if (on(kMixer)) p.out[kMixer] = ((p.low + p.high) + p.mid) * gain;
    if (on(kBandDynamics)) {
      p.low = c.lowBandCompressor.Step(p.lowPass);
      p.high = c.highBandCompressor.Step(p.highPass);
      p.mid = c.midBandHighPass.Step(p.midLowPass);
      if (bands.low != nullptr) {
        const std::ptrdiff_t at = 2 * (n - kBandDynamics);
        detail::StoreFrame(bands.low + at, p.low);
        detail::StoreFrame(bands.mid + at, p.mid);
        detail::StoreFrame(bands.high + at, p.high);
      }
    }
    if (on(kCrossover)) {
      const F2 x = p.out[kCrossover - 1];
      p.lowPass = c.lowBandLowPass.Step(x);
      p.highPass = c.highBandHighPass.Step(x);
      p.midLowPass = c.midBandLowPass.Step(x);
    }
  } else {
    if (on(kMixer)) {
      // A float product rounded once equals the double product rounded.
      p.out[kMixer] = kLayout == Layout::kSingleBand ? p.out[kBandDynamics] * gain
                                                     : p.out[kBandDynamics];
    }
    if (on(kBandDynamics)) p.out[kBandDynamics] = p.out[kCrossover];
    if (on(kCrossover)) p.out[kCrossover] = c.lowBandCompressor.Step(p.out[kCrossover - 1]);
  }
#pragma GCC unroll 16
  for (std::ptrdiff_t b = static_cast<std::ptrdiff_t>(kProfilePeakSlots) - 1; b >= 0; --b) {
    if (on(kFirstPeak + b)) {
      p.out[kFirstPeak + b] = c.profileEq[b].Step(p.out[kFirstPeak + b - 1]);
    }
  }
  if (on(6)) p.out[6] = c.highShelf2.Step(p.out[5]);
  if (on(5)) p.out[5] = c.lowShelf2.Step(p.out[4]);
  if (on(4)) p.out[4] = c.compressor1.Step(p.out[3]);
  if (on(3)) p.out[3] = c.highShelf1.Step(p.out[2]);
  if (on(2)) p.out[2] = c.lowShelf1.Step(p.out[1]);
  if (on(1)) p.out[1] = c.input.Step(p.out[0]);
  if (on(0)) p.out[0] = c.inputHighPass.Step(detail::LoadFrame(block + 2 * n));
}

template <Layout kLayout>
void RunChain(Chain& c, float* block, std::size_t frameCount, float outputGain,
              const BandOut& bands) {
  const auto frames = static_cast<std::ptrdiff_t>(frameCount);
  const F2 gain = detail::SplatF2(outputGain);
  Pipe p;
  std::ptrdiff_t n = 0;
  // Fill until every stage has a frame, run, then drain.
  for (; n < std::min(kLastStage, frames); ++n) Turn<kLayout, true>(c, p, block, n, frames, gain, bands);
  for (; n < frames; ++n) Turn<kLayout, false>(c, p, block, n, frames, gain, bands);
  for (; n < frames + kLastStage; ++n) Turn<kLayout, true>(c, p, block, n, frames, gain, bands);
}

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

int PcmToFloat(const std::uint8_t* source, std::size_t byteCount, float* destination,
               bool quieter) {
  const float scale = quieter ? kPcmScaleQuieter : kPcmScale;
  const std::size_t samples = byteCount / 2;
  for (std::size_t i = 0; i < samples; ++i) {
    const auto bits = static_cast<std::uint16_t>(source[2 * i] | (source[2 * i + 1] << 8));
    destination[i] = static_cast<float>(static_cast<std::int16_t>(bits)) * scale;
  }
  return 1;
}

void ProcessBlock(DspState& state, float* block, std::size_t frames) {
  if (frames == 0) return;
  const DspParams& params = state.handover.Acquire();
  const bool kiro = state.kiroActive.load(std::memory_order_relaxed);
  const float noiseAmplitude =
      state.dither.load(std::memory_order_relaxed) ? std::ldexp(1.0f, -24) : 0.0f;
  const std::int32_t mode = params.dynamicsMode;
  const bool haveBands = state.lowBand && state.midBand && state.highBand;
  const BandOut bands = haveBands
                            ? BandOut{state.lowBand.get(), state.midBand.get(), state.highBand.get()}
                            : BandOut{nullptr, nullptr, nullptr};

  NoiseSource noise = state.noise;
  for (std::size_t done = 0; done < frames;) {
    const std::size_t piece = std::min(frames - done, kBandBufferFrames);
    state.frameCount = static_cast<std::int32_t>(piece);
    Chain chain(params, state.memories, kiro, noiseAmplitude, noise);
    float* at = block + 2 * done;
    if (mode == kThreeBand) {
      RunChain<Layout::kThreeBand>(chain, at, piece, params.outputGain, bands);
    } else if (mode == kSingleBand) {
      RunChain<Layout::kSingleBand>(chain, at, piece, params.outputGain, bands);
    } else {
      RunChain<Layout::kSingleBandWithoutGain>(chain, at, piece, params.outputGain, bands);
    }
    chain.Save(state.memories);
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
