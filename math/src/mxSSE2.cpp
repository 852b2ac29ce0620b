// The SSE2 set: packed single-precision routines, SSE and SSE2 instructions only. Where
// the SSE routine is as good, the set holds that one.
#include "mxSSE.h"
#include "mxTable.h"

#define MX_SET_NS sse2
#include "mxPackedRoutines.inl"

namespace mx::sse2 {

namespace {

// sin and cos of one angle, in lanes 0 and 1.
__m128 sinCosOf(float angle) {
  __m128 s, c;
  sinCos(_mm_set1_ps(angle), &s, &c);
  return _mm_unpacklo_ps(s, c);
}

}  // namespace

MXMATRIX* MXMatrixRotationX(MXMATRIX* out, float angle) {
  if (!out) return nullptr;
  const __m128 sc = sinCosOf(angle);  // s c s c
  const __m128 row1 = _mm_and_ps(_mm_shuffle_ps(sc, sc, _MM_SHUFFLE(0, 0, 1, 1)), laneMask(false, true, true, false));
  const __m128 row2 = _mm_xor_ps(_mm_and_ps(_mm_shuffle_ps(sc, sc, _MM_SHUFFLE(0, 1, 0, 0)), laneMask(false, true, true, false)),
                                 signMask(false, true, false, false));
  storeRows(out, {_mm_setr_ps(1, 0, 0, 0), row1, row2, _mm_setr_ps(0, 0, 0, 1)});
  return out;
}

MXMATRIX* MXMatrixRotationY(MXMATRIX* out, float angle) {
  if (!out) return nullptr;
  const __m128 sc = sinCosOf(angle);
  const __m128 row0 = _mm_xor_ps(_mm_and_ps(_mm_shuffle_ps(sc, sc, _MM_SHUFFLE(0, 0, 0, 1)), laneMask(true, false, true, false)),
                                 signMask(false, false, true, false));
  const __m128 row2 = _mm_and_ps(_mm_shuffle_ps(sc, sc, _MM_SHUFFLE(0, 1, 0, 0)), laneMask(true, false, true, false));
  storeRows(out, {row0, _mm_setr_ps(0, 1, 0, 0), row2, _mm_setr_ps(0, 0, 0, 1)});
  return out;
}

}  // namespace mx::sse2

namespace mx {

void installSSE2Set() {
  sse::installShared();
  install<kSlot_MXVec3Transform>(&sse2::MXVec3Transform);
  install<kSlot_MXVec4Transform>(&sse2::MXVec4Transform);
  install<kSlot_MXMatrixMultiply>(&sse2::MXMatrixMultiply);
  install<kSlot_MXMatrixMultiplyTranspose>(&sse2::MXMatrixMultiplyTranspose);
  install<kSlot_MXVec3TransformNormal>(&sse2::MXVec3TransformNormal);
  install<kSlot_MXVec3Normalize>(&sse2::MXVec3Normalize);
  install<kSlot_MXVec3TransformCoord>(&sse2::MXVec3TransformCoord);
  install<kSlot_MXMatrixDeterminant>(&sse2::MXMatrixDeterminant);
  install<kSlot_MXPlaneFromPoints>(&sse2::MXPlaneFromPoints);
  install<kSlot_MXVec4Cross>(&sse2::MXVec4Cross);
  install<kSlot_MXMatrixInverse>(&sse2::MXMatrixInverse);
  install<kSlot_MXPlaneNormalize>(&sse2::MXPlaneNormalize);
  install<kSlot_MXQuaternionRotationMatrix>(&sse2::MXQuaternionRotationMatrix);
  install<kSlot_MXQuaternionRotationYawPitchRoll>(&sse2::MXQuaternionRotationYawPitchRoll);
  install<kSlot_MXMatrixShadow>(&sse2::MXMatrixShadow);
  install<kSlot_MXMatrixReflect>(&sse2::MXMatrixReflect);
  install<kSlot_MXMatrixRotationX>(&sse2::MXMatrixRotationX);
  install<kSlot_MXMatrixRotationY>(&sse2::MXMatrixRotationY);
}

}  // namespace mx
