// x87 routines of the plane operations.
#include <cmath>

#include "mxTable.h"
#include "mxX87.h"

namespace mx::x87 {

using F = float;

MXPLANE* MXPlaneFromPointNormal(MXPLANE* out, const MXVECTOR3* point, const MXVECTOR3* normal) {
  if (!out || !point || !normal) return nullptr;
  const double d = -(static_cast<double>(point->x) * normal->x + static_cast<double>(point->y) * normal->y +
                     static_cast<double>(point->z) * normal->z);
  *out = {normal->x, normal->y, normal->z, static_cast<F>(d)};
  return out;
}

MXPLANE* MXPlaneFromPoints(MXPLANE* out, const MXVECTOR3* v1, const MXVECTOR3* v2, const MXVECTOR3* v3) {
  if (!out || !v1 || !v2 || !v3) return nullptr;
  const double ax = static_cast<double>(v2->x) - v1->x, ay = static_cast<double>(v2->y) - v1->y,
               az = static_cast<double>(v2->z) - v1->z;
  const double bx = static_cast<double>(v3->x) - v1->x, by = static_cast<double>(v3->y) - v1->y,
               bz = static_cast<double>(v3->z) - v1->z;
  const MXVECTOR3 cross = {static_cast<F>(ay * bz - az * by), static_cast<F>(az * bx - ax * bz),
                           static_cast<F>(ax * by - ay * bx)};
  const MXVECTOR3 p = *v1;
  MXVECTOR3 n;
  ::MXVec3Normalize(&n, &cross);
  const double d = -(static_cast<double>(p.x) * n.x + static_cast<double>(p.y) * n.y +
                     static_cast<double>(p.z) * n.z);
  *out = {n.x, n.y, n.z, static_cast<F>(d)};
  return out;
}

MXPLANE* MXPlaneNormalize(MXPLANE* out, const MXPLANE* p) {
  if (!out || !p) return nullptr;
  const double a = p->a, b = p->b, c = p->c, d = p->d;
  const double len = std::sqrt(a * a + b * b + c * c);
  if (len == 0.0) {
    *out = {0.0f, 0.0f, 0.0f, 0.0f};
    return out;
  }
  const double k = 1.0 / len;
  *out = {static_cast<F>(a * k), static_cast<F>(b * k), static_cast<F>(c * k), static_cast<F>(d * k)};
  return out;
}

MXVECTOR3* MXPlaneIntersectLine(MXVECTOR3* out, const MXPLANE* p, const MXVECTOR3* v1, const MXVECTOR3* v2) {
  if (!out || !p || !v1 || !v2) return nullptr;
  const double dx = static_cast<double>(v2->x) - v1->x, dy = static_cast<double>(v2->y) - v1->y,
               dz = static_cast<double>(v2->z) - v1->z;
  const double denom = p->a * dx + p->b * dy + p->c * dz;
  if (denom == 0.0) return nullptr;
  const double t = -(p->a * static_cast<double>(v1->x) + p->b * static_cast<double>(v1->y) +
                     p->c * static_cast<double>(v1->z) + p->d) /
                   denom;
  *out = {static_cast<F>(v1->x + t * dx), static_cast<F>(v1->y + t * dy), static_cast<F>(v1->z + t * dz)};
  return out;
}

MXPLANE* MXPlaneTransform(MXPLANE* out, const MXPLANE* p, const MXMATRIX* m) {
  if (!out || !p || !m) return nullptr;
  const double v[4] = {p->a, p->b, p->c, p->d};
  double r[4];
  for (int c = 0; c < 4; ++c) r[c] = v[0] * m->m[0][c] + v[1] * m->m[1][c] + v[2] * m->m[2][c] + v[3] * m->m[3][c];
  *out = {static_cast<F>(r[0]), static_cast<F>(r[1]), static_cast<F>(r[2]), static_cast<F>(r[3])};
  return out;
}

}  // namespace mx::x87
