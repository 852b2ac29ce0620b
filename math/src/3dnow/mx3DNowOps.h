// The thin layer between the 3DNow routines and the processor: one inline function per
// instruction, written as inline assembly (newer compilers dropped the 3DNow intrinsics),
// and small operator sugar on top so that the routines read like arithmetic.
//
// Rules the routines follow, because the MMX registers overlay the x87 registers:
// - no float is touched as a float in C++ (that could emit an x87 load on 32-bit x86);
//   floats enter and leave the MMX registers through memory (movd/movq), constants are
//   built from their bit patterns;
// - no R value lives across femms() or across a call, and femms() runs before every call
//   and before every return that follows MMX work. femms leaves the MMX registers
//   undefined, so every instruction here is volatile: the compiler keeps their order and
//   cannot carry a computed value (a constant, say) across femms.
#pragma once

#include <bit>
#include <cstdint>

#include "mxmath.h"

#define MX3D_INLINE static inline __attribute__((always_inline))
#define MX3D_LAMBDA __attribute__((always_inline))

namespace mx::amd {

// One MMX register: two floats, lane 0 the low one. Scalars live in lane 0.
typedef int32_t M64 __attribute__((vector_size(8)));

struct R {
  M64 v;
};

// Eight bytes of any type, for the 64-bit moves.
typedef uint64_t __attribute__((may_alias)) Bits64;

consteval uint32_t bitsOf(float f) { return std::bit_cast<uint32_t>(f); }

// ---- moves ----

MX3D_INLINE R load2(const float* p) {
  R r;
  __asm__ volatile("movq %1, %0" : "=y"(r.v) : "m"(*reinterpret_cast<const Bits64*>(p)));
  return r;
}
// One float into lane 0, lane 1 cleared.
MX3D_INLINE R load1(const float* p) {
  R r;
  __asm__ volatile("movd %1, %0" : "=y"(r.v) : "m"(*p));
  return r;
}
MX3D_INLINE void store2(float* p, R a) {
  __asm__ volatile("movq %1, %0" : "=m"(*reinterpret_cast<Bits64*>(p)) : "y"(a.v));
}
MX3D_INLINE void store1(float* p, R a) { __asm__ volatile("movd %1, %0" : "=m"(*p) : "y"(a.v)); }

// Both lanes set to the same bit pattern.
MX3D_INLINE R splatBits(uint32_t bits) {
  R r;
  __asm__ volatile("movd %1, %0\n\tpunpckldq %0, %0" : "=y"(r.v) : "r"(bits));
  return r;
}
// Lanes from two bit patterns.
MX3D_INLINE R pairBits(uint32_t lo, uint32_t hi) {
  R r, h;
  __asm__ volatile("movd %2, %0\n\tmovd %3, %1\n\tpunpckldq %1, %0" : "=&y"(r.v), "=&y"(h.v) : "r"(lo), "r"(hi));
  return r;
}
#define MX3D_K(f) ::mx::amd::splatBits(::mx::amd::bitsOf(f))
#define MX3D_K2(lo, hi) ::mx::amd::pairBits(::mx::amd::bitsOf(lo), ::mx::amd::bitsOf(hi))

// Lane 0 as an integer register.
MX3D_INLINE uint32_t lane0Bits(R a) {
  uint32_t u;
  __asm__ volatile("movd %1, %0" : "=r"(u) : "y"(a.v));
  return u;
}

// ---- lane arrangement ----

// [a0, b0]
MX3D_INLINE R unpackLo(R a, R b) {
  __asm__ volatile("punpckldq %1, %0" : "+y"(a.v) : "y"(b.v));
  return a;
}
// [a1, b1]
MX3D_INLINE R unpackHi(R a, R b) {
  __asm__ volatile("punpckhdq %1, %0" : "+y"(a.v) : "y"(b.v));
  return a;
}
MX3D_INLINE R splatLo(R a) { return unpackLo(a, a); }
MX3D_INLINE R splatHi(R a) { return unpackHi(a, a); }

// ---- bit operations ----

MX3D_INLINE R bitXor(R a, R b) {
  __asm__ volatile("pxor %1, %0" : "+y"(a.v) : "y"(b.v));
  return a;
}
MX3D_INLINE R bitAnd(R a, R b) {
  __asm__ volatile("pand %1, %0" : "+y"(a.v) : "y"(b.v));
  return a;
}
MX3D_INLINE R bitOr(R a, R b) {
  __asm__ volatile("por %1, %0" : "+y"(a.v) : "y"(b.v));
  return a;
}
// ~a & b
MX3D_INLINE R bitAndNot(R a, R b) {
  __asm__ volatile("pandn %1, %0" : "+y"(a.v) : "y"(b.v));
  return a;
}

// ---- 3DNow arithmetic ----

MX3D_INLINE R operator+(R a, R b) {
  __asm__ volatile("pfadd %1, %0" : "+y"(a.v) : "y"(b.v));
  return a;
}
MX3D_INLINE R operator-(R a, R b) {
  __asm__ volatile("pfsub %1, %0" : "+y"(a.v) : "y"(b.v));
  return a;
}
MX3D_INLINE R operator*(R a, R b) {
  __asm__ volatile("pfmul %1, %0" : "+y"(a.v) : "y"(b.v));
  return a;
}
MX3D_INLINE R operator-(R a) { return MX3D_K(-1.0f) * a; }
// [a0 + a1, b0 + b1]
MX3D_INLINE R hadd(R a, R b) {
  __asm__ volatile("pfacc %1, %0" : "+y"(a.v) : "y"(b.v));
  return a;
}
MX3D_INLINE R hsum(R a) { return hadd(a, a); }
MX3D_INLINE R max(R a, R b) {
  __asm__ volatile("pfmax %1, %0" : "+y"(a.v) : "y"(b.v));
  return a;
}
MX3D_INLINE R min(R a, R b) {
  __asm__ volatile("pfmin %1, %0" : "+y"(a.v) : "y"(b.v));
  return a;
}
// All bits set in each lane where a >= b (a > b, a == b).
MX3D_INLINE R cmpGE(R a, R b) {
  __asm__ volatile("pfcmpge %1, %0" : "+y"(a.v) : "y"(b.v));
  return a;
}
MX3D_INLINE R cmpGT(R a, R b) {
  __asm__ volatile("pfcmpgt %1, %0" : "+y"(a.v) : "y"(b.v));
  return a;
}
MX3D_INLINE R cmpEQ(R a, R b) {
  __asm__ volatile("pfcmpeq %1, %0" : "+y"(a.v) : "y"(b.v));
  return a;
}
// Lane 0 tests, for branches.
MX3D_INLINE bool ge(R a, R b) { return lane0Bits(cmpGE(a, b)) != 0; }
MX3D_INLINE bool gt(R a, R b) { return lane0Bits(cmpGT(a, b)) != 0; }
MX3D_INLINE bool eq(R a, R b) { return lane0Bits(cmpEQ(a, b)) != 0; }

// Truncation toward zero to 32-bit integers, and back.
MX3D_INLINE R toInt(R a) {
  __asm__ volatile("pf2id %1, %0" : "=y"(a.v) : "y"(a.v));
  return a;
}
MX3D_INLINE R toFloat(R a) {
  __asm__ volatile("pi2fd %1, %0" : "=y"(a.v) : "y"(a.v));
  return a;
}

// 1/a0 in both lanes: the estimate refined by the two reciprocal-iteration steps.
MX3D_INLINE R rcp(R a) {
  R r;
  __asm__ volatile("pfrcp %1, %0\n\tpfrcpit1 %0, %1\n\tpfrcpit2 %0, %1" : "=&y"(r.v), "+y"(a.v));
  return a;
}
// 1/sqrt(a0) in both lanes: the estimate refined by the square-root iteration step and the
// second reciprocal-iteration step.
MX3D_INLINE R rsqrt(R a) {
  R x0, t;
  __asm__ volatile("pfrsqrt %2, %0\n\tmovq %0, %1\n\tpfmul %1, %1\n\tpfrsqit1 %2, %1\n\tpfrcpit2 %0, %1"
          : "=&y"(x0.v), "=&y"(t.v)
          : "y"(a.v));
  return t;
}
// Lane-wise reciprocal of two different values.
MX3D_INLINE R rcp2(R a) { return unpackLo(rcp(a), rcp(splatHi(a))); }

// Clears the MMX state so that x87 code can follow.
MX3D_INLINE void femms() { __asm__ volatile("femms" ::: "memory", "mm0", "mm1", "mm2", "mm3", "mm4", "mm5", "mm6", "mm7"); }

// ---- composites ----

MX3D_INLINE R abs(R a) { return bitAnd(a, splatBits(0x7FFFFFFFu)); }
MX3D_INLINE bool isZero(R a) { return (lane0Bits(a) & 0x7FFFFFFFu) == 0; }
// sqrt(a0) for a0 >= 0, exactly 0 for 0 (the estimate of 1/sqrt(0) is not finite).
MX3D_INLINE R sqrt(R a) {
  if (isZero(a)) return splatBits(0);
  return a * rsqrt(a);
}
// [a0 + a1, a0 + a1] of a product: the dot product of two 2-vectors.
MX3D_INLINE R dot2(R a, R b) { return hsum(a * b); }
// Dot product of two 4-vectors given as (xy, zw) pairs, in both lanes.
MX3D_INLINE R dot4(R axy, R azw, R bxy, R bzw) { return hsum(axy * bxy + azw * bzw); }
// Dot product of two 3-vectors given as (xy, z) with z alone in lane 0 (lane 1 cleared).
MX3D_INLINE R dot3(R axy, R az, R bxy, R bz) { return hsum(axy * bxy) + az * bz; }

}  // namespace mx::amd
