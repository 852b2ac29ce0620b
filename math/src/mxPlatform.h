// What the selector and the debugger messages need from the operating system and the
// processor. The layer is replaced as a whole (a test installs a fake one); the real one
// is the Linux layer.
#pragma once

#include <cstdint>

namespace mx {

// Platform ids of the version query.
constexpr uint32_t kPlatformWindows = 1;  // the 95/98 family, which may not save the SSE state
constexpr uint32_t kPlatformNT = 2;

// Processor-feature codes of the feature query.
constexpr uint32_t kFeatureSSE = 6;
constexpr uint32_t kFeature3DNow = 7;
constexpr uint32_t kFeatureSSE2 = 10;

struct OSVersion {
  uint32_t major;
  uint32_t minor;
  uint32_t build;
  uint32_t platformId;
};

struct Platform {
  // A machine-wide DWORD setting; false when it is absent or not a DWORD.
  bool (*readSetting)(const char* name, uint32_t* value);
  // An integer of the user's profile, or fallback when absent.
  int32_t (*profileInt)(const char* section, const char* key, int32_t fallback);
  // One finished line to the debugger output.
  void (*debugOutput)(const char* line);
  // false when the version cannot be had.
  bool (*osVersion)(OSVersion* version);
  // The system's answer for feature codes 6 and 7.
  bool (*featurePresent)(uint32_t code);
  // Runs CPUID; false when the processor has none (or faults on it).
  bool (*cpuid)(uint32_t leaf, uint32_t regs[4]);
};

// The layer in use; the Linux layer unless replaced.
const Platform& platform();
// Replaces the layer; null restores the Linux layer.
void setPlatform(const Platform* layer);
const Platform& linuxPlatform();

}  // namespace mx
