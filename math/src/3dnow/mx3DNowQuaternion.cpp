// 3DNow routines of the quaternion and plane operations.
#include "mx3DNow.h"
#include "mx3DNowKernels.h"
#include "mx3DNowMath.h"

namespace mx::amd3DNow {

using namespace mx::amd;

namespace {

MX3D_INLINE V4 negate(V4 a) { return {bitXor(a.xy, splatBits(0x80000000u)), bitXor(a.zw, splatBits(0x80000000u))}; }
MX3D_INLINE R dot(V4 a, V4 b) { return dot4(a.xy, a.zw, b.xy, b.zw); }
MX3D_INLINE bool negative(R a) { return gt(splatBits(0), a); }

// (x, y, z) scaled by k, and w.
MX3D_INLINE V4 scaleVector(V4 q, R k, R w) { return {k * q.xy, unpackLo(k * q.zw, w)}; }

// Below this distance from 1 the cosine of the arc, slerp blends linearly: the sine of the
// arc is too small to divide by.
constexpr float kSlerpLinear = 1e-6f;

// Below this the sine of an arc counts as 0 in the logarithm and the exponential.
constexpr float kTinyArc = 1e-12f;

}  // namespace

MXQUATERNION* MXQuaternionMultiply(MXQUATERNION* out, const MXQUATERNION* q1, const MXQUATERNION* q2) {
  if (!out || !q1 || !q2) return nullptr;
  // The rotation q1 followed by q2 is the Hamilton product q2 * q1.
  const V4 a = load4(&q2->x), b = load4(&q1->x);
  const R ax = splatLo(a.xy), ay = splatHi(a.xy), az = splatLo(a.zw), aw = splatHi(a.zw);
  const R bx = splatLo(b.xy), by = splatHi(b.xy), bz = splatLo(b.zw), bw = splatHi(b.zw);
  store4(&out->x, gather(aw * bx + ax * bw + ay * bz - az * by, aw * by - ax * bz + ay * bw + az * bx,
                         aw * bz + ax * by - ay * bx + az * bw, aw * bw - ax * bx - ay * by - az * bz));
  femms();
  return out;
}

MXQUATERNION* MXQuaternionNormalize(MXQUATERNION* out, const MXQUATERNION* q) {
  if (!out || !q) return nullptr;
  const V4 a = load4(&q->x);
  const R sq = dot(a, a);
  store4(&out->x, gt(sq, MX3D_K(0x1p-126f)) ? rsqrt(sq) * a : V4{splatBits(0), splatBits(0)});
  femms();
  return out;
}

void MXQuaternionToAxisAngle(const MXQUATERNION* q, MXVECTOR3* axis, float* angle) {
  if (!q) return;
  const V4 a = load4(&q->x);
  const R sq = dot(a, a);
  if (!gt(sq, MX3D_K(0x1p-126f))) {
    if (axis) store3(axis, {pairBits(bitsOf(1.0f), 0), splatBits(0)});
    if (angle) store1(angle, splatBits(0));
  } else {
    const R k = rsqrt(sq);
    const R turn = MX3D_K(2.0f) * acos(splatHi(a.zw));
    if (axis) store3(axis, {k * a.xy, k * a.zw});
    if (angle) store1(angle, turn);
  }
  femms();
}

MXQUATERNION* MXQuaternionRotationMatrix(MXQUATERNION* out, const MXMATRIX* m) {
  if (!out || !m) return nullptr;
  auto e = [&](int r, int c) MX3D_LAMBDA { return load1(&m->m[r][c]); };
  const R a00 = e(0, 0), a11 = e(1, 1), a22 = e(2, 2), one = MX3D_K(1.0f), quarter = MX3D_K(0.25f);
  const R trace = a00 + a11 + a22;
  // s = 2 sqrt(1 + the larger diagonal combination) is four times the largest component.
  auto scaleOf = [&](R t) MX3D_LAMBDA {
    const R s = MX3D_K(2.0f) * sqrt(t);
    return unpackLo(s, rcp(s));
  };
  V4 q;
  if (gt(trace, splatBits(0))) {
    const R s = scaleOf(trace + one), inv = splatHi(s);
    q = gather(inv * (e(1, 2) - e(2, 1)), inv * (e(2, 0) - e(0, 2)), inv * (e(0, 1) - e(1, 0)), quarter * s);
  } else if (ge(a00, a11) && ge(a00, a22)) {
    const R s = scaleOf(one + a00 - a11 - a22), inv = splatHi(s);
    q = gather(quarter * s, inv * (e(0, 1) + e(1, 0)), inv * (e(0, 2) + e(2, 0)), inv * (e(1, 2) - e(2, 1)));
  } else if (ge(a11, a22)) {
    const R s = scaleOf(one + a11 - a00 - a22), inv = splatHi(s);
    q = gather(inv * (e(0, 1) + e(1, 0)), quarter * s, inv * (e(1, 2) + e(2, 1)), inv * (e(2, 0) - e(0, 2)));
  } else {
    const R s = scaleOf(one + a22 - a00 - a11), inv = splatHi(s);
    q = gather(inv * (e(0, 2) + e(2, 0)), inv * (e(1, 2) + e(2, 1)), quarter * s, inv * (e(0, 1) - e(1, 0)));
  }
  store4(&out->x, q);
  femms();
  return out;
}

MXQUATERNION* MXQuaternionRotationYawPitchRoll(MXQUATERNION* out, float yaw, float pitch, float roll) {
  if (!out) return nullptr;
  store4(&out->x, quaternionYawPitchRoll(&yaw, &pitch, &roll));
  femms();
  return out;
}

MXQUATERNION* MXQuaternionRotationAxis(MXQUATERNION* out, const MXVECTOR3* axis, float angle) {
  if (!out || !axis) return nullptr;
  MXVECTOR3 n;
  ::MXVec3Normalize(&n, axis);
  const R sc = sincos(MX3D_K(0.5f) * load1(&angle));
  const V3 v = load3(&n);
  const R s = splatLo(sc);
  store4(&out->x, {s * v.xy, unpackLo(s * v.z, splatHi(sc))});
  femms();
  return out;
}

MXQUATERNION* MXQuaternionSlerp(MXQUATERNION* out, const MXQUATERNION* q1, const MXQUATERNION* q2, float t) {
  if (!out || !q1 || !q2) return nullptr;
  const V4 a = load4(&q1->x);
  V4 b = load4(&q2->x);
  R cosArc = dot(a, b);
  if (negative(cosArc)) {
    b = negate(b);
    cosArc = -cosArc;
  }
  const R one = MX3D_K(1.0f), tt = splatLo(load1(&t));
  R k1, k2;
  if (gt(MX3D_K(kSlerpLinear), one - cosArc)) {
    k1 = one - tt;
    k2 = tt;
  } else {
    const R arc = acos(cosArc);
    const R inv = rcp(sincos(arc));
    k1 = splatLo(sincos((one - tt) * arc)) * inv;
    k2 = splatLo(sincos(tt * arc)) * inv;
  }
  store4(&out->x, k1 * a + k2 * b);
  femms();
  return out;
}

MXQUATERNION* MXQuaternionBaryCentric(MXQUATERNION* out, const MXQUATERNION* q1, const MXQUATERNION* q2,
                                      const MXQUATERNION* q3, float f, float g) {
  if (!out || !q1 || !q2 || !q3) return nullptr;
  float s, ratio;
  bool nearZero;
  {
    const R sum = load1(&f) + load1(&g);
    nearZero = (lane0Bits(sum) & 0x7FFFFFFFu) <= bitsOf(0x1p-23f);
    store1(&s, sum);
    if (nearZero)
      store4(&out->x, load4(&q1->x));
    else
      store1(&ratio, load1(&g) * rcp(sum));
    femms();
  }
  if (nearZero) return out;
  MXQUATERNION a, b;
  ::MXQuaternionSlerp(&a, q1, q2, s);
  ::MXQuaternionSlerp(&b, q1, q3, s);
  return ::MXQuaternionSlerp(out, &a, &b, ratio);
}

MXQUATERNION* MXQuaternionSquad(MXQUATERNION* out, const MXQUATERNION* q1, const MXQUATERNION* a,
                                const MXQUATERNION* b, const MXQUATERNION* c, float t) {
  if (!out || !q1 || !a || !b || !c) return nullptr;
  float blend;
  {
    const R tt = load1(&t);
    store1(&blend, MX3D_K(2.0f) * tt * (MX3D_K(1.0f) - tt));
    femms();
  }
  MXQUATERNION s1, s2;
  ::MXQuaternionSlerp(&s1, q1, c, t);
  ::MXQuaternionSlerp(&s2, a, b, t);
  return ::MXQuaternionSlerp(out, &s1, &s2, blend);
}

MXQUATERNION* MXQuaternionInverse(MXQUATERNION* out, const MXQUATERNION* q) {
  if (!out || !q) return nullptr;
  const V4 a = load4(&q->x);
  const R sq = dot(a, a);
  V4 r = {splatBits(0), splatBits(0)};
  if (gt(sq, MX3D_K(0x1p-63f))) {
    const R k = rcp(sq);
    r = {-k * a.xy, k * bitXor(a.zw, pairBits(0x80000000u, 0))};
  }
  store4(&out->x, r);
  femms();
  return out;
}

void MXQuaternionSquadSetup(MXQUATERNION* aOut, MXQUATERNION* bOut, MXQUATERNION* cOut, const MXQUATERNION* pq0,
                            const MXQUATERNION* pq1, const MXQUATERNION* pq2, const MXQUATERNION* pq3) {
  if (!aOut || !bOut || !cOut || !pq0 || !pq1 || !pq2 || !pq3) return;
  // Each neighbour on the same side of the sphere as the key before it.
  MXQUATERNION q[4];
  {
    auto sameSide = [](V4 k, V4 ref) MX3D_LAMBDA { return negative(dot(k, ref)) ? negate(k) : k; };
    const V4 k1 = load4(&pq1->x);
    const V4 k2 = sameSide(load4(&pq2->x), k1);
    store4(&q[0].x, sameSide(load4(&pq0->x), k1));
    store4(&q[1].x, k1);
    store4(&q[2].x, k2);
    store4(&q[3].x, sameSide(load4(&pq3->x), k2));
    femms();
  }
  // The Hamilton product p * q is the rotation q followed by p: Multiply(q, p).
  auto control = [](const MXQUATERNION& qi, const MXQUATERNION& prev, const MXQUATERNION& next, MXQUATERNION* r) {
    MXQUATERNION inv, toNext, toPrev, lnNext, lnPrev, sum, e;
    ::MXQuaternionInverse(&inv, &qi);
    ::MXQuaternionMultiply(&toNext, &next, &inv);
    ::MXQuaternionMultiply(&toPrev, &prev, &inv);
    ::MXQuaternionLn(&lnNext, &toNext);
    ::MXQuaternionLn(&lnPrev, &toPrev);
    {
      const V4 n = load4(&lnNext.x), p = load4(&lnPrev.x);
      const R k = MX3D_K(-0.25f);
      store4(&sum.x, {k * (n.xy + p.xy), bitAnd(k * (n.zw + p.zw), pairBits(0xFFFFFFFFu, 0))});
      femms();
    }
    ::MXQuaternionExp(&e, &sum);
    ::MXQuaternionMultiply(r, &e, &qi);
  };
  MXQUATERNION a, b;
  control(q[1], q[0], q[2], &a);
  control(q[2], q[1], q[3], &b);
  *aOut = a;
  *bOut = b;
  *cOut = q[2];
}

MXQUATERNION* MXQuaternionLn(MXQUATERNION* out, const MXQUATERNION* q) {
  if (!out || !q) return nullptr;
  const V4 a = load4(&q->x);
  const R arc = acos(splatHi(a.zw));
  const R s = sincos(arc);
  const R k = gt(s, MX3D_K(kTinyArc)) ? splatLo(arc * rcp(s)) : MX3D_K(1.0f);
  store4(&out->x, scaleVector(a, k, splatBits(0)));
  femms();
  return out;
}

MXQUATERNION* MXQuaternionExp(MXQUATERNION* out, const MXQUATERNION* q) {
  if (!out || !q) return nullptr;
  const V4 a = load4(&q->x);
  const R arc = sqrt(hsum(a.xy * a.xy) + a.zw * a.zw);
  const R sc = sincos(arc);
  const R k = gt(arc, MX3D_K(kTinyArc)) ? splatLo(sc * rcp(arc)) : MX3D_K(1.0f);
  store4(&out->x, scaleVector(a, k, splatHi(sc)));
  femms();
  return out;
}

// ---- planes ----

MXPLANE* MXPlaneFromPointNormal(MXPLANE* out, const MXVECTOR3* point, const MXVECTOR3* normal) {
  if (!out || !point || !normal) return nullptr;
  const V3 n = load3(normal);
  store4(&out->a, {n.xy, unpackLo(n.z, -dot(load3(point), n))});
  femms();
  return out;
}

MXPLANE* MXPlaneFromPoints(MXPLANE* out, const MXVECTOR3* v1, const MXVECTOR3* v2, const MXVECTOR3* v3) {
  if (!out || !v1 || !v2 || !v3) return nullptr;
  MXVECTOR3 c, p, n;
  {
    const V3 a = load3(v1);
    store3(&c, cross(load3(v2) - a, load3(v3) - a));
    store3(&p, a);
    femms();
  }
  ::MXVec3Normalize(&n, &c);
  return ::MXPlaneFromPointNormal(out, &p, &n);
}

MXPLANE* MXPlaneNormalize(MXPLANE* out, const MXPLANE* p) {
  if (!out || !p) return nullptr;
  const V4 a = load4(&p->a);
  const R sq = hsum(a.xy * a.xy) + splatLo(a.zw) * splatLo(a.zw);
  store4(&out->a, isZero(sq) ? V4{splatBits(0), splatBits(0)} : rsqrt(sq) * a);
  femms();
  return out;
}

MXVECTOR3* MXPlaneIntersectLine(MXVECTOR3* out, const MXPLANE* p, const MXVECTOR3* v1, const MXVECTOR3* v2) {
  if (!out || !p || !v1 || !v2) return nullptr;
  const V4 pl = load4(&p->a);
  const V3 n = {pl.xy, bitAnd(pl.zw, pairBits(0xFFFFFFFFu, 0))};
  const V3 a = load3(v1), d = load3(v2) - a;
  const R denom = dot(n, d);
  if (isZero(denom)) {
    femms();
    return nullptr;
  }
  const R t = -(dot(n, a) + splatHi(pl.zw)) * rcp(denom);
  store3(out, a + splatLo(t) * d);
  femms();
  return out;
}

MXPLANE* MXPlaneTransform(MXPLANE* out, const MXPLANE* p, const MXMATRIX* m) {
  if (!out || !p || !m) return nullptr;
  store4(&out->a, transform4(load4(&p->a), m));
  femms();
  return out;
}

}  // namespace mx::amd3DNow
