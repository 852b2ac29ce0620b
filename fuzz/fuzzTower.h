// What the fuzz targets share: a quiet engine console and, for the targets that need
// towers, the tower plug-in loaded once per process the way towerhost loads it.
#pragma once

#include <cstdio>
#include <cstdlib>

#include "actActor.h"
#include "actTower.h"
#include "plugin.h"
#include "rxKernel.h"

namespace fuzz {

inline void DropConsole(void*, int, const char*) {}

// Console output would drown the fuzzer's own lines and slow every run down.
inline void QuietConsole() { kivConsole_SetSink(&DropConsole, nullptr); }

// The tower class of the built plug-in, with the shipped models; created on first use and
// kept for the life of the process.
inline kivActTowerClass* TowerClass() {
  static kivActTowerClass* towerClass = [] {
    QuietConsole();
    static towerhost::PluginModule plugin;
    std::string error;
    if (!plugin.Open(FUZZ_TOWER_PLUGIN, error)) {
      std::fprintf(stderr, "fuzz: %s\n", error.c_str());
      std::abort();
    }
    auto* cls = static_cast<kivActTowerClass*>(plugin.CreateObjClass());
    kivActorLib_SetModelDir(FUZZ_TOWER_MODELS);
    if (cls == nullptr || cls->Create() < 0) {
      std::fprintf(stderr, "fuzz: the tower class cannot be created from %s\n", FUZZ_TOWER_MODELS);
      std::abort();
    }
    return cls;
  }();
  return towerClass;
}

}  // namespace fuzz
