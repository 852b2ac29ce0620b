// The SSE set: packed single-precision routines, SSE instructions only.
#include "mxSSE.h"

#include "mxTable.h"

#define MX_SET_NS sse
#include "mxPackedRoutines.inl"

namespace mx::sse {

namespace {

template <typename V, int N>
V* hermite(V* out, const V* v1, const V* t1, const V* v2, const V* t2, float s) {
  if (!out || !v1 || !t1 || !v2 || !t2) return nullptr;
  const float s2 = s * s, s3 = s2 * s;
  const __m128 h1 = _mm_set1_ps(2 * s3 - 3 * s2 + 1), h2 = _mm_set1_ps(s3 - 2 * s2 + s);
  const __m128 h3 = _mm_set1_ps(-2 * s3 + 3 * s2), h4 = _mm_set1_ps(s3 - s2);
  storeN<N>(out, add(add(mul(h1, loadN<N>(v1)), mul(h2, loadN<N>(t1))),
                     add(mul(h3, loadN<N>(v2)), mul(h4, loadN<N>(t2)))));
  return out;
}

template <typename V, int N>
V* catmullRom(V* out, const V* v0, const V* v1, const V* v2, const V* v3, float s) {
  if (!out || !v0 || !v1 || !v2 || !v3) return nullptr;
  const float s2 = s * s, s3 = s2 * s;
  const __m128 k0 = _mm_set1_ps(0.5f * (-s3 + 2 * s2 - s)), k1 = _mm_set1_ps(0.5f * (3 * s3 - 5 * s2 + 2));
  const __m128 k2 = _mm_set1_ps(0.5f * (-3 * s3 + 4 * s2 + s)), k3 = _mm_set1_ps(0.5f * (s3 - s2));
  storeN<N>(out, add(add(mul(k0, loadN<N>(v0)), mul(k1, loadN<N>(v1))),
                     add(mul(k2, loadN<N>(v2)), mul(k3, loadN<N>(v3)))));
  return out;
}

template <typename V, int N>
V* baryCentric(V* out, const V* v1, const V* v2, const V* v3, float f, float g) {
  if (!out || !v1 || !v2 || !v3) return nullptr;
  const __m128 a = loadN<N>(v1);
  storeN<N>(out, add(a, add(mul(_mm_set1_ps(f), sub(loadN<N>(v2), a)), mul(_mm_set1_ps(g), sub(loadN<N>(v3), a)))));
  return out;
}

// Unit 4-vector; (nearly) zero length gives zeros.
__m128 normalize4(__m128 v) {
  const __m128 sq = sum4(mul(v, v));
  const __m128 big = _mm_cmpgt_ps(sq, _mm_set1_ps(0x1p-126f));
  return _mm_and_ps(mul(v, reciprocalSqrt(sq)), big);
}

}  // namespace

MXVECTOR4* MXVec2Transform(MXVECTOR4* out, const MXVECTOR2* v, const MXMATRIX* m) {
  if (!out || !v || !m) return nullptr;
  const Rows r = loadRows(m);
  const __m128 p = load2(v);
  store4(out, add(add(mul(splat<0>(p), r.r0), mul(splat<1>(p), r.r1)), r.r3));
  return checkedMatrix(out, m, "MXVec2Transform");
}

MXVECTOR2* MXVec2TransformNormal(MXVECTOR2* out, const MXVECTOR2* v, const MXMATRIX* m) {
  if (!out || !v || !m) return nullptr;
  const Rows r = loadRows(m);
  const __m128 p = load2(v);
  store2(out, add(mul(splat<0>(p), r.r0), mul(splat<1>(p), r.r1)));
  return checkedMatrix(out, m, "MXVec2TransformNormal");
}

MXVECTOR2* MXVec2TransformCoord(MXVECTOR2* out, const MXVECTOR2* v, const MXMATRIX* m) {
  if (!out || !v || !m) return nullptr;
  const Rows r = loadRows(m);
  const __m128 p = load2(v);
  const __m128 h = add(add(mul(splat<0>(p), r.r0), mul(splat<1>(p), r.r1)), r.r3);
  store2(out, mul(h, reciprocal(splat<3>(h))));
  return out;
}

MXVECTOR4* MXVec4Normalize(MXVECTOR4* out, const MXVECTOR4* v) {
  if (!out || !v) return nullptr;
  store4(out, normalize4(load4(v)));
  return out;
}

MXQUATERNION* MXQuaternionNormalize(MXQUATERNION* out, const MXQUATERNION* q) {
  if (!out || !q) return nullptr;
  store4(out, normalize4(load4(q)));
  return out;
}

MXQUATERNION* MXQuaternionMultiply(MXQUATERNION* out, const MXQUATERNION* q1, const MXQUATERNION* q2) {
  if (!out || !q1 || !q2) return nullptr;
  // The rotation q1 followed by q2 is the Hamilton product q2 * q1.
  const __m128 a = load4(q2), b = load4(q1);
  const __m128 bw = mul(splat<3>(a), b);
  const __m128 bx = _mm_xor_ps(mul(splat<0>(a), _mm_shuffle_ps(b, b, _MM_SHUFFLE(0, 1, 2, 3))), signMask(false, true, false, true));
  const __m128 by = _mm_xor_ps(mul(splat<1>(a), _mm_shuffle_ps(b, b, _MM_SHUFFLE(1, 0, 3, 2))), signMask(false, false, true, true));
  const __m128 bz = _mm_xor_ps(mul(splat<2>(a), _mm_shuffle_ps(b, b, _MM_SHUFFLE(2, 3, 0, 1))), signMask(true, false, false, true));
  store4(out, add(add(bw, bx), add(by, bz)));
  return out;
}

MXVECTOR3* MXPlaneIntersectLine(MXVECTOR3* out, const MXPLANE* pl, const MXVECTOR3* v1, const MXVECTOR3* v2) {
  if (!out || !pl || !v1 || !v2) return nullptr;
  const __m128 p = load4(pl);
  const __m128 a = load3(v1);
  const __m128 d = sub(load3(v2), a);
  const __m128 denom = sum4(mul(p, d));  // the fourth lane of d is 0
  if (_mm_cvtss_f32(denom) == 0.0f) return nullptr;
  // n.a + d with a's fourth lane taken as 1.
  const __m128 num = sum4(mul(p, _mm_or_ps(a, _mm_and_ps(kOne, laneMask(false, false, false, true)))));
  store3(out, sub(a, mul(d, mul(num, reciprocal(denom)))));
  return out;
}

MXQUATERNION* MXQuaternionInverse(MXQUATERNION* out, const MXQUATERNION* q) {
  if (!out || !q) return nullptr;
  const __m128 v = load4(q);
  const __m128 sq = sum4(mul(v, v));
  const __m128 big = _mm_cmpgt_ps(sq, _mm_set1_ps(0x1p-63f));
  store4(out, _mm_and_ps(_mm_xor_ps(mul(v, reciprocal(sq)), signMask(true, true, true, false)), big));
  return out;
}

#include "mxSplineEntries.inl"

void installShared() {
  install<kSlot_MXVec2Transform>(&MXVec2Transform);
  install<kSlot_MXVec2TransformNormal>(&MXVec2TransformNormal);
  install<kSlot_MXVec4Normalize>(&MXVec4Normalize);
  install<kSlot_MXVec2TransformCoord>(&MXVec2TransformCoord);
  install<kSlot_MXVec2Hermite>(&MXVec2Hermite);
  install<kSlot_MXQuaternionMultiply>(&MXQuaternionMultiply);
  install<kSlot_MXQuaternionNormalize>(&MXQuaternionNormalize);
  install<kSlot_MXPlaneIntersectLine>(&MXPlaneIntersectLine);
  install<kSlot_MXVec2CatmullRom>(&MXVec2CatmullRom);
  install<kSlot_MXVec2BaryCentric>(&MXVec2BaryCentric);
  install<kSlot_MXVec3Hermite>(&MXVec3Hermite);
  install<kSlot_MXVec3CatmullRom>(&MXVec3CatmullRom);
  install<kSlot_MXVec3BaryCentric>(&MXVec3BaryCentric);
  install<kSlot_MXVec4Hermite>(&MXVec4Hermite);
  install<kSlot_MXVec4CatmullRom>(&MXVec4CatmullRom);
  install<kSlot_MXVec4BaryCentric>(&MXVec4BaryCentric);
}

}  // namespace mx::sse

namespace mx {

void installSSESet() {
  sse::installShared();
  install<kSlot_MXVec3Transform>(&sse::MXVec3Transform);
  install<kSlot_MXVec4Transform>(&sse::MXVec4Transform);
  install<kSlot_MXMatrixMultiply>(&sse::MXMatrixMultiply);
  install<kSlot_MXMatrixMultiplyTranspose>(&sse::MXMatrixMultiplyTranspose);
  install<kSlot_MXVec3TransformNormal>(&sse::MXVec3TransformNormal);
  install<kSlot_MXVec3Normalize>(&sse::MXVec3Normalize);
  install<kSlot_MXVec3TransformCoord>(&sse::MXVec3TransformCoord);
  install<kSlot_MXMatrixDeterminant>(&sse::MXMatrixDeterminant);
  install<kSlot_MXPlaneFromPoints>(&sse::MXPlaneFromPoints);
  install<kSlot_MXVec4Cross>(&sse::MXVec4Cross);
  install<kSlot_MXMatrixInverse>(&sse::MXMatrixInverse);
  install<kSlot_MXPlaneNormalize>(&sse::MXPlaneNormalize);
  install<kSlot_MXQuaternionRotationMatrix>(&sse::MXQuaternionRotationMatrix);
  install<kSlot_MXQuaternionRotationYawPitchRoll>(&sse::MXQuaternionRotationYawPitchRoll);
  install<kSlot_MXMatrixShadow>(&sse::MXMatrixShadow);
  install<kSlot_MXMatrixReflect>(&sse::MXMatrixReflect);
  install<kSlot_MXQuaternionInverse>(&sse::MXQuaternionInverse);
}

}  // namespace mx
