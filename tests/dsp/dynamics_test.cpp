// The compressor and the band mixer.
#include <gtest/gtest.h>

#include <cmath>

#include "test_support.h"

namespace auralith::dsp {
namespace {

class DynamicsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { BuildDspTables(t_); }
  static DspTables t_;

  // Runs a steady level through a compressor and returns the last output
  // frame; `left`/`right` are the input levels.
  static std::pair<float, float> Steady(const CompParams& p, std::int32_t link, bool kiro, float left, float right) {
    std::vector<float> block(2 * 20000);
    for (std::size_t i = 0; i < 20000; ++i) {
      block[2 * i] = left;
      block[2 * i + 1] = right;
    }
    float l = 0, r = 0;
    RunCompressor(link, block.data(), 20000, p, kiro, l, r);
    return {block[block.size() - 2], block.back()};
  }

  static float Db(float level) { return 20.0f * std::log10(level); }
};
DspTables DynamicsTest::t_;

TEST_F(DynamicsTest, RatioOneAppliesOnlyTheMakeUpGain) {
  const CompParams p = CompressorRecord(t_, 0, 0, 0, 0, 90);  // -52 dB threshold, +5 dB
  std::mt19937 rng(5);
  std::vector<float> block = testing::MusicLike(4000, rng), in = block;
  float l = 0, r = 0;
  RunCompressor(kLinked, block.data(), 4000, p, false, l, r);
  for (std::size_t i = 0; i < in.size(); ++i) ASSERT_EQ(block[i], in[i] * p.makeup) << i;
}

TEST_F(DynamicsTest, Ratio800HoldsTheLevelJustAboveThreshold) {
  const CompParams p = CompressorRecord(t_, 64, 5, 0, 0, kOutputGainUnityIndex);  // -20 dB
  const float threshold = 1.0f / p.thresholdInv;
  const auto [left, right] = Steady(p, 0, false, threshold * 10.0f, threshold * 10.0f);
  EXPECT_NEAR(Db(left / threshold), 0.025f, 0.001f);
  EXPECT_EQ(left, right);
}

TEST_F(DynamicsTest, LevelExactlyAtThresholdIsNotCompressed) {
  const CompParams p = CompressorRecord(t_, kThresholdFullScaleIndex, 5, 0, 0, kOutputGainUnityIndex);
  // Envelopes already at the threshold (1.0) stay there with a steady 1.0.
  std::vector<float> block(2 * 100, 1.0f);
  float l = 1.0f, r = 1.0f;
  RunCompressor(0, block.data(), 100, p, false, l, r);
  EXPECT_EQ(l, 1.0f);
  for (float v : block) ASSERT_EQ(v, 1.0f);
  // Just above it the stage acts.
  EXPECT_LT(Steady(p, 0, false, 1.001f, 1.001f).first, 1.001f);
}

TEST_F(DynamicsTest, LinkedChannelsShareTheLouderGain) {
  const CompParams p = CompressorRecord(t_, 64, 3, 0, 0, kOutputGainUnityIndex);
  const float quiet = 0.01f;  // -40 dB, below the -20 dB threshold
  const auto [loudL, linkedR] = Steady(p, kLinked, false, 0.5f, quiet);
  EXPECT_NEAR(linkedR / quiet, loudL / 0.5f, 1e-6f);
  EXPECT_LT(linkedR, quiet);
  const auto [soloL, freeR] = Steady(p, 0, false, 0.5f, quiet);
  EXPECT_EQ(freeR, quiet);
  EXPECT_EQ(soloL, loudL);
}

TEST_F(DynamicsTest, KiroLowersTheThresholdBy23Point1Decibels) {
  const CompParams p = CompressorRecord(t_, 84, 5, 0, 0, kOutputGainUnityIndex);  // -10 dB
  const float above = std::pow(10.0f, -33.0f / 20.0f), below = std::pow(10.0f, -33.2f / 20.0f);
  EXPECT_LT(Steady(p, 0, true, above, above).first, above);
  EXPECT_EQ(Steady(p, 0, true, below, below).first, below);
  EXPECT_EQ(Steady(p, 0, false, above, above).first, above);
}

TEST_F(DynamicsTest, MixBandsByLayout) {
  const std::vector<float> low = {0.5f, 0.25f}, mid = {0.125f, -0.5f}, high = {0.25f, 0.0625f};
  std::vector<float> block = {0.3f, -0.7f};
  MixBands(block.data(), 1, 0.5f, kThreeBand, low.data(), mid.data(), high.data());
  EXPECT_EQ(block, (std::vector<float>{0.4375f, -0.09375f}));
  block = {0.3f, -0.7f};
  MixBands(block.data(), 1, 0.5f, kSingleBand, nullptr, nullptr, nullptr);
  EXPECT_EQ(block, (std::vector<float>{0.15f, -0.35f}));
  MixBands(block.data(), 1, 0.5f, 2, nullptr, nullptr, nullptr);
  EXPECT_EQ(block, (std::vector<float>{0.15f, -0.35f}));
}

// The three-band layout with transparent compressors sums back to flat.
class ThreeBandFlatness : public ::testing::TestWithParam<std::tuple<float, float, double>> {};

TEST_P(ThreeBandFlatness, SumStaysWithinTolerance) {
  const auto [lower, upper, tolerance] = GetParam();
  auto state = testing::MakeState();
  DspParams p = testing::NeutralParams(state->tables);
  p.dynamicsMode = kThreeBand;
  const DspTables& t = state->tables;
  p.lowBandLowPass = t.crossoverLowPass[FrequencyIndex(lower)];
  p.midBandHighPass = t.crossoverHighPass[FrequencyIndex(lower)];
  p.highBandHighPass = t.crossoverHighPass[FrequencyIndex(upper)];
  p.midBandLowPass = t.crossoverLowPass[FrequencyIndex(upper)];
  state->dither = false;
  for (double hz : {100.0, 200.0, 350.0, 500.0, 1000.0, 2000.0, 3000.0, 6000.0, 10000.0, 15000.0}) {
    auto fresh = testing::MakeState();
    fresh->params = p;
    fresh->dither = false;
    PublishParams(*fresh);
    const double db =
        testing::GainDb([&](float* block, std::size_t frames) { ProcessBlock(*fresh, block, frames); }, hz);
    EXPECT_NEAR(db, 0.0, tolerance) << hz;
  }
}

INSTANTIATE_TEST_SUITE_P(Crossovers, ThreeBandFlatness,
                         ::testing::Values(std::make_tuple(500.0f, 10000.0f, 0.02),
                                           std::make_tuple(250.0f, 2000.0f, 0.2)));

}  // namespace
}  // namespace auralith::dsp
