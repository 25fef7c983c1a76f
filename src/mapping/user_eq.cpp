#include "mapping/user_eq.h"

#include "mapping/profile_mapping.h"

#include <algorithm>

namespace auralith::render {

namespace {

// Slider ranges of the pane.
constexpr std::int32_t kGainMin = 4, kGainMax = 32, kGainFlat = 24;
constexpr std::int32_t kBassFrequencyMin = 0, kBassFrequencyMax = 29;
constexpr std::int32_t kTrebleFrequencyMin = 30, kTrebleFrequencyMax = 57;
constexpr std::int32_t kQMin = 0, kQMax = 15;
constexpr std::int32_t kBassSlot = 10, kTrebleSlot = 11;

struct Band {
  bool enabled;
  std::int32_t frequency, q, gain;
  std::int32_t slot;
};

Band BandFromRecord(const UserEqRecord& r, std::size_t first, std::int32_t frequencyMin, std::int32_t frequencyMax,
                    std::int32_t slot) {
  return {r[first] != 0, std::clamp(r[first + 1], frequencyMin, frequencyMax), std::clamp(r[first + 2], kQMin, kQMax),
          std::clamp(r[first + 3], kGainMin, kGainMax), slot};
}

void SetGain(dsp::DspState& state, const Band& band) {
  const std::int32_t position = band.enabled ? band.gain : kGainFlat;
  state.params.peak[static_cast<std::size_t>(band.slot)].k = state.tables.peakGain[static_cast<std::size_t>(position)];
  dsp::PublishParams(state);
}

// The band's "Enable" handler.
void EnableBand(dsp::DspState& state, const Band& band) {
  if (band.enabled) {
    dsp::SetBandFrequency(state, band.frequency, band.slot);
    dsp::SetBandQ(state, band.q, band.slot);
  }
  SetGain(state, band);
}

}  // namespace

void ApplyUserEqRecord(dsp::DspState& state, const UserEqRecord& record) {
  if (state.processingOff.load(std::memory_order_relaxed)) return;
  const Band bass = BandFromRecord(record, 0, kBassFrequencyMin, kBassFrequencyMax, kBassSlot);
  const Band treble = BandFromRecord(record, 4, kTrebleFrequencyMin, kTrebleFrequencyMax, kTrebleSlot);
  EnableBand(state, bass);
  EnableBand(state, treble);
  // Then every value once more, frequency and Q even of a disabled band.
  for (const Band& band : {bass, treble}) {
    dsp::SetBandFrequency(state, band.frequency, band.slot);
    dsp::SetBandQ(state, band.q, band.slot);
    SetGain(state, band);
  }
}

UserEqRecord DecodeUserEqRecord(const std::uint8_t* bytes) {
  UserEqRecord record{};
  for (std::size_t i = 0; i < record.size(); ++i) {
    const std::uint8_t* p = bytes + 4 * i;
    record[i] = std::int32_t(std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
                             std::uint32_t(p[3]) << 24);
  }
  return record;
}

}  // namespace auralith::render
