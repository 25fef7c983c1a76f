#include "mapping/user_eq.h"

#include "mapping/profile_mapping.h"

#include <algorithm>

namespace auralith::render {

namespace {

struct Band {
  bool enabled;
  std::int32_t frequency, q, gain;
  std::int32_t slot;
};

Band BandOf(const UserEqRecord& r, std::size_t first, std::int32_t slot) {
  return {r[first + kEnabledWord] != 0, r[first + kFrequencyWord], r[first + kQWord], r[first + kGainWord], slot};
}

// A band's frequency (when `withFrequency`), Q and gain into its slot,
// unpublished; a disabled band gets 0 dB.
void StoreBand(dsp::DspState& state, const Band& band, bool withFrequency) {
  if (withFrequency) {
    dsp::StoreBandFrequency(state, band.frequency, band.slot);
    dsp::StoreBandQ(state, band.q, band.slot);
  }
  const std::int32_t position = band.enabled ? std::clamp(band.gain, kUserGainMin, kUserGainMax) : kUserGainFlat;
  state.params.peak[static_cast<std::size_t>(band.slot)].k = state.tables.peakGain[static_cast<std::size_t>(position)];
}

bool UserSlot(std::int32_t slot) { return slot == kBassSlot || slot == kTrebleSlot; }

void NormalizeBand(UserEqRecord& r, std::size_t first, std::int32_t frequencyMin, std::int32_t frequencyMax) {
  r[first + kEnabledWord] = r[first + kEnabledWord] != 0 ? 1 : 0;
  r[first + kFrequencyWord] = std::clamp(r[first + kFrequencyWord], frequencyMin, frequencyMax);
  r[first + kQWord] = std::clamp(r[first + kQWord], kUserQMin, kUserQMax);
  r[first + kGainWord] = std::clamp(r[first + kGainWord], kUserGainMin, kUserGainMax);
}

}  // namespace

UserEqRecord NormalizeUserEqRecord(const UserEqRecord& record) {
  UserEqRecord r = record;
  NormalizeBand(r, kBassWords, kBassFrequencyMin, kBassFrequencyMax);
  NormalizeBand(r, kTrebleWords, kTrebleFrequencyMin, kTrebleFrequencyMax);
  return r;
}

void SetUserBandGain(dsp::DspState& state, std::int32_t position, std::int32_t slot) {
  if (state.processingOff.load(std::memory_order_relaxed) || !UserSlot(slot)) return;
  StoreBand(state, {true, 0, 0, position, slot}, false);
  dsp::PublishParams(state);
}

void EnableUserBand(dsp::DspState& state, bool enabled, std::int32_t frequency, std::int32_t q, std::int32_t gain,
                    std::int32_t slot) {
  if (state.processingOff.load(std::memory_order_relaxed) || !UserSlot(slot)) return;
  StoreBand(state, {enabled, frequency, q, gain, slot}, enabled);
  dsp::PublishParams(state);
}

void ApplyUserEqRecord(dsp::DspState& state, const UserEqRecord& record) {
  if (state.processingOff.load(std::memory_order_relaxed)) return;
  const UserEqRecord r = NormalizeUserEqRecord(record);
  // Frequency and Q go to the slot even for a disabled band.
  StoreBand(state, BandOf(r, kBassWords, kBassSlot), true);
  StoreBand(state, BandOf(r, kTrebleWords, kTrebleSlot), true);
  dsp::PublishParams(state);
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

UserEqRecordBytes EncodeUserEqRecord(const UserEqRecord& record) {
  UserEqRecordBytes bytes{};
  for (std::size_t i = 0; i < record.size(); ++i) {
    const auto word = static_cast<std::uint32_t>(record[i]);
    for (std::size_t b = 0; b < 4; ++b) bytes[4 * i + b] = static_cast<std::uint8_t>(word >> (8 * b));
  }
  return bytes;
}

}  // namespace auralith::render
