// The routines that the SSE and SSE2 sets each hold in a copy of their own. Included by
// each set's file with MX_SET_NS naming the set's namespace, and compiled there with
// that set's instructions only.
#include "mxPacked.h"

namespace mx::MX_SET_NS {

using namespace mx::packed;

MXVECTOR4* MXVec3Transform(MXVECTOR4* out, const MXVECTOR3* v, const MXMATRIX* m) {
  if (!out || !v || !m) return nullptr;
  const Rows r = loadRows(m);
  const __m128 p = load3(v);
  store4(out, add(add(mul(splat<0>(p), r.r0), mul(splat<1>(p), r.r1)), add(mul(splat<2>(p), r.r2), r.r3)));
  return checkedMatrix(out, m, "MXVec3Transform");
}

MXVECTOR4* MXVec4Transform(MXVECTOR4* out, const MXVECTOR4* v, const MXMATRIX* m) {
  if (!out || !v || !m) return nullptr;
  store4(out, rowTimes(load4(v), loadRows(m)));
  return checkedMatrix(out, m, "MXVec4Transform");
}

MXMATRIX* MXMatrixMultiply(MXMATRIX* out, const MXMATRIX* m1, const MXMATRIX* m2) {
  if (!out || !m1 || !m2) return nullptr;
  // m2 is read whole first, so out may be m2. Row r of out needs only row r of m1, and each
  // row of m1 is read before that row of out is written, so out may be m1 too. Taking m1 a
  // row at a time keeps the sixteen splats from spilling registers.
  const Rows b = loadRows(m2);
  const float* a = &m1->m[0][0];
  float* o = &out->m[0][0];
  store4(o, rowTimes(load4(a), b));
  store4(o + 4, rowTimes(load4(a + 4), b));
  store4(o + 8, rowTimes(load4(a + 8), b));
  store4(o + 12, rowTimes(load4(a + 12), b));
  return checkedMatrices(out, m1, m2, "MXMatrixMultiply");
}

MXMATRIX* MXMatrixMultiplyTranspose(MXMATRIX* out, const MXMATRIX* m1, const MXMATRIX* m2) {
  if (!out || !m1 || !m2) return nullptr;
  const Rows b = loadRows(m2);
  const Rows a = loadRows(m1);
  Rows p = {rowTimes(a.r0, b), rowTimes(a.r1, b), rowTimes(a.r2, b), rowTimes(a.r3, b)};
  _MM_TRANSPOSE4_PS(p.r0, p.r1, p.r2, p.r3);
  storeRows(out, p);
  return checkedMatrices(out, m1, m2, "MXMatrixMultiplyTranspose");
}

MXVECTOR3* MXVec3TransformNormal(MXVECTOR3* out, const MXVECTOR3* v, const MXMATRIX* m) {
  if (!out || !v || !m) return nullptr;
  const Rows r = loadRows(m);
  const __m128 p = load3(v);
  store3(out, add(add(mul(splat<0>(p), r.r0), mul(splat<1>(p), r.r1)), mul(splat<2>(p), r.r2)));
  return checkedMatrix(out, m, "MXVec3TransformNormal");
}

MXVECTOR3* MXVec3Normalize(MXVECTOR3* out, const MXVECTOR3* v) {
  if (!out || !v) return nullptr;
  const __m128 p = load3(v);
  const __m128 sq = sum4(mul(p, p));
  // A zero vector gives zeros rather than 0 * infinity.
  const __m128 nonZero = _mm_cmpgt_ps(sq, _mm_setzero_ps());
  store3(out, _mm_and_ps(mul(p, reciprocalSqrt(sq)), nonZero));
  return out;
}

MXVECTOR3* MXVec3TransformCoord(MXVECTOR3* out, const MXVECTOR3* v, const MXMATRIX* m) {
  if (!out || !v || !m) return nullptr;
  const Rows r = loadRows(m);
  const __m128 p = load3(v);
  const __m128 h = add(add(mul(splat<0>(p), r.r0), mul(splat<1>(p), r.r1)), add(mul(splat<2>(p), r.r2), r.r3));
  store3(out, mul(h, reciprocal(splat<3>(h))));
  return out;
}

namespace {

// The adjugate (transposed cofactors) of a matrix, row by row, from the 2x2 determinants
// of its upper and lower row pairs.
Rows adjugate(const Rows& a) {
  const __m128 lo01 = sub(mul(_mm_shuffle_ps(a.r0, a.r0, _MM_SHUFFLE(1, 0, 0, 0)),
                              _mm_shuffle_ps(a.r1, a.r1, _MM_SHUFFLE(2, 3, 2, 1))),
                          mul(_mm_shuffle_ps(a.r1, a.r1, _MM_SHUFFLE(1, 0, 0, 0)),
                              _mm_shuffle_ps(a.r0, a.r0, _MM_SHUFFLE(2, 3, 2, 1))));  // s0 s1 s2 s3
  const __m128 lo23 = sub(mul(_mm_shuffle_ps(a.r2, a.r2, _MM_SHUFFLE(1, 0, 0, 0)),
                              _mm_shuffle_ps(a.r3, a.r3, _MM_SHUFFLE(2, 3, 2, 1))),
                          mul(_mm_shuffle_ps(a.r3, a.r3, _MM_SHUFFLE(1, 0, 0, 0)),
                              _mm_shuffle_ps(a.r2, a.r2, _MM_SHUFFLE(2, 3, 2, 1))));  // c0 c1 c2 c3
  const __m128 hi = sub(mul(_mm_shuffle_ps(a.r0, a.r2, _MM_SHUFFLE(2, 1, 2, 1)),
                            _mm_shuffle_ps(a.r1, a.r3, _MM_SHUFFLE(3, 3, 3, 3))),
                        mul(_mm_shuffle_ps(a.r1, a.r3, _MM_SHUFFLE(2, 1, 2, 1)),
                            _mm_shuffle_ps(a.r0, a.r2, _MM_SHUFFLE(3, 3, 3, 3))));  // s4 s5 c4 c5
  const __m128 p5 = _mm_shuffle_ps(hi, hi, _MM_SHUFFLE(1, 1, 3, 3));                   // c5 c5 s5 s5
  const __m128 p4 = _mm_shuffle_ps(hi, hi, _MM_SHUFFLE(0, 0, 2, 2));                   // c4 c4 s4 s4
  const __m128 p3 = _mm_shuffle_ps(lo23, lo01, _MM_SHUFFLE(3, 3, 3, 3));               // c3 c3 s3 s3
  const __m128 p2 = _mm_shuffle_ps(lo23, lo01, _MM_SHUFFLE(2, 2, 2, 2));
  const __m128 p1 = _mm_shuffle_ps(lo23, lo01, _MM_SHUFFLE(1, 1, 1, 1));
  const __m128 p0 = _mm_shuffle_ps(lo23, lo01, _MM_SHUFFLE(0, 0, 0, 0));
  const __m128 t10 = _mm_unpacklo_ps(a.r1, a.r0), t10h = _mm_unpackhi_ps(a.r1, a.r0);
  const __m128 t32 = _mm_unpacklo_ps(a.r3, a.r2), t32h = _mm_unpackhi_ps(a.r3, a.r2);
  const __m128 x0 = _mm_movelh_ps(t10, t32);    // a10 a00 a30 a20
  const __m128 x1 = _mm_movehl_ps(t32, t10);    // a11 a01 a31 a21
  const __m128 x2 = _mm_movelh_ps(t10h, t32h);  // a12 a02 a32 a22
  const __m128 x3 = _mm_movehl_ps(t32h, t10h);  // a13 a03 a33 a23
  const __m128 even = signMask(false, true, false, true), odd = signMask(true, false, true, false);
  return {
      _mm_xor_ps(add(sub(mul(x1, p5), mul(x2, p4)), mul(x3, p3)), even),
      _mm_xor_ps(add(sub(mul(x0, p5), mul(x2, p2)), mul(x3, p1)), odd),
      _mm_xor_ps(add(sub(mul(x0, p4), mul(x1, p2)), mul(x3, p0)), even),
      _mm_xor_ps(add(sub(mul(x0, p3), mul(x1, p1)), mul(x2, p0)), odd),
  };
}

// Row 0 of the adjugate times column 0 of the matrix, in every lane.
__m128 determinantOf(const Rows& a, const Rows& adj) {
  const __m128 t10 = _mm_unpacklo_ps(a.r0, a.r1);  // a00 a10 a01 a11
  const __m128 t32 = _mm_unpacklo_ps(a.r2, a.r3);  // a20 a30 a21 a31
  return sum4(mul(adj.r0, _mm_movelh_ps(t10, t32)));
}

}  // namespace

float MXMatrixDeterminant(const MXMATRIX* m) {
  if (!m) return 0.0f;
  const Rows a = loadRows(m);
  return _mm_cvtss_f32(determinantOf(a, adjugate(a)));
}

MXMATRIX* MXMatrixInverse(MXMATRIX* out, float* pDet, const MXMATRIX* m) {
  if (!out || !m) return nullptr;
  const Rows a = loadRows(m);
  const Rows adj = adjugate(a);
  const __m128 det = determinantOf(a, adj);
  if (pDet) _mm_store_ss(pDet, det);
  const float inv = 1.0f / _mm_cvtss_f32(det);
  if (inv - inv != 0.0f) return nullptr;  // not finite
  const __m128 k = _mm_set1_ps(inv);
  storeRows(out, {mul(adj.r0, k), mul(adj.r1, k), mul(adj.r2, k), mul(adj.r3, k)});
  return out;
}

MXPLANE* MXPlaneFromPoints(MXPLANE* out, const MXVECTOR3* v1, const MXVECTOR3* v2, const MXVECTOR3* v3) {
  if (!out || !v1 || !v2 || !v3) return nullptr;
  const __m128 p = load3(v1);
  const __m128 a = sub(load3(v2), p), b = sub(load3(v3), p);
  const __m128 cross = sub(mul(_mm_shuffle_ps(a, a, _MM_SHUFFLE(3, 0, 2, 1)), _mm_shuffle_ps(b, b, _MM_SHUFFLE(3, 1, 0, 2))),
                           mul(_mm_shuffle_ps(a, a, _MM_SHUFFLE(3, 1, 0, 2)), _mm_shuffle_ps(b, b, _MM_SHUFFLE(3, 0, 2, 1))));
  MXVECTOR3 c, n;
  store3(&c, cross);
  ::MXVec3Normalize(&n, &c);
  const __m128 nv = load3(&n);
  const __m128 d = _mm_xor_ps(sum4(mul(nv, p)), kSignBit);
  // (nx, ny, nz, -p.n): the fourth lane of nv is 0.
  store4(out, add(nv, _mm_and_ps(d, laneMask(false, false, false, true))));
  return out;
}

MXVECTOR4* MXVec4Cross(MXVECTOR4* out, const MXVECTOR4* v1, const MXVECTOR4* v2, const MXVECTOR4* v3) {
  if (!out || !v1 || !v2 || !v3) return nullptr;
  const __m128 a = load4(v1), b = load4(v2), c = load4(v3);
  // The six 2x2 determinants of b and c: p = (xy, xz, xw, yz), q = (yw, zw, yw, zw).
  const __m128 p = sub(mul(_mm_shuffle_ps(b, b, _MM_SHUFFLE(1, 0, 0, 0)), _mm_shuffle_ps(c, c, _MM_SHUFFLE(2, 3, 2, 1))),
                       mul(_mm_shuffle_ps(b, b, _MM_SHUFFLE(2, 3, 2, 1)), _mm_shuffle_ps(c, c, _MM_SHUFFLE(1, 0, 0, 0))));
  const __m128 q = sub(mul(_mm_shuffle_ps(b, b, _MM_SHUFFLE(2, 1, 2, 1)), _mm_shuffle_ps(c, c, _MM_SHUFFLE(3, 3, 3, 3))),
                       mul(_mm_shuffle_ps(b, b, _MM_SHUFFLE(3, 3, 3, 3)), _mm_shuffle_ps(c, c, _MM_SHUFFLE(2, 1, 2, 1))));
  const __m128 u = _mm_shuffle_ps(q, p, _MM_SHUFFLE(3, 3, 0, 1));  // zw yw yz yz
  const __m128 k1 = _mm_shuffle_ps(u, u, _MM_SHUFFLE(2, 1, 0, 0));  // zw zw yw yz
  const __m128 v = _mm_shuffle_ps(q, p, _MM_SHUFFLE(1, 2, 0, 0));  // yw yw xw xz
  const __m128 k2 = _mm_shuffle_ps(v, v, _MM_SHUFFLE(3, 2, 2, 0));  // yw xw xw xz
  const __m128 k3 = _mm_shuffle_ps(p, p, _MM_SHUFFLE(0, 0, 1, 3));  // yz xz xy xy
  const __m128 r = add(sub(mul(_mm_shuffle_ps(a, a, _MM_SHUFFLE(0, 0, 0, 1)), k1),
                           mul(_mm_shuffle_ps(a, a, _MM_SHUFFLE(1, 1, 2, 2)), k2)),
                       mul(_mm_shuffle_ps(a, a, _MM_SHUFFLE(2, 3, 3, 3)), k3));
  store4(out, _mm_xor_ps(r, signMask(false, true, false, true)));
  return out;
}

MXPLANE* MXPlaneNormalize(MXPLANE* out, const MXPLANE* pl) {
  if (!out || !pl) return nullptr;
  const __m128 p = load4(pl);
  const __m128 n = _mm_and_ps(p, laneMask(true, true, true, false));
  const __m128 sq = sum4(mul(n, n));
  const __m128 nonZero = _mm_cmpgt_ps(sq, _mm_setzero_ps());
  store4(out, _mm_and_ps(mul(p, reciprocalSqrt(sq)), nonZero));
  return out;
}

MXQUATERNION* MXQuaternionRotationMatrix(MXQUATERNION* out, const MXMATRIX* m) {
  if (!out || !m) return nullptr;
  const float a00 = m->m[0][0], a11 = m->m[1][1], a22 = m->m[2][2];
  // The largest of 4w^2, 4x^2, 4y^2, 4z^2 (each minus 1) names the component computed
  // from the square root; the others follow from sums and differences of the off-diagonal.
  const __m128 sums = _mm_setr_ps(m->m[1][2] + m->m[2][1], m->m[0][2] + m->m[2][0], m->m[0][1] + m->m[1][0], 0.0f);
  const __m128 diffs = _mm_setr_ps(m->m[1][2] - m->m[2][1], m->m[2][0] - m->m[0][2], m->m[0][1] - m->m[1][0], 0.0f);
  const float trace = a00 + a11 + a22;
  float t;
  __m128 q;  // each component times 4 * (the chosen component)
  if (trace > 0) {
    t = trace + 1.0f;
    q = _mm_setr_ps(_mm_cvtss_f32(diffs), _mm_cvtss_f32(_mm_shuffle_ps(diffs, diffs, 1)),
                    _mm_cvtss_f32(_mm_shuffle_ps(diffs, diffs, 2)), t);
  } else if (a00 >= a11 && a00 >= a22) {
    t = 1.0f + a00 - a11 - a22;
    q = _mm_setr_ps(t, _mm_cvtss_f32(_mm_shuffle_ps(sums, sums, 2)), _mm_cvtss_f32(_mm_shuffle_ps(sums, sums, 1)),
                    _mm_cvtss_f32(diffs));
  } else if (a11 >= a22) {
    t = 1.0f + a11 - a00 - a22;
    q = _mm_setr_ps(_mm_cvtss_f32(_mm_shuffle_ps(sums, sums, 2)), t, _mm_cvtss_f32(sums),
                    _mm_cvtss_f32(_mm_shuffle_ps(diffs, diffs, 1)));
  } else {
    t = 1.0f + a22 - a00 - a11;
    q = _mm_setr_ps(_mm_cvtss_f32(_mm_shuffle_ps(sums, sums, 1)), _mm_cvtss_f32(sums), t,
                    _mm_cvtss_f32(_mm_shuffle_ps(diffs, diffs, 2)));
  }
  // Each lane divided by 4 * sqrt(t / 4) = 2 * sqrt(t).
  store4(out, mul(q, mul(kHalf, reciprocalSqrt(_mm_set1_ps(t)))));
  return out;
}

MXQUATERNION* MXQuaternionRotationYawPitchRoll(MXQUATERNION* out, float yaw, float pitch, float roll) {
  if (!out) return nullptr;
  __m128 s, c;
  // Roll again in the unused lane: a zero there costs GCC a trip through memory.
  sinCos(mul(_mm_setr_ps(yaw, pitch, roll, roll), kHalf), &s, &c);
  const __m128 lo = _mm_unpacklo_ps(c, s);  // cy sy cp sp
  const __m128 hi = _mm_unpackhi_ps(c, s);  // cr sr
  const __m128 t1 = mul(mul(_mm_shuffle_ps(hi, hi, _MM_SHUFFLE(0, 1, 0, 0)), _mm_shuffle_ps(lo, lo, _MM_SHUFFLE(0, 0, 1, 0))),
                        _mm_shuffle_ps(lo, lo, _MM_SHUFFLE(2, 2, 2, 3)));
  const __m128 t2 = mul(mul(_mm_shuffle_ps(hi, hi, _MM_SHUFFLE(1, 0, 1, 1)), _mm_shuffle_ps(lo, lo, _MM_SHUFFLE(1, 1, 0, 1))),
                        _mm_shuffle_ps(lo, lo, _MM_SHUFFLE(3, 3, 3, 2)));
  store4(out, add(t1, _mm_xor_ps(t2, signMask(false, true, true, false))));
  return out;
}

MXMATRIX* MXMatrixShadow(MXMATRIX* out, const MXVECTOR4* light, const MXPLANE* plane) {
  if (!out || !light || !plane) return nullptr;
  MXPLANE n;
  ::MXPlaneNormalize(&n, plane);
  const __m128 p = load4(&n);
  const __m128 l = load4(light);
  const __m128 dot = sum4(mul(p, l));
  const Rows diag = {_mm_and_ps(dot, laneMask(true, false, false, false)), _mm_and_ps(dot, laneMask(false, true, false, false)),
                     _mm_and_ps(dot, laneMask(false, false, true, false)), _mm_and_ps(dot, laneMask(false, false, false, true))};
  storeRows(out, {sub(diag.r0, mul(splat<0>(p), l)), sub(diag.r1, mul(splat<1>(p), l)),
                  sub(diag.r2, mul(splat<2>(p), l)), sub(diag.r3, mul(splat<3>(p), l))});
  return out;
}

MXMATRIX* MXMatrixReflect(MXMATRIX* out, const MXPLANE* plane) {
  if (!out || !plane) return nullptr;
  MXPLANE n;
  ::MXPlaneNormalize(&n, plane);
  const __m128 p = load4(&n);
  const __m128 k = mul(_mm_set1_ps(-2.0f), _mm_and_ps(p, laneMask(true, true, true, false)));
  storeRows(out, {add(_mm_setr_ps(1, 0, 0, 0), mul(splat<0>(p), k)), add(_mm_setr_ps(0, 1, 0, 0), mul(splat<1>(p), k)),
                  add(_mm_setr_ps(0, 0, 1, 0), mul(splat<2>(p), k)), add(_mm_setr_ps(0, 0, 0, 1), mul(splat<3>(p), k))});
  return out;
}

}  // namespace mx::MX_SET_NS
