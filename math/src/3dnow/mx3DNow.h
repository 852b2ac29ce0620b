// The 3DNow set (all 57 operations) and the 3DNow extension set (five of them, written with
// the extended instructions). Each routine clears the MMX state before it returns.
#pragma once

#include "mxmath.h"

namespace mx::amd3DNow {

#define MX_OP(slot, name, ret, params, args) ret name params;
#include "../mxOps.def"
#undef MX_OP

}  // namespace mx::amd3DNow

namespace mx::amd3DNowExt {

MXVECTOR3* MXVec3Unproject(MXVECTOR3* out, const MXVECTOR3* v, const MXVIEWPORT* vp, const MXMATRIX* projection,
                           const MXMATRIX* view, const MXMATRIX* world);
MXMATRIX* MXMatrixInverse(MXMATRIX* out, float* determinant, const MXMATRIX* m);
MXQUATERNION* MXQuaternionRotationMatrix(MXQUATERNION* out, const MXMATRIX* m);
MXMATRIX* MXMatrixRotationQuaternion(MXMATRIX* out, const MXQUATERNION* q);
MXMATRIX* MXMatrixTransformation(MXMATRIX* out, const MXVECTOR3* scalingCenter, const MXQUATERNION* scalingRotation,
                                 const MXVECTOR3* scaling, const MXVECTOR3* rotationCenter,
                                 const MXQUATERNION* rotation, const MXVECTOR3* translation);

}  // namespace mx::amd3DNowExt
