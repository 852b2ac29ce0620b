// The composed transformation, shared by the 3DNow routine and the 3DNow extension routine;
// they differ in how the rotation matrix of a quaternion is built.
#pragma once

#include "mx3DNowKernels.h"

namespace mx::amd {

// Stores the translation by t (its negation when inverse), the identity when t is null.
MX3D_INLINE void storeTranslation(MXMATRIX* out, const MXVECTOR3* t, bool inverse) {
  storeMatrix(out, translation(t, inverse ? MX3D_K(-1.0f) : MX3D_K(1.0f)));
  femms();
}

// Scaling about a centre in a rotated frame, then rotation about a centre, then translation;
// a null input leaves its part out. Composed in a local matrix so that out is written once,
// after every input is read. rotate(dst, q) stores the rotation matrix of q.
template <typename Rotate>
MX3D_INLINE MXMATRIX* composeTransformation(MXMATRIX* out, const MXVECTOR3* scalingCenter, const MXQUATERNION* scalingRotation,
                                const MXVECTOR3* scaling, const MXVECTOR3* rotationCenter,
                                const MXQUATERNION* rotation, const MXVECTOR3* translation, Rotate rotate) {
  if (!out) return nullptr;
  MXMATRIX m, step;
  storeTranslation(&m, scalingCenter, true);
  if (scalingRotation) {
    MXMATRIX rot;
    rotate(&rot, scalingRotation);
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
  storeTranslation(&step, scalingCenter, false);
  ::MXMatrixMultiply(&m, &m, &step);
  if (rotation) {
    storeTranslation(&step, rotationCenter, true);
    ::MXMatrixMultiply(&m, &m, &step);
    rotate(&step, rotation);
    ::MXMatrixMultiply(&m, &m, &step);
    storeTranslation(&step, rotationCenter, false);
    ::MXMatrixMultiply(&m, &m, &step);
  }
  storeTranslation(&step, translation, false);
  ::MXMatrixMultiply(out, &m, &step);
  return out;
}

}  // namespace mx::amd
