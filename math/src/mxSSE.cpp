// The SSE set: packed single-precision routines, SSE instructions only.
#include "mxTable.h"

namespace mx {

void installSSESet() {}

}  // namespace mx
