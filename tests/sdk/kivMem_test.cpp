#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "AllocFailureSweep.h"
#include "ConsoleCapture.h"
#include "kivQObjClass.h"

namespace {

kivMemLeakStats Stats() {
  kivMemLeakStats stats;
  kivMemLeak_GetStats(&stats);
  return stats;
}

TEST(TrackedAlloc, ZeroBytesGiveNullWithoutAnyTrackerCall) {
  const kivMemLeakStats before = Stats();
  kivGlobalMem_FailNth(1, 0);
  EXPECT_EQ(kivMem_Alloc(0, "zero.cpp", 1), nullptr);
  EXPECT_EQ(kivGlobalMem_InjectedFailures(), 0u) << "the platform was asked";
  kivGlobalMem_NoFaults();
  const kivMemLeakStats after = Stats();
  EXPECT_EQ(after.allocs, before.allocs);
  EXPECT_EQ(after.failures, before.failures);
}

TEST(TrackedAlloc, BlockIsZeroFilledAndRecordedWithItsSite) {
  const kivMemLeakStats before = Stats();
  auto* block = static_cast<unsigned char*>(kivMem_Alloc(1000, "site.cpp", 42));
  ASSERT_NE(block, nullptr);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(block[i], 0) << "byte " << i;
  const char* file = nullptr;
  int line = 0;
  ASSERT_TRUE(kivMemLeak_FindBlock(block, &file, &line));
  EXPECT_STREQ(file, "site.cpp");
  EXPECT_EQ(line, 42);
  EXPECT_EQ(Stats().allocs, before.allocs + 1);

  kivMem_Free(block);
  EXPECT_FALSE(kivMemLeak_FindBlock(block, nullptr, nullptr));
  EXPECT_EQ(Stats().frees, before.frees + 1);
  EXPECT_EQ(Stats().live, before.live);
}

TEST(TrackedAlloc, FailedRequestIsReportedOnceWithItsSize) {
  const kivMemLeakStats before = Stats();
  kivGlobalMem_FailNth(1, 0);
  EXPECT_EQ(kivMem_Alloc(77, "fail.cpp", 9), nullptr);
  kivGlobalMem_NoFaults();
  const kivMemLeakStats after = Stats();
  EXPECT_EQ(after.failures, before.failures + 1);
  EXPECT_EQ(after.allocs, before.allocs);
  size_t bytes = 0;
  const char* file = nullptr;
  int line = 0;
  ASSERT_TRUE(kivMemLeak_LastFailure(&bytes, &file, &line));
  EXPECT_EQ(bytes, 77u);
  EXPECT_STREQ(file, "fail.cpp");
  EXPECT_EQ(line, 9);
}

TEST(TrackedAlloc, FreeOfNullDoesNothing) {
  const kivMemLeakStats before = Stats();
  kivMem_Free(nullptr);
  kivMem_Free(nullptr, "x.cpp", 1);
  EXPECT_EQ(Stats().frees, before.frees);
  EXPECT_EQ(Stats().unknownFrees, before.unknownFrees);
}

TEST(TrackedAlloc, SecondReleaseIsReportedAndNotRepeated) {
  ConsoleCapture console;
  const kivMemLeakStats before = Stats();
  void* block = kivMem_Alloc(8, __FILE__, __LINE__);
  kivMem_Free(block);
  kivMem_Free(block);  // the heap must not see this one
  int foreign = 0;
  kivMem_Free(&foreign);
  EXPECT_EQ(Stats().unknownFrees, before.unknownFrees + 2);
  EXPECT_NE(console.Urgent().find("unknown block"), std::string::npos);
}

struct Counted : kivObj {
  explicit Counted(kivObjClass* cls, bool fail = false) : kivObj(cls) {
    if (fail) throw std::runtime_error("constructor failed");
    ++alive;
  }
  ~Counted() override { --alive; }
  static int alive;
};
int Counted::alive = 0;

TEST(TrackedAlloc, ObjectsCarryTheCreatingStatementsSite) {
  kivObjClass cls;
  const int line = __LINE__ + 1;
  kivObj* object = KIV_NEW Counted(&cls);
  const char* file = nullptr;
  int recorded = 0;
  ASSERT_TRUE(kivMemLeak_FindBlock(object, &file, &recorded));
  EXPECT_EQ(std::string(file), __FILE__);
  EXPECT_EQ(recorded, line);
  delete object;
  EXPECT_FALSE(kivMemLeak_FindBlock(object, nullptr, nullptr));
}

TEST(TrackedAlloc, FailedCreationRunsNoConstructor) {
  kivObjClass cls;
  kivGlobalMem_FailNth(1, 0);
  kivObj* object = KIV_NEW Counted(&cls);
  kivGlobalMem_NoFaults();
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(Counted::alive, 0);
  EXPECT_EQ(cls.GetRefCount(), 0);
}

TEST(TrackedAlloc, ThrowingConstructorGivesItsBlockBack) {
  kivObjClass cls;
  const unsigned long long live = LiveBlocks();
  const kivMemLeakStats before = Stats();
  EXPECT_THROW((void)(KIV_NEW Counted(&cls, true)), std::runtime_error);
  EXPECT_EQ(LiveBlocks(), live);
  EXPECT_EQ(Stats().frees, before.frees + 1);
  EXPECT_EQ(cls.GetRefCount(), 0) << "the base constructor's reference is released by its destructor";
}

TEST(TrackedAlloc, ArraysTakeAndReturnOneBlock) {
  const kivMemLeakStats before = Stats();
  kivParam* params = KIV_NEW kivParam[3]{{"a", PARAM_OPAQUE, nullptr}, {"b", PARAM_OPAQUE, nullptr},
                                         {"c", PARAM_OPAQUE, nullptr}};
  ASSERT_NE(params, nullptr);
  EXPECT_EQ(Stats().allocs, before.allocs + 1);
  EXPECT_STREQ(params[2].name, "c");
  delete[] params;
  EXPECT_EQ(Stats().frees, before.frees + 1);
  EXPECT_EQ(Stats().live, before.live);
}

TEST(TrackedAlloc, SweepHelperDrivesEveryFailure) {
  // Three blocks: every run either gets all three or gives back what it got.
  std::vector<unsigned long> failedAt;
  const int runs = SweepAllocFailures([&](const SweepRun& run) {
    void* blocks[3];
    bool ok = true;
    for (void*& block : blocks) {
      block = kivMem_Alloc(16, __FILE__, __LINE__);
      ok = ok && block != nullptr;
    }
    if (!ok) failedAt.push_back(run.nth);
    for (void* block : blocks) kivMem_Free(block);
  });
  EXPECT_EQ(runs, 7);  // 1..3 alone and with the later ones, then 4 needs no failure
  EXPECT_EQ(failedAt, (std::vector<unsigned long>{1, 1, 2, 2, 3, 3}));
}

}  // namespace
