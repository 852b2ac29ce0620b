// Building blocks shared by the 3DNow routines and the 3DNow extension routines.
#pragma once

#include "mx3DNowMath.h"
#include "mx3DNowOps.h"

namespace mx::amd {

// A 4-vector or a matrix row as two lane pairs.
struct V4 {
  R xy, zw;
};

MX3D_INLINE V4 load4(const float* p) { return {load2(p), load2(p + 2)}; }
MX3D_INLINE void store4(float* p, V4 v) {
  store2(p, v.xy);
  store2(p + 2, v.zw);
}
MX3D_INLINE V4 row(const MXMATRIX* m, int r) { return load4(&m->m[r][0]); }
MX3D_INLINE V4 operator+(V4 a, V4 b) { return {a.xy + b.xy, a.zw + b.zw}; }
MX3D_INLINE V4 operator-(V4 a, V4 b) { return {a.xy - b.xy, a.zw - b.zw}; }
MX3D_INLINE V4 operator*(R s, V4 a) { return {s * a.xy, s * a.zw}; }

// s times row r of m, for a scalar s already in both lanes.
MX3D_INLINE V4 scaledRow(R s, const MXMATRIX* m, int r) { return s * row(m, r); }

// (x, y, z, w) * M for a vector given as (xy, zw) pairs.
MX3D_INLINE V4 transform4(V4 v, const MXMATRIX* m) {
  return scaledRow(splatLo(v.xy), m, 0) + scaledRow(splatHi(v.xy), m, 1) + scaledRow(splatLo(v.zw), m, 2) +
         scaledRow(splatHi(v.zw), m, 3);
}
// (x, y, z, 1) * M, z alone in lane 0.
MX3D_INLINE V4 transformPoint(R xy, R z, const MXMATRIX* m) {
  return scaledRow(splatLo(xy), m, 0) + scaledRow(splatHi(xy), m, 1) + scaledRow(splatLo(z), m, 2) + row(m, 3);
}

// A 4x4 matrix held in registers (spilled as the compiler sees fit).
struct M4 {
  V4 r[4];
};
MX3D_INLINE M4 loadMatrix(const MXMATRIX* m) { return {{row(m, 0), row(m, 1), row(m, 2), row(m, 3)}}; }
MX3D_INLINE void storeMatrix(MXMATRIX* out, const M4& a) {
  for (int i = 0; i < 4; ++i) store4(&out->m[i][0], a.r[i]);
}
MX3D_INLINE M4 transpose(const M4& a) {
  M4 t;
  for (int i = 0; i < 4; i += 2) {
    for (int j = 0; j < 4; j += 2) {
      const R p = j == 0 ? a.r[i].xy : a.r[i].zw;
      const R q = j == 0 ? a.r[i + 1].xy : a.r[i + 1].zw;
      R& lo = i == 0 ? t.r[j].xy : t.r[j].zw;
      R& hi = i == 0 ? t.r[j + 1].xy : t.r[j + 1].zw;
      lo = unpackLo(p, q);
      hi = unpackHi(p, q);
    }
  }
  return t;
}

// The identity matrix with every element from registers: rows (1,0,0,0) ... (0,0,0,1).
MX3D_INLINE M4 identity() {
  const R one0 = pairBits(bitsOf(1.0f), 0), zero = splatBits(0), one1 = pairBits(0, bitsOf(1.0f));
  return {{{one0, zero}, {one1, zero}, {zero, one0}, {zero, one1}}};
}

// The inverse of m, stored: its adjugate, from the 2x2 minors of the upper rows (s) and of
// the lower rows (c), each in both lanes, times inv, the reciprocal of the determinant.
MX3D_INLINE void storeInverse(MXMATRIX* out, const MXMATRIX* m, const R* s, const R* c, R inv) {
  auto e = [&](int i, int j) MX3D_LAMBDA { return load1(&m->m[i][j]); };
  const R adj[4][4] = {
      {e(1, 1) * c[5] - e(1, 2) * c[4] + e(1, 3) * c[3], e(0, 2) * c[4] - e(0, 1) * c[5] - e(0, 3) * c[3],
       e(3, 1) * s[5] - e(3, 2) * s[4] + e(3, 3) * s[3], e(2, 2) * s[4] - e(2, 1) * s[5] - e(2, 3) * s[3]},
      {e(1, 2) * c[2] - e(1, 0) * c[5] - e(1, 3) * c[1], e(0, 0) * c[5] - e(0, 2) * c[2] + e(0, 3) * c[1],
       e(3, 2) * s[2] - e(3, 0) * s[5] - e(3, 3) * s[1], e(2, 0) * s[5] - e(2, 2) * s[2] + e(2, 3) * s[1]},
      {e(1, 0) * c[4] - e(1, 1) * c[2] + e(1, 3) * c[0], e(0, 1) * c[2] - e(0, 0) * c[4] - e(0, 3) * c[0],
       e(3, 0) * s[4] - e(3, 1) * s[2] + e(3, 3) * s[0], e(2, 1) * s[2] - e(2, 0) * s[4] - e(2, 3) * s[0]},
      {e(1, 1) * c[1] - e(1, 0) * c[3] - e(1, 2) * c[0], e(0, 0) * c[3] - e(0, 1) * c[1] + e(0, 2) * c[0],
       e(3, 1) * s[1] - e(3, 0) * s[3] - e(3, 2) * s[0], e(2, 0) * s[3] - e(2, 1) * s[1] + e(2, 2) * s[0]},
  };
  M4 r;
  for (int i = 0; i < 4; ++i)
    r.r[i] = {inv * unpackLo(adj[i][0], adj[i][1]), inv * unpackLo(adj[i][2], adj[i][3])};
  storeMatrix(out, r);
}

// m := the inverse of world * view * projection, through the public entries (no MMX work is
// live across them); false when that product has no inverse.
MX3D_INLINE bool unprojection(MXMATRIX* m, const MXMATRIX* projection, const MXMATRIX* view, const MXMATRIX* world) {
  ::MXMatrixMultiply(m, world, view);
  ::MXMatrixMultiply(m, m, projection);
  return ::MXMatrixInverse(m, nullptr, m) != nullptr;
}

// Components of an N-vector as lane pairs: p[0] = (x, y), p[1] = (z, w) or (z, 0).
template <int N>
struct VN {
  R p[(N + 1) / 2];
};
template <int N>
MX3D_INLINE VN<N> loadN(const float* f) {
  VN<N> v;
  v.p[0] = load2(f);
  if constexpr (N == 3) v.p[1] = load1(f + 2);
  if constexpr (N == 4) v.p[1] = load2(f + 2);
  return v;
}
template <int N>
MX3D_INLINE void storeN(float* f, const VN<N>& v) {
  store2(f, v.p[0]);
  if constexpr (N == 3) store1(f + 2, v.p[1]);
  if constexpr (N == 4) store2(f + 2, v.p[1]);
}
template <int N>
MX3D_INLINE R squaredLength(const VN<N>& v) {
  R s = v.p[0] * v.p[0];
  if constexpr (N > 2) s = s + v.p[1] * v.p[1];
  return hsum(s);
}
template <int N>
MX3D_INLINE VN<N> scaled(R k, const VN<N>& v) {
  VN<N> r;
  for (int i = 0; i < (N + 1) / 2; ++i) r.p[i] = k * v.p[i];
  return r;
}
template <int N>
MX3D_INLINE VN<N> zeros() {
  VN<N> r;
  for (int i = 0; i < (N + 1) / 2; ++i) r.p[i] = splatBits(0);
  return r;
}

// (x, y, z) of a 3-vector: xy pair and z alone in lane 0.
struct V3 {
  R xy, z;
};
MX3D_INLINE V3 load3(const MXVECTOR3* v) { return {load2(&v->x), load1(&v->z)}; }
MX3D_INLINE void store3(MXVECTOR3* out, V3 v) {
  store2(&out->x, v.xy);
  store1(&out->z, v.z);
}
MX3D_INLINE R dot(V3 a, V3 b) { return dot3(a.xy, a.z, b.xy, b.z); }
MX3D_INLINE V3 operator-(V3 a, V3 b) { return {a.xy - b.xy, a.z - b.z}; }
MX3D_INLINE V3 operator+(V3 a, V3 b) { return {a.xy + b.xy, a.z + b.z}; }
MX3D_INLINE V3 operator*(R s, V3 a) { return {s * a.xy, s * a.z}; }
// a x b = (ay bz - az by, az bx - ax bz, ax by - ay bx)
MX3D_INLINE V3 cross(V3 a, V3 b) {
  const R ayz = unpackLo(splatHi(a.xy), a.z), azx = unpackLo(a.z, a.xy);  // (ay, az), (az, ax)
  const R byz = unpackLo(splatHi(b.xy), b.z), bzx = unpackLo(b.z, b.xy);
  const R xy = ayz * bzx - azx * byz;
  const R p = a.xy * unpackLo(splatHi(b.xy), b.xy);  // (ax by, ay bx)
  const R z = p - splatHi(p);
  return {xy, bitAnd(z, pairBits(0xFFFFFFFFu, 0))};
}

// Sets the translation row of a matrix from a vector times sign (identity when null).
MX3D_INLINE M4 translation(const MXVECTOR3* t, R sign) {
  M4 m = identity();
  if (t) {
    const V3 v = load3(t);
    m.r[3] = {sign * v.xy, unpackLo(sign * v.z, MX3D_K(1.0f))};
  }
  return m;
}

}  // namespace mx::amd

namespace mx::amd {

// Lane 0 of each of four scalars, as a 4-vector.
MX3D_INLINE V4 gather(R x, R y, R z, R w) { return {unpackLo(x, y), unpackLo(z, w)}; }

// The quaternion of yaw, pitch and roll (radians), from the half-angle sines and cosines.
MX3D_INLINE V4 quaternionYawPitchRoll(const float* yaw, const float* pitch, const float* roll) {
  const R half = MX3D_K(0.5f);
  const R y = sincos(half * load1(yaw)), p = sincos(half * load1(pitch)), r = sincos(half * load1(roll));
  const R sy = splatLo(y), cy = splatHi(y), sp = splatLo(p), cp = splatHi(p), sr = splatLo(r), cr = splatHi(r);
  return gather(cr * cy * sp + sr * sy * cp, cr * sy * cp - sr * cy * sp, sr * cy * cp - cr * sy * sp,
                cr * cy * cp + sr * sy * sp);
}

// The rotation matrix of a unit quaternion (not normalised here).
MX3D_INLINE M4 rotationOfQuaternion(V4 q) {
  const R x = splatLo(q.xy), y = splatHi(q.xy), z = splatLo(q.zw), w = splatHi(q.zw);
  const R two = MX3D_K(2.0f), one = MX3D_K(1.0f), zero = splatBits(0);
  const R x2 = two * x, y2 = two * y, z2 = two * z;
  const R xx = x2 * x, yy = y2 * y, zz = z2 * z, xy = x2 * y, xz = x2 * z, yz = y2 * z, wx = x2 * w, wy = y2 * w,
          wz = z2 * w;
  const R zero1 = pairBits(0, bitsOf(1.0f));
  return {{gather(one - yy - zz, xy + wz, xz - wy, zero),
           gather(xy - wz, one - xx - zz, yz + wx, zero),
           gather(xz + wy, yz - wx, one - xx - yy, zero),
           {zero, zero1}}};
}

}  // namespace mx::amd
