#include "reference_chain.h"

#include <algorithm>
#include <cmath>

namespace auralith::dsp::reference {
namespace {

float Lr4Sample(Lr4Channel& s, const Lr4Coeffs& c, float in) {
  const double x = in;
  const double y = c.b0 * x + c.b1 * s.x1 + c.b2 * s.x2 - c.a1 * s.y1 - c.a2 * s.y2;
  s.x2 = s.x1;
  s.x1 = x;
  s.y2 = s.y1;
  s.y1 = static_cast<float>(y);
  const double u = static_cast<float>(y);
  const double v = c.b0 * u + c.b1 * s.u1 + c.b2 * s.u2 - c.a1 * s.v1 - c.a2 * s.v2;
  s.u2 = s.u1;
  s.u1 = u;
  s.v2 = s.v1;
  s.v1 = static_cast<float>(v);
  return static_cast<float>(v);
}

constexpr float kP = 0.866f;
constexpr float kM = 0.25004398822784424f;

float ShelfSample(float& s, const ShelfParams& prm, float x, bool high) {
  const double a = prm.a;
  if (prm.sign < 0.0f) {
    const float t = static_cast<float>(static_cast<double>(x * kP) - static_cast<double>(s) * static_cast<double>(kM));
    s = s * kP + x;
    const double out = high ? ((1.0 + a) * x - (1.0 - a) * t) * 0.5 : ((1.0 - a) * t + (1.0 + a) * x) * 0.5;
    return static_cast<float>(out);
  }
  const float sm = s * kM;
  const double lift = static_cast<double>(sm) * (1.0 - a) * 0.5;
  const float y = static_cast<float>((high ? x - lift : x + lift) * prm.norm);
  s = s * kP + y;
  return y;
}

float PeakSample(PeakState& s, const PeakParams& p, float x) {
  s.x[0] = s.x[1];
  s.x[1] = s.x[2];
  s.x[2] = x;
  s.y[0] = s.y[1];
  s.y[1] = s.y[2];
  s.y[2] = p.c * (s.x[2] - s.y[0]) + p.d * (s.x[1] - s.y[1]) + s.x[0];
  const double k = p.k;
  return static_cast<float>((static_cast<double>(s.y[2]) * (1.0 - k) + x * (1.0 + k)) * 0.5);
}

}  // namespace

void Lr4(Lr4Channel& left, Lr4Channel& right, const Lr4Coeffs& c, const float* in, float* out, std::size_t frames) {
  for (std::size_t i = 0; i < frames; ++i) {
    out[2 * i] = Lr4Sample(left, c, in[2 * i]);
    out[2 * i + 1] = Lr4Sample(right, c, in[2 * i + 1]);
  }
}

void LowShelf(float& left, float& right, const ShelfParams& p, float* block, std::size_t frames) {
  for (std::size_t i = 0; i < frames; ++i) {
    block[2 * i] = ShelfSample(left, p, block[2 * i], false);
    block[2 * i + 1] = ShelfSample(right, p, block[2 * i + 1], false);
  }
}

void HighShelf(float& left, float& right, const ShelfParams& p, float* block, std::size_t frames) {
  for (std::size_t i = 0; i < frames; ++i) {
    block[2 * i] = ShelfSample(left, p, block[2 * i], true);
    block[2 * i + 1] = ShelfSample(right, p, block[2 * i + 1], true);
  }
}

void Peak(PeakState& left, PeakState& right, const PeakParams& p, float* block, std::size_t frames) {
  for (std::size_t i = 0; i < frames; ++i) {
    block[2 * i] = PeakSample(left, p, block[2 * i]);
    block[2 * i + 1] = PeakSample(right, p, block[2 * i + 1]);
  }
}

void Compressor(std::int32_t linkMode, float* block, std::size_t frames, const CompParams& p, bool kiroActive,
                float& envL, float& envR) {
  const float t = kiroActive ? static_cast<float>(static_cast<double>(p.thresholdInv) * 14.29) : p.thresholdInv;
  const float e = static_cast<float>(1.0 / static_cast<double>(p.ratio));
  for (std::size_t i = 0; i < frames; ++i) {
    float& left = block[2 * i];
    float& right = block[2 * i + 1];
    const float xl = std::fabs(left), xr = std::fabs(right);
    envL = (envL - xl) * (xl >= envL ? p.attack : p.release) + xl;
    envR = (envR - xr) * (xr >= envR ? p.attack : p.release) + xr;
    float dl = envL, dr = envR;
    if (linkMode == 1) dl = dr = envL > envR ? envL : envR;
    const float vl = dl * t, vr = dr * t;
    const float gl = vl > 1.0f ? std::pow(vl, e - 1.0f) : 1.0f;
    const float gr = vr > 1.0f ? std::pow(vr, e - 1.0f) : 1.0f;
    left = (gl * left) * p.makeup;
    right = (gr * right) * p.makeup;
  }
}

void Chain::Process(const DspParams& p, bool kiroActive, bool dither, float* block, std::size_t frames) {
  if (frames == 0) return;
  const std::size_t n = 2 * frames;
  for (std::vector<float>* band : {&low, &mid, &high}) {
    if (band->size() < n) band->resize(n);
  }
  Lr4(inputHighPass_[0], inputHighPass_[1], p.inputHighPass, block, block, frames);

  const float c = kiroActive ? 0.07f : 1.0f;
  const float amplitude = dither ? std::ldexp(1.0f, -24) : 0.0f;
  for (std::size_t i = 0; i < 2 * frames; ++i) {
    float x = c * block[i];
    const auto r = static_cast<float>(noise_.Next());
    block[i] = (r * 3.0518509447574615e-05f - 0.5f) * amplitude + p.masterGain * x;
  }

  LowShelf(lowShelf1_[0], lowShelf1_[1], p.lowShelf1, block, frames);
  HighShelf(highShelf1_[0], highShelf1_[1], p.highShelf1, block, frames);
  Compressor(p.compressor1Link, block, frames, p.compressor1, kiroActive, comp1_[0], comp1_[1]);
  LowShelf(lowShelf2_[0], lowShelf2_[1], p.lowShelf2, block, frames);
  HighShelf(highShelf2_[0], highShelf2_[1], p.highShelf2, block, frames);
  for (std::size_t b = 0; b < kProfilePeakSlots; ++b) {
    Peak(peak_[b][0], peak_[b][1], p.peak[b], block, frames);
  }

  if (p.dynamicsMode == 0) {
    Lr4(lowLp_[0], lowLp_[1], p.lowBandLowPass, block, low.data(), frames);
    Lr4(highHp_[0], highHp_[1], p.highBandHighPass, block, high.data(), frames);
    Lr4(midLp_[0], midLp_[1], p.midBandLowPass, block, mid.data(), frames);
    Lr4(midHp_[0], midHp_[1], p.midBandHighPass, mid.data(), mid.data(), frames);
    Compressor(p.lowBandLink, low.data(), frames, p.lowBandCompressor, kiroActive, compLow_[0], compLow_[1]);
    Compressor(p.highBandLink, high.data(), frames, p.highBandCompressor, kiroActive, compHigh_[0], compHigh_[1]);
    for (std::size_t i = 0; i < n; ++i) {
      const float sum = (low[i] + high[i]) + mid[i];
      block[i] = static_cast<float>(static_cast<double>(sum) * p.outputGain);
    }
  } else {
    Compressor(p.lowBandLink, block, frames, p.lowBandCompressor, kiroActive, compLow_[0], compLow_[1]);
    if (p.dynamicsMode == 1) {
      for (std::size_t i = 0; i < n; ++i) {
        block[i] = static_cast<float>(static_cast<double>(block[i]) * p.outputGain);
      }
    }
  }

  for (std::size_t b = kFirstUserEqSlot; b < kPeakSlots; ++b) {
    Peak(peak_[b][0], peak_[b][1], p.peak[b], block, frames);
  }
}

}  // namespace auralith::dsp::reference
