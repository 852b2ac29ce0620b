#include "kivGlobalMem.h"

#include <atomic>
#include <cstdlib>

namespace {

// Fault injection state. Requests are counted from the last kivGlobalMem_FailNth.
std::atomic<unsigned long> failAt{0};  // 0: off
std::atomic<int> failLater{0};
std::atomic<unsigned long> requests{0};
std::atomic<unsigned long> injected{0};

bool ShouldFail() {
  const unsigned long at = failAt.load(std::memory_order_relaxed);
  if (at == 0) return false;
  const unsigned long n = ++requests;
  return n == at || (n > at && failLater.load(std::memory_order_relaxed) != 0);
}

}  // namespace

extern "C" void* kivGlobalMem_Alloc(size_t bytes) {
  if (ShouldFail()) {
    ++injected;
    return nullptr;
  }
  // calloc gives the zero fill and a stable address; a 0-byte request still gets a
  // unique block, as a global memory block would.
  return std::calloc(1, bytes != 0 ? bytes : 1);
}

extern "C" void kivGlobalMem_Free(void* block) { std::free(block); }

extern "C" void kivGlobalMem_FailNth(unsigned long nth, int andLater) {
  failAt.store(0);
  requests.store(0);
  injected.store(0);
  failLater.store(andLater != 0);
  failAt.store(nth);
}

extern "C" void kivGlobalMem_NoFaults(void) { failAt.store(0); }

extern "C" unsigned long kivGlobalMem_InjectedFailures(void) { return injected.load(); }
