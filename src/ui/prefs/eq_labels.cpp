#include "ui/prefs/eq_labels.h"

#include "dsp/dsp_tables.h"

#include <array>
#include <cstddef>

namespace auralith::ui {

namespace {

// One name per entry of the frequency list; "1k12" stands for 1120 Hz.
constexpr std::array<const char*, dsp::kFrequencyCount> kBandLabels = {
    "28",   "31",   "35",   "40",   "45",   "50",   "56",   "63",   "70",   "80",   "90",   "100",
    "112",  "125",  "141",  "160",  "180",  "200",  "225",  "250",  "280",  "315",  "350",  "400",
    "450",  "500",  "560",  "630",  "700",  "800",  "900",  "1k00", "1k12", "1k25", "1k40", "1k60",
    "1k80", "2k00", "2k25", "2k50", "2k80", "3k15", "3k50", "4k00", "4k50", "5k00", "5k60", "6k30",
    "7k00", "8k00", "9k00", "10k0", "11k2", "12k5", "14k1", "16k0", "18k0", "20k0"};

}  // namespace

QString BandLabel(std::int32_t frequencyIndex) {
  if (frequencyIndex < 0 || static_cast<std::size_t>(frequencyIndex) >= kBandLabels.size()) return {};
  return QString::fromLatin1(kBandLabels[static_cast<std::size_t>(frequencyIndex)]);
}

QString FrequencyText(std::int32_t frequencyIndex) {
  return QStringLiteral("Fc: %1 Hz").arg(BandLabel(frequencyIndex));
}

QString QText(std::int32_t qIndex) {
  if (qIndex < 0 || static_cast<std::size_t>(qIndex) >= dsp::kQualities.size()) return {};
  // QString::asprintf formats numbers in the C locale.
  return QString::asprintf("Q: %3.1f Q", static_cast<double>(dsp::kQualities[static_cast<std::size_t>(qIndex)]));
}

QString GainText(std::int32_t gainPosition) {
  const auto db = static_cast<float>((gainPosition - 60) * 0.5 + 18);
  return QString::asprintf("Gain: %4.1f dB", static_cast<double>(db));
}

}  // namespace auralith::ui
