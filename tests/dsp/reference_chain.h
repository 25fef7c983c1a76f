// A plain scalar rendering of the chain, written straight from its formulas
// (one sample at a time, every stage over the whole block in turn, no folded
// constants), to check the vectorised code bit for bit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "dsp/dsp.h"

namespace auralith::dsp::reference {

struct Lr4Channel {
  double x1 = 0, x2 = 0, u1 = 0, u2 = 0, y1 = 0, y2 = 0, v1 = 0, v2 = 0;
};

void Lr4(Lr4Channel& left, Lr4Channel& right, const Lr4Coeffs& c, const float* in, float* out, std::size_t frames);
void LowShelf(float& left, float& right, const ShelfParams& p, float* block, std::size_t frames);
void HighShelf(float& left, float& right, const ShelfParams& p, float* block, std::size_t frames);
void Peak(PeakState& left, PeakState& right, const PeakParams& p, float* block, std::size_t frames);
void Compressor(std::int32_t linkMode, float* block, std::size_t frames, const CompParams& p, bool kiroActive,
                float& envL, float& envR);

// The whole chain with its own memories and noise source (which draws the
// same sequence as a freshly initialised DspState).
class Chain {
 public:
  void Process(const DspParams& p, bool kiroActive, bool dither, float* block, std::size_t frames);

  // Bands of the last three-band block.
  std::vector<float> low, mid, high;

 private:
  std::array<Lr4Channel, 2> inputHighPass_{};
  std::array<float, 2> lowShelf1_{}, highShelf1_{}, lowShelf2_{}, highShelf2_{};
  std::array<float, 2> comp1_{}, compLow_{}, compHigh_{};
  std::array<std::array<PeakState, 2>, kPeakSlots> peak_{};
  std::array<Lr4Channel, 2> lowLp_{}, highHp_{}, midLp_{}, midHp_{};
  NoiseSource noise_;
};

}  // namespace auralith::dsp::reference
