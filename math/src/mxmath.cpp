// The public entries: each calls the routine its slot holds, with the caller's arguments.
#include "mxTable.h"

#define MX_OP(slot, name, ret, params, args) \
  extern "C" MXAPI ret name params { return mx::g_table.name.load(std::memory_order_relaxed) args; }
#include "mxOps.def"
#undef MX_OP
