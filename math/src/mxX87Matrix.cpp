// x87 routines of the matrix operations.
#include <cmath>
#include <cstring>

#include "mxTable.h"
#include "mxX87.h"

namespace mx::x87 {

namespace {

using F = float;

// Four floats stored as one row. The compiler's generic vectors let it build the row in a
// register and store it at once where the processor has vector registers; elsewhere they
// are four plain stores.
typedef float Row __attribute__((vector_size(16)));

void storeRow(float* dst, float a, float b, float c, float d) {
  const Row row = {a, b, c, d};
  std::memcpy(dst, &row, sizeof row);
}

void loadMatrix(double d[4][4], const MXMATRIX* m) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) d[r][c] = m->m[r][c];
}

void storeMatrix(MXMATRIX* out, const double d[4][4]) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) out->m[r][c] = static_cast<F>(d[r][c]);
}

void setIdentity(MXMATRIX* out) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) out->m[r][c] = r == c ? 1.0f : 0.0f;
}

// The rotation that turns axis i towards axis j: the identity with cos at [i][i] and [j][j],
// sin at [i][j] and -sin at [j][i].
MXMATRIX* rotationInPlane(MXMATRIX* out, float angle, int i, int j) {
  if (!out) return nullptr;
  const F c = static_cast<F>(std::cos(static_cast<double>(angle)));
  const F s = static_cast<F>(std::sin(static_cast<double>(angle)));
  setIdentity(out);
  out->m[i][i] = c;
  out->m[i][j] = s;
  out->m[j][i] = -s;
  out->m[j][j] = c;
  return out;
}

// Rows of m1 read whole before the same row of out is written: safe when out is m1.
void multiplyByRows(MXMATRIX* out, const MXMATRIX* m1, const MXMATRIX* m2) {
  for (int r = 0; r < 4; ++r) {
    const double a0 = m1->m[r][0], a1 = m1->m[r][1], a2 = m1->m[r][2], a3 = m1->m[r][3];
    double row[4];
    for (int c = 0; c < 4; ++c)
      row[c] = a0 * m2->m[0][c] + a1 * m2->m[1][c] + a2 * m2->m[2][c] + a3 * m2->m[3][c];
    for (int c = 0; c < 4; ++c) out->m[r][c] = static_cast<F>(row[c]);
  }
}

// Columns of m2 read whole before the same column of out is written: safe when out is m2.
void multiplyByColumns(MXMATRIX* out, const MXMATRIX* m1, const MXMATRIX* m2) {
  for (int c = 0; c < 4; ++c) {
    const double b0 = m2->m[0][c], b1 = m2->m[1][c], b2 = m2->m[2][c], b3 = m2->m[3][c];
    double col[4];
    for (int r = 0; r < 4; ++r)
      col[r] = m1->m[r][0] * b0 + m1->m[r][1] * b1 + m1->m[r][2] * b2 + m1->m[r][3] * b3;
    for (int r = 0; r < 4; ++r) out->m[r][c] = static_cast<F>(col[r]);
  }
}

// Determinant and, when asked, the adjugate (transposed cofactors) of a 4x4 matrix.
double determinant(const double a[4][4], double adj[4][4]) {
  const double s0 = a[0][0] * a[1][1] - a[1][0] * a[0][1];
  const double s1 = a[0][0] * a[1][2] - a[1][0] * a[0][2];
  const double s2 = a[0][0] * a[1][3] - a[1][0] * a[0][3];
  const double s3 = a[0][1] * a[1][2] - a[1][1] * a[0][2];
  const double s4 = a[0][1] * a[1][3] - a[1][1] * a[0][3];
  const double s5 = a[0][2] * a[1][3] - a[1][2] * a[0][3];
  const double c5 = a[2][2] * a[3][3] - a[3][2] * a[2][3];
  const double c4 = a[2][1] * a[3][3] - a[3][1] * a[2][3];
  const double c3 = a[2][1] * a[3][2] - a[3][1] * a[2][2];
  const double c2 = a[2][0] * a[3][3] - a[3][0] * a[2][3];
  const double c1 = a[2][0] * a[3][2] - a[3][0] * a[2][2];
  const double c0 = a[2][0] * a[3][1] - a[3][0] * a[2][1];
  const double det = s0 * c5 - s1 * c4 + s2 * c3 + s3 * c2 - s4 * c1 + s5 * c0;
  if (adj) {
    adj[0][0] = a[1][1] * c5 - a[1][2] * c4 + a[1][3] * c3;
    adj[0][1] = -a[0][1] * c5 + a[0][2] * c4 - a[0][3] * c3;
    adj[0][2] = a[3][1] * s5 - a[3][2] * s4 + a[3][3] * s3;
    adj[0][3] = -a[2][1] * s5 + a[2][2] * s4 - a[2][3] * s3;
    adj[1][0] = -a[1][0] * c5 + a[1][2] * c2 - a[1][3] * c1;
    adj[1][1] = a[0][0] * c5 - a[0][2] * c2 + a[0][3] * c1;
    adj[1][2] = -a[3][0] * s5 + a[3][2] * s2 - a[3][3] * s1;
    adj[1][3] = a[2][0] * s5 - a[2][2] * s2 + a[2][3] * s1;
    adj[2][0] = a[1][0] * c4 - a[1][1] * c2 + a[1][3] * c0;
    adj[2][1] = -a[0][0] * c4 + a[0][1] * c2 - a[0][3] * c0;
    adj[2][2] = a[3][0] * s4 - a[3][1] * s2 + a[3][3] * s0;
    adj[2][3] = -a[2][0] * s4 + a[2][1] * s2 - a[2][3] * s0;
    adj[3][0] = -a[1][0] * c3 + a[1][1] * c1 - a[1][2] * c0;
    adj[3][1] = a[0][0] * c3 - a[0][1] * c1 + a[0][2] * c0;
    adj[3][2] = -a[3][0] * s3 + a[3][1] * s1 - a[3][2] * s0;
    adj[3][3] = a[2][0] * s3 - a[2][1] * s1 + a[2][2] * s0;
  }
  return det;
}

// Translation by t as a matrix (identity when t is null); sign -1 gives the inverse.
void translationMatrix(MXMATRIX* out, const MXVECTOR3* t, float sign) {
  setIdentity(out);
  if (t) {
    out->m[3][0] = sign * t->x;
    out->m[3][1] = sign * t->y;
    out->m[3][2] = sign * t->z;
  }
}

// The end that both compositions share: m turned by the rotation about its centre when there
// is one, then moved by the translation, and stored in out.
MXMATRIX* rotatedAndTranslated(MXMATRIX* out, MXMATRIX* m, const MXVECTOR3* rotationCenter,
                               const MXQUATERNION* rotation, const MXVECTOR3* translation) {
  MXMATRIX step;
  if (rotation) {
    translationMatrix(&step, rotationCenter, -1.0f);
    ::MXMatrixMultiply(m, m, &step);
    ::MXMatrixRotationQuaternion(&step, rotation);
    ::MXMatrixMultiply(m, m, &step);
    translationMatrix(&step, rotationCenter, 1.0f);
    ::MXMatrixMultiply(m, m, &step);
  }
  translationMatrix(&step, translation, 1.0f);
  ::MXMatrixMultiply(m, m, &step);
  *out = *m;
  return out;
}

}  // namespace

MXMATRIX* MXMatrixMultiply(MXMATRIX* out, const MXMATRIX* m1, const MXMATRIX* m2) {
  if (!out || !m1 || !m2) return nullptr;
  if (out == m2) {
    if (out == m1) {
      const MXMATRIX copy = *m2;
      multiplyByRows(out, m1, &copy);
    } else {
      multiplyByColumns(out, m1, m2);
    }
  } else {
    multiplyByRows(out, m1, m2);
  }
  return out;
}

MXMATRIX* MXMatrixMultiplyTranspose(MXMATRIX* out, const MXMATRIX* m1, const MXMATRIX* m2) {
  if (!out || !m1 || !m2) return nullptr;
  double a[4][4], b[4][4], p[4][4];
  loadMatrix(a, m1);
  loadMatrix(b, m2);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      p[c][r] = a[r][0] * b[0][c] + a[r][1] * b[1][c] + a[r][2] * b[2][c] + a[r][3] * b[3][c];
  storeMatrix(out, p);
  return out;
}

float MXMatrixDeterminant(const MXMATRIX* m) {
  if (!m) return 0.0f;
  double a[4][4];
  loadMatrix(a, m);
  return static_cast<F>(determinant(a, nullptr));
}

MXMATRIX* MXMatrixInverse(MXMATRIX* out, float* pDet, const MXMATRIX* m) {
  if (!out || !m) return nullptr;
  double a[4][4], adj[4][4];
  loadMatrix(a, m);
  const double det = determinant(a, adj);
  if (pDet) *pDet = static_cast<F>(det);
  const double inv = 1.0 / det;
  if (!std::isfinite(inv) || !std::isfinite(static_cast<F>(inv))) return nullptr;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) adj[r][c] *= inv;
  storeMatrix(out, adj);
  return out;
}

MXMATRIX* MXMatrixTranspose(MXMATRIX* out, const MXMATRIX* m) {
  if (!out || !m) return nullptr;
  const MXMATRIX copy = *m;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) out->m[r][c] = copy.m[c][r];
  return out;
}

MXMATRIX* MXMatrixTranslation(MXMATRIX* out, float x, float y, float z) {
  if (!out) return nullptr;
  storeRow(out->m[0], 1, 0, 0, 0);
  storeRow(out->m[1], 0, 1, 0, 0);
  storeRow(out->m[2], 0, 0, 1, 0);
  storeRow(out->m[3], x, y, z, 1);
  return out;
}

MXMATRIX* MXMatrixScaling(MXMATRIX* out, float sx, float sy, float sz) {
  if (!out) return nullptr;
  storeRow(out->m[0], sx, 0, 0, 0);
  storeRow(out->m[1], 0, sy, 0, 0);
  storeRow(out->m[2], 0, 0, sz, 0);
  storeRow(out->m[3], 0, 0, 0, 1);
  return out;
}

MXMATRIX* MXMatrixRotationX(MXMATRIX* out, float angle) { return rotationInPlane(out, angle, 1, 2); }
MXMATRIX* MXMatrixRotationY(MXMATRIX* out, float angle) { return rotationInPlane(out, angle, 2, 0); }
MXMATRIX* MXMatrixRotationZ(MXMATRIX* out, float angle) { return rotationInPlane(out, angle, 0, 1); }

MXMATRIX* MXMatrixRotationQuaternion(MXMATRIX* out, const MXQUATERNION* q) {
  if (!out || !q) return nullptr;
  const double x = q->x, y = q->y, z = q->z, w = q->w;
  const double xx = 2 * x * x, yy = 2 * y * y, zz = 2 * z * z;
  const double xy = 2 * x * y, xz = 2 * x * z, yz = 2 * y * z, wx = 2 * w * x, wy = 2 * w * y, wz = 2 * w * z;
  storeRow(out->m[0], static_cast<F>(1 - yy - zz), static_cast<F>(xy + wz), static_cast<F>(xz - wy), 0);
  storeRow(out->m[1], static_cast<F>(xy - wz), static_cast<F>(1 - xx - zz), static_cast<F>(yz + wx), 0);
  storeRow(out->m[2], static_cast<F>(xz + wy), static_cast<F>(yz - wx), static_cast<F>(1 - xx - yy), 0);
  storeRow(out->m[3], 0, 0, 0, 1);
  return out;
}

MXMATRIX* MXMatrixRotationYawPitchRoll(MXMATRIX* out, float yaw, float pitch, float roll) {
  if (!out) return nullptr;
  MXQUATERNION q;
  ::MXQuaternionRotationYawPitchRoll(&q, yaw, pitch, roll);
  return ::MXMatrixRotationQuaternion(out, &q);
}

MXMATRIX* MXMatrixRotationAxis(MXMATRIX* out, const MXVECTOR3* axis, float angle) {
  if (!out || !axis) return nullptr;
  MXVECTOR3 n;
  ::MXVec3Normalize(&n, axis);
  const double x = n.x, y = n.y, z = n.z;
  const double c = std::cos(static_cast<double>(angle)), s = std::sin(static_cast<double>(angle));
  const double t = 1 - c;
  const double d[4][4] = {
      {t * x * x + c, t * x * y + s * z, t * x * z - s * y, 0},
      {t * x * y - s * z, t * y * y + c, t * y * z + s * x, 0},
      {t * x * z + s * y, t * y * z - s * x, t * z * z + c, 0},
      {0, 0, 0, 1},
  };
  storeMatrix(out, d);
  return out;
}

MXMATRIX* MXMatrixShadow(MXMATRIX* out, const MXVECTOR4* light, const MXPLANE* plane) {
  if (!out || !light || !plane) return nullptr;
  MXPLANE p;
  ::MXPlaneNormalize(&p, plane);
  const double pl[4] = {p.a, p.b, p.c, p.d};
  const double l[4] = {light->x, light->y, light->z, light->w};
  const double dot = pl[0] * l[0] + pl[1] * l[1] + pl[2] * l[2] + pl[3] * l[3];
  double d[4][4];
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) d[r][c] = (r == c ? dot : 0.0) - pl[r] * l[c];
  storeMatrix(out, d);
  return out;
}

MXMATRIX* MXMatrixReflect(MXMATRIX* out, const MXPLANE* plane) {
  if (!out || !plane) return nullptr;
  MXPLANE p;
  ::MXPlaneNormalize(&p, plane);
  const double n[4] = {p.a, p.b, p.c, p.d};
  double d[4][4];
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) d[r][c] = (r == c ? 1.0 : 0.0) - 2 * n[r] * n[c];
    d[r][3] = 0;
  }
  for (int c = 0; c < 3; ++c) d[3][c] = -2 * n[3] * n[c];
  d[3][3] = 1;
  storeMatrix(out, d);
  return out;
}

MXMATRIX* MXMatrixTransformation(MXMATRIX* out, const MXVECTOR3* scalingCenter,
                                 const MXQUATERNION* scalingRotation, const MXVECTOR3* scaling,
                                 const MXVECTOR3* rotationCenter, const MXQUATERNION* rotation,
                                 const MXVECTOR3* translation) {
  if (!out) return nullptr;
  // Composed in a local matrix so that out is written once, after every input is read.
  MXMATRIX m, step;
  translationMatrix(&m, scalingCenter, -1.0f);
  if (scalingRotation) {
    MXMATRIX rot;
    ::MXMatrixRotationQuaternion(&rot, scalingRotation);
    ::MXMatrixTranspose(&step, &rot);
    ::MXMatrixMultiply(&m, &m, &step);
    if (scaling) {
      ::MXMatrixScaling(&step, scaling->x, scaling->y, scaling->z);
      ::MXMatrixMultiply(&m, &m, &step);
    }
    ::MXMatrixMultiply(&m, &m, &rot);
  } else if (scaling) {
    ::MXMatrixScaling(&step, scaling->x, scaling->y, scaling->z);
    ::MXMatrixMultiply(&m, &m, &step);
  }
  translationMatrix(&step, scalingCenter, 1.0f);
  ::MXMatrixMultiply(&m, &m, &step);
  return rotatedAndTranslated(out, &m, rotationCenter, rotation, translation);
}

MXMATRIX* MXMatrixAffineTransformation(MXMATRIX* out, float scaling, const MXVECTOR3* rotationCenter,
                                       const MXQUATERNION* rotation, const MXVECTOR3* translation) {
  if (!out) return nullptr;
  MXMATRIX m;
  ::MXMatrixScaling(&m, scaling, scaling, scaling);
  return rotatedAndTranslated(out, &m, rotationCenter, rotation, translation);
}

}  // namespace mx::x87
