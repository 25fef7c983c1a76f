// Both channels of one frame in one register: F2 holds (left, right) in single
// precision, D2 the same in double, F4 two such pairs (of two stages that run
// side by side). On x86-64 they are SSE2 registers (F2 uses lanes 0 and 1;
// lanes 2 and 3 carry no meaning); elsewhere, or with AURALITH_NO_SIMD (to
// check that path), plain values. Every operation is one IEEE operation per
// channel, so results are exactly those of the scalar formulas.
//
// D4 holds two D2 pairs; with AVX (the pipeline's second build, chosen at run
// time) it is one 256-bit register, otherwise two SSE2 registers. Everything
// here lives in a namespace named after the instruction set it is compiled
// for, so the two builds never share a function.
#pragma once

#include <cmath>
#include <cstring>

#if (defined(__SSE2__) || defined(_M_X64)) && !defined(AURALITH_NO_SIMD)
#include <emmintrin.h>
#define AURALITH_SSE2 1
#endif
#if defined(__AVX__)
#include <immintrin.h>
#define AURALITH_ISA avx
#else
#define AURALITH_ISA base
#endif

namespace auralith::dsp::detail {
inline namespace AURALITH_ISA {

// Two pairs held as two registers, where no wider register serves.
template <typename Half>
struct TwoPairs {
  Half first, second;
};
template <typename Half>
TwoPairs<Half> Combine(Half first, Half second) {
  return {first, second};
}
template <typename Half>
Half First(TwoPairs<Half> a) {
  return a.first;
}
template <typename Half>
Half Second(TwoPairs<Half> a) {
  return a.second;
}
template <typename Half>
TwoPairs<Half> operator+(TwoPairs<Half> a, TwoPairs<Half> b) {
  return {a.first + b.first, a.second + b.second};
}
template <typename Half>
TwoPairs<Half> operator-(TwoPairs<Half> a, TwoPairs<Half> b) {
  return {a.first - b.first, a.second - b.second};
}
template <typename Half>
TwoPairs<Half> operator*(TwoPairs<Half> a, TwoPairs<Half> b) {
  return {a.first * b.first, a.second * b.second};
}

#if AURALITH_SSE2

struct F2 {
  __m128 v;
};
struct D2 {
  __m128d v;
};

inline F2 MakeF2(float left, float right) { return {_mm_setr_ps(left, right, 0.0f, 0.0f)}; }
inline F2 SplatF2(float value) { return {_mm_setr_ps(value, value, 0.0f, 0.0f)}; }
inline D2 MakeD2(double left, double right) { return {_mm_setr_pd(left, right)}; }
inline D2 SplatD2(double value) { return {_mm_set1_pd(value)}; }

inline float Left(F2 a) { return _mm_cvtss_f32(a.v); }
inline float Right(F2 a) { return _mm_cvtss_f32(_mm_shuffle_ps(a.v, a.v, 1)); }
inline double Left(D2 a) { return _mm_cvtsd_f64(a.v); }
inline double Right(D2 a) { return _mm_cvtsd_f64(_mm_unpackhi_pd(a.v, a.v)); }

// One interleaved frame from / to memory.
inline F2 LoadFrame(const float* frame) {
  double bits;
  std::memcpy(&bits, frame, sizeof bits);
  return {_mm_castpd_ps(_mm_set_sd(bits))};
}
inline void StoreFrame(float* frame, F2 a) {
  const double bits = _mm_cvtsd_f64(_mm_castps_pd(a.v));
  std::memcpy(frame, &bits, sizeof bits);
}

inline F2 operator+(F2 a, F2 b) { return {_mm_add_ps(a.v, b.v)}; }
inline F2 operator-(F2 a, F2 b) { return {_mm_sub_ps(a.v, b.v)}; }
inline F2 operator*(F2 a, F2 b) { return {_mm_mul_ps(a.v, b.v)}; }
inline D2 operator+(D2 a, D2 b) { return {_mm_add_pd(a.v, b.v)}; }
inline D2 operator-(D2 a, D2 b) { return {_mm_sub_pd(a.v, b.v)}; }
inline D2 operator*(D2 a, D2 b) { return {_mm_mul_pd(a.v, b.v)}; }

inline D2 Widen(F2 a) { return {_mm_cvtps_pd(a.v)}; }
inline F2 Narrow(D2 a) { return {_mm_cvtpd_ps(a.v)}; }  // rounds to nearest

inline F2 Abs(F2 a) { return {_mm_andnot_ps(_mm_set1_ps(-0.0f), a.v)}; }

// Per channel: a >= b ? ifTrue : ifFalse.
inline F2 SelectGreaterEqual(F2 a, F2 b, F2 ifTrue, F2 ifFalse) {
  const __m128 mask = _mm_cmpge_ps(a.v, b.v);
  return {_mm_or_ps(_mm_and_ps(mask, ifTrue.v), _mm_andnot_ps(mask, ifFalse.v))};
}

// Bit 0 set when left > limit, bit 1 when right > limit.
inline int GreaterMask(F2 a, F2 limit) { return _mm_movemask_ps(_mm_cmpgt_ps(a.v, limit.v)) & 3; }

// Both channels become left > right ? left : right.
inline F2 LargerOfBoth(F2 a) {
  const __m128 swapped = _mm_shuffle_ps(a.v, a.v, _MM_SHUFFLE(3, 2, 0, 1));
  const __m128 larger = _mm_max_ps(a.v, swapped);  // lane 1: max(right, left)
  return {_mm_shuffle_ps(larger, larger, _MM_SHUFFLE(3, 2, 0, 0))};
}

struct F4 {
  __m128 v;
};

inline F4 Combine(F2 first, F2 second) { return {_mm_movelh_ps(first.v, second.v)}; }
inline F2 First(F4 a) { return {a.v}; }
inline F2 Second(F4 a) { return {_mm_movehl_ps(a.v, a.v)}; }
inline F4 SplatPairs(float first, float second) { return {_mm_setr_ps(first, first, second, second)}; }
inline F4 operator+(F4 a, F4 b) { return {_mm_add_ps(a.v, b.v)}; }
inline F4 operator-(F4 a, F4 b) { return {_mm_sub_ps(a.v, b.v)}; }
inline F4 operator*(F4 a, F4 b) { return {_mm_mul_ps(a.v, b.v)}; }

#else

struct F2 {
  float l, r;
};
struct D2 {
  double l, r;
};

inline F2 MakeF2(float left, float right) { return {left, right}; }
inline F2 SplatF2(float value) { return {value, value}; }
inline D2 MakeD2(double left, double right) { return {left, right}; }
inline D2 SplatD2(double value) { return {value, value}; }
inline float Left(F2 a) { return a.l; }
inline float Right(F2 a) { return a.r; }
inline double Left(D2 a) { return a.l; }
inline double Right(D2 a) { return a.r; }
inline F2 LoadFrame(const float* frame) { return {frame[0], frame[1]}; }
inline void StoreFrame(float* frame, F2 a) {
  frame[0] = a.l;
  frame[1] = a.r;
}
inline F2 operator+(F2 a, F2 b) { return {a.l + b.l, a.r + b.r}; }
inline F2 operator-(F2 a, F2 b) { return {a.l - b.l, a.r - b.r}; }
inline F2 operator*(F2 a, F2 b) { return {a.l * b.l, a.r * b.r}; }
inline D2 operator+(D2 a, D2 b) { return {a.l + b.l, a.r + b.r}; }
inline D2 operator-(D2 a, D2 b) { return {a.l - b.l, a.r - b.r}; }
inline D2 operator*(D2 a, D2 b) { return {a.l * b.l, a.r * b.r}; }
inline D2 Widen(F2 a) { return {a.l, a.r}; }
inline F2 Narrow(D2 a) { return {static_cast<float>(a.l), static_cast<float>(a.r)}; }
inline F2 Abs(F2 a) { return {std::fabs(a.l), std::fabs(a.r)}; }
inline F2 SelectGreaterEqual(F2 a, F2 b, F2 ifTrue, F2 ifFalse) {
  return {a.l >= b.l ? ifTrue.l : ifFalse.l, a.r >= b.r ? ifTrue.r : ifFalse.r};
}
inline int GreaterMask(F2 a, F2 limit) { return (a.l > limit.l ? 1 : 0) | (a.r > limit.r ? 2 : 0); }
inline F2 LargerOfBoth(F2 a) {
  const float larger = a.l > a.r ? a.l : a.r;
  return {larger, larger};
}

using F4 = TwoPairs<F2>;
inline F4 SplatPairs(float first, float second) { return {SplatF2(first), SplatF2(second)}; }

#endif

#if defined(__AVX__)

struct D4 {
  __m256d v;
};
inline D4 Combine(D2 first, D2 second) { return {_mm256_insertf128_pd(_mm256_castpd128_pd256(first.v), second.v, 1)}; }
inline D2 First(D4 a) { return {_mm256_castpd256_pd128(a.v)}; }
inline D2 Second(D4 a) { return {_mm256_extractf128_pd(a.v, 1)}; }
inline D4 SplatPairs(double first, double second) { return {_mm256_setr_pd(first, first, second, second)}; }
inline D4 operator+(D4 a, D4 b) { return {_mm256_add_pd(a.v, b.v)}; }
inline D4 operator-(D4 a, D4 b) { return {_mm256_sub_pd(a.v, b.v)}; }
inline D4 operator*(D4 a, D4 b) { return {_mm256_mul_pd(a.v, b.v)}; }
inline D4 Widen(F4 a) { return {_mm256_cvtps_pd(a.v)}; }
inline F4 Narrow(D4 a) { return {_mm256_cvtpd_ps(a.v)}; }

#else

using D4 = TwoPairs<D2>;
inline D4 SplatPairs(double first, double second) { return {SplatD2(first), SplatD2(second)}; }
inline D4 Widen(F4 a) { return {Widen(First(a)), Widen(Second(a))}; }
inline F4 Narrow(D4 a) { return Combine(Narrow(First(a)), Narrow(Second(a))); }

#endif

}  // namespace AURALITH_ISA
}  // namespace auralith::dsp::detail
