// Preloaded into a program (LD_PRELOAD) to set the platform's fault-injection switch
// before the program's own code runs, and to write what the tracker saw once it is done.
//
//   KIV_FAULT_NTH=N         the Nth global memory request of the run fails
//   KIV_FAULT_AND_LATER=1   and every request after it fails too
//   KIV_FAULT_REPORT=FILE   at exit: "requests R injected I live L unknown U"
//
// Requests are the tracked allocations, counted by the tracker as blocks recorded plus
// requests refused.
#include <cstdio>
#include <cstdlib>

#include "kivGlobalMem.h"
#include "rxMemLeak.h"

namespace {

struct FaultSwitch {
  FaultSwitch() {
    const char* nth = std::getenv("KIV_FAULT_NTH");
    if (nth == nullptr) return;
    const char* later = std::getenv("KIV_FAULT_AND_LATER");
    kivGlobalMem_FailNth(std::strtoul(nth, nullptr, 10), later != nullptr && later[0] == '1');
  }

  ~FaultSwitch() {
    const char* report = std::getenv("KIV_FAULT_REPORT");
    if (report == nullptr) return;
    kivMemLeakStats stats{};
    kivMemLeak_GetStats(&stats);
    if (FILE* f = std::fopen(report, "w")) {
      std::fprintf(f, "requests %llu injected %lu live %llu unknown %llu\n", stats.allocs + stats.failures,
                   kivGlobalMem_InjectedFailures(), stats.live, stats.unknownFrees);
      std::fclose(f);
    }
  }
} faultSwitch;

}  // namespace
