// Engine allocation tracker: records blocks, failed requests and releases.
#pragma once

#include <cstddef>

extern "C" {

int kivMemLeak_Alloc(void* block, const char* file, int line);
int kivMemLeak_AllocFailed(size_t bytes, const char* file, int line);
int kivMemLeak_Free(void* block);

}  // extern "C"
