// Tables built once at start-up. Every processing value is an index into one
// of them, so neither thread computes a transcendental function when settings
// change. Readers index them directly; nothing here checks an index.
#pragma once

#include <array>
#include <cstddef>

#include "dsp/dsp_records.h"

namespace auralith::dsp {

inline constexpr std::size_t kFrequencyCount = 58;
inline constexpr std::size_t kQCount = 16;
inline constexpr std::size_t kRatioCount = 6;

inline constexpr std::size_t kShelfSteps = 49;          // -12 .. +12 dB in 0.5 dB
inline constexpr std::size_t kPeakGainSteps = 61;       // -12 .. +18 dB
inline constexpr std::size_t kOutputGainSteps = 128;    // -40 .. +23.5 dB
inline constexpr std::size_t kThresholdSteps = 105;     // -52 .. 0 dB
inline constexpr std::size_t kAttackSteps = 100;        // 1 .. 100 ms
inline constexpr std::size_t kReleaseSteps = 100;       // 5 .. 500 ms
inline constexpr std::size_t kInputHighPassSteps = 20;  // 20 .. 400 Hz

// Indices with a fixed meaning.
inline constexpr std::size_t kShelfFlatIndex = 24;            // 0 dB
inline constexpr std::size_t kPeakGainUnityIndex = 24;        // 0 dB
inline constexpr std::size_t kOutputGainUnityIndex = 80;      // 0 dB
inline constexpr std::size_t kThresholdFullScaleIndex = 104;  // 0 dBFS

// Centre and crossover frequencies in Hz.
inline constexpr std::array<float, kFrequencyCount> kFrequencies = {
    28,   31,   35,   40,   45,   50,   56,    63,    70,    80,    90,    100,   112,  125,  141,
    160,  180,  200,  225,  250,  280,  315,   350,   400,   450,   500,   560,   630,  700,  800,
    900,  1000, 1120, 1250, 1400, 1600, 1800,  2000,  2250,  2500,  2800,  3150,  3500, 4000, 4500,
    5000, 5600, 6300, 7000, 8000, 9000, 10000, 11200, 12500, 14100, 16000, 18000, 20000};

inline constexpr std::array<float, kQCount> kQualities = {0.4f, 0.5f, 0.6f, 0.7f, 0.8f, 0.9f, 1.0f, 1.2f,
                                                          1.4f, 2.0f, 2.5f, 3.0f, 4.0f, 5.0f, 6.5f, 8.0f};

inline constexpr std::array<float, kRatioCount> kRatios = {1, 2, 3, 4, 6, 800};

struct DspTables {
  // Shelf index i means -12 + 0.5 i dB.
  std::array<float, kShelfSteps> shelfGain{};        // a
  std::array<float, kShelfSteps> lowShelfNorm{};     // G of a low shelf (0 for cuts)
  std::array<float, kShelfSteps> highShelfNorm{};    // G of a high shelf
  std::array<float, kPeakGainSteps> peakGain{};      // k, -12 + 0.5 i dB
  std::array<float, kOutputGainSteps> outputGain{};  // make-up and output gain
  std::array<float, kThresholdSteps> threshold{};    // thresholdInv, -52 + 0.5 i dB
  std::array<float, kRatioCount> ratio{};
  std::array<double, kAttackSteps> attack{};    // (i + 1) ms; round to float to use
  std::array<double, kReleaseSteps> release{};  // 5 (i + 1) ms; round to float
  // Row: Q index, column: frequency index.
  std::array<std::array<float, kFrequencyCount>, kQCount> peakC{};
  std::array<std::array<float, kFrequencyCount>, kQCount> peakD{};
  std::array<Lr4Coeffs, kFrequencyCount> crossoverLowPass{};
  std::array<Lr4Coeffs, kFrequencyCount> crossoverHighPass{};
  std::array<Lr4Coeffs, kInputHighPassSteps> inputHighPass{};  // 20 (i + 1) Hz
};

// Fills every table.
void BuildDspTables(DspTables& tables);

}  // namespace auralith::dsp
