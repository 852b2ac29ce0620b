// The x87 set: the portable reference routines of all 57 operations. Sums are accumulated
// in double precision, the precision the floating-point unit's control word sets on the
// original platform, and rounded once to single precision when stored.
#pragma once

#include <array>

#include "mxmath.h"

namespace mx::x87 {

#define MX_OP(slot, name, ret, params, args) ret name params;
#include "mxOps.def"
#undef MX_OP

// True when -2^-23 <= a - b <= 2^-23, the difference taken without rounding to single
// precision; false for NaN.
bool nearEqual(float a, float b);

// The chord table of MXVec3Normalize: 256 chords of 1/sqrt(m) over [0.5, 1), then 256
// over [1, 2), indexed by the lowest exponent bit and the top eight mantissa bits.
struct Chord {
  float slope;
  float intercept;
};
extern const std::array<Chord, 512> kChords;

// 1/sqrt(squaredLength) from the chord table, relative error below about 1.5e-6.
double chordRsqrt(float squaredLength);

}  // namespace mx::x87
