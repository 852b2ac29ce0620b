// Sine, cosine and arc cosine for the 3DNow routines: polynomial approximations evaluated
// with 3DNow instructions, never the floating-point unit.
#pragma once

#include "mx3DNowOps.h"

namespace mx::amd {

// [sin a0, cos a0]. The angle is reduced to [-pi/4, pi/4] by the nearest multiple of pi/2
// (pi/2 split in three parts so that the reduction stays exact for angles of a few
// thousand radians); both polynomials run side by side, sine in lane 0 and cosine in
// lane 1. Error below 1e-7 absolute in that range.
MX3D_INLINE R sincos(R a) {
  const R y = a * MX3D_K(0.63661977236758134f);  // 2/pi
  const R half = (lane0Bits(a) & 0x80000000u) ? MX3D_K(-0.5f) : MX3D_K(0.5f);
  const R q = toInt(y + half);
  const uint32_t quadrant = lane0Bits(q) & 3u;
  const R qf = toFloat(q);
  const R r = a - qf * MX3D_K(1.5703125f) - qf * MX3D_K(4.837512969970703125e-4f) -
              qf * MX3D_K(7.54978995489188216e-8f);
  const R z = splatLo(r * r);
  // sin r = r + r*z*(s1 + z*(s2 + z*s3)), cos r = 1 - z/2 + z*z*(c1 + z*(c2 + z*c3))
  R p = MX3D_K2(-1.9515295891e-4f, 2.443315711809948e-5f);
  p = p * z + MX3D_K2(8.3321608736e-3f, -1.388731625493765e-3f);
  p = p * z + MX3D_K2(-1.6666654611e-1f, 4.166664568298827e-2f);
  const R one = MX3D_K(1.0f);
  const R zz = unpackLo(z, z * z);                            // [z, z*z]
  const R head = unpackLo(r, one - MX3D_K(0.5f) * z);         // [r, 1 - z/2]
  const R sc = p * zz * unpackLo(r, one) + head;              // [sin r, cos r]
  const R cs = unpackLo(splatHi(sc), sc);                     // [cos r, sin r]
  switch (quadrant) {
    case 0:
      return sc;
    case 1:
      return bitXor(cs, pairBits(0, 0x80000000u));  // [cos, -sin]
    case 2:
      return bitXor(sc, splatBits(0x80000000u));    // [-sin, -cos]
    default:
      return bitXor(cs, pairBits(0x80000000u, 0));  // [-cos, sin]
  }
}

// asin t for |t| <= 0.5: t + t*z*P(z), z = t*t.
MX3D_INLINE R asinSmall(R t, R z) {
  R p = MX3D_K(4.2163199048e-2f);
  p = p * z + MX3D_K(2.4181311049e-2f);
  p = p * z + MX3D_K(4.5470025998e-2f);
  p = p * z + MX3D_K(7.4953002686e-2f);
  p = p * z + MX3D_K(1.6666752422e-1f);
  return t + t * z * p;
}

// acos a0, the argument clamped to [-1, 1]. Above 0.5 in magnitude the half-angle form
// 2*asin(sqrt((1 - |a|)/2)) keeps the precision near the ends.
MX3D_INLINE R acos(R a) {
  const R one = MX3D_K(1.0f);
  const R c = max(MX3D_K(-1.0f), min(one, a));
  const R ac = abs(c);
  if (ge(MX3D_K(0.5f), ac)) return MX3D_K(1.57079632679489662f) - asinSmall(c, c * c);
  const R z = (one - ac) * MX3D_K(0.5f);
  const R s = sqrt(z);
  const R r = MX3D_K(2.0f) * asinSmall(s, z);
  return (lane0Bits(c) & 0x80000000u) ? MX3D_K(3.14159265358979324f) - r : r;
}

}  // namespace mx::amd
