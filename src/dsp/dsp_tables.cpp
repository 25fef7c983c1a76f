#include "dsp/dsp_tables.h"

#include <cmath>

#include "dsp/filters.h"

namespace auralith::dsp {
namespace {

void BuildShelfTables(DspTables& t) {
  const double pole = static_cast<double>(kShelfPole);
  float db = -12.0f;
  for (std::size_t i = 0; i < kShelfSteps; ++i, db += 0.5f) {
    const double c = static_cast<double>(db);
    if (db > 0.0f) {
      const float a = static_cast<float>(std::pow(10.0, -c / 20.0));
      const double wa = static_cast<double>(a);
      t.shelfGain[i] = a;
      t.lowShelfNorm[i] = static_cast<float>(2.0 / (wa + 1.0 + (1.0 - wa) * pole));
      t.highShelfNorm[i] = static_cast<float>(2.0 / (wa + 1.0 - (1.0 - wa) * pole));
    } else {
      t.shelfGain[i] = static_cast<float>(std::pow(10.0, c / 20.0));
      t.lowShelfNorm[i] = 0.0f;
      t.highShelfNorm[i] = 0.0f;
    }
  }
}

void BuildGainTables(DspTables& t) {
  float db = -12.0f;
  for (std::size_t i = 0; i < kPeakGainSteps; ++i, db += 0.5f) {
    const float exponent = static_cast<float>(static_cast<double>(db) / 20.0);
    t.peakGain[i] = std::pow(10.0f, exponent);
  }
  db = -40.0f;
  for (std::size_t i = 0; i < kOutputGainSteps; ++i, db += 0.5f) {
    t.outputGain[i] = std::pow(10.0f, db / 20.0f);
  }
  db = -52.0f;
  for (std::size_t i = 0; i < kThresholdSteps; ++i, db += 0.5f) {
    const float level = std::pow(10.0f, db / 20.0f);
    t.threshold[i] = static_cast<float>(1.0 / static_cast<double>(level));
  }
  t.ratio = kRatios;
}

void BuildTimeConstants(DspTables& t) {
  const double ln001 = std::log(0.01);
  for (std::size_t i = 0; i < kAttackSteps; ++i) {
    t.attack[i] = std::exp(ln001 / (44.1 * static_cast<double>(i + 1)));
  }
  for (std::size_t i = 0; i < kReleaseSteps; ++i) {
    t.release[i] = std::exp(ln001 / (220.5 * static_cast<double>(i + 1)));
  }
}

void BuildFilterTables(DspTables& t) {
  for (std::size_t q = 0; q < kQCount; ++q) {
    for (std::size_t j = 0; j < kFrequencyCount; ++j) {
      const PeakCoeffs p = DesignPeak(kFrequencies[j], kQualities[q]);
      t.peakC[q][j] = p.c;
      t.peakD[q][j] = p.d;
    }
  }
  for (std::size_t j = 0; j < kFrequencyCount; ++j) {
    t.crossoverLowPass[j] = DesignLowPass(kFrequencies[j]);
    t.crossoverHighPass[j] = DesignHighPass(kFrequencies[j]);
  }
  for (std::size_t i = 0; i < kInputHighPassSteps; ++i) {
    t.inputHighPass[i] = DesignHighPass(20.0f * static_cast<float>(i + 1));
  }
}

}  // namespace

void BuildDspTables(DspTables& tables) {
  BuildShelfTables(tables);
  BuildGainTables(tables);
  BuildTimeConstants(tables);
  BuildFilterTables(tables);
}

}  // namespace auralith::dsp
