// Drives every allocation-failure path of an operation for real.
//
// The operation runs once with the 1st global memory request failing, once with the
// 1st and every later request failing, then the same for the 2nd request, and so on,
// until a run with only the nth request failing sees no failure at all: the operation
// needs fewer than n blocks, so every path has been taken. After each run the tracker
// must show exactly the live blocks it showed before (nothing leaked) and no release of
// an unknown block. The operation itself checks that its result is success or the
// documented failure, and cleans up what it created.
#pragma once

#include <gtest/gtest.h>

#include <functional>

#include "kivGlobalMem.h"
#include "rxMemLeak.h"

struct SweepRun {
  unsigned long nth;  // the first request that fails
  bool andLater;      // every request after it fails too
};

// Returns the number of runs made.
inline int SweepAllocFailures(const std::function<void(const SweepRun&)>& operation,
                              unsigned long maxRequests = 10000) {
  int runs = 0;
  for (unsigned long nth = 1; nth <= maxRequests; ++nth) {
    for (bool andLater : {false, true}) {
      SCOPED_TRACE(testing::Message() << "request " << nth << " fails" << (andLater ? " and every later one" : ""));
      kivMemLeakStats before;
      kivMemLeak_GetStats(&before);
      kivGlobalMem_FailNth(nth, andLater ? 1 : 0);
      operation(SweepRun{nth, andLater});
      const unsigned long injected = kivGlobalMem_InjectedFailures();
      kivGlobalMem_NoFaults();
      ++runs;
      kivMemLeakStats after;
      kivMemLeak_GetStats(&after);
      EXPECT_EQ(after.live, before.live) << "blocks leaked";
      EXPECT_EQ(after.unknownFrees, before.unknownFrees) << "unknown blocks released";
      if (injected == 0) return runs;
    }
  }
  ADD_FAILURE() << "the operation kept allocating beyond " << maxRequests << " requests";
  return runs;
}

// The tracker's live blocks now, to compare with later.
inline unsigned long long LiveBlocks() {
  kivMemLeakStats stats;
  kivMemLeak_GetStats(&stats);
  return stats.live;
}
