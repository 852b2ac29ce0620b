// Installation of the 3DNow set and of the 3DNow extension set.
#include "mx3DNow.h"
#include "../mxTable.h"

namespace mx {

#if defined(__i386__) || defined(__x86_64__)

void install3DNowSet() {
#define MX_OP(slot, name, ret, params, args) install<slot>(&amd3DNow::name);
#include "../mxOps.def"
#undef MX_OP
}

void install3DNowExtSet() {
  install<kSlot_MXVec3Unproject>(&amd3DNowExt::MXVec3Unproject);
  install<kSlot_MXMatrixInverse>(&amd3DNowExt::MXMatrixInverse);
  install<kSlot_MXQuaternionRotationMatrix>(&amd3DNowExt::MXQuaternionRotationMatrix);
  install<kSlot_MXMatrixRotationQuaternion>(&amd3DNowExt::MXMatrixRotationQuaternion);
  install<kSlot_MXMatrixTransformation>(&amd3DNowExt::MXMatrixTransformation);
}

#else

// No other processor has 3DNow; the selector never finds it there.
void install3DNowSet() {}
void install3DNowExtSet() {}

#endif

}  // namespace mx
