#include "test_support.h"

#include <cmath>
#include <cstring>
#include <numbers>

namespace auralith::dsp::testing {

std::unique_ptr<DspState> MakeState() {
  auto state = std::make_unique<DspState>();
  InitDsp(*state);
  return state;
}

DspParams NeutralParams(const DspTables& t) {
  DspParams p;
  p.dynamicsMode = kSingleBand;
  p.lowBandLowPass = t.crossoverLowPass[25];
  p.midBandHighPass = t.crossoverHighPass[25];
  p.highBandHighPass = t.crossoverHighPass[51];
  p.midBandLowPass = t.crossoverLowPass[51];
  p.masterGain = 1.0f;
  p.compressor1Link = p.lowBandLink = p.highBandLink = kLinked;
  const CompParams unity = CompressorRecord(t, kThresholdFullScaleIndex, 0, 0, 0, kOutputGainUnityIndex);
  p.compressor1 = p.lowBandCompressor = p.highBandCompressor = unity;
  p.outputGain = t.outputGain[kOutputGainUnityIndex];
  p.inputHighPass = t.inputHighPass[0];
  p.lowShelf1 = p.highShelf1 = p.lowShelf2 = p.highShelf2 = ShelfParams{t.shelfGain[kShelfFlatIndex], 0.0f, -1.0f};
  const std::size_t defaults[kPeakSlots] = {0, 7, 13, 19, 25, 31, 37, 43, 49, 53, 25, 43};
  for (std::size_t b = 0; b < kPeakSlots; ++b) {
    p.peak[b] = PeakRecord(t, kPeakGainUnityIndex, 0, defaults[b]);
  }
  return p;
}

DspParams RandomParams(const DspTables& t, std::mt19937& rng) {
  const auto pick = [&rng](std::size_t size) { return std::uniform_int_distribution<std::size_t>(0, size - 1)(rng); };
  const auto shelf = [&](bool high) { return ShelfRecord(t, pick(kShelfSteps), high); };
  const auto comp = [&] {
    return CompressorRecord(t, pick(kThresholdSteps), pick(kRatioCount), pick(kAttackSteps), pick(kReleaseSteps),
                            70 + pick(20));
  };
  DspParams p;
  p.masterGain = t.outputGain[70 + pick(20)];
  p.dynamicsMode = static_cast<std::int32_t>(pick(3));
  p.outputGain = t.outputGain[70 + pick(20)];
  p.inputHighPass = t.inputHighPass[pick(kInputHighPassSteps)];
  p.lowShelf1 = shelf(false);
  p.highShelf1 = shelf(true);
  p.lowShelf2 = shelf(false);
  p.highShelf2 = shelf(true);
  p.compressor1 = comp();
  p.lowBandCompressor = comp();
  p.highBandCompressor = comp();
  p.compressor1Link = static_cast<std::int32_t>(pick(2));
  p.lowBandLink = static_cast<std::int32_t>(pick(2));
  p.highBandLink = static_cast<std::int32_t>(pick(2));
  for (PeakParams& band : p.peak) band = PeakRecord(t, pick(kPeakGainSteps), pick(kQCount), pick(kFrequencyCount));
  const std::size_t lower = pick(30), upper = 30 + pick(28);
  p.lowBandLowPass = t.crossoverLowPass[lower];
  p.midBandHighPass = t.crossoverHighPass[lower];
  p.highBandHighPass = t.crossoverHighPass[upper];
  p.midBandLowPass = t.crossoverLowPass[upper];
  return p;
}

std::vector<float> Sine(std::size_t frames, double hz, double amplitude) {
  std::vector<float> out(2 * frames);
  for (std::size_t i = 0; i < frames; ++i) {
    const auto v =
        static_cast<float>(amplitude * std::sin(2.0 * std::numbers::pi * hz * static_cast<double>(i) / kSampleRate));
    out[2 * i] = v;
    out[2 * i + 1] = v;
  }
  return out;
}

std::vector<float> MusicLike(std::size_t frames, std::mt19937& rng) {
  std::uniform_real_distribution<double> noise(-1.0, 1.0);
  std::uniform_real_distribution<double> level(0.02, 0.9);
  std::vector<float> out(2 * frames);
  const double twoPi = 2.0 * std::numbers::pi;
  double swell = level(rng);
  for (std::size_t i = 0; i < frames; ++i) {
    if (i % 4096 == 0) swell = level(rng);  // loud and quiet passages
    const double t = static_cast<double>(i) / kSampleRate;
    const double tone =
        0.5 * std::sin(twoPi * 61.0 * t) + 0.3 * std::sin(twoPi * 997.0 * t) + 0.2 * std::sin(twoPi * 9100.0 * t);
    out[2 * i] = static_cast<float>(swell * (0.8 * tone + 0.2 * noise(rng)));
    out[2 * i + 1] = static_cast<float>(swell * (0.6 * tone + 0.4 * noise(rng)));
  }
  return out;
}

double GainDb(const std::function<void(float*, std::size_t)>& process, double hz, double seconds) {
  const auto frames = static_cast<std::size_t>(seconds * kSampleRate);
  constexpr double kAmplitude = 0.25;
  std::vector<float> block = Sine(frames, hz, kAmplitude);
  process(block.data(), frames);
  // Least-squares fit of sin and cos over the settled last third.
  double ss = 0, sc = 0, cc = 0, ys = 0, yc = 0;
  for (std::size_t i = 2 * frames / 3; i < frames; ++i) {
    const double w = 2.0 * std::numbers::pi * hz * static_cast<double>(i) / kSampleRate;
    const double s = std::sin(w), c = std::cos(w), y = block[2 * i];
    ss += s * s;
    sc += s * c;
    cc += c * c;
    ys += y * s;
    yc += y * c;
  }
  const double det = ss * cc - sc * sc;
  const double a = (ys * cc - yc * sc) / det;
  const double b = (yc * ss - ys * sc) / det;
  return 20.0 * std::log10(std::hypot(a, b) / kAmplitude);
}

std::ptrdiff_t FirstDifference(const std::vector<float>& a, const std::vector<float>& b) {
  if (a.size() != b.size()) return 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::memcmp(&a[i], &b[i], sizeof(float)) != 0) return static_cast<std::ptrdiff_t>(i);
  }
  return -1;
}

}  // namespace auralith::dsp::testing
