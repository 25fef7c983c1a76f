#pragma once

#include <QString>

#include <cstdint>

// The texts beside the user equalizer's sliders.

namespace auralith::ui {

// The name of frequency index 0 to 57 ("28" ... "800", "900", "1k00" ...
// "20k0"); an empty text outside the list.
QString BandLabel(std::int32_t frequencyIndex);

// "Fc: %s Hz", "Q: %3.1f Q" and "Gain: %4.1f dB", in the C locale.
QString FrequencyText(std::int32_t frequencyIndex);
QString QText(std::int32_t qIndex);
QString GainText(std::int32_t gainPosition);

}  // namespace auralith::ui
