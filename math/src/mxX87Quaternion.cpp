// x87 routines of the quaternion operations.
#include <cmath>

#include "mxTable.h"
#include "mxX87.h"

namespace mx::x87 {

namespace {

using F = float;

struct Q {
  double x, y, z, w;
};

Q load(const MXQUATERNION* q) { return {q->x, q->y, q->z, q->w}; }

MXQUATERNION store(const Q& q) {
  return {static_cast<F>(q.x), static_cast<F>(q.y), static_cast<F>(q.z), static_cast<F>(q.w)};
}

// Below this distance from 1 the cosine of the arc, slerp blends linearly: the sine of the
// arc is too small to divide by.
constexpr double kSlerpLinear = 1e-6;

}  // namespace

MXQUATERNION* MXQuaternionMultiply(MXQUATERNION* out, const MXQUATERNION* q1, const MXQUATERNION* q2) {
  if (!out || !q1 || !q2) return nullptr;
  // The rotation q1 followed by q2 is the Hamilton product q2 * q1.
  const Q a = load(q2), b = load(q1);
  const Q r = {
      a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
      a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
      a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w,
      a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z,
  };
  *out = store(r);
  return out;
}

MXQUATERNION* MXQuaternionNormalize(MXQUATERNION* out, const MXQUATERNION* q) {
  if (!out || !q) return nullptr;
  const Q a = load(q);
  const double sq = a.x * a.x + a.y * a.y + a.z * a.z + a.w * a.w;
  if (nearEqual(static_cast<F>(sq), 1.0f)) {
    *out = *q;
    return out;
  }
  if (!(static_cast<F>(sq) > 0x1p-126f)) {
    *out = {0.0f, 0.0f, 0.0f, 0.0f};
    return out;
  }
  const double k = 1.0 / std::sqrt(sq);
  *out = store({a.x * k, a.y * k, a.z * k, a.w * k});
  return out;
}

void MXQuaternionToAxisAngle(const MXQUATERNION* q, MXVECTOR3* axis, float* angle) {
  if (!q) return;
  const Q a = load(q);
  const double sq = a.x * a.x + a.y * a.y + a.z * a.z + a.w * a.w;
  if (!(static_cast<F>(sq) > 0x1p-126f)) {
    if (axis) *axis = {1.0f, 0.0f, 0.0f};
    if (angle) *angle = 0.0f;
    return;
  }
  const double k = 1.0 / std::sqrt(sq);
  const double w = std::fmax(-1.0, std::fmin(1.0, a.w));
  if (axis) *axis = {static_cast<F>(a.x * k), static_cast<F>(a.y * k), static_cast<F>(a.z * k)};
  if (angle) *angle = static_cast<F>(2.0 * std::acos(w));
}

MXQUATERNION* MXQuaternionRotationMatrix(MXQUATERNION* out, const MXMATRIX* m) {
  if (!out || !m) return nullptr;
  double a[3][3];
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) a[r][c] = m->m[r][c];
  const double trace = a[0][0] + a[1][1] + a[2][2];
  Q q;
  if (trace > 0) {
    const double s = 2.0 * std::sqrt(trace + 1.0);  // 4w
    q = {(a[1][2] - a[2][1]) / s, (a[2][0] - a[0][2]) / s, (a[0][1] - a[1][0]) / s, 0.25 * s};
  } else if (a[0][0] >= a[1][1] && a[0][0] >= a[2][2]) {
    const double s = 2.0 * std::sqrt(1.0 + a[0][0] - a[1][1] - a[2][2]);  // 4x
    q = {0.25 * s, (a[0][1] + a[1][0]) / s, (a[0][2] + a[2][0]) / s, (a[1][2] - a[2][1]) / s};
  } else if (a[1][1] >= a[2][2]) {
    const double s = 2.0 * std::sqrt(1.0 + a[1][1] - a[0][0] - a[2][2]);  // 4y
    q = {(a[0][1] + a[1][0]) / s, 0.25 * s, (a[1][2] + a[2][1]) / s, (a[2][0] - a[0][2]) / s};
  } else {
    const double s = 2.0 * std::sqrt(1.0 + a[2][2] - a[0][0] - a[1][1]);  // 4z
    q = {(a[0][2] + a[2][0]) / s, (a[1][2] + a[2][1]) / s, 0.25 * s, (a[0][1] - a[1][0]) / s};
  }
  *out = store(q);
  return out;
}

MXQUATERNION* MXQuaternionRotationYawPitchRoll(MXQUATERNION* out, float yaw, float pitch, float roll) {
  if (!out) return nullptr;
  const double hy = yaw * 0.5, hp = pitch * 0.5, hr = roll * 0.5;
  const double cy = std::cos(hy), sy = std::sin(hy);
  const double cp = std::cos(hp), sp = std::sin(hp);
  const double cr = std::cos(hr), sr = std::sin(hr);
  *out = store({cr * cy * sp + sr * sy * cp, cr * sy * cp - sr * cy * sp, sr * cy * cp - cr * sy * sp,
                cr * cy * cp + sr * sy * sp});
  return out;
}

MXQUATERNION* MXQuaternionRotationAxis(MXQUATERNION* out, const MXVECTOR3* axis, float angle) {
  if (!out || !axis) return nullptr;
  MXVECTOR3 n;
  ::MXVec3Normalize(&n, axis);
  const double h = angle * 0.5;
  const double s = std::sin(h);
  *out = store({n.x * s, n.y * s, n.z * s, std::cos(h)});
  return out;
}

MXQUATERNION* MXQuaternionSlerp(MXQUATERNION* out, const MXQUATERNION* q1, const MXQUATERNION* q2, float t) {
  if (!out || !q1 || !q2) return nullptr;
  const Q a = load(q1);
  Q b = load(q2);
  double cosArc = a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
  if (cosArc < 0) {
    b = {-b.x, -b.y, -b.z, -b.w};
    cosArc = -cosArc;
  }
  double k1, k2;
  if (1.0 - cosArc < kSlerpLinear) {
    k1 = 1.0 - t;
    k2 = t;
  } else {
    const double arc = std::acos(std::fmin(1.0, cosArc));
    const double inv = 1.0 / std::sin(arc);
    k1 = std::sin((1.0 - t) * arc) * inv;
    k2 = std::sin(t * arc) * inv;
  }
  *out = store({k1 * a.x + k2 * b.x, k1 * a.y + k2 * b.y, k1 * a.z + k2 * b.z, k1 * a.w + k2 * b.w});
  return out;
}

MXQUATERNION* MXQuaternionBaryCentric(MXQUATERNION* out, const MXQUATERNION* q1, const MXQUATERNION* q2,
                                      const MXQUATERNION* q3, float f, float g) {
  if (!out || !q1 || !q2 || !q3) return nullptr;
  const F s = static_cast<F>(static_cast<double>(f) + g);
  if (nearEqual(s, 0.0f)) {
    *out = *q1;
    return out;
  }
  MXQUATERNION a, b;
  ::MXQuaternionSlerp(&a, q1, q2, s);
  ::MXQuaternionSlerp(&b, q1, q3, s);
  return ::MXQuaternionSlerp(out, &a, &b, static_cast<F>(g / static_cast<double>(s)));
}

MXQUATERNION* MXQuaternionSquad(MXQUATERNION* out, const MXQUATERNION* q1, const MXQUATERNION* a,
                                const MXQUATERNION* b, const MXQUATERNION* c, float t) {
  if (!out || !q1 || !a || !b || !c) return nullptr;
  MXQUATERNION s1, s2;
  ::MXQuaternionSlerp(&s1, q1, c, t);
  ::MXQuaternionSlerp(&s2, a, b, t);
  return ::MXQuaternionSlerp(out, &s1, &s2, static_cast<F>(2.0 * t * (1.0 - t)));
}

MXQUATERNION* MXQuaternionInverse(MXQUATERNION* out, const MXQUATERNION* q) {
  if (!out || !q) return nullptr;
  const Q a = load(q);
  const double sq = a.x * a.x + a.y * a.y + a.z * a.z + a.w * a.w;
  if (!(static_cast<F>(sq) > 0x1p-63f)) {
    *out = {0.0f, 0.0f, 0.0f, 0.0f};
    return out;
  }
  const double k = 1.0 / sq;
  *out = store({-a.x * k, -a.y * k, -a.z * k, a.w * k});
  return out;
}

void MXQuaternionSquadSetup(MXQUATERNION* aOut, MXQUATERNION* bOut, MXQUATERNION* cOut, const MXQUATERNION* pq0,
                            const MXQUATERNION* pq1, const MXQUATERNION* pq2, const MXQUATERNION* pq3) {
  if (!aOut || !bOut || !cOut || !pq0 || !pq1 || !pq2 || !pq3) return;
  auto dot = [](const MXQUATERNION& a, const MXQUATERNION& b) {
    return static_cast<double>(a.x) * b.x + static_cast<double>(a.y) * b.y + static_cast<double>(a.z) * b.z +
           static_cast<double>(a.w) * b.w;
  };
  auto negate = [](const MXQUATERNION& q) { return MXQUATERNION{-q.x, -q.y, -q.z, -q.w}; };
  // Each neighbour on the same side of the sphere as the key before it.
  const MXQUATERNION q1 = *pq1;
  const MXQUATERNION q0 = dot(*pq0, q1) < 0 ? negate(*pq0) : *pq0;
  const MXQUATERNION q2 = dot(q1, *pq2) < 0 ? negate(*pq2) : *pq2;
  const MXQUATERNION q3 = dot(q2, *pq3) < 0 ? negate(*pq3) : *pq3;
  // The Hamilton product p * q is the rotation q followed by p: Multiply(q, p).
  auto control = [](const MXQUATERNION& qi, const MXQUATERNION& prev, const MXQUATERNION& next) {
    MXQUATERNION inv, toNext, toPrev, lnNext, lnPrev, e;
    ::MXQuaternionInverse(&inv, &qi);
    ::MXQuaternionMultiply(&toNext, &next, &inv);
    ::MXQuaternionMultiply(&toPrev, &prev, &inv);
    ::MXQuaternionLn(&lnNext, &toNext);
    ::MXQuaternionLn(&lnPrev, &toPrev);
    const MXQUATERNION sum = {static_cast<F>(-0.25 * (static_cast<double>(lnNext.x) + lnPrev.x)),
                              static_cast<F>(-0.25 * (static_cast<double>(lnNext.y) + lnPrev.y)),
                              static_cast<F>(-0.25 * (static_cast<double>(lnNext.z) + lnPrev.z)), 0.0f};
    ::MXQuaternionExp(&e, &sum);
    MXQUATERNION r;
    ::MXQuaternionMultiply(&r, &e, &qi);
    return r;
  };
  const MXQUATERNION a = control(q1, q0, q2);
  const MXQUATERNION b = control(q2, q1, q3);
  *aOut = a;
  *bOut = b;
  *cOut = q2;
}

MXQUATERNION* MXQuaternionLn(MXQUATERNION* out, const MXQUATERNION* q) {
  if (!out || !q) return nullptr;
  const Q a = load(q);
  const double w = std::fmax(-1.0, std::fmin(1.0, a.w));
  const double arc = std::acos(w);
  const double s = std::sin(arc);
  const double k = s > 1e-12 ? arc / s : 1.0;
  *out = store({a.x * k, a.y * k, a.z * k, 0.0});
  return out;
}

MXQUATERNION* MXQuaternionExp(MXQUATERNION* out, const MXQUATERNION* q) {
  if (!out || !q) return nullptr;
  const Q a = load(q);
  const double arc = std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
  const double k = arc > 1e-12 ? std::sin(arc) / arc : 1.0;
  *out = store({a.x * k, a.y * k, a.z * k, std::cos(arc)});
  return out;
}

}  // namespace mx::x87
