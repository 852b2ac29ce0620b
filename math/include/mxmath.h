// Single-precision vector and matrix math.
//
// Every operation is one public entry that calls the routine its slot of the operation
// table holds. The table is filled once per process, on the first call of any operation,
// with the routine set chosen for the processor (x87, SSE, SSE2 or 3DNow).
//
// Conventions shared by all operations: pointer arguments come first, the output first of
// all; float values follow. Each operation returns its output pointer, or null when a
// pointer it needs is null (and then writes nothing). An output may be the same object as
// an input: the result is what it would be had the inputs been copied first.
#pragma once

#include <stdint.h>

#if defined(_WIN32)
#define MXAPI
#else
#define MXAPI __attribute__((visibility("default")))
#endif

// Three floats x, y, z (12 bytes).
struct MXVECTOR3 {
  float x, y, z;
};

// Sixteen floats stored row after row (64 bytes). Points are row vectors multiplied
// from the left (v' = v * M); the translation of an affine matrix is row 4.
struct MXMATRIX {
  float m[4][4];
};

struct MXVECTOR2 {
  float x, y;
};

struct MXVECTOR4 {
  float x, y, z, w;
};

// w is the scalar part.
struct MXQUATERNION {
  float x, y, z, w;
};

// a*x + b*y + c*z + d = 0.
struct MXPLANE {
  float a, b, c, d;
};

// The target rectangle of a projection, in pixels, and its depth range.
struct MXVIEWPORT {
  uint32_t X, Y, Width, Height;
  float MinZ, MaxZ;
};

// Receives each debugger line ("MX: <text>\r\n", at most 255 characters).
typedef void (*MXDEBUGSINK)(const char* line, void* context);

#ifdef __cplusplus
extern "C" {
#endif

// Installs the receiver of the library's debugger lines; null restores the default
// (the file or standard error named by the environment variable MX_output, else nowhere).
MXAPI void MXSetDebugSink(MXDEBUGSINK sink, void* context);

// (x, y, 0, 1) * M.
MXAPI MXVECTOR4* MXVec2Transform(MXVECTOR4* pOut, const MXVECTOR2* pV, const MXMATRIX* pM);
// (x, y, z, 1) * M.
MXAPI MXVECTOR4* MXVec3Transform(MXVECTOR4* pOut, const MXVECTOR3* pV, const MXMATRIX* pM);
// v * M.
MXAPI MXVECTOR4* MXVec4Transform(MXVECTOR4* pOut, const MXVECTOR4* pV, const MXMATRIX* pM);
// m1 * m2: m1 applied first, then m2.
MXAPI MXMATRIX* MXMatrixMultiply(MXMATRIX* pOut, const MXMATRIX* pM1, const MXMATRIX* pM2);
// Transpose of m1 * m2.
MXAPI MXMATRIX* MXMatrixMultiplyTranspose(MXMATRIX* pOut, const MXMATRIX* pM1, const MXMATRIX* pM2);
// First two components of (x, y, 0, 0) * M.
MXAPI MXVECTOR2* MXVec2TransformNormal(MXVECTOR2* pOut, const MXVECTOR2* pV, const MXMATRIX* pM);
// First three components of (x, y, z, 0) * M.
MXAPI MXVECTOR3* MXVec3TransformNormal(MXVECTOR3* pOut, const MXVECTOR3* pV, const MXMATRIX* pM);
// Unit vector; a zero vector gives zeros.
MXAPI MXVECTOR3* MXVec3Normalize(MXVECTOR3* pOut, const MXVECTOR3* pV);
MXAPI MXVECTOR4* MXVec4Normalize(MXVECTOR4* pOut, const MXVECTOR4* pV);
// (x, y, 0, 1) * M divided by its w.
MXAPI MXVECTOR2* MXVec2TransformCoord(MXVECTOR2* pOut, const MXVECTOR2* pV, const MXMATRIX* pM);
// (x, y, z, 1) * M divided by its w; a w of 0 gives non-finite components.
MXAPI MXVECTOR3* MXVec3TransformCoord(MXVECTOR3* pOut, const MXVECTOR3* pV, const MXMATRIX* pM);
// 0 for a null matrix.
MXAPI float MXMatrixDeterminant(const MXMATRIX* pM);
// (nx, ny, nz, -p.n).
MXAPI MXPLANE* MXPlaneFromPointNormal(MXPLANE* pOut, const MXVECTOR3* pPoint, const MXVECTOR3* pNormal);
// Plane through three points, its normal of unit length.
MXAPI MXPLANE* MXPlaneFromPoints(MXPLANE* pOut, const MXVECTOR3* pV1, const MXVECTOR3* pV2,
                                 const MXVECTOR3* pV3);
// The point in viewport coordinates after world, view and projection.
MXAPI MXVECTOR3* MXVec3Project(MXVECTOR3* pOut, const MXVECTOR3* pV, const MXVIEWPORT* pViewport,
                               const MXMATRIX* pProjection, const MXMATRIX* pView, const MXMATRIX* pWorld);
// The inverse of MXVec3Project; null when world * view * projection is singular.
MXAPI MXVECTOR3* MXVec3Unproject(MXVECTOR3* pOut, const MXVECTOR3* pV, const MXVIEWPORT* pViewport,
                                 const MXMATRIX* pProjection, const MXMATRIX* pView, const MXMATRIX* pWorld);
// Four-dimensional cross product: a vector orthogonal to all three.
MXAPI MXVECTOR4* MXVec4Cross(MXVECTOR4* pOut, const MXVECTOR4* pV1, const MXVECTOR4* pV2,
                             const MXVECTOR4* pV3);
MXAPI MXVECTOR2* MXVec2Hermite(MXVECTOR2* pOut, const MXVECTOR2* pV1, const MXVECTOR2* pT1,
                               const MXVECTOR2* pV2, const MXVECTOR2* pT2, float s);
// pDeterminant may be null; null result when the matrix is singular.
MXAPI MXMATRIX* MXMatrixInverse(MXMATRIX* pOut, float* pDeterminant, const MXMATRIX* pM);
// The rotation q1 followed by q2.
MXAPI MXQUATERNION* MXQuaternionMultiply(MXQUATERNION* pOut, const MXQUATERNION* pQ1,
                                         const MXQUATERNION* pQ2);
MXAPI MXQUATERNION* MXQuaternionNormalize(MXQUATERNION* pOut, const MXQUATERNION* pQ);
// (a, b, c, d) divided by the length of (a, b, c).
MXAPI MXPLANE* MXPlaneNormalize(MXPLANE* pOut, const MXPLANE* pP);
// Null when the line through the two points is parallel to the plane.
MXAPI MXVECTOR3* MXPlaneIntersectLine(MXVECTOR3* pOut, const MXPLANE* pP, const MXVECTOR3* pV1,
                                      const MXVECTOR3* pV2);
// Axis and angle of a rotation quaternion; either output may be null.
MXAPI void MXQuaternionToAxisAngle(const MXQUATERNION* pQ, MXVECTOR3* pAxis, float* pAngle);
MXAPI MXQUATERNION* MXQuaternionRotationMatrix(MXQUATERNION* pOut, const MXMATRIX* pM);
// Angles in radians: roll about z first, then pitch about x, then yaw about y.
MXAPI MXQUATERNION* MXQuaternionRotationYawPitchRoll(MXQUATERNION* pOut, float yaw, float pitch, float roll);
MXAPI MXMATRIX* MXMatrixTranslation(MXMATRIX* pOut, float x, float y, float z);
// Flattens geometry onto the plane as seen from the light (w = 0: a directional light).
MXAPI MXMATRIX* MXMatrixShadow(MXMATRIX* pOut, const MXVECTOR4* pLight, const MXPLANE* pPlane);
MXAPI MXMATRIX* MXMatrixReflect(MXMATRIX* pOut, const MXPLANE* pPlane);
MXAPI MXQUATERNION* MXQuaternionRotationAxis(MXQUATERNION* pOut, const MXVECTOR3* pAxis, float angle);
MXAPI MXMATRIX* MXMatrixRotationX(MXMATRIX* pOut, float angle);
MXAPI MXMATRIX* MXMatrixRotationY(MXMATRIX* pOut, float angle);
MXAPI MXMATRIX* MXMatrixRotationZ(MXMATRIX* pOut, float angle);
MXAPI MXMATRIX* MXMatrixScaling(MXMATRIX* pOut, float sx, float sy, float sz);
// The plane as a 4-vector times M (pass the inverse transpose of a point transform).
MXAPI MXPLANE* MXPlaneTransform(MXPLANE* pOut, const MXPLANE* pP, const MXMATRIX* pM);
// Spherical interpolation along the shorter arc.
MXAPI MXQUATERNION* MXQuaternionSlerp(MXQUATERNION* pOut, const MXQUATERNION* pQ1, const MXQUATERNION* pQ2,
                                      float t);
MXAPI MXQUATERNION* MXQuaternionBaryCentric(MXQUATERNION* pOut, const MXQUATERNION* pQ1,
                                            const MXQUATERNION* pQ2, const MXQUATERNION* pQ3, float f, float g);
MXAPI MXMATRIX* MXMatrixTranspose(MXMATRIX* pOut, const MXMATRIX* pM);
// The rotation of a unit quaternion (not normalised here).
MXAPI MXMATRIX* MXMatrixRotationQuaternion(MXMATRIX* pOut, const MXQUATERNION* pQ);
// Scaling about a centre in a rotated frame, then rotation about a centre, then translation.
// Every input may be null: that part of the transform is left out.
MXAPI MXMATRIX* MXMatrixTransformation(MXMATRIX* pOut, const MXVECTOR3* pScalingCenter,
                                       const MXQUATERNION* pScalingRotation, const MXVECTOR3* pScaling,
                                       const MXVECTOR3* pRotationCenter, const MXQUATERNION* pRotation,
                                       const MXVECTOR3* pTranslation);
// Angles in radians: roll about z first, then pitch about x, then yaw about y.
MXAPI MXMATRIX* MXMatrixRotationYawPitchRoll(MXMATRIX* pOut, float yaw, float pitch, float roll);
// Uniform scaling, then rotation about a centre, then translation. The pointer inputs may be
// null: that part of the transform is left out.
MXAPI MXMATRIX* MXMatrixAffineTransformation(MXMATRIX* pOut, float scaling, const MXVECTOR3* pRotationCenter,
                                             const MXQUATERNION* pRotation, const MXVECTOR3* pTranslation);
MXAPI MXMATRIX* MXMatrixRotationAxis(MXMATRIX* pOut, const MXVECTOR3* pAxis, float angle);
MXAPI MXQUATERNION* MXQuaternionSquad(MXQUATERNION* pOut, const MXQUATERNION* pQ1, const MXQUATERNION* pA,
                                      const MXQUATERNION* pB, const MXQUATERNION* pC, float t);
// Conjugate divided by the squared length; zeros for a (nearly) zero quaternion.
MXAPI MXQUATERNION* MXQuaternionInverse(MXQUATERNION* pOut, const MXQUATERNION* pQ);
// The control points A, B, C that MXQuaternionSquad interpolates between q1 and q2.
MXAPI void MXQuaternionSquadSetup(MXQUATERNION* pAOut, MXQUATERNION* pBOut, MXQUATERNION* pCOut,
                                  const MXQUATERNION* pQ0, const MXQUATERNION* pQ1, const MXQUATERNION* pQ2,
                                  const MXQUATERNION* pQ3);
MXAPI MXVECTOR2* MXVec2Normalize(MXVECTOR2* pOut, const MXVECTOR2* pV);
MXAPI MXVECTOR2* MXVec2CatmullRom(MXVECTOR2* pOut, const MXVECTOR2* pV0, const MXVECTOR2* pV1,
                                  const MXVECTOR2* pV2, const MXVECTOR2* pV3, float s);
// v1 + f*(v2 - v1) + g*(v3 - v1).
MXAPI MXVECTOR2* MXVec2BaryCentric(MXVECTOR2* pOut, const MXVECTOR2* pV1, const MXVECTOR2* pV2,
                                   const MXVECTOR2* pV3, float f, float g);
MXAPI MXVECTOR3* MXVec3Hermite(MXVECTOR3* pOut, const MXVECTOR3* pV1, const MXVECTOR3* pT1,
                               const MXVECTOR3* pV2, const MXVECTOR3* pT2, float s);
MXAPI MXVECTOR3* MXVec3CatmullRom(MXVECTOR3* pOut, const MXVECTOR3* pV0, const MXVECTOR3* pV1,
                                  const MXVECTOR3* pV2, const MXVECTOR3* pV3, float s);
MXAPI MXVECTOR3* MXVec3BaryCentric(MXVECTOR3* pOut, const MXVECTOR3* pV1, const MXVECTOR3* pV2,
                                   const MXVECTOR3* pV3, float f, float g);
MXAPI MXVECTOR4* MXVec4Hermite(MXVECTOR4* pOut, const MXVECTOR4* pV1, const MXVECTOR4* pT1,
                               const MXVECTOR4* pV2, const MXVECTOR4* pT2, float s);
MXAPI MXVECTOR4* MXVec4CatmullRom(MXVECTOR4* pOut, const MXVECTOR4* pV0, const MXVECTOR4* pV1,
                                  const MXVECTOR4* pV2, const MXVECTOR4* pV3, float s);
MXAPI MXVECTOR4* MXVec4BaryCentric(MXVECTOR4* pOut, const MXVECTOR4* pV1, const MXVECTOR4* pV2,
                                   const MXVECTOR4* pV3, float f, float g);
// Logarithm of a unit quaternion (w of the result 0).
MXAPI MXQUATERNION* MXQuaternionLn(MXQUATERNION* pOut, const MXQUATERNION* pQ);
// Exponential of a pure quaternion (the w of the input is not used).
MXAPI MXQUATERNION* MXQuaternionExp(MXQUATERNION* pOut, const MXQUATERNION* pQ);

#ifdef __cplusplus
}
#endif
