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
using detail::D2;
using detail::F2;
using detail::InputStageKernel;
using detail::Lr4Kernel;
using detail::F4;
using detail::PeakPairKernel;
using detail::ShelfKernel;

constexpr float kKiroAttenuation = 0.07f;  // -23.1 dB

constexpr std::size_t kProfilePeakPairs = kProfilePeakSlots / 2;

// Peaking slots first, first + 1, ... as pairs of bands.
template <std::size_t... I>
std::array<PeakPairKernel, sizeof...(I)> MakePeakPairs(const DspParams& p, const DspMemories& m,
                                                       std::size_t first,
                                                       std::index_sequence<I...>) {
  return {PeakPairKernel(p.peak[first + 2 * I], p.peak[first + 2 * I + 1], m.peak[first + 2 * I],
                         m.peak[first + 2 * I + 1])...};
}

template <std::size_t N>
void SavePeakPairs(const std::array<PeakPairKernel, N>& pairs, DspMemories& m, std::size_t first) {
  for (std::size_t i = 0; i < N; ++i) pairs[i].Save(m.peak[first + 2 * i], m.peak[first + 2 * i + 1]);
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
        profileEq(MakePeakPairs(p, m, 0, std::make_index_sequence<kProfilePeakPairs>())),
        lowBandLowPass(p.lowBandLowPass, m.lowBandLowPass[0], m.lowBandLowPass[1]),
        highBandHighPass(p.highBandHighPass, m.highBandHighPass[0], m.highBandHighPass[1]),
        midBandLowPass(p.midBandLowPass, m.midBandLowPass[0], m.midBandLowPass[1]),
        midBandHighPass(p.midBandHighPass, m.midBandHighPass[0], m.midBandHighPass[1]),
        lowBandCompressor(p.lowBandCompressor, p.lowBandLink, kiro, m.lowBandEnv[0],
                          m.lowBandEnv[1]),
        highBandCompressor(p.highBandCompressor, p.highBandLink, kiro, m.highBandEnv[0],
                           m.highBandEnv[1]),
        userEq(p.peak[kFirstUserEqSlot], p.peak[kFirstUserEqSlot + 1], m.peak[kFirstUserEqSlot],
               m.peak[kFirstUserEqSlot + 1]) {}

  void Save(DspMemories& m) const {
    inputHighPass.Save(m.inputHighPass[0], m.inputHighPass[1]);
    lowShelf1.Save(m.lowShelf1[0], m.lowShelf1[1]);
    highShelf1.Save(m.highShelf1[0], m.highShelf1[1]);
    m.compressor1Env = {compressor1.LeftEnvelope(), compressor1.RightEnvelope()};
    lowShelf2.Save(m.lowShelf2[0], m.lowShelf2[1]);
    highShelf2.Save(m.highShelf2[0], m.highShelf2[1]);
    SavePeakPairs(profileEq, m, 0);
    lowBandLowPass.Save(m.lowBandLowPass[0], m.lowBandLowPass[1]);
    highBandHighPass.Save(m.highBandHighPass[0], m.highBandHighPass[1]);
    midBandLowPass.Save(m.midBandLowPass[0], m.midBandLowPass[1]);
    midBandHighPass.Save(m.midBandHighPass[0], m.midBandHighPass[1]);
    m.lowBandEnv = {lowBandCompressor.LeftEnvelope(), lowBandCompressor.RightEnvelope()};
    m.highBandEnv = {highBandCompressor.LeftEnvelope(), highBandCompressor.RightEnvelope()};
    userEq.Save(m.peak[kFirstUserEqSlot], m.peak[kFirstUserEqSlot + 1]);
  }

  Lr4Kernel inputHighPass;
  InputStageKernel input;
  ShelfKernel<false> lowShelf1;
  ShelfKernel<true> highShelf1;
  CompressorKernel compressor1;
  ShelfKernel<false> lowShelf2;
  ShelfKernel<true> highShelf2;
  std::array<PeakPairKernel, kProfilePeakPairs> profileEq;
  Lr4Kernel lowBandLowPass, highBandHighPass, midBandLowPass, midBandHighPass;
  CompressorKernel lowBandCompressor, highBandCompressor;
  PeakPairKernel userEq;
};

enum class Layout { kThreeBand, kSingleBand, kSingleBandWithoutGain };

struct BandOut {
  float* low;
  float* mid;
  float* high;
};

// The chain as a pipeline: step k works on frame n - k while frame n enters,
// so the steps of one loop turn are independent of each other and the
// processor overlaps them (the stages' recursions would otherwise run one
// after another). Each stage still sees its input in frame order and keeps
// its own memories, so the result equals running the stages one after
// another over the whole block. The two halves of every Linkwitz-Riley
// section are separate steps.
constexpr std::ptrdiff_t kInputStage = 2;
constexpr std::ptrdiff_t kFirstPeak = 8;
constexpr std::ptrdiff_t kSplit = kFirstPeak + static_cast<std::ptrdiff_t>(kProfilePeakSlots);

constexpr std::ptrdiff_t MixerStep(Layout layout) {
  // Three bands: split, second halves, band dynamics, mid high-pass tail.
  return layout == Layout::kThreeBand ? kSplit + 4 : kSplit + 1;
}
constexpr std::ptrdiff_t LastStep(Layout layout) { return MixerStep(layout) + 2; }

// What each step handed on in the previous loop turn.
struct Pipe {
  D2 highPassHalf{};                        // input high-pass, first half
  F2 highPassed{};                          // input high-pass output
  std::array<F2, kFirstPeak> out{};         // single-output stages 2 .. 7
  D2 lowHalf{}, highHalf{}, midHalf{};      // crossover, first halves
  F2 lowPassed{}, highPassed2{};            // low-pass and high-pass outputs
  D2 midLowPassed{};                        // mid low-pass output (widened)
  F2 lowCompressed{}, highCompressed{};     // band dynamics
  D2 midHighPassHalf{};                     // mid high-pass, first half
  F2 low{}, mid{}, high{};                  // the three bands, aligned
  F2 singleBand{};                          // single-band compressor output
  std::array<F4, kProfilePeakPairs> profileEq{};  // both bands' outputs
  F2 mixed{};
  F4 userEq{};
};

// A pair of peaking bands as two pipeline steps: the first band takes `in`,
// the second the first band's previous output.
template <bool kEdge>
inline void RunPeakPair(PeakPairKernel& pair, F4& out, F2 in, bool firstRuns, bool secondRuns) {
  const F4 both = detail::Combine(in, detail::First(out));
  if constexpr (kEdge) {
    if (firstRuns || secondRuns) out = pair.Step(both, firstRuns, secondRuns);
  } else {
    out = pair.Step(both);
  }
}

// One loop turn for frame n entering the chain. kEdge: some steps have no
// frame to work on (filling or draining the pipeline).
template <Layout kLayout, bool kEdge>
inline void Turn(Chain& c, Pipe& p, float* block, std::ptrdiff_t n, std::ptrdiff_t frames,
                 F2 gain, const BandOut& bands) {
  constexpr std::ptrdiff_t kMixer = MixerStep(kLayout), kUserEq = kMixer + 1,
                           kLast = LastStep(kLayout);
  const auto on = [n, frames](std::ptrdiff_t step) {
    return !kEdge || (n - step >= 0 && n - step < frames);
  };
  // Latest step first: each one reads what its predecessor handed on in the
  // previous turn before that is overwritten.
  RunPeakPair<kEdge>(c.userEq, p.userEq, p.mixed, on(kUserEq), on(kLast));
  if (on(kLast)) detail::StoreFrame(block + 2 * (n - kLast), detail::Second(p.userEq));
  if constexpr (kLayout == Layout::kThreeBand) {
    if (on(kMixer)) p.mixed = ((p.low + p.high) + p.mid) * gain;
    if (on(kSplit + 3)) {
      p.low = p.lowCompressed;
      p.high = p.highCompressed;
      p.mid = c.midBandHighPass.second.Step(p.midHighPassHalf).single;
      if (bands.low != nullptr) {
        const std::ptrdiff_t at = 2 * (n - (kSplit + 3));
        detail::StoreFrame(bands.low + at, p.low);
        detail::StoreFrame(bands.mid + at, p.mid);
        detail::StoreFrame(bands.high + at, p.high);
      }
    }
    if (on(kSplit + 2)) {
      p.lowCompressed = c.lowBandCompressor.Step(p.lowPassed);
      p.highCompressed = c.highBandCompressor.Step(p.highPassed2);
      p.midHighPassHalf = c.midBandHighPass.first.Step(p.midLowPassed).wide;
    }
    if (on(kSplit + 1)) {
      p.lowPassed = c.lowBandLowPass.second.Step(p.lowHalf).single;
      p.highPassed2 = c.highBandHighPass.second.Step(p.highHalf).single;
      p.midLowPassed = c.midBandLowPass.second.Step(p.midHalf).wide;
    }
    if (on(kSplit)) {
      const D2 x = detail::Widen(detail::Second(p.profileEq.back()));
      p.lowHalf = c.lowBandLowPass.first.Step(x).wide;
      p.highHalf = c.highBandHighPass.first.Step(x).wide;
      p.midHalf = c.midBandLowPass.first.Step(x).wide;
    }
  } else {
    if (on(kMixer)) {
      // A float product rounded once equals the double product rounded.
      p.mixed = kLayout == Layout::kSingleBand ? p.singleBand * gain : p.singleBand;
    }
    if (on(kSplit)) p.singleBand = c.lowBandCompressor.Step(detail::Second(p.profileEq.back()));
  }
#pragma GCC unroll 8
  for (std::ptrdiff_t j = static_cast<std::ptrdiff_t>(kProfilePeakPairs) - 1; j >= 0; --j) {
    const F2 in = j == 0 ? p.out[kFirstPeak - 1] : detail::Second(p.profileEq[j - 1]);
    const std::ptrdiff_t step = kFirstPeak + 2 * j;
    RunPeakPair<kEdge>(c.profileEq[j], p.profileEq[j], in, on(step), on(step + 1));
  }
  if (on(7)) p.out[7] = c.highShelf2.Step(p.out[6]);
  if (on(6)) p.out[6] = c.lowShelf2.Step(p.out[5]);
  if (on(5)) p.out[5] = c.compressor1.Step(p.out[4]);
  if (on(4)) p.out[4] = c.highShelf1.Step(p.out[3]);
  if (on(3)) p.out[3] = c.lowShelf1.Step(p.out[kInputStage]);
  if (on(kInputStage)) p.out[kInputStage] = c.input.Step(p.highPassed);
  if (on(1)) p.highPassed = c.inputHighPass.second.Step(p.highPassHalf).single;
  if (on(0)) {
    p.highPassHalf = c.inputHighPass.first.Step(detail::Widen(detail::LoadFrame(block + 2 * n))).wide;
  }
}

template <Layout kLayout>
void RunChain(Chain& c, float* block, std::size_t frameCount, float outputGain,
              const BandOut& bands) {
  const auto frames = static_cast<std::ptrdiff_t>(frameCount);
  const F2 gain = detail::SplatF2(outputGain);
  Pipe p;
  std::ptrdiff_t n = 0;
  constexpr std::ptrdiff_t kLast = LastStep(kLayout);
  // Fill until every step has a frame, run, then drain.
  for (; n < std::min(kLast, frames); ++n) Turn<kLayout, true>(c, p, block, n, frames, gain, bands);
  for (; n < frames; ++n) Turn<kLayout, false>(c, p, block, n, frames, gain, bands);
  for (; n < frames + kLast; ++n) Turn<kLayout, true>(c, p, block, n, frames, gain, bands);
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
