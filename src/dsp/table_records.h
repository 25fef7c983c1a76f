// Parameter records read from the start-up tables by index: the one way the
// mapping, the tests and the benchmark build a stage's record.
#pragma once

#include <cstddef>

#include "dsp/dsp_records.h"
#include "dsp/dsp_tables.h"

namespace auralith::dsp {

// Shelf record of shelf-table index `index`; `high` picks the high shelf's
// normalisation. Above the flat index the shelf boosts, at or below it cuts.
inline ShelfParams ShelfRecord(const DspTables& t, std::size_t index, bool high) {
  return {t.shelfGain[index], high ? t.highShelfNorm[index] : t.lowShelfNorm[index],
          index > kShelfFlatIndex ? 1.0f : -1.0f};
}

inline CompParams CompressorRecord(const DspTables& t, std::size_t threshold, std::size_t ratio, std::size_t attack,
                                   std::size_t release, std::size_t makeup) {
  return {static_cast<float>(t.attack[attack]), static_cast<float>(t.release[release]), t.threshold[threshold],
          t.ratio[ratio], t.outputGain[makeup]};
}

inline PeakParams PeakRecord(const DspTables& t, std::size_t gain, std::size_t q, std::size_t frequency) {
  return {t.peakGain[gain], t.peakC[q][frequency], t.peakD[q][frequency]};
}

// Index of `hz` in the frequency list, or kFrequencyCount if it is not there.
inline std::size_t FrequencyIndex(float hz) {
  for (std::size_t j = 0; j < kFrequencyCount; ++j) {
    if (kFrequencies[j] == hz) return j;
  }
  return kFrequencyCount;
}

}  // namespace auralith::dsp
