// The chain as a pipeline over one piece of a block (at most a band buffer's
// length). Compiled once for SSE2 and, on x86-64, once more for AVX (see
// chain_avx.cpp); ProcessBlock picks one at run time. Both give the same
// results bit for bit.
//
// Step k of the pipeline works on frame n - k while frame n enters (the
// stages and the steps they take are listed once, in kStageOrder), so the
// steps of one loop turn are independent of each other and the processor
// overlaps them (each stage's recursion would otherwise wait for the one
// before it). Each stage still sees its input in frame order and keeps its
// own memories, so the result equals running the stages one after another
// over the whole block. Two-step stages (both halves of a Linkwitz-Riley
// section, two consecutive peaking bands) share one register, the second
// half one frame behind the first.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <type_traits>
#include <utility>

#include "dsp/dsp_records.h"
#include "dsp/noise_source.h"
#include "dsp/stage_kernels.h"

namespace auralith::dsp::detail {

// Where the three-band layout records its bands (all null: not at all).
struct BandOut {
  float* low;
  float* mid;
  float* high;
};

inline namespace AURALITH_ISA {

constexpr float kKiroAttenuation = 0.07f;  // -23.1 dB
constexpr std::size_t kProfilePeakPairs = kProfilePeakSlots / 2;

template <std::size_t... I>
std::array<PeakPairKernel, sizeof...(I)> MakePeakPairs(const DspParams& p, const DspMemories& m,
                                                       std::index_sequence<I...>) {
  return {PeakPairKernel(p.peak[2 * I], p.peak[2 * I + 1], m.peak[2 * I], m.peak[2 * I + 1])...};
}

// Every stage of the chain with its parameters and memories loaded.
struct Chain {
  Chain(const DspParams& p, const DspMemories& m, bool kiro, float noiseAmplitude, NoiseSource& noise)
      : inputHighPass(p.inputHighPass, m.inputHighPass[0], m.inputHighPass[1]),
        input(kiro ? kKiroAttenuation : 1.0f, p.masterGain, noiseAmplitude, noise),
        lowShelf1(p.lowShelf1, m.lowShelf1[0], m.lowShelf1[1]),
        highShelf1(p.highShelf1, m.highShelf1[0], m.highShelf1[1]),
        compressor1(p.compressor1, p.compressor1Link, kiro, m.compressor1Env[0], m.compressor1Env[1]),
        lowShelf2(p.lowShelf2, m.lowShelf2[0], m.lowShelf2[1]),
        highShelf2(p.highShelf2, m.highShelf2[0], m.highShelf2[1]),
        profileEq(MakePeakPairs(p, m, std::make_index_sequence<kProfilePeakPairs>())),
        lowBandLowPass(p.lowBandLowPass, m.lowBandLowPass[0], m.lowBandLowPass[1]),
        highBandHighPass(p.highBandHighPass, m.highBandHighPass[0], m.highBandHighPass[1]),
        midBandLowPass(p.midBandLowPass, m.midBandLowPass[0], m.midBandLowPass[1]),
        midBandHighPass(p.midBandHighPass, m.midBandHighPass[0], m.midBandHighPass[1]),
        lowBandCompressor(p.lowBandCompressor, p.lowBandLink, kiro, m.lowBandEnv[0], m.lowBandEnv[1]),
        highBandCompressor(p.highBandCompressor, p.highBandLink, kiro, m.highBandEnv[0], m.highBandEnv[1]),
        userEq(p.peak[kFirstUserEqSlot], p.peak[kFirstUserEqSlot + 1], m.peak[kFirstUserEqSlot],
               m.peak[kFirstUserEqSlot + 1]) {}

  void Save(DspMemories& m) const {
    inputHighPass.Save(m.inputHighPass[0], m.inputHighPass[1]);
    lowShelf1.Save(m.lowShelf1[0], m.lowShelf1[1]);
    highShelf1.Save(m.highShelf1[0], m.highShelf1[1]);
    m.compressor1Env = {compressor1.LeftEnvelope(), compressor1.RightEnvelope()};
    lowShelf2.Save(m.lowShelf2[0], m.lowShelf2[1]);
    highShelf2.Save(m.highShelf2[0], m.highShelf2[1]);
    for (std::size_t i = 0; i < kProfilePeakPairs; ++i) {
      profileEq[i].Save(m.peak[2 * i], m.peak[2 * i + 1]);
    }
    lowBandLowPass.Save(m.lowBandLowPass[0], m.lowBandLowPass[1]);
    highBandHighPass.Save(m.highBandHighPass[0], m.highBandHighPass[1]);
    midBandLowPass.Save(m.midBandLowPass[0], m.midBandLowPass[1]);
    midBandHighPass.Save(m.midBandHighPass[0], m.midBandHighPass[1]);
    m.lowBandEnv = {lowBandCompressor.LeftEnvelope(), lowBandCompressor.RightEnvelope()};
    m.highBandEnv = {highBandCompressor.LeftEnvelope(), highBandCompressor.RightEnvelope()};
    userEq.Save(m.peak[kFirstUserEqSlot], m.peak[kFirstUserEqSlot + 1]);
  }

  Lr4PairKernel inputHighPass;
  InputStageKernel input;
  ShelfKernel<false> lowShelf1;
  ShelfKernel<true> highShelf1;
  CompressorKernel compressor1;
  ShelfKernel<false> lowShelf2;
  ShelfKernel<true> highShelf2;
  std::array<PeakPairKernel, kProfilePeakPairs> profileEq;
  Lr4PairKernel lowBandLowPass, highBandHighPass, midBandLowPass, midBandHighPass;
  CompressorKernel lowBandCompressor, highBandCompressor;
  PeakPairKernel userEq;
};

enum class Layout { kThreeBand, kSingleBand, kSingleBandWithoutGain };

// The stages of the pipeline in chain order. Each takes one step, or two for
// a two-step stage; a stage only one layout has is skipped in the other.
enum class Stage {
  kInputHighPass,  // both halves of the input high-pass
  kInput,          // attenuation, master gain and noise
  kLowShelf1,
  kHighShelf1,
  kCompressor1,
  kLowShelf2,
  kHighShelf2,
  kProfileEq,           // the profile's peaking bands, two steps a pair
  kCrossovers,          // three bands: both halves of the low, high and mid splits
  kBandDynamics,        // three bands: the band compressors, then the bands
                        // aligned beside the mid band's high-pass tail
  kSingleBandDynamics,  // one band: the full-band compressor
  kMixer,               // the bands summed, the output gain
  kUserEq,              // both user equalizer bands
};

struct StageSteps {
  Stage stage;
  std::ptrdiff_t steps;
  bool threeBand;   // in the three-band layout
  bool singleBand;  // in the single-band layouts
};

// The stage order, written once.
inline constexpr StageSteps kStageOrder[] = {
    {Stage::kInputHighPass, 2, true, true},
    {Stage::kInput, 1, true, true},
    {Stage::kLowShelf1, 1, true, true},
    {Stage::kHighShelf1, 1, true, true},
    {Stage::kCompressor1, 1, true, true},
    {Stage::kLowShelf2, 1, true, true},
    {Stage::kHighShelf2, 1, true, true},
    {Stage::kProfileEq, 2 * static_cast<std::ptrdiff_t>(kProfilePeakPairs), true, true},
    {Stage::kCrossovers, 2, true, false},
    {Stage::kBandDynamics, 2, true, false},
    {Stage::kSingleBandDynamics, 1, false, true},
    {Stage::kMixer, 1, true, true},
    {Stage::kUserEq, 2, true, true},
};

constexpr bool InLayout(const StageSteps& entry, Layout layout) {
  return layout == Layout::kThreeBand ? entry.threeBand : entry.singleBand;
}

// The pipeline step on which `stage` takes a frame first.
constexpr std::ptrdiff_t FirstStep(Layout layout, Stage stage) {
  std::ptrdiff_t step = 0;
  for (const StageSteps& entry : kStageOrder) {
    if (!InLayout(entry, layout)) continue;
    if (entry.stage == stage) return step;
    step += entry.steps;
  }
  return -1;
}

constexpr std::ptrdiff_t LastStep(Layout layout) { return FirstStep(layout, Stage::kUserEq) + 1; }

static_assert(FirstStep(Layout::kThreeBand, Stage::kProfileEq) == 8);
static_assert(FirstStep(Layout::kThreeBand, Stage::kSingleBandDynamics) == -1);
static_assert(LastStep(Layout::kThreeBand) == 24 && LastStep(Layout::kSingleBand) == 21);

// What each stage handed on in the previous loop turn.
struct Pipe {
  Lr4PairKernel::Output highPass{};
  F2 input{}, lowShelf1{}, highShelf1{}, compressor1{}, lowShelf2{}, highShelf2{};
  std::array<F4, kProfilePeakPairs> profileEq{};  // both bands of each pair
  Lr4PairKernel::Output lowPass{}, highPass2{}, midLowPass{}, midHighPass{};
  F2 lowCompressed{}, highCompressed{};
  F2 low{}, mid{}, high{};  // the three bands, aligned
  F2 singleBand{};
  F2 mixed{};
  F4 userEq{};
};

// A two-step stage: the first half takes `in`, the second the first half's
// previous output. While the pipeline fills or drains, a half without a frame
// keeps its memories.
template <bool kEdge, typename Kernel, typename Out, typename In>
inline void RunPair(Kernel& kernel, Out& out, In in, bool firstRuns, bool secondRuns) {
  const auto both = [&] {
    if constexpr (std::is_same_v<Out, F4>) {
      return Combine(in, First(out));
    } else {
      return Combine(in, First(out.wide));
    }
  }();
  if constexpr (kEdge) {
    if (firstRuns || secondRuns) out = kernel.Step(both, firstRuns, secondRuns);
  } else {
    out = kernel.Step(both);
  }
}

// One loop turn for frame n entering the chain. kEdge: some steps have no
// frame to work on.
template <Layout kLayout, bool kEdge>
inline void Turn(Chain& c, Pipe& p, float* block, std::ptrdiff_t n, std::ptrdiff_t frames, F2 gain,
                 const BandOut& bands) {
  constexpr auto at = [](Stage stage) { return FirstStep(kLayout, stage); };
  constexpr std::ptrdiff_t kUserEq = at(Stage::kUserEq), kLast = LastStep(kLayout);
  constexpr std::ptrdiff_t kMixer = at(Stage::kMixer);
  const auto on = [n, frames](std::ptrdiff_t step) { return !kEdge || (n - step >= 0 && n - step < frames); };
  // Latest step first: each one reads what its predecessor handed on in the
  // previous turn before that is overwritten.
  RunPair<kEdge>(c.userEq, p.userEq, p.mixed, on(kUserEq), on(kLast));
  if (on(kLast)) StoreFrame(block + 2 * (n - kLast), Second(p.userEq));
  const F2 profileOut = Second(p.profileEq.back());
  if constexpr (kLayout == Layout::kThreeBand) {
    constexpr std::ptrdiff_t kCrossovers = at(Stage::kCrossovers), kCompress = at(Stage::kBandDynamics),
                             kAlign = kCompress + 1;
    if (on(kMixer)) p.mixed = ((p.low + p.high) + p.mid) * gain;
    // The mid band's second split runs beside the band compressors.
    RunPair<kEdge>(c.midBandHighPass, p.midHighPass, Second(p.midLowPass.wide), on(kCompress), on(kAlign));
    if (on(kAlign)) {
      p.low = p.lowCompressed;
      p.high = p.highCompressed;
      p.mid = Second(p.midHighPass.single);
      if (bands.low != nullptr) {
        const std::ptrdiff_t frame = 2 * (n - kAlign);
        StoreFrame(bands.low + frame, p.low);
        StoreFrame(bands.mid + frame, p.mid);
        StoreFrame(bands.high + frame, p.high);
      }
    }
    if (on(kCompress)) {
      p.lowCompressed = c.lowBandCompressor.Step(Second(p.lowPass.single));
      p.highCompressed = c.highBandCompressor.Step(Second(p.highPass2.single));
    }
    const D2 x = Widen(profileOut);
    RunPair<kEdge>(c.lowBandLowPass, p.lowPass, x, on(kCrossovers), on(kCrossovers + 1));
    RunPair<kEdge>(c.highBandHighPass, p.highPass2, x, on(kCrossovers), on(kCrossovers + 1));
    RunPair<kEdge>(c.midBandLowPass, p.midLowPass, x, on(kCrossovers), on(kCrossovers + 1));
  } else {
    if (on(kMixer)) {
      // A float product rounded once equals the double product rounded.
      p.mixed = kLayout == Layout::kSingleBand ? p.singleBand * gain : p.singleBand;
    }
    if (on(at(Stage::kSingleBandDynamics))) p.singleBand = c.lowBandCompressor.Step(profileOut);
  }
  constexpr std::ptrdiff_t kProfileEq = at(Stage::kProfileEq);
#pragma GCC unroll 8
  for (std::ptrdiff_t j = static_cast<std::ptrdiff_t>(kProfilePeakPairs) - 1; j >= 0; --j) {
    const F2 in = j == 0 ? p.highShelf2 : Second(p.profileEq[j - 1]);
    const std::ptrdiff_t step = kProfileEq + 2 * j;
    RunPair<kEdge>(c.profileEq[j], p.profileEq[j], in, on(step), on(step + 1));
  }
  if (on(at(Stage::kHighShelf2))) p.highShelf2 = c.highShelf2.Step(p.lowShelf2);
  if (on(at(Stage::kLowShelf2))) p.lowShelf2 = c.lowShelf2.Step(p.compressor1);
  if (on(at(Stage::kCompressor1))) p.compressor1 = c.compressor1.Step(p.highShelf1);
  if (on(at(Stage::kHighShelf1))) p.highShelf1 = c.highShelf1.Step(p.lowShelf1);
  if (on(at(Stage::kLowShelf1))) p.lowShelf1 = c.lowShelf1.Step(p.input);
  if (on(at(Stage::kInput))) p.input = c.input.Step(Second(p.highPass.single));
  // While draining there is no next frame: never read past the block's end.
  constexpr std::ptrdiff_t kHighPass = at(Stage::kInputHighPass);
  const F2 next = on(kHighPass) ? LoadFrame(block + 2 * n) : SplatF2(0.0f);
  RunPair<kEdge>(c.inputHighPass, p.highPass, Widen(next), on(kHighPass), on(kHighPass + 1));
}

template <Layout kLayout>
void RunLayout(Chain& c, float* block, std::size_t frameCount, float outputGain, const BandOut& bands) {
  const auto frames = static_cast<std::ptrdiff_t>(frameCount);
  const F2 gain = SplatF2(outputGain);
  constexpr std::ptrdiff_t kLast = LastStep(kLayout);
  Pipe p;
  std::ptrdiff_t n = 0;
  // Fill until every step has a frame, run, then drain.
  for (; n < std::min(kLast, frames); ++n) Turn<kLayout, true>(c, p, block, n, frames, gain, bands);
  for (; n < frames; ++n) Turn<kLayout, false>(c, p, block, n, frames, gain, bands);
  for (; n < frames + kLast; ++n) Turn<kLayout, true>(c, p, block, n, frames, gain, bands);
}

// Runs the chain over `frames` frames of `block` in place.
inline void RunPipeline(const DspParams& params, DspMemories& memories, bool kiro, float noiseAmplitude,
                        NoiseSource& noise, float* block, std::size_t frames, const BandOut& bands) {
  Chain chain(params, memories, kiro, noiseAmplitude, noise);
  if (params.dynamicsMode == kThreeBand) {
    RunLayout<Layout::kThreeBand>(chain, block, frames, params.outputGain, bands);
  } else if (params.dynamicsMode == kSingleBand) {
    RunLayout<Layout::kSingleBand>(chain, block, frames, params.outputGain, bands);
  } else {
    RunLayout<Layout::kSingleBandWithoutGain>(chain, block, frames, params.outputGain, bands);
  }
  chain.Save(memories);
}

}  // namespace AURALITH_ISA

// The AVX build of RunPipeline, and whether this processor can run it.
void RunPipelineAvx(const DspParams& params, DspMemories& memories, bool kiro, float noiseAmplitude, NoiseSource& noise,
                    float* block, std::size_t frames, const BandOut& bands);
bool CanRunAvx();

}  // namespace auralith::dsp::detail
