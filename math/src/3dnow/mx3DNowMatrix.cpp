// 3DNow routines of the matrix operations.
#include "mx3DNow.h"
#include "mx3DNowKernels.h"
#include "mx3DNowMath.h"

namespace mx::amd3DNow {

using namespace mx::amd;

namespace {

// Row r of a times m2, given m2 transposed: each element the sum of a row-by-column product.
MX3D_INLINE V4 rowTimesTransposed(V4 a, const M4& t) {
  R e[4];
  for (int c = 0; c < 4; ++c) e[c] = a.xy * t.r[c].xy + a.zw * t.r[c].zw;
  return {hadd(e[0], e[1]), hadd(e[2], e[3])};
}

MX3D_INLINE M4 product(const M4& a, const M4& b) {
  const M4 t = transpose(b);
  M4 p;
  for (int r = 0; r < 4; ++r) p.r[r] = rowTimesTransposed(a.r[r], t);
  return p;
}

// The cofactor expansion: determinant and, when asked, the adjugate.
struct Minors {
  R s[6], c[6];
};
MX3D_INLINE Minors minors(const float a[4][4]) {
  auto e = [&](int r, int c) MX3D_LAMBDA { return load1(&a[r][c]); };
  Minors n;
  n.s[0] = e(0, 0) * e(1, 1) - e(1, 0) * e(0, 1);
  n.s[1] = e(0, 0) * e(1, 2) - e(1, 0) * e(0, 2);
  n.s[2] = e(0, 0) * e(1, 3) - e(1, 0) * e(0, 3);
  n.s[3] = e(0, 1) * e(1, 2) - e(1, 1) * e(0, 2);
  n.s[4] = e(0, 1) * e(1, 3) - e(1, 1) * e(0, 3);
  n.s[5] = e(0, 2) * e(1, 3) - e(1, 2) * e(0, 3);
  n.c[5] = e(2, 2) * e(3, 3) - e(3, 2) * e(2, 3);
  n.c[4] = e(2, 1) * e(3, 3) - e(3, 1) * e(2, 3);
  n.c[3] = e(2, 1) * e(3, 2) - e(3, 1) * e(2, 2);
  n.c[2] = e(2, 0) * e(3, 3) - e(3, 0) * e(2, 3);
  n.c[1] = e(2, 0) * e(3, 2) - e(3, 0) * e(2, 2);
  n.c[0] = e(2, 0) * e(3, 1) - e(3, 0) * e(2, 1);
  return n;
}
MX3D_INLINE R determinant(const Minors& n) {
  return n.s[0] * n.c[5] - n.s[1] * n.c[4] + n.s[2] * n.c[3] + n.s[3] * n.c[2] - n.s[4] * n.c[1] +
         n.s[5] * n.c[0];
}

}  // namespace

MXMATRIX* MXMatrixMultiply(MXMATRIX* out, const MXMATRIX* m1, const MXMATRIX* m2) {
  if (!out || !m1 || !m2) return nullptr;
  // m2 transposed first, then row by row: each row of m1 is read whole before the same row
  // of out is written, so out may be m1, m2 or both.
  const M4 t = transpose(loadMatrix(m2));
  for (int r = 0; r < 4; ++r) store4(&out->m[r][0], rowTimesTransposed(row(m1, r), t));
  femms();
  return out;
}

MXMATRIX* MXMatrixMultiplyTranspose(MXMATRIX* out, const MXMATRIX* m1, const MXMATRIX* m2) {
  if (!out || !m1 || !m2) return nullptr;
  storeMatrix(out, transpose(product(loadMatrix(m1), loadMatrix(m2))));
  femms();
  return out;
}

MXMATRIX* MXMatrixTranspose(MXMATRIX* out, const MXMATRIX* m) {
  if (!out || !m) return nullptr;
  storeMatrix(out, transpose(loadMatrix(m)));
  femms();
  return out;
}

float MXMatrixDeterminant(const MXMATRIX* m) {
  if (!m) return 0.0f;
  float det;
  store1(&det, determinant(minors(m->m)));
  femms();
  return det;
}

MXMATRIX* MXMatrixInverse(MXMATRIX* out, float* pDet, const MXMATRIX* m) {
  if (!out || !m) return nullptr;
  const float(&a)[4][4] = m->m;
  const Minors n = minors(a);
  const R det = determinant(n);
  if (pDet) store1(pDet, det);
  // The unit flushes denormals to zero and has no infinity: a determinant below the
  // smallest normal number, or not finite, has no usable reciprocal.
  const uint32_t magnitude = lane0Bits(det) & 0x7FFFFFFFu;
  if (magnitude < 0x00800000u || magnitude >= 0x7F800000u) {
    femms();
    return nullptr;
  }
  storeInverse(out, m, n.s, n.c, rcp(det));
  femms();
  return out;
}

MXMATRIX* MXMatrixTranslation(MXMATRIX* out, float x, float y, float z) {
  if (!out) return nullptr;
  M4 m = identity();
  m.r[3] = {unpackLo(load1(&x), load1(&y)), unpackLo(load1(&z), MX3D_K(1.0f))};
  storeMatrix(out, m);
  femms();
  return out;
}

MXMATRIX* MXMatrixScaling(MXMATRIX* out, float sx, float sy, float sz) {
  if (!out) return nullptr;
  const R zero = splatBits(0);
  const M4 m = {{{load1(&sx), zero},
                 {unpackLo(zero, load1(&sy)), zero},
                 {zero, load1(&sz)},
                 {zero, pairBits(0, bitsOf(1.0f))}}};
  storeMatrix(out, m);
  femms();
  return out;
}

namespace {

// A rotation in the plane of the axes i < j: the cosine at (i, i) and (j, j), the sine at
// (i, j) and its negation at (j, i), or the other way round when the sine is not above.
MX3D_INLINE MXMATRIX* planeRotation(MXMATRIX* out, float angle, int i, int j, bool sineAbove) {
  if (!out) return nullptr;
  const R sc = sincos(load1(&angle));
  const R sn = sineAbove ? sc : bitXor(sc, splatBits(0x80000000u));
  const R c = splatHi(sc), up = sn, down = -sn;
  M4 m = identity();
  auto put = [&](int r, int col, R v) MX3D_LAMBDA {
    V4& rw = m.r[r];
    R& half = col < 2 ? rw.xy : rw.zw;
    half = (col & 1) ? unpackLo(half, v) : unpackLo(v, splatHi(half));
  };
  put(i, i, c);
  put(i, j, up);
  put(j, i, down);
  put(j, j, c);
  storeMatrix(out, m);
  femms();
  return out;
}

}  // namespace

MXMATRIX* MXMatrixRotationX(MXMATRIX* out, float angle) { return planeRotation(out, angle, 1, 2, true); }
MXMATRIX* MXMatrixRotationY(MXMATRIX* out, float angle) { return planeRotation(out, angle, 0, 2, false); }
MXMATRIX* MXMatrixRotationZ(MXMATRIX* out, float angle) { return planeRotation(out, angle, 0, 1, true); }

}  // namespace mx::amd3DNow
