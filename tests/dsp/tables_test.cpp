// The start-up tables and the Butterworth designs behind them.
#include <gtest/gtest.h>

#include <cmath>

#include "test_support.h"

namespace auralith::dsp {
namespace {

class TablesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { BuildDspTables(tables_); }
  static DspTables tables_;
};
DspTables TablesTest::tables_;

TEST_F(TablesTest, ShelfEntries) {
  const DspTables& t = tables_;
  EXPECT_EQ(t.shelfGain[24], 1.0f);
  EXPECT_EQ(t.lowShelfNorm[24], 0.0f);
  EXPECT_EQ(t.highShelfNorm[24], 0.0f);
  EXPECT_NEAR(t.shelfGain[48], 0.25118864f, 1e-8);
  EXPECT_NEAR(t.lowShelfNorm[48], 1.0528203f, 1e-7);
  EXPECT_NEAR(t.highShelfNorm[48], 3.3183014f, 1e-6);
  // Cuts and boosts share a: -12 dB and +12 dB.
  EXPECT_EQ(t.shelfGain[0], t.shelfGain[48]);
  for (std::size_t i = 0; i <= kShelfFlatIndex; ++i) {
    EXPECT_EQ(t.lowShelfNorm[i], 0.0f) << i;
    EXPECT_EQ(t.highShelfNorm[i], 0.0f) << i;
  }
}

TEST_F(TablesTest, GainAndThresholdEntries) {
  const DspTables& t = tables_;
  EXPECT_EQ(t.peakGain[24], 1.0f);
  EXPECT_NEAR(t.peakGain[60], 7.9432821f, 1e-6);
  EXPECT_NEAR(t.peakGain[0], 0.25118864f, 1e-7);
  EXPECT_EQ(t.outputGain[80], 1.0f);
  EXPECT_NEAR(t.outputGain[0], 0.01f, 1e-9);
  EXPECT_NEAR(t.outputGain[127], 14.962357f, 1e-5);
  EXPECT_EQ(t.threshold[104], 1.0f);
  // 398.10718 is 10^2.6 rounded; the single-precision power gives 398.107086.
  EXPECT_NEAR(t.threshold[0], 398.10718f, 1e-3);
  EXPECT_EQ(t.threshold[0], 398.107086f);
  for (std::size_t i = 1; i < kOutputGainSteps; ++i) EXPECT_GT(t.outputGain[i], t.outputGain[i - 1]);
  for (std::size_t i = 1; i < kThresholdSteps; ++i) EXPECT_LT(t.threshold[i], t.threshold[i - 1]);
  EXPECT_EQ(t.ratio[0], 1.0f);
  EXPECT_EQ(t.ratio[5], 800.0f);
}

TEST_F(TablesTest, TimeConstants) {
  const DspTables& t = tables_;
  EXPECT_NEAR(t.attack[0], 0.90084179, 1e-8);
  EXPECT_NEAR(t.attack[99], 0.99895629, 1e-8);
  EXPECT_NEAR(t.release[0], 0.97933146, 1e-8);
  EXPECT_NEAR(t.release[99], 0.99979117, 1e-8);
  // 99 % of a step in (i + 1) ms.
  EXPECT_NEAR(std::pow(t.attack[9], 441.0), 0.01, 1e-12);
}

TEST_F(TablesTest, PeakCoefficients) {
  const DspTables& t = tables_;
  EXPECT_NEAR(t.peakC[6][31], 0.86678845f, 1e-7);
  EXPECT_NEAR(t.peakD[6][31], -1.8478731f, 1e-6);
  const std::size_t from9k = FrequencyIndex(9000);
  // The capped bandwidth is pi/1.05 up to the rounding of the divisor, which
  // moves c by a few units in the last place from one frequency to the next.
  for (std::size_t j = from9k; j < kFrequencyCount; ++j) {
    EXPECT_NEAR(t.peakC[0][j], -0.86056954f, 3e-7) << kFrequencies[j];
  }
  EXPECT_EQ(t.peakC[0][from9k], -0.86056954f);
  EXPECT_NE(t.peakC[0][from9k - 1], t.peakC[0][from9k]);
  // Narrow bands are never capped.
  EXPECT_NE(t.peakC[15][kFrequencyCount - 1], t.peakC[15][kFrequencyCount - 2]);
}

TEST_F(TablesTest, FilterTablesHoldTheDesigns) {
  const DspTables& t = tables_;
  EXPECT_EQ(t.crossoverLowPass[25], DesignLowPass(500.0f));
  EXPECT_EQ(t.crossoverHighPass[51], DesignHighPass(10000.0f));
  EXPECT_EQ(t.inputHighPass[0], DesignHighPass(20.0f));
  EXPECT_EQ(t.inputHighPass[19], DesignHighPass(400.0f));
}

TEST(ButterworthDesign, At500Hz) {
  const Lr4Coeffs lp = DesignLowPass(500.0f);
  EXPECT_NEAR(lp.b0, 0.0012074, 1e-7);
  EXPECT_EQ(lp.b2, lp.b0);
  EXPECT_NEAR(lp.b1, 0.0024148, 1e-7);
  EXPECT_EQ(lp.a0, 1.0);
  EXPECT_NEAR(lp.a1, -1.8993335, 1e-7);
  EXPECT_NEAR(lp.a2, 0.9041631, 1e-7);

  const Lr4Coeffs hp = DesignHighPass(500.0f);
  EXPECT_EQ(hp.a1, lp.a1);
  EXPECT_EQ(hp.a2, lp.a2);
  EXPECT_NEAR(hp.b0, 0.9508741, 1e-7);
  EXPECT_EQ(hp.b2, hp.b0);
  EXPECT_NEAR(hp.b1, -1.9017483, 1e-7);
}

TEST(ButterworthDesign, CoefficientsAreSinglePrecisionValues) {
  for (float fc : {20.0f, 500.0f, 10000.0f}) {
    for (const Lr4Coeffs& c : {DesignLowPass(fc), DesignHighPass(fc)}) {
      for (double v : {c.b0, c.b1, c.b2, c.a1, c.a2}) {
        EXPECT_EQ(v, static_cast<double>(static_cast<float>(v))) << fc;
      }
    }
  }
}

}  // namespace
}  // namespace auralith::dsp
