// The 3DNow extension set: five routines that use the extended instructions (pswapd,
// pfnacc, pfpnacc) for their pairwise sums, differences and 2x2 determinants.
#include "mx3DNow.h"
#include "mx3DNowCompose.h"
#include "mx3DNowExtOps.h"
#include "mx3DNowKernels.h"

namespace mx::amd3DNowExt {

using namespace mx::amd;

namespace {

// [e(r, c0), e(r, c1)]
MX3D_INLINE R pick(const MXMATRIX* m, int r, int c0, int c1) {
  return c1 == c0 + 1 ? load2(&m->m[r][c0]) : unpackLo(load1(&m->m[r][c0]), load1(&m->m[r][c1]));
}

MX3D_INLINE M4 rotation(V4 q) {
  // Pairs of the products that the rows combine: (xy, wz), (xz, wy), (yz, wx).
  const R two = MX3D_K(2.0f), one = MX3D_K(1.0f), zero = splatBits(0);
  const R xy = q.xy, zw = q.zw;
  const R a = two * splatLo(xy) * unpackLo(splatHi(xy), splatLo(zw));  // (2xy, 2xz)
  const R b = two * splatHi(zw) * unpackLo(zw, splatHi(xy));            // (2wz, 2wy)
  const R c = two * unpackLo(splatHi(xy), splatHi(zw)) * unpackLo(zw, xy);  // (2yz, 2wx)
  const R sq = two * unpackLo(xy * xy, zw * zw);                        // (2xx, 2zz)
  const R yy2 = two * splatHi(xy) * splatHi(xy);
  // hsubAdd(p, q) = [p0 - p1, q0 + q1]: one step gives a difference and a sum.
  const R xyPlus = hsubAdd(unpackLo(a, b), unpackLo(a, b));    // [2xy - 2wz, 2xy + 2wz]
  const R xzPair = hsubAdd(unpackHi(a, b), unpackHi(a, b));    // [2xz - 2wy, 2xz + 2wy]
  const R yzPair = hsubAdd(c, c);                                // [2yz - 2wx, 2yz + 2wx]
  const R d0 = one - yy2 - splatHi(sq), d1 = one - splatLo(sq) - splatHi(sq), d2 = one - splatLo(sq) - yy2;
  return {{{unpackLo(d0, splatHi(xyPlus)), unpackLo(xzPair, zero)},
           {unpackLo(xyPlus, d1), unpackLo(splatHi(yzPair), zero)},
           {unpackLo(splatHi(xzPair), yzPair), unpackLo(d2, zero)},
           {zero, pairBits(0, bitsOf(1.0f))}}};
}

}  // namespace

MXMATRIX* MXMatrixRotationQuaternion(MXMATRIX* out, const MXQUATERNION* q) {
  if (!out || !q) return nullptr;
  storeMatrix(out, rotation(load4(&q->x)));
  femms();
  return out;
}

MXMATRIX* MXMatrixInverse(MXMATRIX* out, float* pDet, const MXMATRIX* m) {
  if (!out || !m) return nullptr;
  // The twelve 2x2 minors of the upper rows (s) and the lower rows (c), two per step.
  const R s01 = det2x2(pick(m, 0, 0, 1), pick(m, 1, 0, 1), pick(m, 0, 0, 2), pick(m, 1, 0, 2));
  const R s23 = det2x2(pick(m, 0, 0, 3), pick(m, 1, 0, 3), pick(m, 0, 1, 2), pick(m, 1, 1, 2));
  const R s45 = det2x2(pick(m, 0, 1, 3), pick(m, 1, 1, 3), pick(m, 0, 2, 3), pick(m, 1, 2, 3));
  const R c01 = det2x2(pick(m, 2, 0, 1), pick(m, 3, 0, 1), pick(m, 2, 0, 2), pick(m, 3, 0, 2));
  const R c23 = det2x2(pick(m, 2, 0, 3), pick(m, 3, 0, 3), pick(m, 2, 1, 2), pick(m, 3, 1, 2));
  const R c45 = det2x2(pick(m, 2, 1, 3), pick(m, 3, 1, 3), pick(m, 2, 2, 3), pick(m, 3, 2, 3));
  const R s[6] = {splatLo(s01), splatHi(s01), splatLo(s23), splatHi(s23), splatLo(s45), splatHi(s45)};
  const R c[6] = {splatLo(c01), splatHi(c01), splatLo(c23), splatHi(c23), splatLo(c45), splatHi(c45)};
  // det = (s0 c5 + s2 c3 + s3 c2 + s5 c0) - (s1 c4 + s4 c1)
  const R plus = unpackLo(s[0], s[2]) * unpackLo(c[5], c[3]) + unpackLo(s[3], s[5]) * unpackLo(c[2], c[0]);
  const R minus = unpackLo(s[1], s[4]) * unpackLo(c[4], c[1]);
  const R sums = unpackLo(hsum(plus), hsum(minus));
  const R det = hsub(sums, sums);
  if (pDet) store1(pDet, det);
  const uint32_t magnitude = lane0Bits(det) & 0x7FFFFFFFu;
  if (magnitude < 0x00800000u || magnitude >= 0x7F800000u) {
    femms();
    return nullptr;
  }
  storeInverse(out, m, s, c, rcp(det));
  femms();
  return out;
}

MXQUATERNION* MXQuaternionRotationMatrix(MXQUATERNION* out, const MXMATRIX* m) {
  if (!out || !m) return nullptr;
  auto e = [&](int r, int c) MX3D_LAMBDA { return load1(&m->m[r][c]); };
  const R a00 = e(0, 0), a11 = e(1, 1), a22 = e(2, 2), one = MX3D_K(1.0f), quarter = MX3D_K(0.25f);
  const R trace = a00 + a11 + a22;
  // [a - b, a + b] of each symmetric pair of off-diagonal elements.
  const R p12 = hsubAdd(unpackLo(e(1, 2), e(2, 1)), unpackLo(e(1, 2), e(2, 1)));
  const R p20 = hsubAdd(unpackLo(e(2, 0), e(0, 2)), unpackLo(e(2, 0), e(0, 2)));
  const R p01 = hsubAdd(unpackLo(e(0, 1), e(1, 0)), unpackLo(e(0, 1), e(1, 0)));
  auto scaleOf = [&](R t) MX3D_LAMBDA {
    const R s = MX3D_K(2.0f) * sqrt(t);
    return unpackLo(s, rcp(s));
  };
  V4 q;
  if (gt(trace, splatBits(0))) {
    const R s = scaleOf(trace + one), inv = splatHi(s);
    q = {inv * unpackLo(p12, p20), unpackLo(inv * p01, quarter * s)};
  } else if (ge(a00, a11) && ge(a00, a22)) {
    const R s = scaleOf(one + a00 - a11 - a22), inv = splatHi(s);
    q = {unpackLo(quarter * s, inv * splatHi(p01)), inv * unpackLo(swap(p20), p12)};
  } else if (ge(a11, a22)) {
    const R s = scaleOf(one + a11 - a00 - a22), inv = splatHi(s);
    q = {unpackLo(inv * splatHi(p01), quarter * s), inv * unpackLo(swap(p12), p20)};
  } else {
    const R s = scaleOf(one + a22 - a00 - a11), inv = splatHi(s);
    q = {inv * unpackHi(p20, p12), unpackLo(quarter * s, inv * p01)};
  }
  store4(&out->x, q);
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
    const R depth = load2(&vp->MinZ);  // (MinZ, MaxZ)
    const V3 p = load3(v);
    const R t = (p.xy - origin) * MX3D_K(2.0f) * unpackLo(rcp(size), rcp(swap(size)));
    // [x - 1, 1 - y]: pfpnacc of (x, 1) gives x - 1, of (1, -y) gives 1 - y.
    const R one = MX3D_K(1.0f);
    const R xy = hsubAdd(unpackLo(t, one), unpackLo(one, -swap(t)));
    store2(&ndc.x, xy);
    // (z - MinZ) / (MaxZ - MinZ), the range from pfnacc of (MaxZ, MinZ).
    store1(&ndc.z, (p.z - depth) * rcp(hsub(swap(depth), swap(depth))));
    femms();
  }
  return ::MXVec3TransformCoord(out, &ndc, &m);
}

MXMATRIX* MXMatrixTransformation(MXMATRIX* out, const MXVECTOR3* scalingCenter, const MXQUATERNION* scalingRotation,
                                 const MXVECTOR3* scaling, const MXVECTOR3* rotationCenter,
                                 const MXQUATERNION* rotation, const MXVECTOR3* translation) {
  return composeTransformation(out, scalingCenter, scalingRotation, scaling, rotationCenter, rotation, translation,
                               [](MXMATRIX* dst, const MXQUATERNION* q) MX3D_LAMBDA {
                                 storeMatrix(dst, mx::amd3DNowExt::rotation(load4(&q->x)));
                                 femms();
                               });
}

}  // namespace mx::amd3DNowExt
