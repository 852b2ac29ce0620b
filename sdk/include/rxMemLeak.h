// Engine allocation tracker: records blocks, failed requests and releases.
#pragma once

#include <cstddef>

extern "C" {

// Each returns 1. A block that is recorded again replaces its earlier record.
int kivMemLeak_Alloc(void* block, const char* file, int line);
int kivMemLeak_AllocFailed(size_t bytes, const char* file, int line);
// 1 when the block was live; 0 (and a report on the urgent console) when the tracker
// does not know it: released twice, or never recorded.
int kivMemLeak_Free(void* block);

// What the tracker has seen since the process started.
struct kivMemLeakStats {
  unsigned long long allocs;        // blocks recorded
  unsigned long long failures;      // failed requests
  unsigned long long frees;         // releases of known blocks
  unsigned long long unknownFrees;  // releases of blocks it did not know (double or foreign)
  unsigned long long live;          // blocks recorded and not yet released
};
void kivMemLeak_GetStats(kivMemLeakStats* out);

// 1 when the block is live, with the file and line it was recorded with (either
// pointer may be null); 0 when not.
int kivMemLeak_FindBlock(const void* block, const char** file, int* line);
// Calls `visit` for every live block, oldest first.
void kivMemLeak_ForEachLive(void (*visit)(void* context, const void* block, const char* file, int line),
                            void* context);
// The last failed request: 1 and its size, file and line (pointers may be null), or 0
// when no request has failed.
int kivMemLeak_LastFailure(size_t* bytes, const char** file, int* line);

// Prints the leak report: "\nkivMemLeak: no leaks" on the console when nothing is
// live, otherwise on the urgent console every live block with its file:line, grouped
// by allocating site, the site with most blocks first. The report is printed again
// when the tracker is unloaded if blocks were taken, refused or given back since the
// last report.
void kivMemLeak_Report(void);

}  // extern "C"
