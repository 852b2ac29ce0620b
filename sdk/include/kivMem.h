// Tracked allocation: every block the framework and its plug-ins take for themselves
// comes from the platform's global memory and is reported to the engine's allocation
// tracker with the file and line of the statement that asked for it.
#pragma once

#include <cstddef>

#include "kivGlobalMem.h"
#include "rxMemLeak.h"

// A zero-filled block of `bytes` bytes, or null. 0 bytes gives null without telling
// anyone; a failed request is reported to the tracker once.
inline void* kivMem_Alloc(size_t bytes, const char* file, int line) {
  if (bytes == 0) return nullptr;
  void* block = kivGlobalMem_Alloc(bytes);
  if (block == nullptr) {
    kivMemLeak_AllocFailed(bytes, file, line);
    return nullptr;
  }
  kivMemLeak_Alloc(block, file, line);
  return block;
}

// Gives a block back; null is ignored. The tracker hears of the release while the
// block still exists. A block the tracker does not know (released twice, or never
// taken here) is reported by the tracker and not handed to the platform, which would
// corrupt its heap.
inline void kivMem_Free(void* block) {
  if (block == nullptr) return;
  if (kivMemLeak_Free(block) == 0) return;
  kivGlobalMem_Free(block);
}

// The release that runs when a constructor throws during a tracked creation; the file
// and line are those of the creation and are not needed to give the block back.
inline void kivMem_Free(void* block, const char* /*file*/, int /*line*/) { kivMem_Free(block); }

// Class-specific allocation for the framework's root classes; derived classes inherit
// it. Objects are created only with KIV_NEW, so the tracker always learns the creating
// statement; a plain `new` of such a class does not compile. A failed allocation makes
// the new-expression yield null without running the constructor.
#define KIV_TRACKED_OPERATORS                                                              \
  static void* operator new(size_t bytes, const char* file, int line) noexcept {           \
    return kivMem_Alloc(bytes, file, line);                                                \
  }                                                                                        \
  static void* operator new[](size_t bytes, const char* file, int line) noexcept {         \
    return kivMem_Alloc(bytes, file, line);                                                \
  }                                                                                        \
  static void operator delete(void* block) noexcept { kivMem_Free(block); }                \
  static void operator delete[](void* block) noexcept { kivMem_Free(block); }              \
  static void operator delete(void* block, const char* file, int line) noexcept {          \
    kivMem_Free(block, file, line);                                                        \
  }                                                                                        \
  static void operator delete[](void* block, const char* file, int line) noexcept {        \
    kivMem_Free(block, file, line);                                                        \
  }

// Creates a tracked object, e.g. `KIV_NEW kivActTower(this)`.
#define KIV_NEW new (__FILE__, __LINE__)
