// The platform layer in use, and the Linux layer.
//
// Settings come from the environment: "DisableCPUOpt" and "DisableMXCPUOpt" as whole
// numbers 0..4294967295, the profile integer "debug" of the section "MX" as "MX_debug".
// Debugger lines go to the sink a host installs (MXSetDebugSink), else to the file or
// standard error ("stderr") named by "MX_output", else nowhere.
#include "mxPlatform.h"

#include <sys/utsname.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#include <sys/auxv.h>
#endif

#include "mxmath.h"

namespace mx {

namespace {

constinit std::atomic<MXDEBUGSINK> g_sink{nullptr};
constinit std::atomic<void*> g_sinkContext{nullptr};

// A DWORD setting counts only as a whole decimal number that fits in 32 bits.
bool parseDword(const char* text, uint32_t* value) {
  if (!text || !*text) return false;
  uint64_t v = 0;
  for (const char* p = text; *p; ++p) {
    if (*p < '0' || *p > '9') return false;
    v = v * 10 + static_cast<uint64_t>(*p - '0');
    if (v > 0xFFFFFFFFull) return false;
  }
  *value = static_cast<uint32_t>(v);
  return true;
}

bool linuxReadSetting(const char* name, uint32_t* value) { return parseDword(std::getenv(name), value); }

int32_t linuxProfileInt(const char* section, const char* key, int32_t fallback) {
  const std::string name = std::string(section) + "_" + key;
  const char* text = std::getenv(name.c_str());
  if (!text || !*text) return fallback;
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(text, &end, 10);
  if (errno != 0 || *end != '\0' || v < INT32_MIN || v > INT32_MAX) return fallback;
  return static_cast<int32_t>(v);
}

void linuxDebugOutput(const char* line) {
  if (const MXDEBUGSINK sink = g_sink.load(std::memory_order_acquire)) {
    sink(line, g_sinkContext.load(std::memory_order_relaxed));
    return;
  }
  const char* target = std::getenv("MX_output");
  if (!target || !*target) return;
  if (std::strcmp(target, "stderr") == 0) {
    std::fputs(line, stderr);
    return;
  }
  if (FILE* f = std::fopen(target, "ab")) {
    std::fputs(line, f);
    std::fclose(f);
  }
}

// Linux saves the SSE state of every thread, as the NT family does.
bool linuxOSVersion(OSVersion* version) {
  utsname u{};
  uint32_t major = 0, minor = 0;
  if (uname(&u) == 0) std::sscanf(u.release, "%u.%u", &major, &minor);
  *version = {major, minor, 0, kPlatformNT};
  return true;
}

#if defined(__i386__) || defined(__x86_64__)

// A processor has CPUID when the ID bit of EFLAGS can be toggled; every x86-64 one has it.
bool hasCpuid() {
#if defined(__x86_64__)
  return true;
#else
  uint32_t before, after;
  __asm__ volatile(
      "pushfl\n\tpopl %0\n\tmovl %0, %1\n\txorl $0x200000, %1\n\tpushl %1\n\tpopfl\n\t"
      "pushfl\n\tpopl %1\n\tpushl %0\n\tpopfl"
      : "=&r"(before), "=&r"(after));
  return ((before ^ after) & 0x200000) != 0;
#endif
}

bool linuxCpuid(uint32_t leaf, uint32_t regs[4]) {
  if (!hasCpuid()) return false;
  __cpuid(leaf, regs[0], regs[1], regs[2], regs[3]);
  return true;
}

bool cpuinfoHasFlag(const char* flag) {
  FILE* f = std::fopen("/proc/cpuinfo", "r");
  if (!f) return false;
  char line[4096];
  bool found = false;
  while (!found && std::fgets(line, sizeof line, f)) {
    if (std::strncmp(line, "flags", 5) != 0) continue;
    const size_t n = std::strlen(flag);
    for (char* p = std::strstr(line, flag); p; p = std::strstr(p + 1, flag)) {
      const bool startOk = p > line && (p[-1] == ' ' || p[-1] == '\t');
      const bool endOk = p[n] == ' ' || p[n] == '\n' || p[n] == '\0';
      if (startOk && endOk) {
        found = true;
        break;
      }
    }
    break;
  }
  std::fclose(f);
  return found;
}

// EDX bit of a CPUID leaf; false when the processor lacks CPUID or the leaf.
bool cpuidEdxBit(uint32_t leaf, int bit) {
  unsigned a, b, c, d;
  return __get_cpuid(leaf, &a, &b, &c, &d) && ((d >> bit) & 1);
}

// The processor's own bit decides first: under a user-mode emulator /proc/cpuinfo describes
// the host, not the processor the program runs on.
bool linuxFeaturePresent(uint32_t code) {
  switch (code) {
    case kFeatureSSE:
      // The kernel must also save the SSE state. Not every kernel fills AT_HWCAP with the
      // CPUID feature bits; the flags always name it.
      return cpuidEdxBit(1, 25) && (cpuinfoHasFlag("sse") || ((getauxval(AT_HWCAP) >> 25) & 1));
    case kFeature3DNow:
      // The 3DNow registers are the x87 registers, whose state every kernel saves.
      return cpuidEdxBit(0x80000001u, 31);
    default:
      return false;
  }
}

#else

bool linuxCpuid(uint32_t, uint32_t*) { return false; }
bool linuxFeaturePresent(uint32_t) { return false; }

#endif

constexpr Platform kLinux = {linuxReadSetting, linuxProfileInt, linuxDebugOutput,
                             linuxOSVersion,   linuxFeaturePresent, linuxCpuid};

constinit std::atomic<const Platform*> g_platform{&kLinux};

}  // namespace

const Platform& platform() { return *g_platform.load(std::memory_order_relaxed); }

void setPlatform(const Platform* layer) { g_platform.store(layer ? layer : &kLinux, std::memory_order_relaxed); }

const Platform& linuxPlatform() { return kLinux; }

}  // namespace mx

extern "C" MXAPI void MXSetDebugSink(MXDEBUGSINK sink, void* context) {
  mx::g_sinkContext.store(context, std::memory_order_relaxed);
  mx::g_sink.store(sink, std::memory_order_release);
}
