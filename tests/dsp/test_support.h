// Shared helpers of the chain's tests: state set-up, parameter sets, test
// signals and response measurements.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "dsp/dsp.h"

namespace auralith::dsp::testing {

std::unique_ptr<DspState> MakeState();

// Every profile stage transparent: single band, 20 Hz input high-pass, unity
// gains, ratio 1; user equaliser slots at 0 dB.
DspParams NeutralParams(const DspTables& t);

// Valid indices drawn at random for every parameter, with link modes,
// layout and all.
DspParams RandomParams(const DspTables& t, std::mt19937& rng);

// Stereo test signals (left, right interleaved).
std::vector<float> Sine(std::size_t frames, double hz, double amplitude);
std::vector<float> MusicLike(std::size_t frames, std::mt19937& rng);

// Gain in dB of `process` at `hz`: runs a sine of amplitude 0.25 through it
// for `seconds` and fits the last third of the output (left channel).
double GainDb(const std::function<void(float*, std::size_t)>& process, double hz, double seconds = 1.5);

// Index of the first sample where the two differ bit for bit, or -1.
std::ptrdiff_t FirstDifference(const std::vector<float>& a, const std::vector<float>& b);

}  // namespace auralith::dsp::testing
