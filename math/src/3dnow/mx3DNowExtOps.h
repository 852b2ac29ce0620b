// The extended 3DNow instructions, for the extension set only (its file alone is assembled
// with them allowed).
#pragma once

#include "mx3DNowOps.h"

namespace mx::amd {

// [a1, a0]
MX3D_INLINE R swap(R a) {
  __asm__ volatile("pswapd %1, %0" : "=y"(a.v) : "y"(a.v));
  return a;
}
// [a0 - a1, b0 - b1]
MX3D_INLINE R hsub(R a, R b) {
  __asm__ volatile("pfnacc %1, %0" : "+y"(a.v) : "y"(b.v));
  return a;
}
// [a0 - a1, b0 + b1]
MX3D_INLINE R hsubAdd(R a, R b) {
  __asm__ volatile("pfpnacc %1, %0" : "+y"(a.v) : "y"(b.v));
  return a;
}
// [p0 q1 - p1 q0, r0 s1 - r1 s0]: two 2x2 determinants of rows (p, q) and (r, s).
MX3D_INLINE R det2x2(R p, R q, R r, R s) { return hsub(p * swap(q), r * swap(s)); }

}  // namespace mx::amd
