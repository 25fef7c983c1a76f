// Cost of ProcessBlock for the audio thread's 1764-frame blocks, per frame and
// as a multiple of real time on one core, for both dynamics layouts.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

#include "dsp/dsp.h"

namespace {

using namespace auralith::dsp;

constexpr std::size_t kFrames = 1764;
constexpr std::size_t kBlocksOfInput = 25;  // one second of input, looped

// A loudness-style profile: bass and treble lifted, all three compressors
// working on the louder passages.
void ApplyRealisticProfile(DspState& s, std::int32_t dynamicsMode) {
  const DspTables& t = s.tables;
  DspParams& p = s.params;
  p.masterGain = 1.0f;
  p.dynamicsMode = dynamicsMode;
  p.outputGain = t.outputGain[kOutputGainUnityIndex];
  p.inputHighPass = t.inputHighPass[1];
  p.lowShelf1 = ShelfRecord(t, 32, false);                       // +4 dB
  p.highShelf1 = ShelfRecord(t, 28, true);                       // +2 dB
  p.lowShelf2 = ShelfRecord(t, 20, false);                       // -2 dB
  p.highShelf2 = ShelfRecord(t, 30, true);                       // +3 dB
  p.compressor1 = CompressorRecord(t, 80, 2, 9, 19, 84);         // -12 dB, 3:1
  p.lowBandCompressor = CompressorRecord(t, 68, 3, 19, 39, 86);  // -18 dB, 4:1
  p.highBandCompressor = CompressorRecord(t, 64, 1, 4, 19, 82);  // -20 dB, 2:1
  p.compressor1Link = kLinked;
  p.lowBandLink = kLinked;
  p.highBandLink = 0;
  const float centres[kPeakSlots] = {31, 63, 125, 250, 500, 1000, 2000, 4000, 8000, 12500, 80, 6300};
  const int gainSteps[kPeakSlots] = {6, 4, 2, 0, -2, -1, 2, 4, 3, 2, 0, 2};  // 0.5 dB each
  for (std::size_t b = 0; b < kPeakSlots; ++b) {
    const std::size_t q = 3 + b % 6;
    const std::size_t f = FrequencyIndex(centres[b]);
    p.peak[b] = PeakRecord(t, kPeakGainUnityIndex + gainSteps[b], q, f);
  }
  p.lowBandLowPass = t.crossoverLowPass[FrequencyIndex(250)];
  p.midBandHighPass = t.crossoverHighPass[FrequencyIndex(250)];
  p.highBandHighPass = t.crossoverHighPass[FrequencyIndex(4000)];
  p.midBandLowPass = t.crossoverLowPass[FrequencyIndex(4000)];
  s.processingOff.store(false);
  PublishParams(s);
}

// Music-like input: a bass line, a chord and a bright partial, in quiet and
// loud passages, so the compressors spend part of the time above threshold.
std::vector<float> MakeInput() {
  std::vector<float> in(2 * kFrames * kBlocksOfInput);
  const double twoPi = 2.0 * std::numbers::pi;
  for (std::size_t i = 0; i < kFrames * kBlocksOfInput; ++i) {
    const double t = static_cast<double>(i) / kSampleRate;
    const double phrase = std::max(0.0, std::sin(twoPi * t));
    const double swell = 0.08 + 0.5 * phrase * phrase;
    const double bass = std::sin(twoPi * 55.0 * t);
    const double chord = std::sin(twoPi * 440.0 * t) + 0.7 * std::sin(twoPi * 554.4 * t);
    const double bright = 0.3 * std::sin(twoPi * 7040.0 * t);
    in[2 * i] = static_cast<float>(swell * (0.5 * bass + 0.3 * chord + bright));
    in[2 * i + 1] = static_cast<float>(swell * (0.5 * bass + 0.25 * chord - bright));
  }
  return in;
}

void BM_ProcessBlock(benchmark::State& st, std::int32_t dynamicsMode) {
  auto dsp = std::make_unique<DspState>();
  InitDsp(*dsp);
  ApplyRealisticProfile(*dsp, dynamicsMode);
  const std::vector<float> input = MakeInput();
  std::vector<float> block(2 * kFrames);
  std::size_t next = 0;
  for (auto _ : st) {
    // Copying the next block in (14 KB) costs well under 1 % of processing it,
    // less than pausing the timer would.
    std::copy_n(input.begin() + static_cast<std::ptrdiff_t>(2 * kFrames * next), 2 * kFrames, block.begin());
    next = (next + 1) % kBlocksOfInput;
    ProcessBlock(*dsp, block.data(), kFrames);
    benchmark::DoNotOptimize(block.data());
    benchmark::ClobberMemory();
  }
  const double frames = static_cast<double>(st.iterations()) * kFrames;
  st.SetItemsProcessed(static_cast<std::int64_t>(frames));
  // Seconds of audio per second of processing on this core.
  st.counters["x_realtime"] = benchmark::Counter(frames / kSampleRate, benchmark::Counter::kIsRate);
  // Seconds of processing per frame (printed with an SI prefix: 80n = 80 ns).
  st.counters["time_per_frame"] = benchmark::Counter(frames, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  FreeDsp(*dsp);
}

BENCHMARK_CAPTURE(BM_ProcessBlock, three_band, kThreeBand)->Name("BM_ProcessBlock/three_band");
BENCHMARK_CAPTURE(BM_ProcessBlock, single_band, kSingleBand)->Name("BM_ProcessBlock/single_band");

}  // namespace
