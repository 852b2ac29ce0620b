// A platform layer whose every answer a test sets.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "mxPlatform.h"

namespace mxtest {

struct FakeState {
  std::map<std::string, uint32_t> settings;  // DWORD values; a name absent here is absent
  std::optional<int32_t> profileDebug;       // the "debug" integer of "MX"
  int profileReads = 0;
  bool versionOk = true;
  mx::OSVersion version = {5, 1, 2600, mx::kPlatformNT};
  bool sse = true, sse2 = true, amd3DNow = false;  // what the system query answers
  bool hasCpuid = true;
  std::map<uint32_t, std::array<uint32_t, 4>> leaves;  // CPUID answers; others are zeros
  std::mutex linesMutex;
  std::vector<std::string> lines;

  // A processor with SSE and SSE2 and no extended leaves.
  void sse2Processor() {
    leaves[0] = {1, 0, 0, 0};
    leaves[1] = {0, 0, 0, (1u << 23) | (1u << 25) | (1u << 26)};
    leaves[0x80000000u] = {0x80000000u, 0, 0, 0};
  }
};

inline FakeState* g_fake = nullptr;

inline const mx::Platform& fakePlatform() {
  static const mx::Platform layer = {
      [](const char* name, uint32_t* value) {
        const auto it = g_fake->settings.find(name);
        if (it == g_fake->settings.end()) return false;
        *value = it->second;
        return true;
      },
      [](const char* section, const char* key, int32_t fallback) {
        ++g_fake->profileReads;
        if (std::string(section) != "MX" || std::string(key) != "debug") return fallback;
        return g_fake->profileDebug.value_or(fallback);
      },
      [](const char* line) {
        std::lock_guard<std::mutex> lock(g_fake->linesMutex);
        g_fake->lines.emplace_back(line);
      },
      [](mx::OSVersion* v) {
        if (!g_fake->versionOk) return false;
        *v = g_fake->version;
        return true;
      },
      [](uint32_t code) {
        if (code == mx::kFeatureSSE) return g_fake->sse;
        if (code == mx::kFeature3DNow) return g_fake->amd3DNow;
        return false;
      },
      [](uint32_t leaf, uint32_t regs[4]) {
        if (!g_fake->hasCpuid) return false;
        const auto it = g_fake->leaves.find(leaf);
        for (int i = 0; i < 4; ++i) regs[i] = it == g_fake->leaves.end() ? 0 : it->second[i];
        return true;
      },
  };
  return layer;
}

}  // namespace mxtest
