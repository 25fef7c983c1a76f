#include "mapping/profile_mapping.h"

#include "mapping/missing_parameters.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <limits>

#include "dsp/table_records.h"

namespace auralith::dsp {

namespace {

// Parameter 1 is a formula over 0 to 104 (-40 to +12 dB), not a table.
constexpr std::int32_t kMasterGainSteps = 105;
constexpr float kBoostSteps = 12.0f;                // +6 dB on the output gain index
constexpr std::size_t kNeutralLowerCrossover = 25;  // 500 Hz
constexpr std::size_t kNeutralUpperCrossover = 51;  // 10 kHz

// Values that are not finite ("nan", "inf") read as 0.
float FiniteValue(float value) { return std::isfinite(value) ? value : 0.0f; }

// A profile value as an integer: truncated toward zero, saturated to the
// int32 range (the plain conversion would be undefined beyond it).
std::int32_t TruncatedValue(float value) {
  const double truncated = std::trunc(static_cast<double>(FiniteValue(value)));
  if (truncated <= std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  if (truncated >= std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(truncated);
}

// An index clamped into a table of `size` entries.
std::size_t ClampIndex(std::int32_t index, std::size_t size) {
  if (index < 0) return 0;
  return static_cast<std::size_t>(index) >= size ? size - 1 : static_cast<std::size_t>(index);
}

// A profile value as an index into a table of `size` entries.
std::size_t TableIndex(float value, std::size_t size) { return ClampIndex(TruncatedValue(value), size); }

// The user equalizer's slots keep their values while processing is off.
bool SlotIsFrozen(const DspState& state, std::int32_t slot) {
  return slot >= static_cast<std::int32_t>(kFirstUserEqSlot) && state.processingOff.load(std::memory_order_relaxed);
}

bool ValidSlot(std::int32_t slot) { return slot >= 0 && slot < static_cast<std::int32_t>(kPeakSlots); }

// c and d of a slot from its current indices, each clamped to its table.
void UpdatePeakCoefficients(DspState& state, std::size_t slot) {
  const std::size_t q = ClampIndex(state.qIndex[slot], kQCount);
  const std::size_t frequency = ClampIndex(state.freqIndex[slot], kFrequencyCount);
  state.params.peak[slot].c = state.tables.peakC[q][frequency];
  state.params.peak[slot].d = state.tables.peakD[q][frequency];
}

// Sets one of a slot's two indices (`indices` is freqIndex or qIndex) and
// takes its c and d afresh.
void StoreBandIndex(DspState& state, std::array<std::int32_t, kPeakSlots>& indices, std::int32_t index,
                    std::size_t tableSize, std::int32_t slot) {
  if (!ValidSlot(slot) || SlotIsFrozen(state, slot)) return;
  const auto s = static_cast<std::size_t>(slot);
  indices[s] = static_cast<std::int32_t>(ClampIndex(index, tableSize));
  UpdatePeakCoefficients(state, s);
}

void SetCrossoverLower(DspState& state, std::size_t index) {
  state.params.lowBandLowPass = state.tables.crossoverLowPass[index];
  state.params.midBandHighPass = state.tables.crossoverHighPass[index];
}

void SetCrossoverUpper(DspState& state, std::size_t index) {
  state.params.highBandHighPass = state.tables.crossoverHighPass[index];
  state.params.midBandLowPass = state.tables.crossoverLowPass[index];
}

float MasterGain(std::size_t index) {
  const double gainDb = (static_cast<double>(index) - 104.0) * 0.5 + 12.0;
  return static_cast<float>(std::pow(10.0, gainDb / 20.0));
}

// The neutral set; `includeUserSlots` decides whether slots 10 and 11 are
// reset to 0 dB and Q index 0 as well.
void StoreNeutralParams(DspState& state, bool includeUserSlots) {
  DspParams& p = state.params;
  const DspTables& t = state.tables;
  CompParams* const compressors[] = {&p.compressor1, &p.lowBandCompressor, &p.highBandCompressor};

  p.dynamicsMode = kSingleBand;
  for (CompParams* c : compressors) c->attack = static_cast<float>(t.attack[0]);
  SetCrossoverLower(state, kNeutralLowerCrossover);
  SetCrossoverUpper(state, kNeutralUpperCrossover);
  p.masterGain = 1.0f;
  p.compressor1Link = p.lowBandLink = p.highBandLink = kLinked;
  for (CompParams* c : compressors) c->makeup = t.outputGain[kOutputGainUnityIndex];
  p.outputGain = t.outputGain[kOutputGainUnityIndex];
  p.inputHighPass = t.inputHighPass[0];
  p.lowShelf1 = ShelfRecord(t, kShelfFlatIndex, false);  // a 1.0, norm 0, cut form
  p.highShelf1 = ShelfRecord(t, kShelfFlatIndex, true);
  p.lowShelf2 = ShelfRecord(t, kShelfFlatIndex, false);
  p.highShelf2 = ShelfRecord(t, kShelfFlatIndex, true);
  for (CompParams* c : compressors) {
    c->ratio = t.ratio[0];
    c->release = static_cast<float>(t.release[0]);
    c->thresholdInv = t.threshold[kThresholdFullScaleIndex];
  }
  for (std::size_t slot = 0; slot < kProfilePeakSlots; ++slot) p.peak[slot].k = t.peakGain[kPeakGainUnityIndex];
  if (includeUserSlots) {
    for (std::size_t slot = kFirstUserEqSlot; slot < kPeakSlots; ++slot) p.peak[slot].k = 1.0f;
  }
  for (std::size_t slot = 0; slot < kProfilePeakSlots; ++slot)
    StoreBandFrequency(state, kNeutralBandFrequencies[slot], static_cast<std::int32_t>(slot));
  const std::size_t qSlots = includeUserSlots ? kPeakSlots : kProfilePeakSlots;
  for (std::size_t slot = 0; slot < qSlots; ++slot) StoreBandQ(state, 0, static_cast<std::int32_t>(slot));
}

bool HoldsAnyParameter(const profiles::ProfileParameterSet& set) {
  return MissingProfileParameters(set).size() <
         static_cast<std::size_t>(kLastProfileParameter - kFirstProfileParameter + 1);
}

void StoreProfileParams(DspState& state, profiles::ProfileParameterSet& set, int boost) {
  DspParams& p = state.params;
  const DspTables& t = state.tables;
  CompParams* const compressors[] = {&p.compressor1, &p.lowBandCompressor, &p.highBandCompressor};
  std::int32_t* const links[] = {&p.compressor1Link, &p.lowBandLink, &p.highBandLink};

  for (std::int32_t b = 0; b < static_cast<std::int32_t>(kProfilePeakSlots); ++b) {
    p.peak[static_cast<std::size_t>(b)].k = t.peakGain[TableIndex(set[26 + 3 * b], kPeakGainSteps)];
    StoreBandQ(state, TruncatedValue(set[27 + 3 * b]), b);
    StoreBandFrequency(state, TruncatedValue(set[28 + 3 * b]), b);
  }
  for (int i = 0; i < 3; ++i)
    compressors[i]->attack = static_cast<float>(t.attack[TableIndex(set[12 + i], kAttackSteps)]);
  p.dynamicsMode = TruncatedValue(set[25]);
  SetCrossoverUpper(state, TableIndex(set[58], kFrequencyCount));
  SetCrossoverLower(state, TableIndex(set[57], kFrequencyCount));
  p.masterGain = MasterGain(TableIndex(set[1], kMasterGainSteps));
  for (int i = 0; i < 3; ++i) *links[i] = TruncatedValue(set[22 + i]);
  for (int i = 0; i < 3; ++i) compressors[i]->makeup = t.outputGain[TableIndex(set[18 + i], kOutputGainSteps)];
  const float output = boost == 1 ? FiniteValue(set[21]) + kBoostSteps : set[21];
  p.outputGain = t.outputGain[TableIndex(output, kOutputGainSteps)];
  p.inputHighPass = t.inputHighPass[TableIndex(set[56], kInputHighPassSteps)];
  for (int i = 0; i < 3; ++i) compressors[i]->ratio = t.ratio[TableIndex(set[9 + i], kRatioCount)];
  for (int i = 0; i < 3; ++i)
    compressors[i]->release = static_cast<float>(t.release[TableIndex(set[15 + i], kReleaseSteps)]);
  p.lowShelf1 = ShelfRecord(t, TableIndex(set[2], kShelfSteps), false);
  p.highShelf1 = ShelfRecord(t, TableIndex(set[3], kShelfSteps), true);
  p.lowShelf2 = ShelfRecord(t, TableIndex(set[4], kShelfSteps), false);
  p.highShelf2 = ShelfRecord(t, TableIndex(set[5], kShelfSteps), true);
  for (int i = 0; i < 3; ++i) compressors[i]->thresholdInv = t.threshold[TableIndex(set[6 + i], kThresholdSteps)];
}

}  // namespace

void ApplyProfileParams(DspState& state, profiles::Profile& profile, int contentMode) {
  profiles::ProfileParameterSet& set = profile.parameterSet(contentMode);
  if (HoldsAnyParameter(set))
    StoreProfileParams(state, set, profile.boost());
  else
    StoreNeutralParams(state, false);
  PublishParams(state);
}

void ApplyNeutralParams(DspState& state) {
  StoreNeutralParams(state, !state.processingOff.load(std::memory_order_relaxed));
  PublishParams(state);
}

void StoreBandFrequency(DspState& state, std::int32_t frequencyIndex, std::int32_t slot) {
  StoreBandIndex(state, state.freqIndex, frequencyIndex, kFrequencyCount, slot);
}

void StoreBandQ(DspState& state, std::int32_t qIndex, std::int32_t slot) {
  StoreBandIndex(state, state.qIndex, qIndex, kQCount, slot);
}

void SetBandFrequency(DspState& state, std::int32_t frequencyIndex, std::int32_t slot) {
  StoreBandFrequency(state, frequencyIndex, slot);
  PublishParams(state);
}

void SetBandQ(DspState& state, std::int32_t qIndex, std::int32_t slot) {
  StoreBandQ(state, qIndex, slot);
  PublishParams(state);
}

}  // namespace auralith::dsp
