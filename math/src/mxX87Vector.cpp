// x87 routines of the vector operations.
#include <cmath>

#include "mxTable.h"
#include "mxX87.h"

namespace mx::x87 {

namespace {

using F = float;

// (x, y, z, w) * M in double precision.
void transform4(double out[4], double x, double y, double z, double w, const MXMATRIX* m) {
  for (int c = 0; c < 4; ++c) out[c] = x * m->m[0][c] + y * m->m[1][c] + z * m->m[2][c] + w * m->m[3][c];
}

// Hermite basis at s, applied to the four inputs component by component.
template <typename V, int N>
V* hermite(V* out, const V* v1, const V* t1, const V* v2, const V* t2, float s) {
  if (!out || !v1 || !t1 || !v2 || !t2) return nullptr;
  const double sd = s, s2 = sd * sd, s3 = s2 * sd;
  const double h1 = 2 * s3 - 3 * s2 + 1, h2 = s3 - 2 * s2 + sd, h3 = -2 * s3 + 3 * s2, h4 = s3 - s2;
  const float* a = reinterpret_cast<const float*>(v1);
  const float* b = reinterpret_cast<const float*>(t1);
  const float* c = reinterpret_cast<const float*>(v2);
  const float* d = reinterpret_cast<const float*>(t2);
  double r[N];
  for (int i = 0; i < N; ++i) r[i] = h1 * a[i] + h2 * b[i] + h3 * c[i] + h4 * d[i];
  float* o = reinterpret_cast<float*>(out);
  for (int i = 0; i < N; ++i) o[i] = static_cast<F>(r[i]);
  return out;
}

template <typename V, int N>
V* catmullRom(V* out, const V* v0, const V* v1, const V* v2, const V* v3, float s) {
  if (!out || !v0 || !v1 || !v2 || !v3) return nullptr;
  const double sd = s, s2 = sd * sd, s3 = s2 * sd;
  const double k0 = -s3 + 2 * s2 - sd, k1 = 3 * s3 - 5 * s2 + 2, k2 = -3 * s3 + 4 * s2 + sd, k3 = s3 - s2;
  const float* a = reinterpret_cast<const float*>(v0);
  const float* b = reinterpret_cast<const float*>(v1);
  const float* c = reinterpret_cast<const float*>(v2);
  const float* d = reinterpret_cast<const float*>(v3);
  double r[N];
  for (int i = 0; i < N; ++i) r[i] = 0.5 * (k0 * a[i] + k1 * b[i] + k2 * c[i] + k3 * d[i]);
  float* o = reinterpret_cast<float*>(out);
  for (int i = 0; i < N; ++i) o[i] = static_cast<F>(r[i]);
  return out;
}

template <typename V, int N>
V* baryCentric(V* out, const V* v1, const V* v2, const V* v3, float f, float g) {
  if (!out || !v1 || !v2 || !v3) return nullptr;
  const float* a = reinterpret_cast<const float*>(v1);
  const float* b = reinterpret_cast<const float*>(v2);
  const float* c = reinterpret_cast<const float*>(v3);
  double r[N];
  for (int i = 0; i < N; ++i) r[i] = a[i] + static_cast<double>(f) * (b[i] - static_cast<double>(a[i])) +
                                     static_cast<double>(g) * (c[i] - static_cast<double>(a[i]));
  float* o = reinterpret_cast<float*>(out);
  for (int i = 0; i < N; ++i) o[i] = static_cast<F>(r[i]);
  return out;
}

}  // namespace

MXVECTOR4* MXVec2Transform(MXVECTOR4* out, const MXVECTOR2* v, const MXMATRIX* m) {
  if (!out || !v || !m) return nullptr;
  double r[4];
  transform4(r, v->x, v->y, 0, 1, m);
  *out = {static_cast<F>(r[0]), static_cast<F>(r[1]), static_cast<F>(r[2]), static_cast<F>(r[3])};
  return out;
}

MXVECTOR4* MXVec3Transform(MXVECTOR4* out, const MXVECTOR3* v, const MXMATRIX* m) {
  if (!out || !v || !m) return nullptr;
  double r[4];
  transform4(r, v->x, v->y, v->z, 1, m);
  *out = {static_cast<F>(r[0]), static_cast<F>(r[1]), static_cast<F>(r[2]), static_cast<F>(r[3])};
  return out;
}

MXVECTOR4* MXVec4Transform(MXVECTOR4* out, const MXVECTOR4* v, const MXMATRIX* m) {
  if (!out || !v || !m) return nullptr;
  double r[4];
  transform4(r, v->x, v->y, v->z, v->w, m);
  *out = {static_cast<F>(r[0]), static_cast<F>(r[1]), static_cast<F>(r[2]), static_cast<F>(r[3])};
  return out;
}

MXVECTOR2* MXVec2TransformNormal(MXVECTOR2* out, const MXVECTOR2* v, const MXMATRIX* m) {
  if (!out || !v || !m) return nullptr;
  double r[4];
  transform4(r, v->x, v->y, 0, 0, m);
  *out = {static_cast<F>(r[0]), static_cast<F>(r[1])};
  return out;
}

MXVECTOR3* MXVec3TransformNormal(MXVECTOR3* out, const MXVECTOR3* v, const MXMATRIX* m) {
  if (!out || !v || !m) return nullptr;
  double r[4];
  transform4(r, v->x, v->y, v->z, 0, m);
  *out = {static_cast<F>(r[0]), static_cast<F>(r[1]), static_cast<F>(r[2])};
  return out;
}

MXVECTOR2* MXVec2TransformCoord(MXVECTOR2* out, const MXVECTOR2* v, const MXMATRIX* m) {
  if (!out || !v || !m) return nullptr;
  double r[4];
  transform4(r, v->x, v->y, 0, 1, m);
  *out = {static_cast<F>(r[0] / r[3]), static_cast<F>(r[1] / r[3])};
  return out;
}

MXVECTOR3* MXVec3TransformCoord(MXVECTOR3* out, const MXVECTOR3* v, const MXMATRIX* m) {
  if (!out || !v || !m) return nullptr;
  double r[4];
  transform4(r, v->x, v->y, v->z, 1, m);
  out->x = static_cast<F>(r[0]);
  out->y = static_cast<F>(r[1]);
  out->z = static_cast<F>(r[2]);
  const F w = static_cast<F>(r[3]);
  if (nearEqual(w, 1.0f)) return out;
  const double rw = 1.0 / w;
  out->x = static_cast<F>(out->x * rw);
  out->y = static_cast<F>(out->y * rw);
  out->z = static_cast<F>(out->z * rw);
  return out;
}

MXVECTOR3* MXVec3Normalize(MXVECTOR3* out, const MXVECTOR3* v) {
  if (!out || !v) return nullptr;
  const double x = v->x, y = v->y, z = v->z;
  const F sq = static_cast<F>(x * x + y * y + z * z);
  if (sq == 0.0f) {
    *out = {0.0f, 0.0f, 0.0f};
    return out;
  }
  if (std::fabs(static_cast<double>(sq) - 1.0) <= 1e-5) {
    *out = {v->x, v->y, v->z};
    return out;
  }
  const double k = chordRsqrt(sq);
  *out = {static_cast<F>(x * k), static_cast<F>(y * k), static_cast<F>(z * k)};
  return out;
}

MXVECTOR4* MXVec4Normalize(MXVECTOR4* out, const MXVECTOR4* v) {
  if (!out || !v) return nullptr;
  const double x = v->x, y = v->y, z = v->z, w = v->w;
  const double sq = x * x + y * y + z * z + w * w;
  if (nearEqual(static_cast<F>(sq), 1.0f)) {
    *out = {v->x, v->y, v->z, v->w};
    return out;
  }
  if (!(static_cast<F>(sq) > 0x1p-126f)) {
    *out = {0.0f, 0.0f, 0.0f, 0.0f};
    return out;
  }
  const double k = 1.0 / std::sqrt(sq);
  *out = {static_cast<F>(x * k), static_cast<F>(y * k), static_cast<F>(z * k), static_cast<F>(w * k)};
  return out;
}

MXVECTOR2* MXVec2Normalize(MXVECTOR2* out, const MXVECTOR2* v) {
  if (!out || !v) return nullptr;
  const double x = v->x, y = v->y;
  const double sq = x * x + y * y;
  if (sq == 0.0) {
    *out = {0.0f, 0.0f};
    return out;
  }
  const double k = 1.0 / std::sqrt(sq);
  *out = {static_cast<F>(x * k), static_cast<F>(y * k)};
  return out;
}

MXVECTOR4* MXVec4Cross(MXVECTOR4* out, const MXVECTOR4* v1, const MXVECTOR4* v2, const MXVECTOR4* v3) {
  if (!out || !v1 || !v2 || !v3) return nullptr;
  const double a = static_cast<double>(v2->x) * v3->y - static_cast<double>(v2->y) * v3->x;
  const double b = static_cast<double>(v2->x) * v3->z - static_cast<double>(v2->z) * v3->x;
  const double c = static_cast<double>(v2->x) * v3->w - static_cast<double>(v2->w) * v3->x;
  const double d = static_cast<double>(v2->y) * v3->z - static_cast<double>(v2->z) * v3->y;
  const double e = static_cast<double>(v2->y) * v3->w - static_cast<double>(v2->w) * v3->y;
  const double f = static_cast<double>(v2->z) * v3->w - static_cast<double>(v2->w) * v3->z;
  const double x = v1->y * f - v1->z * e + v1->w * d;
  const double y = -v1->x * f + v1->z * c - v1->w * b;
  const double z = v1->x * e - v1->y * c + v1->w * a;
  const double w = -v1->x * d + v1->y * b - v1->z * a;
  *out = {static_cast<F>(x), static_cast<F>(y), static_cast<F>(z), static_cast<F>(w)};
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
  const double halfW = vp->Width * 0.5, halfH = vp->Height * 0.5;
  *out = {static_cast<F>(vp->X + (1.0 + p.x) * halfW), static_cast<F>(vp->Y + (1.0 - p.y) * halfH),
          static_cast<F>(vp->MinZ + p.z * (static_cast<double>(vp->MaxZ) - vp->MinZ))};
  return out;
}

MXVECTOR3* MXVec3Unproject(MXVECTOR3* out, const MXVECTOR3* v, const MXVIEWPORT* vp,
                           const MXMATRIX* projection, const MXMATRIX* view, const MXMATRIX* world) {
  if (!out || !v || !vp || !projection || !view || !world) return nullptr;
  MXMATRIX m;
  ::MXMatrixMultiply(&m, world, view);
  ::MXMatrixMultiply(&m, &m, projection);
  if (!::MXMatrixInverse(&m, nullptr, &m)) return nullptr;
  const MXVECTOR3 ndc = {
      static_cast<F>((v->x - static_cast<double>(vp->X)) * 2.0 / vp->Width - 1.0),
      static_cast<F>(1.0 - (v->y - static_cast<double>(vp->Y)) * 2.0 / vp->Height),
      static_cast<F>((v->z - static_cast<double>(vp->MinZ)) / (static_cast<double>(vp->MaxZ) - vp->MinZ)),
  };
  return ::MXVec3TransformCoord(out, &ndc, &m);
}

#include "mxSplineEntries.inl"

}  // namespace mx::x87
