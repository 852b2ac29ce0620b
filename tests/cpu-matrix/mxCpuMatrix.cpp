// One row of the processor matrix: run on a given (usually emulated) processor, the
// library's own selection, as it really happens, must announce and install the expected
// set; then the table-driven suite of every operation runs on that selection.
//
//   mxcpumatrix <x87|x87-disabled|SSE|SSE2|3DNow|3DNowExt> [gtest flags]
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "mxTestSupport.h"
#include "mxX87.h"

namespace {

std::vector<std::string> g_lines;

void sink(const char* line, void*) { g_lines.emplace_back(line); }

std::set<int> range(int first, int last) {
  std::set<int> s;
  for (int i = first; i <= last; ++i) s.insert(i);
  return s;
}
std::set<int> operator+(std::set<int> a, const std::set<int>& b) {
  a.insert(b.begin(), b.end());
  return a;
}

// The slots each set covers beyond the x87 set, as the set table lists them.
const std::set<int> kSSESlots = range(0, 11) + std::set<int>{13} + range(16, 22) + std::set<int>{24, 25, 27, 28, 44} +
                                range(47, 54);
const std::set<int> kSSE2Slots = range(0, 11) + std::set<int>{13} + range(16, 22) +
                                 std::set<int>{24, 25, 27, 28, 30, 31} + range(47, 54);
const std::set<int> kAllSlots = range(0, 56);
const std::set<int> kExtSlots = {15, 18, 24, 38, 39};

struct Row {
  const char* name;
  const char* message;
  mxtest::Set set;
};
const Row kRows[] = {
    {"x87", "(INFO) Using x87 Instructions", mxtest::Set::X87},
    {"x87-disabled", "(INFO) CPU optimization disabled. Using x87 Instructions", mxtest::Set::X87},
    {"SSE", "(INFO) Using SSE Instructions", mxtest::Set::SSE},
    {"SSE2", "(INFO) Using SSE2 Instructions", mxtest::Set::SSE2},
    {"3DNow", "(INFO) Using 3DNow Instructions", mxtest::Set::ThreeDNow},
    {"3DNowExt", "(INFO) Using 3DNow Instructions", mxtest::Set::ThreeDNowExt},
};

void snapshot(void* table[mx::kSlotCount]) {
  for (int i = 0; i < mx::kSlotCount; ++i) table[i] = mx::slotAddress(i);
}

// The message, and every slot against the routines that installing the set puts there.
int checkSelection(const Row& row) {
  int failures = 0;
  auto fail = [&](const std::string& what) {
    std::fprintf(stderr, "FAILED: %s\n", what.c_str());
    ++failures;
  };
  const std::string expected = std::string("MX: ") + row.message + "\r\n";
  if (g_lines.size() != 1 || g_lines[0] != expected)
    fail("want the one line '" + expected + "', got " + std::to_string(g_lines.size()) + " lines" +
         (g_lines.empty() ? std::string() : ", the first '" + g_lines[0] + "'"));
  else
    std::printf("message: %s", g_lines[0].c_str());

  void* selected[mx::kSlotCount];
  void* x87[mx::kSlotCount];
  void* want[mx::kSlotCount];
  snapshot(selected);
  mx::installX87Set();
  snapshot(x87);
  std::set<int> covered;
  switch (row.set) {
    case mxtest::Set::SSE:
      mx::installSSESet();
      covered = kSSESlots;
      break;
    case mxtest::Set::SSE2:
      mx::installSSE2Set();
      covered = kSSE2Slots;
      break;
    case mxtest::Set::ThreeDNow:
    case mxtest::Set::ThreeDNowExt:
      mx::install3DNowSet();
      covered = kAllSlots;
      break;
    default:
      break;
  }
  void* base[mx::kSlotCount];
  snapshot(base);
  if (row.set == mxtest::Set::ThreeDNowExt) mx::install3DNowExtSet();
  snapshot(want);
  for (int i = 0; i < mx::kSlotCount; ++i) {
    const std::string slot = "slot " + std::to_string(i);
    if (selected[i] != want[i]) fail(slot + " does not hold the routine of set " + row.name);
    if (covered.count(i) && base[i] == x87[i]) fail(slot + ": the set has no routine of its own there");
    if (!covered.count(i) && base[i] != x87[i]) fail(slot + ": the set should leave the x87 routine there");
    const bool ext = row.set == mxtest::Set::ThreeDNowExt && kExtSlots.count(i);
    if (ext == (want[i] == base[i])) fail(slot + ": the extension set " + (ext ? "misses it" : "replaces it"));
  }
  return failures;
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const Row* row = nullptr;
  for (const Row& r : kRows)
    if (argc == 2 && std::strcmp(argv[1], r.name) == 0) row = &r;
  if (!row) {
    std::fprintf(stderr, "usage: mxcpumatrix <x87|x87-disabled|SSE|SSE2|3DNow|3DNowExt> [gtest flags]\n");
    return 2;
  }
  // The first call of the process runs the selection with the real platform layer.
  MXSetDebugSink(sink, nullptr);
  MXMATRIX a{}, out;
  MXMatrixMultiply(&out, &a, &a);
  if (checkSelection(*row) != 0) return 1;
  MXSetDebugSink(nullptr, nullptr);
  GTEST_FLAG_SET(filter, "Selected/*");
  return RUN_ALL_TESTS();
}
