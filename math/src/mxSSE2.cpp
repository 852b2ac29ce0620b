// The SSE2 set: packed single-precision routines, SSE and SSE2 instructions only.
#include "mxTable.h"

namespace mx {

void installSSE2Set() {}

}  // namespace mx
