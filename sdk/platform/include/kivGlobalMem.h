// Global memory blocks: the platform stand-in behind the tracked allocation helpers.
//
// A block is zero-filled, exactly the requested size, and keeps its address until it
// is given back. Tests can make requests fail on purpose (fault injection).
#pragma once

#include <cstddef>

extern "C" {

// A new zero-filled block of `bytes` bytes, or null when the request fails.
void* kivGlobalMem_Alloc(size_t bytes);
// Gives a block back; null is ignored.
void kivGlobalMem_Free(void* block);

// Fault injection: the `nth` block requested from now fails (1 = the next one).
// With `andLater` nonzero, every request after that one fails too. 0 switches it off.
void kivGlobalMem_FailNth(unsigned long nth, int andLater);
// Switches fault injection off.
void kivGlobalMem_NoFaults(void);
// Requests that failed on purpose since the last kivGlobalMem_FailNth.
unsigned long kivGlobalMem_InjectedFailures(void);

}  // extern "C"
