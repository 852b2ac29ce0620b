// The platform stand-ins: global memory with fault injection, files and the clock.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "TempDir.h"
#include "kivFile.h"
#include "kivGlobalMem.h"

namespace fs = std::filesystem;

namespace {

// Which of `requests` requests fail with the given injection.
std::string FailurePattern(unsigned long nth, int andLater, int requests) {
  kivGlobalMem_FailNth(nth, andLater);
  std::string pattern;
  for (int i = 0; i < requests; ++i) {
    void* block = kivGlobalMem_Alloc(8);
    pattern += block == nullptr ? 'x' : '.';
    kivGlobalMem_Free(block);
  }
  kivGlobalMem_NoFaults();
  return pattern;
}

TEST(GlobalMem, NthRequestFromNowFails) {
  EXPECT_EQ(FailurePattern(1, 0, 4), "x...");
  EXPECT_EQ(FailurePattern(3, 0, 5), "..x..");
  EXPECT_EQ(FailurePattern(3, 1, 5), "..xxx");
  EXPECT_EQ(FailurePattern(0, 1, 3), "...") << "0 switches injection off";
  kivGlobalMem_FailNth(2, 1);
  kivGlobalMem_Free(kivGlobalMem_Alloc(1));
  kivGlobalMem_Alloc(1);
  kivGlobalMem_Alloc(1);
  EXPECT_EQ(kivGlobalMem_InjectedFailures(), 2u);
  kivGlobalMem_NoFaults();
  void* block = kivGlobalMem_Alloc(1);
  EXPECT_NE(block, nullptr);
  kivGlobalMem_Free(block);
}

TEST(File, ExistsForAnythingWithThatName) {
  TempDir dir;
  WriteFile(dir.File("file"), "x");
  fs::create_directory(dir.Path() / "folder");
  fs::create_symlink("nowhere", dir.Path() / "dangling");
  EXPECT_EQ(kivFile_Exists(dir.File("file").c_str()), 1);
  EXPECT_EQ(kivFile_Exists(dir.File("folder").c_str()), 1);
  EXPECT_EQ(kivFile_Exists(dir.File("dangling").c_str()), 0);
  EXPECT_EQ(kivFile_Exists(dir.File("none").c_str()), 0);
  EXPECT_EQ(kivFile_Exists(""), 0);
  EXPECT_EQ(kivFile_Exists(nullptr), 0);
}

TEST(File, CopyReplacesTheTargetAndRefusesFolders) {
  TempDir dir;
  WriteFile(dir.File("from"), "new content");
  WriteFile(dir.File("to"), "old");
  EXPECT_EQ(kivFile_Copy(dir.File("from").c_str(), dir.File("to").c_str()), 1);
  EXPECT_EQ(ReadFile(dir.File("to")), "new content");
  fs::create_directory(dir.Path() / "folder");
  EXPECT_EQ(kivFile_Copy(dir.File("folder").c_str(), dir.File("copy").c_str()), 0);
  EXPECT_EQ(kivFile_Copy(dir.File("none").c_str(), dir.File("copy").c_str()), 0);
  EXPECT_EQ(kivFile_Copy(dir.File("from").c_str(), dir.File("missing/copy").c_str()), 0);
  EXPECT_FALSE(fs::exists(dir.Path() / "copy"));
}

TEST(File, LocalTimeIsACalendarTime) {
  kivLocalTime now;
  kivFile_LocalTime(&now);
  EXPECT_GE(now.year, 2000);
  EXPECT_GE(now.month, 1);
  EXPECT_LE(now.month, 12);
  EXPECT_GE(now.day, 1);
  EXPECT_LE(now.day, 31);
  EXPECT_LE(now.hour, 23);
  EXPECT_LE(now.minute, 59);
  EXPECT_LE(now.second, 60);
}

}  // namespace
