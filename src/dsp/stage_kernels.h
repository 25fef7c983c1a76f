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
#include <cmath>
#include <cstdint>
#include <limits>

#include "dsp/dsp_records.h"
#include "dsp/dynamics.h"
#include "dsp/filters.h"
#include "dsp/noise_source.h"
#include "dsp/stereo_pair.h"

namespace auralith::dsp::detail {

// Gains above threshold: detector^(1/ratio - 1) for each channel flagged in
// `above` (bit 0 left, bit 1 right), 1 for the other. Out of line (in the
// baseline build, so both pipeline builds share it): the rare path, and the
// power function's call would otherwise crowd the loop.
void CompressorGains(float leftDetector, float rightDetector, int above, float exponent, float& left, float& right);
float LinkedCompressorGain(float detector, float exponent);

inline namespace AURALITH_ISA {

// Per pair of a two-pair register: keep ? now : old.
template <typename V>
V SelectPairs(bool keepFirst, bool keepSecond, V now, V old) {
  return Combine(keepFirst ? First(now) : First(old), keepSecond ? Second(now) : Second(old));
}

// One second-order section of a Linkwitz-Riley pair in double precision, for
// one section (D2) or two side by side (D4); its output history keeps the
// output rounded to single precision.
template <typename D, typename F>
struct BiquadRecursion {
  struct Output {
    F single;  // the output rounded to single precision
    D wide;    // the same value widened back to double
  };

  Output Step(D x) {
    const D y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
    const F single = Narrow(y);
    const D wide = Widen(single);
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = wide;
    return {single, wide};
  }

  D b0, b1, b2, a1, a2;
  D x1, x2, y1, y2;  // inputs n-1, n-2; outputs n-1, n-2
};

// A Linkwitz-Riley section: the same biquad twice in cascade.
class Lr4Kernel {
 public:
  Lr4Kernel(const Lr4Coeffs& c, const Lr4State& l, const Lr4State& r)
      : first_{SplatD2(c.b0),      SplatD2(c.b1),      SplatD2(c.b2),      SplatD2(c.a1),     SplatD2(c.a2),
               MakeD2(l.x1, r.x1), MakeD2(l.x2, r.x2), MakeD2(l.y1, r.y1), MakeD2(l.y2, r.y2)},
        second_{first_.b0,          first_.b1,          first_.b2,          first_.a1,         first_.a2,
                MakeD2(l.u1, r.u1), MakeD2(l.u2, r.u2), MakeD2(l.v1, r.v1), MakeD2(l.v2, r.v2)} {}

  F2 Step(F2 in) { return second_.Step(first_.Step(Widen(in)).wide).single; }

  void Save(Lr4State& l, Lr4State& r) const {
    const auto& a = first_;
    const auto& b = second_;
    l = {Left(a.x1), Left(a.x2), Left(b.x1), Left(b.x2), Left(a.y1), Left(a.y2), Left(b.y1), Left(b.y2)};
    r = {Right(a.x1), Right(a.x2), Right(b.x1), Right(b.x2), Right(a.y1), Right(a.y2), Right(b.y1), Right(b.y2)};
  }

 private:
  BiquadRecursion<D2, F2> first_, second_;
};

// Both halves of a Linkwitz-Riley section side by side: the second half
// works one frame behind the first, on the first half's previous output.
class Lr4PairKernel {
 public:
  using Output = BiquadRecursion<D4, F4>::Output;

  Lr4PairKernel(const Lr4Coeffs& c, const Lr4State& l, const Lr4State& r)
      : r_{SplatPairs(c.b0, c.b0),
           SplatPairs(c.b1, c.b1),
           SplatPairs(c.b2, c.b2),
           SplatPairs(c.a1, c.a1),
           SplatPairs(c.a2, c.a2),
           Combine(MakeD2(l.x1, r.x1), MakeD2(l.u1, r.u1)),
           Combine(MakeD2(l.x2, r.x2), MakeD2(l.u2, r.u2)),
           Combine(MakeD2(l.y1, r.y1), MakeD2(l.v1, r.v1)),
           Combine(MakeD2(l.y2, r.y2), MakeD2(l.v2, r.v2))} {}

  // `in`: the first half's input, then the second half's.
  Output Step(D4 in) { return r_.Step(in); }

  // While the pipeline fills or drains, a half without a frame keeps its
  // memories.
  Output Step(D4 in, bool firstRuns, bool secondRuns) {
    const BiquadRecursion<D4, F4> before = r_;
    const Output out = r_.Step(in);
    r_.x1 = SelectPairs(firstRuns, secondRuns, r_.x1, before.x1);
    r_.x2 = SelectPairs(firstRuns, secondRuns, r_.x2, before.x2);
    r_.y1 = SelectPairs(firstRuns, secondRuns, r_.y1, before.y1);
    r_.y2 = SelectPairs(firstRuns, secondRuns, r_.y2, before.y2);
    return out;
  }

  void Save(Lr4State& l, Lr4State& r) const {
    const D2 x1a = First(r_.x1), x2a = First(r_.x2), y1a = First(r_.y1), y2a = First(r_.y2);
    const D2 x1b = Second(r_.x1), x2b = Second(r_.x2), y1b = Second(r_.y1), y2b = Second(r_.y2);
    l = {Left(x1a), Left(x2a), Left(x1b), Left(x2b), Left(y1a), Left(y2a), Left(y1b), Left(y2b)};
    r = {Right(x1a), Right(x2a), Right(x1b), Right(x2b), Right(y1a), Right(y2a), Right(y1b), Right(y2b)};
  }

 private:
  BiquadRecursion<D4, F4> r_;
};

// First-order shelf around the all-pass (p - z^-1) / (1 - p z^-1). kHigh
// selects the high shelf; the form (cut or boost) is fixed per block.
template <bool kHigh>
class ShelfKernel {
 public:
  ShelfKernel(const ShelfParams& p, const ShelfState& l, const ShelfState& r)
      : cut_(p.sign < 0.0f),
        halfOneMinusA_(SplatD2((1.0 - p.a) * 0.5)),
        halfOnePlusA_(SplatD2((1.0 + p.a) * 0.5)),
        norm_(SplatD2(p.norm)),
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

// The all-pass recursion of a peaking band, for one band (V = F2) or two
// bands side by side (V = F4).
template <typename V>
struct PeakRecursion {
  V c, d;
  V x0, x1, x2, y0, y1, y2;

  // Returns the all-pass output y[2]; x[2] is the input.
  V Step(V x) {
    x0 = x1;
    x1 = x2;
    x2 = x;
    y0 = y1;
    y1 = y2;
    y2 = c * (x2 - y0) + d * (x1 - y1) + x0;
    return y2;
  }
};

// Regalia-Mitra peaking band around the all-pass
// (c + d z^-1 + z^-2) / (1 + d z^-1 + c z^-2):
// output = (y (1 - k) + x (1 + k)) / 2, in double.
struct PeakMix {
  explicit PeakMix(float k) : halfOneMinusK(SplatD2((1.0 - k) * 0.5)), halfOnePlusK(SplatD2((1.0 + k) * 0.5)) {}
  F2 operator()(F2 allPass, F2 x) const { return Narrow(Widen(allPass) * halfOneMinusK + Widen(x) * halfOnePlusK); }
  D2 halfOneMinusK, halfOnePlusK;
};

class PeakKernel {
 public:
  PeakKernel(const PeakParams& p, const PeakState& l, const PeakState& r)
      : r_{SplatF2(p.c),           SplatF2(p.d),           MakeF2(l.x[0], r.x[0]), MakeF2(l.x[1], r.x[1]),
           MakeF2(l.x[2], r.x[2]), MakeF2(l.y[0], r.y[0]), MakeF2(l.y[1], r.y[1]), MakeF2(l.y[2], r.y[2])},
        mix_(p.k) {}

  F2 Step(F2 x) { return mix_(r_.Step(x), x); }

  void Save(PeakState& l, PeakState& r) const {
    l = {{Left(r_.x0), Left(r_.x1), Left(r_.x2)}, {Left(r_.y0), Left(r_.y1), Left(r_.y2)}};
    r = {{Right(r_.x0), Right(r_.x1), Right(r_.x2)}, {Right(r_.y0), Right(r_.y1), Right(r_.y2)}};
  }

 private:
  PeakRecursion<F2> r_;
  PeakMix mix_;
};

// Two consecutive peaking bands in one register: the second band works one
// frame behind the first (on the first one's previous output), so both
// recursions run side by side.
class PeakPairKernel {
 public:
  PeakPairKernel(const PeakParams& first, const PeakParams& second, const std::array<PeakState, 2>& firstState,
                 const std::array<PeakState, 2>& secondState)
      : r_{SplatPairs(first.c, second.c),           SplatPairs(first.d, second.d),
           Pack(firstState, secondState, 0, false), Pack(firstState, secondState, 1, false),
           Pack(firstState, secondState, 2, false), Pack(firstState, secondState, 0, true),
           Pack(firstState, secondState, 1, true),  Pack(firstState, secondState, 2, true)},
        halfOneMinusK_(SplatPairs((1.0 - first.k) * 0.5, (1.0 - second.k) * 0.5)),
        halfOnePlusK_(SplatPairs((1.0 + first.k) * 0.5, (1.0 + second.k) * 0.5)) {}

  // in: the first band's input, then the second band's (the first band's
  // previous output); returns both outputs in the same order.
  F4 Step(F4 in) {
    const F4 y = r_.Step(in);
    return Narrow(Widen(y) * halfOneMinusK_ + Widen(in) * halfOnePlusK_);
  }

  // While the pipeline fills or drains, a band without a frame keeps its
  // memories.
  F4 Step(F4 in, bool firstRuns, bool secondRuns) {
    const PeakRecursion<F4> before = r_;
    const F4 out = Step(in);
    const auto keep = [&](F4 now, F4 old) { return SelectPairs(firstRuns, secondRuns, now, old); };
    r_.x0 = keep(r_.x0, before.x0);
    r_.x1 = keep(r_.x1, before.x1);
    r_.x2 = keep(r_.x2, before.x2);
    r_.y0 = keep(r_.y0, before.y0);
    r_.y1 = keep(r_.y1, before.y1);
    r_.y2 = keep(r_.y2, before.y2);
    return out;
  }

  void Save(std::array<PeakState, 2>& first, std::array<PeakState, 2>& second) const {
    const F4 x[3] = {r_.x0, r_.x1, r_.x2}, y[3] = {r_.y0, r_.y1, r_.y2};
    for (std::size_t i = 0; i < 3; ++i) {
      Unpack(x[i], first[0].x[i], first[1].x[i], second[0].x[i], second[1].x[i]);
      Unpack(y[i], first[0].y[i], first[1].y[i], second[0].y[i], second[1].y[i]);
    }
  }

 private:
  static F4 Pack(const std::array<PeakState, 2>& first, const std::array<PeakState, 2>& second, std::size_t i,
                 bool output) {
    const auto get = [&](const PeakState& s) { return output ? s.y[i] : s.x[i]; };
    return Combine(MakeF2(get(first[0]), get(first[1])), MakeF2(get(second[0]), get(second[1])));
  }
  static void Unpack(F4 v, float& firstLeft, float& firstRight, float& secondLeft, float& secondRight) {
    firstLeft = Left(First(v));
    firstRight = Right(First(v));
    secondLeft = Left(Second(v));
    secondRight = Right(Second(v));
  }

  PeakRecursion<F4> r_;
  D4 halfOneMinusK_, halfOnePlusK_;
};

class CompressorKernel {
 public:
  CompressorKernel(const CompParams& p, std::int32_t linkMode, bool kiroActive, float envL, float envR)
      : linked_(linkMode == kLinked),
        attack_(SplatF2(p.attack)),
        release_(SplatF2(p.release)),
        thresholdInv_(SplatF2(kiroActive
                                  ? static_cast<float>(static_cast<double>(p.thresholdInv) * kKiroThresholdFactor)
                                  : p.thresholdInv)),
        makeup_(SplatF2(p.makeup)),
        exponent_(static_cast<float>(1.0 / static_cast<double>(p.ratio)) - 1.0f),
        // With ratio 1 every gain is x^0 = 1: no level needs the power.
        limit_(SplatF2(exponent_ == 0.0f ? std::numeric_limits<float>::infinity() : 1.0f)),
        env_(MakeF2(envL, envR)) {}

  F2 Step(F2 x) {
    const F2 level = Abs(x);
    env_ = (env_ - level) * SelectGreaterEqual(level, env_, attack_, release_) + level;
    const F2 detector = (linked_ ? LargerOfBoth(env_) : env_) * thresholdInv_;
    const int above = GreaterMask(detector, limit_);
    const F2 gain = above == 0 ? SplatF2(1.0f) : Gains(detector, above);
    return (gain * x) * makeup_;
  }

  float LeftEnvelope() const { return Left(env_); }
  float RightEnvelope() const { return Right(env_); }

 private:
  // Linked channels share one detector, so one power serves both.
  F2 Gains(F2 detector, int above) const {
    if (linked_) return SplatF2(LinkedCompressorGain(Left(detector), exponent_));
    float left = 1.0f, right = 1.0f;
    CompressorGains(Left(detector), Right(detector), above, exponent_, left, right);
    return MakeF2(left, right);
  }

  bool linked_;
  F2 attack_, release_, thresholdInv_, makeup_;
  float exponent_;  // 1/ratio - 1
  F2 limit_;        // detector level above which the gain is computed
  F2 env_;
};

// Hearing-protection attenuation, master gain and the dither that keeps the
// recursive filters out of denormal numbers.
class InputStageKernel {
 public:
  InputStageKernel(float attenuation, float masterGain, float noiseAmplitude, NoiseSource& noise)
      : attenuation_(SplatF2(attenuation)),
        masterGain_(SplatF2(masterGain)),
        amplitude_(SplatF2(noiseAmplitude)),
        noise_(noise) {}

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

}  // namespace AURALITH_ISA
}  // namespace auralith::dsp::detail
