#include "rxMemLeak.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <string>
#include <tuple>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "rxKernel.h"

namespace {

struct Block {
  const std::string* file;  // interned: the caller's text may go away with its library
  int line;
  unsigned long long serial;
};

struct Tracker {
  std::mutex lock;
  std::unordered_map<const void*, Block> live;
  std::unordered_set<std::string> files;
  kivMemLeakStats stats{};
  unsigned long long serial = 0;
  bool changed = false;  // blocks taken, refused or given back since the last report
  bool failed = false;
  size_t failedBytes = 0;
  const std::string* failedFile = nullptr;
  int failedLine = 0;

  const std::string* Intern(const char* file) { return &*files.insert(file != nullptr ? file : "?").first; }
};

// Never destroyed: blocks may be released by other libraries' static destructors.
Tracker& TheTracker() {
  static Tracker* tracker = new Tracker;
  return *tracker;
}

struct LiveBlock {
  const void* block;
  const std::string* file;
  int line;
  unsigned long long serial;
};

std::vector<LiveBlock> LiveBlocks() {
  Tracker& tracker = TheTracker();
  std::vector<LiveBlock> blocks;
  {
    std::lock_guard<std::mutex> guard(tracker.lock);
    blocks.reserve(tracker.live.size());
    for (const auto& [address, block] : tracker.live) blocks.push_back({address, block.file, block.line, block.serial});
  }
  std::sort(blocks.begin(), blocks.end(), [](const LiveBlock& a, const LiveBlock& b) { return a.serial < b.serial; });
  return blocks;
}

// The report at unload, unless nothing happened since the last one (or at all).
struct ReportAtExit {
  ~ReportAtExit() {
    bool changed;
    {
      Tracker& tracker = TheTracker();
      std::lock_guard<std::mutex> guard(tracker.lock);
      changed = tracker.changed;
    }
    if (!changed) return;
    kivMemLeak_Report();
    kivConsole_Print("\n");
  }
} reportAtExit;

}  // namespace

extern "C" int kivMemLeak_Alloc(void* block, const char* file, int line) {
  Tracker& tracker = TheTracker();
  std::lock_guard<std::mutex> guard(tracker.lock);
  auto [it, added] = tracker.live.insert_or_assign(block, Block{tracker.Intern(file), line, ++tracker.serial});
  (void)it;
  ++tracker.stats.allocs;
  tracker.changed = true;
  if (added) ++tracker.stats.live;
  return 1;
}

extern "C" int kivMemLeak_AllocFailed(size_t bytes, const char* file, int line) {
  Tracker& tracker = TheTracker();
  std::lock_guard<std::mutex> guard(tracker.lock);
  ++tracker.stats.failures;
  tracker.changed = true;
  tracker.failed = true;
  tracker.failedBytes = bytes;
  tracker.failedFile = tracker.Intern(file);
  tracker.failedLine = line;
  return 1;
}

extern "C" int kivMemLeak_Free(void* block) {
  if (block == nullptr) return 0;
  Tracker& tracker = TheTracker();
  {
    std::lock_guard<std::mutex> guard(tracker.lock);
    tracker.changed = true;
    if (tracker.live.erase(block) == 1) {
      ++tracker.stats.frees;
      --tracker.stats.live;
      return 1;
    }
    ++tracker.stats.unknownFrees;
  }
  kivConsole_UrgentPrint("\nkivMemLeak_Free(): unknown block %p (freed twice, or not allocated here)", block);
  return 0;
}

extern "C" void kivMemLeak_GetStats(kivMemLeakStats* out) {
  Tracker& tracker = TheTracker();
  std::lock_guard<std::mutex> guard(tracker.lock);
  *out = tracker.stats;
}

extern "C" int kivMemLeak_FindBlock(const void* block, const char** file, int* line) {
  Tracker& tracker = TheTracker();
  std::lock_guard<std::mutex> guard(tracker.lock);
  const auto it = tracker.live.find(block);
  if (it == tracker.live.end()) return 0;
  if (file != nullptr) *file = it->second.file->c_str();
  if (line != nullptr) *line = it->second.line;
  return 1;
}

extern "C" void kivMemLeak_ForEachLive(void (*visit)(void* context, const void* block, const char* file, int line),
                                       void* context) {
  for (const LiveBlock& block : LiveBlocks()) visit(context, block.block, block.file->c_str(), block.line);
}

extern "C" int kivMemLeak_LastFailure(size_t* bytes, const char** file, int* line) {
  Tracker& tracker = TheTracker();
  std::lock_guard<std::mutex> guard(tracker.lock);
  if (!tracker.failed) return 0;
  if (bytes != nullptr) *bytes = tracker.failedBytes;
  if (file != nullptr) *file = tracker.failedFile->c_str();
  if (line != nullptr) *line = tracker.failedLine;
  return 1;
}

extern "C" void kivMemLeak_Report(void) {
  {
    Tracker& tracker = TheTracker();
    std::lock_guard<std::mutex> guard(tracker.lock);
    tracker.changed = false;
  }
  const std::vector<LiveBlock> blocks = LiveBlocks();
  if (blocks.empty()) {
    kivConsole_Print("\nkivMemLeak: no leaks");
    return;
  }
  using Site = std::pair<std::string, int>;
  std::map<Site, std::vector<const LiveBlock*>> sites;
  for (const LiveBlock& block : blocks) sites[{*block.file, block.line}].push_back(&block);
  std::vector<const std::pair<const Site, std::vector<const LiveBlock*>>*> order;
  for (const auto& site : sites) order.push_back(&site);
  std::stable_sort(order.begin(), order.end(),
                   [](const auto* a, const auto* b) { return a->second.size() > b->second.size(); });

  kivConsole_UrgentPrint("\nkivMemLeak: %zu leaked block(s) from %zu site(s)", blocks.size(), sites.size());
  for (const auto* site : order) {
    kivConsole_UrgentPrint("\n  %s:%d: %zu block(s)", site->first.first.c_str(), site->first.second,
                           site->second.size());
    for (const LiveBlock* block : site->second) {
      kivConsole_UrgentPrint("\n    %p at %s:%d", block->block, block->file->c_str(), block->line);
    }
  }
}
