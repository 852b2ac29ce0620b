// The SSE routines that the SSE2 set holds too.
#pragma once

#include "mxmath.h"

namespace mx::sse {

MXVECTOR4* MXVec2Transform(MXVECTOR4* out, const MXVECTOR2* v, const MXMATRIX* m);
MXVECTOR2* MXVec2TransformNormal(MXVECTOR2* out, const MXVECTOR2* v, const MXMATRIX* m);
MXVECTOR4* MXVec4Normalize(MXVECTOR4* out, const MXVECTOR4* v);
MXVECTOR2* MXVec2TransformCoord(MXVECTOR2* out, const MXVECTOR2* v, const MXMATRIX* m);
MXVECTOR2* MXVec2Hermite(MXVECTOR2* out, const MXVECTOR2* v1, const MXVECTOR2* t1, const MXVECTOR2* v2,
                         const MXVECTOR2* t2, float s);
MXQUATERNION* MXQuaternionMultiply(MXQUATERNION* out, const MXQUATERNION* q1, const MXQUATERNION* q2);
MXQUATERNION* MXQuaternionNormalize(MXQUATERNION* out, const MXQUATERNION* q);
MXVECTOR3* MXPlaneIntersectLine(MXVECTOR3* out, const MXPLANE* p, const MXVECTOR3* v1, const MXVECTOR3* v2);
MXVECTOR2* MXVec2CatmullRom(MXVECTOR2* out, const MXVECTOR2* v0, const MXVECTOR2* v1, const MXVECTOR2* v2,
                            const MXVECTOR2* v3, float s);
MXVECTOR2* MXVec2BaryCentric(MXVECTOR2* out, const MXVECTOR2* v1, const MXVECTOR2* v2, const MXVECTOR2* v3,
                             float f, float g);
MXVECTOR3* MXVec3Hermite(MXVECTOR3* out, const MXVECTOR3* v1, const MXVECTOR3* t1, const MXVECTOR3* v2,
                         const MXVECTOR3* t2, float s);
MXVECTOR3* MXVec3CatmullRom(MXVECTOR3* out, const MXVECTOR3* v0, const MXVECTOR3* v1, const MXVECTOR3* v2,
                            const MXVECTOR3* v3, float s);
MXVECTOR3* MXVec3BaryCentric(MXVECTOR3* out, const MXVECTOR3* v1, const MXVECTOR3* v2, const MXVECTOR3* v3,
                             float f, float g);
MXVECTOR4* MXVec4Hermite(MXVECTOR4* out, const MXVECTOR4* v1, const MXVECTOR4* t1, const MXVECTOR4* v2,
                         const MXVECTOR4* t2, float s);
MXVECTOR4* MXVec4CatmullRom(MXVECTOR4* out, const MXVECTOR4* v0, const MXVECTOR4* v1, const MXVECTOR4* v2,
                            const MXVECTOR4* v3, float s);
MXVECTOR4* MXVec4BaryCentric(MXVECTOR4* out, const MXVECTOR4* v1, const MXVECTOR4* v2, const MXVECTOR4* v3,
                             float f, float g);

// Installs the routines that the SSE and SSE2 sets have in common.
void installShared();

}  // namespace mx::sse
