// The 3DNow set and its extension set. Their routines are not written yet: installing
// either leaves the slots as they are, so the x87 set stays in place.
#include "mxTable.h"

namespace mx {

void install3DNowSet() {}
void install3DNowExtSet() {}

}  // namespace mx
