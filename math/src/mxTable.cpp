// The operation table with its first-call routines, and the selection state.
#include "mxTable.h"

#include "mxX87.h"

namespace mx {

namespace {

// Each first-call routine runs the selector, then calls what its slot holds. If the slot
// still holds the first-call routine, another thread is in the middle of selecting: the
// x87 routine computes the same result, and calling the slot again would recurse for as
// long as that selection takes.
#define MX_OP(slot, name, ret, params, args)                                   \
  ret firstCall_##name params {                                                \
    selectRoutines();                                                          \
    const auto routine = g_table.name.load(std::memory_order_relaxed);        \
    if (routine == &firstCall_##name) return x87::name args;                   \
    return routine args;                                                       \
  }
#include "mxOps.def"
#undef MX_OP

}  // namespace

constinit Table g_table = {
#define MX_OP(slot, name, ret, params, args) &firstCall_##name,
#include "mxOps.def"
#undef MX_OP
};

constinit std::atomic<bool> g_selected{false};

void* slotAddress(int slot) {
  switch (slot) {
#define MX_OP(slot, name, ret, params, args) \
  case slot:                                 \
    return reinterpret_cast<void*>(g_table.name.load(std::memory_order_relaxed));
#include "mxOps.def"
#undef MX_OP
  }
  return nullptr;
}

bool holdsFirstCall(int slot) {
  switch (slot) {
#define MX_OP(slot, name, ret, params, args) \
  case slot:                                 \
    return g_table.name.load(std::memory_order_relaxed) == &firstCall_##name;
#include "mxOps.def"
#undef MX_OP
  }
  return false;
}

void installFirstCallRoutines() {
#define MX_OP(slot, name, ret, params, args) install<slot>(&firstCall_##name);
#include "mxOps.def"
#undef MX_OP
}

}  // namespace mx
