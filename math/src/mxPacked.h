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

// A constant in all four lanes, kept in memory so that it serves as the memory operand of
// the instruction that uses it. The values are defined in mxPackedConstants.cpp, out of the
// compiler's sight: a visible constant with four equal lanes is rebuilt by GCC from a
// 4-byte scalar with a shuffle, two instructions where a memory operand costs none.
struct alignas(16) Const4 {
  float f[4];
  operator __m128() const { return _mm_load_ps(f); }
};

// Hidden, so that the code addresses them directly rather than through the global offset table.
#pragma GCC visibility push(hidden)
extern const Const4 kHalf, kOne, kThree, kSignBit;
// Sine and cosine: reduction by pi/2 in three parts, and the polynomials on [-pi/4, pi/4].
extern const Const4 kTwoOverPi, kHalfPi1, kHalfPi2, kHalfPi3;
extern const Const4 kSin7, kSin5, kSin3, kCos8, kCos6, kCos4;
// Quadrant arithmetic in floats, for processors without SSE2.
extern const Const4 kRoundMagic, kQuarter, kThreeEighths, kFour, kTwo;
#pragma GCC visibility pop

namespace {

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
// |x| < 2^21, where the quadrant count still fits a float's mantissa. The polynomials are
// evaluated in powers of r^2 side by side rather than nested: a shorter chain lets more
// calls overlap in the processor, which is what a batch of calls waits on.
inline void sinCos(__m128 x, __m128* sinOut, __m128* cosOut) {
  const __m128 signBit = kSignBit;
#if defined(__SSE2__)
  const __m128i ki = _mm_cvtps_epi32(_mm_mul_ps(x, kTwoOverPi));
  const __m128 k = _mm_cvtepi32_ps(ki);
  // Odd quadrants swap sine and cosine; quadrants 2 and 3 negate the sine, 1 and 2 the cosine.
  const __m128 swap = _mm_castsi128_ps(_mm_srai_epi32(_mm_slli_epi32(ki, 31), 31));
  const __m128 sinNeg = _mm_and_ps(_mm_castsi128_ps(_mm_slli_epi32(ki, 30)), signBit);
  const __m128 cosNeg = _mm_and_ps(_mm_castsi128_ps(_mm_slli_epi32(_mm_sub_epi32(ki, _mm_set1_epi32(-1)), 30)), signBit);
#else
  // Rounding to a whole number by adding and taking away 1.5 * 2^23.
  const __m128 magic = kRoundMagic;
  const __m128 k = _mm_sub_ps(_mm_add_ps(_mm_mul_ps(x, kTwoOverPi), magic), magic);
  // k mod 4 as a float: the fractions of k/4 - 0.375 never tie, so rounding gives floor(k/4).
  const __m128 k4 = _mm_sub_ps(_mm_add_ps(_mm_sub_ps(_mm_mul_ps(k, kQuarter), kThreeEighths), magic), magic);
  const __m128 q = _mm_sub_ps(k, _mm_mul_ps(k4, kFour));
  const __m128 one = kOne, two = kTwo, three = kThree;
  const __m128 swap = _mm_or_ps(_mm_cmpeq_ps(q, one), _mm_cmpeq_ps(q, three));
  const __m128 sinNeg = _mm_and_ps(_mm_cmpge_ps(q, two), signBit);
  const __m128 cosNeg = _mm_and_ps(_mm_or_ps(_mm_cmpeq_ps(q, one), _mm_cmpeq_ps(q, two)), signBit);
#endif
  __m128 r = _mm_sub_ps(x, _mm_mul_ps(k, kHalfPi1));
  r = _mm_sub_ps(r, _mm_mul_ps(k, kHalfPi2));
  r = _mm_sub_ps(r, _mm_mul_ps(k, kHalfPi3));
  const __m128 r2 = _mm_mul_ps(r, r), r3 = _mm_mul_ps(r2, r), r4 = _mm_mul_ps(r2, r2);
  const __m128 sinTail = _mm_add_ps(_mm_add_ps(kSin3, _mm_mul_ps(r2, kSin5)), _mm_mul_ps(r4, kSin7));
  const __m128 s = _mm_add_ps(r, _mm_mul_ps(r3, sinTail));
  const __m128 cosTail = _mm_add_ps(_mm_add_ps(kCos4, _mm_mul_ps(r2, kCos6)), _mm_mul_ps(r4, kCos8));
  const __m128 c = _mm_add_ps(_mm_sub_ps(kOne, _mm_mul_ps(kHalf, r2)), _mm_mul_ps(r4, cosTail));
  // The swap as an exchange of bits: s ^ d is c where swap is set, and c ^ d is s.
  const __m128 d = _mm_and_ps(_mm_xor_ps(s, c), swap);
  *sinOut = _mm_xor_ps(_mm_xor_ps(s, d), sinNeg);
  *cosOut = _mm_xor_ps(_mm_xor_ps(c, d), cosNeg);
}

}  // namespace
}  // namespace mx::packed
