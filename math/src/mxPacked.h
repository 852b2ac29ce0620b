// Small packed single-precision routines shared by the SSE and SSE2 sets. Each set's file
// includes this header and is compiled with its own instruction set, so every set gets its
// own copy (internal linkage) built from its own instructions only.
#pragma once

#include <xmmintrin.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <bit>
#include <cstdint>

#include "mxDebug.h"
#include "mxmath.h"

namespace mx::packed {
namespace {

// A constant in all four lanes, kept in memory so that it loads with one instruction (or
// serves as the memory operand of the instruction that uses it).
struct alignas(16) Const4 {
  float f[4];
  operator __m128() const { return _mm_load_ps(f); }
};
constexpr Const4 splat4(float v) { return {{v, v, v, v}}; }

constexpr Const4 kHalf = splat4(0.5f), kOne = splat4(1.0f), kThree = splat4(3.0f), kSignBit = splat4(-0.0f);

inline bool aligned16(const void* p) { return (reinterpret_cast<uintptr_t>(p) & 15u) == 0; }

inline __m128 signMask(bool x, bool y, bool z, bool w) {
  return _mm_setr_ps(x ? -0.0f : 0.0f, y ? -0.0f : 0.0f, z ? -0.0f : 0.0f, w ? -0.0f : 0.0f);
}

// All bits set in the chosen lanes.
inline __m128 laneMask(bool x, bool y, bool z, bool w) {
  const float on = std::bit_cast<float>(0xFFFFFFFFu);
  return _mm_setr_ps(x ? on : 0.0f, y ? on : 0.0f, z ? on : 0.0f, w ? on : 0.0f);
}

// Loads and stores that touch exactly the bytes of the type, at any alignment.
inline __m128 load2(const void* p) {
  return _mm_loadl_pi(_mm_setzero_ps(), static_cast<const __m64*>(p));
}
inline __m128 load3(const void* p) {
  const float* f = static_cast<const float*>(p);
  return _mm_movelh_ps(_mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(f)), _mm_load_ss(f + 2));
}
inline __m128 load4(const void* p) { return _mm_loadu_ps(static_cast<const float*>(p)); }
inline void store2(void* p, __m128 v) { _mm_storel_pi(static_cast<__m64*>(p), v); }
inline void store3(void* p, __m128 v) {
  float* f = static_cast<float*>(p);
  _mm_storel_pi(reinterpret_cast<__m64*>(f), v);
  _mm_store_ss(f + 2, _mm_movehl_ps(v, v));
}
inline void store4(void* p, __m128 v) { _mm_storeu_ps(static_cast<float*>(p), v); }

template <int N>
inline __m128 loadN(const void* p) {
  if constexpr (N == 2) return load2(p);
  else if constexpr (N == 3) return load3(p);
  else return load4(p);
}
template <int N>
inline void storeN(void* p, __m128 v) {
  if constexpr (N == 2) store2(p, v);
  else if constexpr (N == 3) store3(p, v);
  else store4(p, v);
}

template <int I>
inline __m128 splat(__m128 v) {
#if defined(__SSE2__)
  // pshufd copies while it shuffles, which saves a register move.
  return _mm_castsi128_ps(_mm_shuffle_epi32(_mm_castps_si128(v), _MM_SHUFFLE(I, I, I, I)));
#else
  return _mm_shuffle_ps(v, v, _MM_SHUFFLE(I, I, I, I));
#endif
}

inline __m128 add(__m128 a, __m128 b) { return _mm_add_ps(a, b); }
inline __m128 sub(__m128 a, __m128 b) { return _mm_sub_ps(a, b); }
inline __m128 mul(__m128 a, __m128 b) { return _mm_mul_ps(a, b); }

// The processor's reciprocal estimate refined by one Newton-Raphson step:
// r1 = 2*r0 - x*r0^2.
inline __m128 reciprocal(__m128 x) {
  const __m128 r0 = _mm_rcp_ps(x);
  return _mm_sub_ps(_mm_add_ps(r0, r0), _mm_mul_ps(x, _mm_mul_ps(r0, r0)));
}

// The reciprocal square root estimate refined once: r1 = 0.5*r0*(3 - x*r0^2).
inline __m128 reciprocalSqrt(__m128 x) {
  const __m128 r0 = _mm_rsqrt_ps(x);
  return _mm_mul_ps(_mm_mul_ps(kHalf, r0), _mm_sub_ps(kThree, _mm_mul_ps(x, _mm_mul_ps(r0, r0))));
}

// The sum of all four lanes, in every lane.
inline __m128 sum4(__m128 v) {
  const __m128 s = _mm_add_ps(v, _mm_shuffle_ps(v, v, _MM_SHUFFLE(2, 3, 0, 1)));
  return _mm_add_ps(s, _mm_shuffle_ps(s, s, _MM_SHUFFLE(1, 0, 3, 2)));
}

inline __m128 select(__m128 mask, __m128 ifSet, __m128 ifClear) {
  return _mm_or_ps(_mm_and_ps(mask, ifSet), _mm_andnot_ps(mask, ifClear));
}

struct Rows {
  __m128 r0, r1, r2, r3;
};

// Unaligned loads and stores cost the same as aligned ones when the data is aligned, and
// testing the address would cost a branch on every call.
inline Rows loadRows(const MXMATRIX* m) {
  const float* f = &m->m[0][0];
  return {_mm_loadu_ps(f), _mm_loadu_ps(f + 4), _mm_loadu_ps(f + 8), _mm_loadu_ps(f + 12)};
}

inline void storeRows(MXMATRIX* m, const Rows& r) {
  float* f = &m->m[0][0];
  _mm_storeu_ps(f, r.r0);
  _mm_storeu_ps(f + 4, r.r1);
  _mm_storeu_ps(f + 8, r.r2);
  _mm_storeu_ps(f + 12, r.r3);
}

// The row vector v times the matrix.
inline __m128 rowTimes(__m128 v, const Rows& m) {
  __m128 r = _mm_mul_ps(splat<0>(v), m.r0);
  r = _mm_add_ps(r, _mm_mul_ps(splat<1>(v), m.r1));
  r = _mm_add_ps(r, _mm_mul_ps(splat<2>(v), m.r2));
  return _mm_add_ps(r, _mm_mul_ps(splat<3>(v), m.r3));
}

// The alignment warnings. A routine offers its warning after its work, as a tail call, so
// that an aligned call keeps everything in registers; the warning never changes the result.
template <typename T>
[[gnu::cold, gnu::noinline]] T* warnedMatrix(T* out, const char* operation) {
  debugMessage(kLevelAlignment, "Matrix should be 16-byte aligned for optimized %s", operation);
  return out;
}

template <typename T>
[[gnu::cold, gnu::noinline]] T* warnedMatrices(T* out, const char* operation) {
  debugMessage(kLevelAlignment, "Matrices should be 16-byte aligned for optimized %s", operation);
  return out;
}

// out, with the warning when the matrix is not on a 16-byte boundary.
template <typename T>
inline T* checkedMatrix(T* out, const MXMATRIX* m, const char* operation) {
  if (!aligned16(m)) [[unlikely]]
    return warnedMatrix(out, operation);
  return out;
}

// out, with the warning when any of the three matrices is not on a 16-byte boundary.
inline MXMATRIX* checkedMatrices(MXMATRIX* out, const MXMATRIX* m1, const MXMATRIX* m2, const char* operation) {
  const uintptr_t any = reinterpret_cast<uintptr_t>(out) | reinterpret_cast<uintptr_t>(m1) | reinterpret_cast<uintptr_t>(m2);
  if (any & 15u) [[unlikely]]
    return warnedMatrices(out, operation);
  return out;
}

// Sine and cosine of four angles from polynomials on [-pi/4, pi/4] after reduction by
// multiples of pi/2 (three-part pi/2 so that the reduction stays exact). Valid for
// |x| < 2^21, where the quadrant count still fits a float's mantissa.
// Reduction by pi/2 in three parts, and the polynomials on [-pi/4, pi/4].
constexpr Const4 kTwoOverPi = splat4(0.636619772f);
#if !defined(__SSE2__)
constexpr Const4 kRoundMagic = splat4(12582912.0f);
constexpr Const4 kQuarter = splat4(0.25f);
constexpr Const4 kThreeEighths = splat4(0.375f);
constexpr Const4 kFour = splat4(4.0f);
constexpr Const4 kTwo = splat4(2.0f);
#endif
constexpr Const4 kHalfPi1 = splat4(1.5703125f);
constexpr Const4 kHalfPi2 = splat4(4.837512969970703125e-4f);
constexpr Const4 kHalfPi3 = splat4(7.549789954891882e-8f);
constexpr Const4 kSin7 = splat4(-1.9515295891e-4f);
constexpr Const4 kSin5 = splat4(8.3321608736e-3f);
constexpr Const4 kSin3 = splat4(-1.6666654611e-1f);
constexpr Const4 kCos8 = splat4(2.443315711809948e-5f);
constexpr Const4 kCos6 = splat4(-1.388731625493765e-3f);
constexpr Const4 kCos4 = splat4(4.166664568298827e-2f);

inline void sinCos(__m128 x, __m128* sinOut, __m128* cosOut) {
  const __m128 twoOverPi = kTwoOverPi;
#if defined(__SSE2__)
  const __m128i ki = _mm_cvtps_epi32(_mm_mul_ps(x, twoOverPi));
  const __m128 k = _mm_cvtepi32_ps(ki);
  const __m128i q = _mm_and_si128(ki, _mm_set1_epi32(3));
  const __m128 swap = _mm_castsi128_ps(_mm_cmpeq_epi32(_mm_and_si128(q, _mm_set1_epi32(1)), _mm_set1_epi32(1)));
  const __m128 sinNeg = _mm_castsi128_ps(_mm_slli_epi32(_mm_and_si128(q, _mm_set1_epi32(2)), 30));
  const __m128 cosNeg = _mm_castsi128_ps(
      _mm_slli_epi32(_mm_and_si128(_mm_add_epi32(q, _mm_set1_epi32(1)), _mm_set1_epi32(2)), 30));
#else
  // Rounding to a whole number by adding and taking away 1.5 * 2^23.
  const __m128 magic = kRoundMagic;
  const __m128 k = _mm_sub_ps(_mm_add_ps(_mm_mul_ps(x, twoOverPi), magic), magic);
  // k mod 4 as a float: the fractions of k/4 - 0.375 never tie, so rounding gives floor(k/4).
  const __m128 k4 = _mm_sub_ps(_mm_add_ps(_mm_sub_ps(_mm_mul_ps(k, kQuarter), kThreeEighths), magic), magic);
  const __m128 q = _mm_sub_ps(k, _mm_mul_ps(k4, kFour));
  const __m128 one = kOne, two = kTwo, three = kThree;
  const __m128 signBit = kSignBit;
  const __m128 swap = _mm_or_ps(_mm_cmpeq_ps(q, one), _mm_cmpeq_ps(q, three));
  const __m128 sinNeg = _mm_and_ps(_mm_cmpge_ps(q, two), signBit);
  const __m128 cosNeg = _mm_and_ps(_mm_or_ps(_mm_cmpeq_ps(q, one), _mm_cmpeq_ps(q, two)), signBit);
#endif
  __m128 r = _mm_sub_ps(x, _mm_mul_ps(k, kHalfPi1));
  r = _mm_sub_ps(r, _mm_mul_ps(k, kHalfPi2));
  r = _mm_sub_ps(r, _mm_mul_ps(k, kHalfPi3));
  const __m128 r2 = _mm_mul_ps(r, r);
  __m128 s = _mm_add_ps(_mm_mul_ps(kSin7, r2), kSin5);
  s = _mm_add_ps(_mm_mul_ps(s, r2), kSin3);
  s = _mm_add_ps(_mm_mul_ps(_mm_mul_ps(s, r2), r), r);
  __m128 c = _mm_add_ps(_mm_mul_ps(kCos8, r2), kCos6);
  c = _mm_add_ps(_mm_mul_ps(c, r2), kCos4);
  c = _mm_add_ps(_mm_mul_ps(_mm_mul_ps(c, r2), r2), _mm_sub_ps(kOne, _mm_mul_ps(kHalf, r2)));
  *sinOut = _mm_xor_ps(select(swap, c, s), sinNeg);
  *cosOut = _mm_xor_ps(select(swap, s, c), cosNeg);
}

}  // namespace
}  // namespace mx::packed
