// 3DNow routines of the vector operations.
#include "mx3DNow.h"
#include "mx3DNowKernels.h"

namespace mx::amd3DNow {

using namespace mx::amd;

namespace {

template <typename V, int N>
MX3D_INLINE V* normalize(V* out, const V* v) {
  if (!out || !v) return nullptr;
  const VN<N> a = loadN<N>(&v->x);
  const R sq = squaredLength(a);
  // A squared length of 0 (or one the unit flushes to 0) has no direction.
  storeN<N>(&out->x, isZero(sq) ? zeros<N>() : scaled(rsqrt(sq), a));
  femms();
  return out;
}

// k1*a + k2*b + k3*c + k4*d, component by component, the weights in both lanes.
template <typename V, int N>
MX3D_INLINE void weighted(V* out, const V* a, const V* b, const V* c, const V* d, R k1, R k2, R k3, R k4) {
  const VN<N> va = loadN<N>(&a->x), vb = loadN<N>(&b->x), vc = loadN<N>(&c->x), vd = loadN<N>(&d->x);
  VN<N> r;
  for (int i = 0; i < (N + 1) / 2; ++i) r.p[i] = k1 * va.p[i] + k2 * vb.p[i] + k3 * vc.p[i] + k4 * vd.p[i];
  storeN<N>(&out->x, r);
}

template <typename V, int N>
MX3D_INLINE V* hermite(V* out, const V* v1, const V* t1, const V* v2, const V* t2, float s) {
  if (!out || !v1 || !t1 || !v2 || !t2) return nullptr;
  const R sd = splatLo(load1(&s)), s2 = sd * sd, s3 = s2 * sd;
  const R two = MX3D_K(2.0f), three = MX3D_K(3.0f);
  weighted<V, N>(out, v1, t1, v2, t2, two * s3 - three * s2 + MX3D_K(1.0f), s3 - two * s2 + sd,
                 three * s2 - two * s3, s3 - s2);
  femms();
  return out;
}

template <typename V, int N>
MX3D_INLINE V* catmullRom(V* out, const V* v0, const V* v1, const V* v2, const V* v3, float s) {
  if (!out || !v0 || !v1 || !v2 || !v3) return nullptr;
  const R sd = splatLo(load1(&s)), s2 = sd * sd, s3 = s2 * sd;
  const R half = MX3D_K(0.5f);
  const R k0 = MX3D_K(2.0f) * s2 - s3 - sd;
  const R k1 = MX3D_K(3.0f) * s3 - MX3D_K(5.0f) * s2 + MX3D_K(2.0f);
  const R k2 = MX3D_K(4.0f) * s2 + sd - MX3D_K(3.0f) * s3;
  const R k3 = s3 - s2;
  weighted<V, N>(out, v0, v1, v2, v3, half * k0, half * k1, half * k2, half * k3);
  femms();
  return out;
}

template <typename V, int N>
MX3D_INLINE V* baryCentric(V* out, const V* v1, const V* v2, const V* v3, float f, float g) {
  if (!out || !v1 || !v2 || !v3) return nullptr;
  const R kf = splatLo(load1(&f)), kg = splatLo(load1(&g));
  const VN<N> a = loadN<N>(&v1->x), b = loadN<N>(&v2->x), c = loadN<N>(&v3->x);
  VN<N> r;
  for (int i = 0; i < (N + 1) / 2; ++i) r.p[i] = a.p[i] + kf * (b.p[i] - a.p[i]) + kg * (c.p[i] - a.p[i]);
  storeN<N>(&out->x, r);
  femms();
  return out;
}

}  // namespace

MXVECTOR4* MXVec2Transform(MXVECTOR4* out, const MXVECTOR2* v, const MXMATRIX* m) {
  if (!out || !v || !m) return nullptr;
  const R xy = load2(&v->x);
  store4(&out->x, scaledRow(splatLo(xy), m, 0) + scaledRow(splatHi(xy), m, 1) + row(m, 3));
  femms();
  return out;
}

MXVECTOR4* MXVec3Transform(MXVECTOR4* out, const MXVECTOR3* v, const MXMATRIX* m) {
  if (!out || !v || !m) return nullptr;
  store4(&out->x, transformPoint(load2(&v->x), load1(&v->z), m));
  femms();
  return out;
}

MXVECTOR4* MXVec4Transform(MXVECTOR4* out, const MXVECTOR4* v, const MXMATRIX* m) {
  if (!out || !v || !m) return nullptr;
  store4(&out->x, transform4(load4(&v->x), m));
  femms();
  return out;
}

MXVECTOR2* MXVec2TransformNormal(MXVECTOR2* out, const MXVECTOR2* v, const MXMATRIX* m) {
  if (!out || !v || !m) return nullptr;
  const R xy = load2(&v->x);
  store2(&out->x, splatLo(xy) * load2(&m->m[0][0]) + splatHi(xy) * load2(&m->m[1][0]));
  femms();
  return out;
}

MXVECTOR3* MXVec3TransformNormal(MXVECTOR3* out, const MXVECTOR3* v, const MXMATRIX* m) {
  if (!out || !v || !m) return nullptr;
  const R xy = load2(&v->x), z = splatLo(load1(&v->z));
  const V4 r = scaledRow(splatLo(xy), m, 0) + scaledRow(splatHi(xy), m, 1) + scaledRow(z, m, 2);
  store2(&out->x, r.xy);
  store1(&out->z, r.zw);
  femms();
  return out;
}

MXVECTOR2* MXVec2TransformCoord(MXVECTOR2* out, const MXVECTOR2* v, const MXMATRIX* m) {
  if (!out || !v || !m) return nullptr;
  const R xy = load2(&v->x);
  const V4 r = scaledRow(splatLo(xy), m, 0) + scaledRow(splatHi(xy), m, 1) + row(m, 3);
  store2(&out->x, r.xy * rcp(splatHi(r.zw)));
  femms();
  return out;
}

MXVECTOR3* MXVec3TransformCoord(MXVECTOR3* out, const MXVECTOR3* v, const MXMATRIX* m) {
  if (!out || !v || !m) return nullptr;
  const V4 r = transformPoint(load2(&v->x), load1(&v->z), m);
  const R k = rcp(splatHi(r.zw));
  store2(&out->x, r.xy * k);
  store1(&out->z, r.zw * k);
  femms();
  return out;
}

MXVECTOR3* MXVec3Normalize(MXVECTOR3* out, const MXVECTOR3* v) { return normalize<MXVECTOR3, 3>(out, v); }
MXVECTOR4* MXVec4Normalize(MXVECTOR4* out, const MXVECTOR4* v) {
  if (!out || !v) return nullptr;
  const VN<4> a = loadN<4>(&v->x);
  const R sq = squaredLength(a);
  // Not above 2^-126: too short to scale.
  storeN<4>(&out->x, gt(sq, MX3D_K(0x1p-126f)) ? scaled(rsqrt(sq), a) : zeros<4>());
  femms();
  return out;
}
MXVECTOR2* MXVec2Normalize(MXVECTOR2* out, const MXVECTOR2* v) { return normalize<MXVECTOR2, 2>(out, v); }

MXVECTOR4* MXVec4Cross(MXVECTOR4* out, const MXVECTOR4* v1, const MXVECTOR4* v2, const MXVECTOR4* v3) {
  if (!out || !v1 || !v2 || !v3) return nullptr;
  const V4 a = load4(&v1->x), b = load4(&v2->x), c = load4(&v3->x);
  const R bx = splatLo(b.xy), by = splatHi(b.xy), bz = splatLo(b.zw), bw = splatHi(b.zw);
  const R cx = splatLo(c.xy), cy = splatHi(c.xy), cz = splatLo(c.zw), cw = splatHi(c.zw);
  // The six 2x2 minors of rows b and c, in pairs: (xy, xz), (xw, yz), (yw, zw).
  const R m01 = bx * unpackLo(cy, cz) - unpackLo(by, bz) * cx;
  const R m23 = unpackLo(bx, by) * unpackLo(cw, cz) - unpackLo(bw, bz) * unpackLo(cx, cy);
  const R m45 = unpackLo(by, bz) * cw - bw * unpackLo(cy, cz);
  const R ax = splatLo(a.xy), ay = splatHi(a.xy), az = splatLo(a.zw), aw = splatHi(a.zw);
  const R mxy = splatLo(m01), mxz = splatHi(m01), mxw = splatLo(m23), myz = splatHi(m23), myw = splatLo(m45),
          mzw = splatHi(m45);
  const R x = ay * mzw - az * myw + aw * myz;
  const R y = az * mxw - ax * mzw - aw * mxz;
  const R z = ax * myw - ay * mxw + aw * mxy;
  const R w = ay * mxz - ax * myz - az * mxy;
  store4(&out->x, {unpackLo(x, y), unpackLo(z, w)});
  femms();
  return out;
}

MXVECTOR3* MXVec3Project(MXVECTOR3* out, const MXVECTOR3* v, const MXVIEWPORT* vp, const MXMATRIX* projection,
                         const MXMATRIX* view, const MXMATRIX* world) {
  if (!out || !v || !vp || !projection || !view || !world) return nullptr;
  MXMATRIX m;
  ::MXMatrixMultiply(&m, world, view);
  ::MXMatrixMultiply(&m, &m, projection);
  MXVECTOR3 p;
  ::MXVec3TransformCoord(&p, v, &m);
  const R origin = toFloat(load2(reinterpret_cast<const float*>(&vp->X)));
  const R size = toFloat(load2(reinterpret_cast<const float*>(&vp->Width)));
  const R minZ = load1(&vp->MinZ), maxZ = load1(&vp->MaxZ);
  const V3 q = load3(&p);
  // (1 + x, 1 - y) times half the size, from the origin.
  const R ndc = MX3D_K(1.0f) + bitXor(q.xy, pairBits(0, 0x80000000u));
  store2(&out->x, origin + ndc * size * MX3D_K(0.5f));
  store1(&out->z, minZ + q.z * (maxZ - minZ));
  femms();
  return out;
}

MXVECTOR3* MXVec3Unproject(MXVECTOR3* out, const MXVECTOR3* v, const MXVIEWPORT* vp, const MXMATRIX* projection,
                           const MXMATRIX* view, const MXMATRIX* world) {
  if (!out || !v || !vp || !projection || !view || !world) return nullptr;
  MXMATRIX m;
  if (!unprojection(&m, projection, view, world)) return nullptr;
  MXVECTOR3 ndc;
  {
    const R origin = toFloat(load2(reinterpret_cast<const float*>(&vp->X)));
    const R size = toFloat(load2(reinterpret_cast<const float*>(&vp->Width)));
    const R minZ = load1(&vp->MinZ), maxZ = load1(&vp->MaxZ);
    const V3 p = load3(v);
    // (2(x - X)/W - 1, 1 - 2(y - Y)/H), then (z - MinZ)/(MaxZ - MinZ).
    const R t = (p.xy - origin) * MX3D_K(2.0f) * rcp2(size) - MX3D_K(1.0f);
    store2(&ndc.x, bitXor(t, pairBits(0, 0x80000000u)));
    store1(&ndc.z, (p.z - minZ) * rcp(maxZ - minZ));
    femms();
  }
  return ::MXVec3TransformCoord(out, &ndc, &m);
}

#include "../mxSplineEntries.inl"

}  // namespace mx::amd3DNow
