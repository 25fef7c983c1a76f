// The user equalizer: a bass band on peaking slot 10 and a treble band on
// slot 11 on top of the profile, and its stored record. The equalizer pane,
// the main window (when processing turns on) and auralith-render read a
// record and apply it through these functions only, so the three agree.
#pragma once

#include "dsp/dsp_state.h"

#include <array>
#include <cstddef>
#include <cstdint>

#include "dsp/dsp_state.h"

namespace auralith::render {

// The eight words of a stored user equalizer record: bass enabled,
// frequency, Q, gain position, then the same for treble.
using UserEqRecord = std::array<std::int32_t, 8>;
inline constexpr UserEqRecord kDefaultUserEqRecord = {1, 15, 3, 24, 1, 49, 3, 24};
inline constexpr std::size_t kUserEqRecordBytes = 4 * std::tuple_size_v<UserEqRecord>;
using UserEqRecordBytes = std::array<std::uint8_t, kUserEqRecordBytes>;

// Where each band's words start in the record, and their order.
inline constexpr std::size_t kBassWords = 0, kTrebleWords = 4;
inline constexpr std::size_t kEnabledWord = 0, kFrequencyWord = 1, kQWord = 2, kGainWord = 3;

// Slider ranges: gain positions index the peak gain table (24 is 0 dB),
// frequency positions the frequency list, Q positions the Q list.
inline constexpr std::int32_t kUserGainMin = 4, kUserGainMax = 32, kUserGainFlat = 24;
inline constexpr std::int32_t kBassFrequencyMin = 0, kBassFrequencyMax = 29;
inline constexpr std::int32_t kTrebleFrequencyMin = 30, kTrebleFrequencyMax = 57;
inline constexpr std::int32_t kUserQMin = 0, kUserQMax = 15;
inline constexpr std::int32_t kBassSlot = 10, kTrebleSlot = 11;

// The stored record's bytes, eight little-endian 32-bit words, as the
// record, and back.
UserEqRecord DecodeUserEqRecord(const std::uint8_t* bytes);
UserEqRecordBytes EncodeUserEqRecord(const UserEqRecord& record);

// The record as the pane's controls hold it: positions clamped to their
// sliders' ranges, an enable word other than 0 counted as checked (1).
UserEqRecord NormalizeUserEqRecord(const UserEqRecord& record);

// Gives user slot `slot` (10 or 11) the gain of position `position`
// (clamped to the gain slider's range) and publishes it. Writes nothing while processing is off.
void SetUserBandGain(dsp::DspState& state, std::int32_t position, std::int32_t slot);

// The band's "Enable" box: an enabled band gets its frequency, Q and gain,
// a disabled one 0 dB with frequency and Q as they are; published at once.
// Writes nothing while processing is off.
void EnableUserBand(dsp::DspState& state, bool enabled, std::int32_t frequency, std::int32_t q, std::int32_t gain,
                    std::int32_t slot);

// Applies every value of the record, normalized, as the pane does when it
// loads one: a disabled band gets 0 dB, its frequency and Q still go to the
// slot. Both slots are published together, once. Writes nothing while
// processing is off.
void ApplyUserEqRecord(dsp::DspState& state, const UserEqRecord& record);

}  // namespace auralith::render
