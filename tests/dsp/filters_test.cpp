// Linkwitz-Riley sections, shelves and peaking bands: responses, and equality
// with the scalar reference bit for bit.
#include <gtest/gtest.h>

#include <random>

#include "reference_chain.h"
#include "test_support.h"

namespace auralith::dsp {
namespace {

using testing::FirstDifference;
using testing::GainDb;

class FiltersTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { BuildDspTables(t_); }
  static DspTables t_;

  static double Lr4GainDb(const Lr4Coeffs& c, double hz, double seconds = 1.5) {
    return GainDb(
        [&c](float* block, std::size_t frames) {
          Lr4State l, r;
          RunLr4(l, r, c, block, block, frames);
        },
        hz, seconds);
  }
  static double ShelfGainDb(const ShelfParams& p, bool high, double hz) {
    return GainDb(
        [&](float* block, std::size_t frames) {
          ShelfState l, r;
          (high ? RunHighShelf : RunLowShelf)(l, r, p, block, frames);
        },
        hz);
  }
  static double PeakGainDb(const PeakParams& p, double hz) {
    return GainDb(
        [&](float* block, std::size_t frames) {
          PeakState l, r;
          RunPeak(l, r, p, block, frames);
        },
        hz);
  }
};
DspTables FiltersTest::t_;

TEST_F(FiltersTest, LinkwitzRileyHalvesAtTheCornerAndSumsFlat) {
  const Lr4Coeffs lp = DesignLowPass(1000.0f), hp = DesignHighPass(1000.0f);
  EXPECT_NEAR(Lr4GainDb(lp, 1000.0), -6.02, 0.01);
  EXPECT_NEAR(Lr4GainDb(hp, 1000.0), -6.02, 0.01);
  for (double hz : {50.0, 300.0, 1000.0, 2500.0, 12000.0}) {
    const double sum = GainDb(
        [&](float* block, std::size_t frames) {
          std::vector<float> low(2 * frames);
          Lr4State a, b, c, d;
          RunLr4(a, b, lp, block, low.data(), frames);
          RunLr4(c, d, hp, block, block, frames);
          for (std::size_t i = 0; i < 2 * frames; ++i) block[i] += low[i];
        },
        hz);
    EXPECT_NEAR(sum, 0.0, 0.005) << hz;
  }
}

TEST_F(FiltersTest, InputHighPassAt20Hz) {
  const Lr4Coeffs& hp = t_.inputHighPass[0];
  EXPECT_NEAR(Lr4GainDb(hp, 10.0, 4.0), -24.5, 0.05);
  EXPECT_NEAR(Lr4GainDb(hp, 40.0, 3.0), -0.55, 0.01);
  EXPECT_NEAR(Lr4GainDb(hp, 1000.0), 0.0, 0.001);
}

TEST_F(FiltersTest, LowShelfResponses) {
  const ShelfParams boost = ShelfRecord(t_, 48, false);
  const ShelfParams cut = ShelfRecord(t_, 0, false);
  const double hz[] = {20, 500, 2000, 10000};
  const double expected[] = {11.97, 6.05, 0.90, 0.03};
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(ShelfGainDb(boost, false, hz[i]), expected[i], 0.01) << hz[i];
    EXPECT_NEAR(ShelfGainDb(cut, false, hz[i]), -expected[i], 0.01) << hz[i];
  }
}

TEST_F(FiltersTest, HighShelfResponses) {
  const ShelfParams boost = ShelfRecord(t_, 48, true);
  const ShelfParams cut = ShelfRecord(t_, 0, true);
  EXPECT_NEAR(ShelfGainDb(boost, true, 20), 0.0, 0.01);
  EXPECT_NEAR(ShelfGainDb(cut, true, 20), 0.0, 0.01);
  EXPECT_NEAR(ShelfGainDb(boost, true, 21000), 11.9, 0.1);
  EXPECT_NEAR(ShelfGainDb(cut, true, 21000), -11.9, 0.1);
  // The boost form is the exact inverse of the cut form.
  for (double hz : {200.0, 3000.0, 9000.0}) {
    EXPECT_NEAR(ShelfGainDb(boost, true, hz), -ShelfGainDb(cut, true, hz), 0.01) << hz;
  }
}

TEST_F(FiltersTest, PeakHasGainKAtItsCentreWhateverTheQ) {
  const std::size_t f1k = FrequencyIndex(1000);
  for (std::size_t q : {0u, 6u, 15u}) {
    for (std::size_t gain : {0u, 40u, 60u}) {
      const PeakParams p = PeakRecord(t_, gain, q, f1k);
      EXPECT_NEAR(PeakGainDb(p, 1000.0), 20.0 * std::log10(p.k), 0.01) << q << " " << gain;
    }
  }
  // Far from the centre the band is flat.
  EXPECT_NEAR(PeakGainDb(PeakRecord(t_, 60, 15, f1k), 100.0), 0.0, 0.05);
}

TEST_F(FiltersTest, ZeroDecibelStagesPassTheSignalBitForBit) {
  std::mt19937 rng(7);
  const std::vector<float> in = testing::MusicLike(3000, rng);
  std::vector<float> block = in;
  ShelfState a, b, c, d;
  RunLowShelf(a, b, ShelfRecord(t_, kShelfFlatIndex, false), block.data(), 3000);
  RunHighShelf(c, d, ShelfRecord(t_, kShelfFlatIndex, true), block.data(), 3000);
  for (std::size_t slot = 0; slot < 3; ++slot) {
    PeakState l, r;
    RunPeak(l, r, PeakRecord(t_, kPeakGainUnityIndex, slot * 5, 10 + slot * 20), block.data(), 3000);
  }
  EXPECT_EQ(FirstDifference(block, in), -1);
}

TEST_F(FiltersTest, Lr4InPlaceEqualsSeparateBuffer) {
  std::mt19937 rng(3);
  const std::vector<float> in = testing::MusicLike(2000, rng);
  std::vector<float> inPlace = in, separate(in.size());
  Lr4State a, b, c, d;
  RunLr4(a, b, t_.crossoverLowPass[20], inPlace.data(), inPlace.data(), 2000);
  RunLr4(c, d, t_.crossoverLowPass[20], in.data(), separate.data(), 2000);
  EXPECT_EQ(FirstDifference(inPlace, separate), -1);
  EXPECT_EQ(a, c);
  EXPECT_EQ(b, d);
}

// Each stage over several blocks with a parameter change between them equals
// the reference: same samples and memories that carry over.
TEST_F(FiltersTest, StagesMatchTheReferenceAcrossParameterChanges) {
  std::mt19937 rng(11);
  const auto pick = [&rng](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); };
  for (int round = 0; round < 20; ++round) {
    std::vector<float> block = testing::MusicLike(1500, rng), expected = block;
    Lr4State l4, r4;
    reference::Lr4Channel rl4, rr4;
    ShelfState ls, rs, hl, hr;
    float rls = 0, rrs = 0, rhl = 0, rhr = 0;
    PeakState pl, pr, ql, qr;
    for (std::size_t part = 0; part < 3; ++part) {
      float* at = block.data() + 1000 * part;
      float* ref = expected.data() + 1000 * part;
      const Lr4Coeffs lr4 = pick(2) ? t_.crossoverLowPass[pick(58)] : t_.crossoverHighPass[pick(58)];
      const ShelfParams low = ShelfRecord(t_, pick(kShelfSteps), false);
      const ShelfParams high = ShelfRecord(t_, pick(kShelfSteps), true);
      const PeakParams peak = PeakRecord(t_, pick(kPeakGainSteps), pick(kQCount), pick(58));
      RunLr4(l4, r4, lr4, at, at, 500);
      reference::Lr4(rl4, rr4, lr4, ref, ref, 500);
      RunLowShelf(ls, rs, low, at, 500);
      reference::LowShelf(rls, rrs, low, ref, 500);
      RunHighShelf(hl, hr, high, at, 500);
      reference::HighShelf(rhl, rhr, high, ref, 500);
      RunPeak(pl, pr, peak, at, 500);
      reference::Peak(ql, qr, peak, ref, 500);
    }
    ASSERT_EQ(FirstDifference(block, expected), -1) << "round " << round;
    EXPECT_EQ(pl, ql);
    EXPECT_EQ(ls.s, rls);
    EXPECT_EQ(l4.v1, rl4.v1);
  }
}

}  // namespace
}  // namespace auralith::dsp
