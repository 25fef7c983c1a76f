// One-frame steps of every stage, shared by the single-stage entry points
// (RunLr4, RunPeak, ...) and by ProcessBlock, which chains them frame by frame
// so that the stages' recursions overlap in the processor. A kernel copies its
// parameters and memories in on construction and writes the memories back in
// Save; Step advances both channels by one frame.
//
// Where a formula halves a sum of products computed in double, the halving is
// folded into the constant factors: scaling by 0.5 is exact, so
// round(p*u + q*v) * 0.5 equals round(p*(u/2) + q*(v/2)) bit for bit.
#pragma once

#include <array>
#include <cstdint>

#include "dsp_records.h"
#include "filters.h"
#include "noise_source.h"
#include "stereo_pair.h"

namespace auralith::dsp::detail {

class Lr4Kernel {
 public:
  Lr4Kernel(const Lr4Coeffs& c, const Lr4State& l, const Lr4State& r)
      : b0_(SplatD2(c.b0)), b1_(SplatD2(c.b1)), b2_(SplatD2(c.b2)), a1_(SplatD2(c.a1)),
        a2_(SplatD2(c.a2)), x1_(MakeD2(l.x1, r.x1)), x2_(MakeD2(l.x2, r.x2)),
        y1_(MakeD2(l.y1, r.y1)), y2_(MakeD2(l.y2, r.y2)), v1_(MakeD2(l.v1, r.v1)),
        v2_(MakeD2(l.v2, r.v2)) {}

  F2 Step(F2 in) {
    const D2 x = Widen(in);
    const D2 y = b0_ * x + b1_ * x1_ + b2_ * x2_ - a1_ * y1_ - a2_ * y2_;
    // The second biquad's input history is the first one's rounded output
    // history, so y1_/y2_ serve both.
    const D2 u = Widen(Narrow(y));
    const D2 v = b0_ * u + b1_ * y1_ + b2_ * y2_ - a1_ * v1_ - a2_ * v2_;
    const F2 out = Narrow(v);
    x2_ = x1_;
    x1_ = x;
    y2_ = y1_;
    y1_ = u;
    v2_ = v1_;
    v1_ = Widen(out);
    return out;
  }

  void Save(Lr4State& l, Lr4State& r) const {
    l = {Left(x1_), Left(x2_), Left(y1_), Left(y2_), Left(y1_), Left(y2_), Left(v1_), Left(v2_)};
    r = {Right(x1_), Right(x2_), Right(y1_), Right(y2_), Right(y1_), Right(y2_), Right(v1_),
         Right(v2_)};
  }

 private:
  D2 b0_, b1_, b2_, a1_, a2_;
  D2 x1_, x2_, y1_, y2_, v1_, v2_;
};

// First-order shelf around the all-pass (p - z^-1) / (1 - p z^-1). kHigh
// selects the high shelf; the form (cut or boost) is fixed per block.
template <bool kHigh>
class ShelfKernel {
 public:
  ShelfKernel(const ShelfParams& p, const ShelfState& l, const ShelfState& r)
      : cut_(p.sign < 0.0f), halfOneMinusA_(SplatD2((1.0 - p.a) * 0.5)),
        halfOnePlusA_(SplatD2((1.0 + p.a) * 0.5)), norm_(SplatD2(p.norm)),
        s_(MakeF2(l.s, r.s)) {}

  F2 Step(F2 x) {
    const F2 p = SplatF2(kShelfPole);
    if (cut_) {
      const F2 t = Narrow(Widen(x * p) - Widen(s_) * SplatD2(kShelfPoleM));
      s_ = s_ * p + x;
      const D2 dt = Widen(t), dx = Widen(x);
      return kHigh ? Narrow(halfOnePlusA_ * dx - halfOneMinusA_ * dt)
                   : Narrow(halfOneMinusA_ * dt + halfOnePlusA_ * dx);
    }
    const D2 feedback = Widen(s_ * SplatF2(kShelfPoleM)) * halfOneMinusA_;
    const D2 dx = Widen(x);
    const F2 y = Narrow((kHigh ? dx - feedback : dx + feedback) * norm_);
    s_ = s_ * p + y;
    return y;
  }

  void Save(ShelfState& l, ShelfState& r) const {
    l.s = Left(s_);
    r.s = Right(s_);
  }

 private:
  bool cut_;
  D2 halfOneMinusA_, halfOnePlusA_, norm_;
  F2 s_;
};

// Regalia-Mitra peaking band around the all-pass
// (c + d z^-1 + z^-2) / (1 + d z^-1 + c z^-2).
class PeakKernel {
 public:
  PeakKernel(const PeakParams& p, const PeakState& l, const PeakState& r)
      : c_(SplatF2(p.c)), d_(SplatF2(p.d)), halfOneMinusK_(SplatD2((1.0 - p.k) * 0.5)),
        halfOnePlusK_(SplatD2((1.0 + p.k) * 0.5)), x0_(MakeF2(l.x[0], r.x[0])),
        x1_(MakeF2(l.x[1], r.x[1])), x2_(MakeF2(l.x[2], r.x[2])), y0_(MakeF2(l.y[0], r.y[0])),
        y1_(MakeF2(l.y[1], r.y[1])), y2_(MakeF2(l.y[2], r.y[2])) {}

  F2 Step(F2 x) {
    x0_ = x1_;
    x1_ = x2_;
    x2_ = x;
    y0_ = y1_;
    y1_ = y2_;
    y2_ = c_ * (x2_ - y0_) + d_ * (x1_ - y1_) + x0_;
    return Narrow(Widen(y2_) * halfOneMinusK_ + Widen(x) * halfOnePlusK_);
  }

  void Save(PeakState& l, PeakState& r) const {
    l = {{Left(x0_), Left(x1_), Left(x2_)}, {Left(y0_), Left(y1_), Left(y2_)}};
    r = {{Right(x0_), Right(x1_), Right(x2_)}, {Right(y0_), Right(y1_), Right(y2_)}};
  }

 private:
  F2 c_, d_;
  D2 halfOneMinusK_, halfOnePlusK_;
  F2 x0_, x1_, x2_, y0_, y1_, y2_;
};

// Gains above threshold: detector^(1/ratio - 1) for each channel flagged in
// `above` (bit 0 left, bit 1 right), 1 for the other. Out of line: it is the
// rare path, and the power function's call would otherwise crowd the loop.
F2 CompressorGains(F2 detector, int above, float exponent);
F2 LinkedCompressorGain(F2 detector, float exponent);

class CompressorKernel {
 public:
  CompressorKernel(const CompParams& p, std::int32_t linkMode, bool kiroActive, float envL,
                   float envR);

  F2 Step(F2 x) {
    const F2 level = Abs(x);
    env_ = (env_ - level) * SelectGreaterEqual(level, env_, attack_, release_) + level;
    const F2 detector = (linked_ ? LargerOfBoth(env_) : env_) * thresholdInv_;
    const F2 one = SplatF2(1.0f);
    const int above = GreaterMask(detector, one);
    // Linked channels share one detector, so one power serves both.
    const F2 gain = above == 0 ? one
                    : linked_  ? LinkedCompressorGain(detector, exponent_)
                               : CompressorGains(detector, above, exponent_);
    return (gain * x) * makeup_;
  }

  float LeftEnvelope() const { return Left(env_); }
  float RightEnvelope() const { return Right(env_); }

 private:
  bool linked_;
  F2 attack_, release_, thresholdInv_, makeup_;
  float exponent_;  // 1/ratio - 1
  F2 env_;
};

// Hearing-protection attenuation, master gain and the dither that keeps the
// recursive filters out of denormal numbers.
class InputStageKernel {
 public:
  InputStageKernel(float attenuation, float masterGain, float noiseAmplitude, NoiseSource& noise)
      : attenuation_(SplatF2(attenuation)), masterGain_(SplatF2(masterGain)),
        amplitude_(SplatF2(noiseAmplitude)), noise_(noise) {}

  F2 Step(F2 x) {
    x = x * attenuation_;
    const float drawLeft = static_cast<float>(noise_.Next());
    const float drawRight = static_cast<float>(noise_.Next());
    const F2 unit = MakeF2(drawLeft, drawRight) * SplatF2(kNoiseStep) - SplatF2(0.5f);
    return unit * amplitude_ + masterGain_ * x;
  }

  static constexpr float kNoiseStep = 3.0518509447574615e-05f;  // 1/32767

 private:
  F2 attenuation_, masterGain_, amplitude_;
  NoiseSource& noise_;
};

}  // namespace auralith::dsp::detail
