// 3DNow routines of the rotation, shadow, reflection and composed transforms.
#include "mx3DNow.h"
#include "mx3DNowCompose.h"
#include "mx3DNowKernels.h"
#include "mx3DNowMath.h"

namespace mx::amd3DNow {

using namespace mx::amd;

MXMATRIX* MXMatrixRotationQuaternion(MXMATRIX* out, const MXQUATERNION* q) {
  if (!out || !q) return nullptr;
  storeMatrix(out, rotationOfQuaternion(load4(&q->x)));
  femms();
  return out;
}

MXMATRIX* MXMatrixRotationYawPitchRoll(MXMATRIX* out, float yaw, float pitch, float roll) {
  if (!out) return nullptr;
  storeMatrix(out, rotationOfQuaternion(quaternionYawPitchRoll(&yaw, &pitch, &roll)));
  femms();
  return out;
}

MXMATRIX* MXMatrixRotationAxis(MXMATRIX* out, const MXVECTOR3* axis, float angle) {
  if (!out || !axis) return nullptr;
  MXVECTOR3 n;
  ::MXVec3Normalize(&n, axis);
  const V3 v = load3(&n);
  const R sc = sincos(load1(&angle));
  const R c = splatHi(sc), s = splatLo(sc), t = MX3D_K(1.0f) - c, zero = splatBits(0);
  const R x = splatLo(v.xy), y = splatHi(v.xy), z = splatLo(v.z);
  const R txy = t * x * y, txz = t * x * z, tyz = t * y * z;
  const M4 m = {{gather(t * x * x + c, txy + s * z, txz - s * y, zero),
                 gather(txy - s * z, t * y * y + c, tyz + s * x, zero),
                 gather(txz + s * y, tyz - s * x, t * z * z + c, zero),
                 {zero, pairBits(0, bitsOf(1.0f))}}};
  storeMatrix(out, m);
  femms();
  return out;
}

MXMATRIX* MXMatrixShadow(MXMATRIX* out, const MXVECTOR4* light, const MXPLANE* plane) {
  if (!out || !light || !plane) return nullptr;
  MXPLANE p;
  ::MXPlaneNormalize(&p, plane);
  const V4 pl = load4(&p.a), l = load4(&light->x);
  const R d = dot4(pl.xy, pl.zw, l.xy, l.zw), zero = splatBits(0);
  const R pr[4] = {splatLo(pl.xy), splatHi(pl.xy), splatLo(pl.zw), splatHi(pl.zw)};
  // Row r: the dot product on the diagonal, minus p[r] times the light.
  const R dLo = unpackLo(d, zero), dHi = unpackLo(zero, d);
  const V4 diag[4] = {{dLo, zero}, {dHi, zero}, {zero, dLo}, {zero, dHi}};
  M4 m;
  for (int r = 0; r < 4; ++r) m.r[r] = diag[r] - pr[r] * l;
  storeMatrix(out, m);
  femms();
  return out;
}

MXMATRIX* MXMatrixReflect(MXMATRIX* out, const MXPLANE* plane) {
  if (!out || !plane) return nullptr;
  MXPLANE p;
  ::MXPlaneNormalize(&p, plane);
  const V4 pl = load4(&p.a);
  // The normal (a, b, c, 0) and -2 times each of a, b, c, d.
  const V4 n = {pl.xy, bitAnd(pl.zw, pairBits(0xFFFFFFFFu, 0))};
  const R m2 = MX3D_K(-2.0f);
  const R k[4] = {m2 * splatLo(pl.xy), m2 * splatHi(pl.xy), m2 * splatLo(pl.zw), m2 * splatHi(pl.zw)};
  const M4 id = identity();
  M4 m;
  for (int r = 0; r < 4; ++r) m.r[r] = id.r[r] + k[r] * n;
  storeMatrix(out, m);
  femms();
  return out;
}

MXMATRIX* MXMatrixTransformation(MXMATRIX* out, const MXVECTOR3* scalingCenter, const MXQUATERNION* scalingRotation,
                                 const MXVECTOR3* scaling, const MXVECTOR3* rotationCenter,
                                 const MXQUATERNION* rotation, const MXVECTOR3* translation) {
  return composeTransformation(out, scalingCenter, scalingRotation, scaling, rotationCenter, rotation, translation,
                               [](MXMATRIX* dst, const MXQUATERNION* q) MX3D_LAMBDA { ::MXMatrixRotationQuaternion(dst, q); });
}

MXMATRIX* MXMatrixAffineTransformation(MXMATRIX* out, float scaling, const MXVECTOR3* rotationCenter,
                                       const MXQUATERNION* rotation, const MXVECTOR3* translation) {
  if (!out) return nullptr;
  MXMATRIX m, step;
  ::MXMatrixScaling(&m, scaling, scaling, scaling);
  if (rotation) {
    storeTranslation(&step, rotationCenter, true);
    ::MXMatrixMultiply(&m, &m, &step);
    ::MXMatrixRotationQuaternion(&step, rotation);
    ::MXMatrixMultiply(&m, &m, &step);
    storeTranslation(&step, rotationCenter, false);
    ::MXMatrixMultiply(&m, &m, &step);
  }
  storeTranslation(&step, translation, false);
  ::MXMatrixMultiply(out, &m, &step);
  return out;
}

}  // namespace mx::amd3DNow
