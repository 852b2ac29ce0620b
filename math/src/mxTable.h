// The operation table, the selection state and the installation of routine sets.
#pragma once

#include <atomic>

#include "mxmath.h"

namespace mx {

constexpr int kSlotCount = 57;

// One slot per operation, each holding the routine that currently computes it. Several
// threads may make their first calls at once, so every slot is atomic; relaxed loads and
// stores compile to plain moves on x86.
struct Table {
#define MX_OP(slot, name, ret, params, args) std::atomic<ret(*) params> name;
#include "mxOps.def"
#undef MX_OP
};

extern Table g_table;

// Set from the moment the selector starts its work.
extern std::atomic<bool> g_selected;

// Slot number of each operation, for installation and for checks.
enum SlotIndex {
#define MX_OP(slot, name, ret, params, args) kSlot_##name = slot,
#include "mxOps.def"
#undef MX_OP
};

template <int Slot>
struct SlotInfo;
#define MX_OP(slot, name, ret, params, args)                                         \
  template <>                                                                         \
  struct SlotInfo<slot> {                                                             \
    using Fn = ret(*) params;                                                         \
    static std::atomic<Fn>& cell() { return g_table.name; }                           \
  };
#include "mxOps.def"
#undef MX_OP

// Puts a routine into its slot; the routine's type must be that of the slot.
template <int Slot>
inline void install(typename SlotInfo<Slot>::Fn routine) {
  SlotInfo<Slot>::cell().store(routine, std::memory_order_relaxed);
}

// Routine sets: each fills the slots it covers and leaves the others as they are.
void installX87Set();
void installSSESet();
void installSSE2Set();
void install3DNowSet();
void install3DNowExtSet();

// The routine selector: runs once per process, on the first call of any operation.
void selectRoutines();

// The address a slot holds now, and whether that is its first-call routine.
void* slotAddress(int slot);
bool holdsFirstCall(int slot);
// Puts every first-call routine back (the state at load).
void installFirstCallRoutines();

}  // namespace mx
