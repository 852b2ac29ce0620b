// The routine selector: once per process, on the first call of any operation.
#include "mxSelector.h"

#include "mxDebug.h"
#include "mxPlatform.h"
#include "mxTable.h"

namespace mx {

namespace {

bool cpuidSSE(uint32_t edxBit) {
  uint32_t r[4];
  if (!platform().cpuid(0, r) || r[0] == 0) return false;
  if (!platform().cpuid(1, r)) return false;
  return (r[3] >> edxBit) & 1;
}

bool cpuid3DNow() {
  uint32_t r[4];
  if (!platform().cpuid(0x80000000u, r) || r[0] < 0x80000001u) return false;
  if (!platform().cpuid(0x80000001u, r)) return false;
  return (r[3] >> 31) & 1;
}

// The build from which the 98 family saves the SSE state.
constexpr uint32_t kFirstSSEBuild = 1373;

}  // namespace

bool featureUsable(uint32_t code) {
  OSVersion v{};
  if (!platform().osVersion(&v)) return false;
  if (v.platformId == kPlatformNT) {
    if (code == kFeatureSSE2) return cpuidSSE(26);
    return platform().featurePresent(code);
  }
  if (v.platformId == kPlatformWindows) {
    const bool tooOld = v.major < 4 || (v.major == 4 && (v.minor < 10 || (v.build & 0xFFFF) < kFirstSSEBuild));
    switch (code) {
      case kFeatureSSE:
        return !tooOld && cpuidSSE(25);
      case kFeatureSSE2:
        return !tooOld && cpuidSSE(26);
      case kFeature3DNow:
        return cpuid3DNow();
      default:
        return false;
    }
  }
  return false;
}

ProcessorBits3DNow gather3DNowBits() {
  ProcessorBits3DNow bits{};
  uint32_t r[4];
  if (!platform().cpuid(0, r) || r[0] == 0) return bits;
  if (platform().cpuid(1, r)) bits.mmx = (r[3] >> 23) & 1;
  if (platform().cpuid(0x80000000u, r) && r[0] > 0x80000000u && platform().cpuid(0x80000001u, r)) {
    bits.amd3DNow = (r[3] >> 31) & 1;
    bits.amd3DNowExt = (r[3] >> 30) & 1;
    bits.mmxExt = (r[3] >> 22) & 1;
  }
  return bits;
}

Installed3DNow install3DNow() {
  const ProcessorBits3DNow bits = gather3DNowBits();
  if (!bits.mmx || !bits.amd3DNow) return Installed3DNow::None;
  install3DNowSet();
  // No vendor test: the extension set goes in on any processor that reports extended 3DNow
  // and extended MMX, whoever made it. The bits say what the processor runs; comparing the
  // vendor text would only turn a working set away on another maker's compatible part.
  if (!bits.amd3DNowExt || !bits.mmxExt) return Installed3DNow::Base;
  install3DNowExtSet();
  return Installed3DNow::WithExtensions;
}

void selectRoutines() {
  if (g_selected.load(std::memory_order_relaxed)) return;
  // Two threads can pass the test above together; only the one that turns the state
  // selected goes on, so the selection and its message happen once.
  if (g_selected.exchange(true, std::memory_order_relaxed)) return;

  installX87Set();

  uint32_t disable = 0;
  uint32_t value;
  if (platform().readSetting("DisableCPUOpt", &value)) disable = value;
  if (platform().readSetting("DisableMXCPUOpt", &value)) disable = value;
  if (disable == 1) {
    debugMessage(kLevelInfo, "(INFO) CPU optimization disabled. Using x87 Instructions");
    return;
  }

  if (featureUsable(kFeature3DNow)) {
    debugMessage(kLevelInfo, "(INFO) Using 3DNow Instructions");
    install3DNow();
  } else if (featureUsable(kFeatureSSE2)) {
    debugMessage(kLevelInfo, "(INFO) Using SSE2 Instructions");
    installSSE2Set();
  } else if (featureUsable(kFeatureSSE)) {
    debugMessage(kLevelInfo, "(INFO) Using SSE Instructions");
    installSSESet();
  } else {
    debugMessage(kLevelInfo, "(INFO) Using x87 Instructions");
  }
}

}  // namespace mx
