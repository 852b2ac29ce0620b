#include "rxMemLeak.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ConsoleCapture.h"

namespace {

// Distinct addresses the tracker only records; it never touches them.
char blocks[8];

kivMemLeakStats Stats() {
  kivMemLeakStats stats;
  kivMemLeak_GetStats(&stats);
  return stats;
}

TEST(Tracker, RecordsCountsAndForgets) {
  const kivMemLeakStats before = Stats();
  kivMemLeak_Alloc(&blocks[0], "a.cpp", 1);
  kivMemLeak_AllocFailed(64, "b.cpp", 2);
  const kivMemLeakStats middle = Stats();
  EXPECT_EQ(middle.allocs, before.allocs + 1);
  EXPECT_EQ(middle.failures, before.failures + 1);
  EXPECT_EQ(middle.live, before.live + 1);
  kivMemLeak_Free(&blocks[0]);
  const kivMemLeakStats after = Stats();
  EXPECT_EQ(after.frees, before.frees + 1);
  EXPECT_EQ(after.live, before.live);
  EXPECT_FALSE(kivMemLeak_FindBlock(&blocks[0], nullptr, nullptr));
}

TEST(Tracker, UnknownReleaseIsReportedOnTheUrgentConsole) {
  ConsoleCapture console;
  const kivMemLeakStats before = Stats();
  kivMemLeak_Alloc(&blocks[1], "a.cpp", 1);
  kivMemLeak_Free(&blocks[1]);
  kivMemLeak_Free(&blocks[1]);  // twice
  kivMemLeak_Free(&blocks[2]);  // never recorded
  EXPECT_EQ(Stats().unknownFrees, before.unknownFrees + 2);
  EXPECT_EQ(Stats().frees, before.frees + 1);
  ASSERT_EQ(console.Messages().size(), 2u);
  EXPECT_TRUE(console.Messages()[0].urgent);
  EXPECT_NE(console.Urgent().find("unknown block"), std::string::npos);
}

TEST(Tracker, FileTextIsKeptEvenWhenTheCallersCopyGoesAway) {
  std::string file = "transient.cpp";
  kivMemLeak_Alloc(&blocks[3], file.c_str(), 5);
  file.assign("overwritten");
  const char* recorded = nullptr;
  ASSERT_TRUE(kivMemLeak_FindBlock(&blocks[3], &recorded, nullptr));
  EXPECT_STREQ(recorded, "transient.cpp");
  kivMemLeak_Free(&blocks[3]);
}

TEST(Tracker, ReportGroupsBySiteMostBlocksFirst) {
  ConsoleCapture console;
  kivMemLeak_Report();
  EXPECT_EQ(console.Normal(), "\nkivMemLeak: no leaks");
  EXPECT_EQ(console.Urgent(), "");

  console.Clear();
  kivMemLeak_Alloc(&blocks[4], "one.cpp", 10);
  kivMemLeak_Alloc(&blocks[5], "two.cpp", 20);
  kivMemLeak_Alloc(&blocks[6], "two.cpp", 20);
  kivMemLeak_Report();
  const std::string& report = console.Urgent();
  EXPECT_NE(report.find("3 leaked block(s) from 2 site(s)"), std::string::npos) << report;
  const size_t two = report.find("\n  two.cpp:20: 2 block(s)");
  const size_t one = report.find("\n  one.cpp:10: 1 block(s)");
  ASSERT_NE(two, std::string::npos) << report;
  ASSERT_NE(one, std::string::npos) << report;
  EXPECT_LT(two, one);

  std::vector<std::string> live;
  kivMemLeak_ForEachLive(
      [](void* context, const void*, const char* file, int line) {
        static_cast<std::vector<std::string>*>(context)->push_back(std::string(file) + ":" + std::to_string(line));
      },
      &live);
  EXPECT_EQ(live, (std::vector<std::string>{"one.cpp:10", "two.cpp:20", "two.cpp:20"})) << "oldest first";
  for (int i = 4; i <= 6; ++i) kivMemLeak_Free(&blocks[i]);
}

}  // namespace
