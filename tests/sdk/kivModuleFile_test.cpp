// The settings file and its backups.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "TempDir.h"
#include "kivQModule.h"

namespace fs = std::filesystem;

namespace {

char text[] = "hello world";
char emptyText[] = "";
int32_t count = 3;
float speed = 1.5f;

// A module with one parameter of each kind of line.
struct SettingsModule : kivModuleClass {
  explicit SettingsModule(const std::string& file) {
    Setup("test", file.c_str(), "mod", nullptr);
    AddParam(KIV_NEW kivParam("speed", PARAM_FLOAT, &speed));
    AddParam(KIV_NEW kivParam("count", PARAM_INT, &count));
    AddParam(KIV_NEW kivParam("empty", PARAM_STRING, emptyText));
    AddParam(KIV_NEW kivParam("blob", PARAM_OPAQUE, nullptr));
    AddParam(KIV_NEW kivParam("text", PARAM_STRING, text));
  }
};

const char* const kExpected =
    "// *** Module autosave ***\nmodule = mod\nspeed = 1.50000\ncount = 3\n//empty = \n//blob = \ntext = hello world";

TEST(Settings, FileHoldsHeaderModuleLineAndOneLinePerParameter) {
  TempDir dir;
  SettingsModule module(dir.File("settings.txt"));
  EXPECT_EQ(module.Save(nullptr), 1);
  EXPECT_EQ(ReadFile(dir.File("settings.txt")), kExpected);
}

TEST(Settings, ModuleWithoutParametersWritesTwoLines) {
  TempDir dir;
  kivModuleClass module;
  module.Setup("m", dir.File("a.txt").c_str(), "", nullptr);
  EXPECT_EQ(module.Save(nullptr), 1);
  EXPECT_EQ(ReadFile(dir.File("a.txt")), "// *** Module autosave ***\nmodule = ");
}

TEST(Settings, SavingUnderAnotherNameLeavesTheFileField) {
  TempDir dir;
  SettingsModule module(dir.File("own.txt"));
  EXPECT_EQ(module.Save(dir.File("other.txt").c_str()), 1);
  EXPECT_EQ(std::string(module.file), dir.File("own.txt"));
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"other.txt"}));
}

TEST(Settings, SaveReplacesEarlierContentAndKeepsPermissions) {
  TempDir dir;
  const std::string name = dir.File("settings.txt");
  WriteFile(name, std::string(5000, 'o'));
  ::chmod(name.c_str(), 0640);
  SettingsModule module(name);
  EXPECT_EQ(module.Save(nullptr), 1);
  EXPECT_EQ(ReadFile(name), kExpected);
  EXPECT_EQ(fs::status(name).permissions(), fs::perms(0640));
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"settings.txt"}));
}

TEST(Settings, UnopenableNameGivesZero) {
  TempDir dir;
  SettingsModule module(dir.File("missing/settings.txt"));
  EXPECT_EQ(module.Save(nullptr), 0);
  kivModuleClass unnamed;
  EXPECT_EQ(unnamed.Save(nullptr), 0) << "an empty file name";
  EXPECT_EQ(module.Save(dir.Path().c_str()), 0) << "a folder";
  EXPECT_TRUE(dir.Entries().empty());
}

TEST(Settings, WriteProtectedFileIsNotReplaced) {
  if (::geteuid() == 0) GTEST_SKIP() << "write protection does not bind the superuser";
  TempDir dir;
  const std::string name = dir.File("settings.txt");
  WriteFile(name, "protected");
  ::chmod(name.c_str(), 0444);
  SettingsModule module(name);
  EXPECT_EQ(module.Save(nullptr), 0);
  EXPECT_EQ(ReadFile(name), "protected");
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"settings.txt"}));
}

TEST(Settings, SymbolicLinkReplacesTheFileItPointsTo) {
  TempDir dir;
  fs::create_directory(dir.Path() / "real");
  WriteFile(dir.File("real/settings.txt"), "old");
  fs::create_symlink("real/settings.txt", dir.Path() / "link.txt");
  SettingsModule module(dir.File("link.txt"));
  EXPECT_EQ(module.Save(nullptr), 1);
  EXPECT_TRUE(fs::is_symlink(dir.Path() / "link.txt"));
  EXPECT_EQ(ReadFile(dir.File("real/settings.txt")), kExpected);
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"link.txt", "real"}));
}

TEST(Settings, DeviceThatIsFullGivesZero) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  SettingsModule module("/dev/full");
  EXPECT_EQ(module.Save(nullptr), 0);
  EXPECT_TRUE(fs::is_character_file("/dev/full"));
}

TEST(Settings, FifoIsWrittenInPlace) {
  TempDir dir;
  const std::string name = dir.File("pipe");
  ASSERT_EQ(::mkfifo(name.c_str(), 0600), 0);
  SettingsModule module(name);
  EXPECT_EQ(module.Save(nullptr), 0) << "no reader: refused instead of blocking";

  const int reader = ::open(name.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  EXPECT_EQ(module.Save(nullptr), 1);
  char buffer[512] = {};
  const ssize_t got = ::read(reader, buffer, sizeof buffer - 1);
  ::close(reader);
  EXPECT_EQ(std::string(buffer, got > 0 ? static_cast<size_t>(got) : 0), kExpected);
  EXPECT_TRUE(fs::is_fifo(name));
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"pipe"}));
}

// Output calls that fail at one chosen step with "disk full".
enum class Step { Write, Fsync, Close, Rename };
Step failStep;
int failAtCall;  // for Write: which write call fails (1 = the first)
int writeCalls;

long FaultyWrite(int fd, const void* data, size_t bytes) {
  if (failStep == Step::Write && ++writeCalls == failAtCall) {
    errno = ENOSPC;
    return -1;
  }
  return kivFileOut_SystemOps()->write(fd, data, bytes);
}
int FaultyFsync(int fd) {
  if (failStep == Step::Fsync) {
    errno = EIO;
    return -1;
  }
  return kivFileOut_SystemOps()->fsync(fd);
}
int FaultyClose(int fd) {
  const int result = kivFileOut_SystemOps()->close(fd);
  if (failStep == Step::Close) {
    errno = ENOSPC;
    return -1;
  }
  return result;
}
int FaultyRename(const char* from, const char* to) {
  if (failStep == Step::Rename) {
    errno = ENOSPC;
    return -1;
  }
  return kivFileOut_SystemOps()->rename(from, to);
}

struct FailureCase {
  const char* what;
  Step step;
  int call;
};
void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.what; }

class SaveFailure : public testing::TestWithParam<FailureCase> {
 protected:
  void SetUp() override {
    failStep = GetParam().step;
    failAtCall = GetParam().call;
    writeCalls = 0;
    ops = *kivFileOut_SystemOps();
    ops.write = &FaultyWrite;
    ops.fsync = &FaultyFsync;
    ops.close = &FaultyClose;
    ops.rename = &FaultyRename;
    kivFileOut_SetOps(&ops);
  }
  void TearDown() override { kivFileOut_SetOps(nullptr); }
  kivFileOutOps ops;
};

TEST_P(SaveFailure, LeavesTheOldFileAndNoTemporaryFile) {
  TempDir dir;
  const std::string name = dir.File("settings.txt");
  WriteFile(name, "previous settings");
  SettingsModule module(name);
  EXPECT_EQ(module.Save(nullptr), 0);
  EXPECT_EQ(ReadFile(name), "previous settings");
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"settings.txt"}));
}

INSTANTIATE_TEST_SUITE_P(Steps, SaveFailure,
                         testing::Values(FailureCase{"FirstWrite", Step::Write, 1},
                                         FailureCase{"LaterWrite", Step::Write, 4},
                                         FailureCase{"Flush", Step::Fsync, 0}, FailureCase{"Close", Step::Close, 0},
                                         FailureCase{"Rename", Step::Rename, 0}),
                         [](const testing::TestParamInfo<FailureCase>& info) { return info.param.what; });

// Backups.

kivLocalTime fixedTime;
void FixedClock(kivLocalTime* out) { *out = fixedTime; }

class Backup : public testing::Test {
 protected:
  void SetUp() override {
    fixedTime = {2004, 3, 9, 8, 5, 7};
    kivFile_SetClock(&FixedClock);
  }
  void TearDown() override { kivFile_SetClock(nullptr); }
  TempDir dir;
};

TEST_F(Backup, CopiesToATimeStampedName) {
  const std::string name = dir.File("settings.txt");
  WriteFile(name, "first");
  kivModuleClass module;
  module.Setup("m", name.c_str(), "", nullptr);
  EXPECT_NE(module.Backup(), 0);
  EXPECT_EQ(ReadFile(name + ".2004y03m09d_08_05_07"), "first");

  // The same second again: the second backup replaces the first.
  WriteFile(name, "second");
  EXPECT_NE(module.backup_file(name.c_str()), 0);
  EXPECT_EQ(ReadFile(name + ".2004y03m09d_08_05_07"), "second");
  EXPECT_EQ(dir.Entries().size(), 2u);
}

TEST_F(Backup, SuffixPadsEverythingButTheYear) {
  const std::string name = dir.File("s");
  WriteFile(name, "x");
  kivModuleClass module;
  fixedTime = {987, 12, 31, 23, 59, 0};
  EXPECT_NE(module.backup_file(name.c_str()), 0);
  EXPECT_TRUE(fs::exists(name + ".987y12m31d_23_59_00"));
  fixedTime = {2025, 1, 1, 0, 0, 0};
  EXPECT_NE(module.backup_file(name.c_str()), 0);
  EXPECT_TRUE(fs::exists(name + ".2025y01m01d_00_00_00"));
}

TEST_F(Backup, NothingToCopyGivesZero) {
  kivModuleClass module;
  EXPECT_EQ(module.backup_file(dir.File("none.txt").c_str()), 0);
  EXPECT_EQ(module.backup_file(nullptr), 0);
  EXPECT_EQ(module.Backup(), 0) << "no file name at all";
  fs::create_directory(dir.Path() / "folder");
  EXPECT_EQ(module.backup_file(dir.File("folder").c_str()), 0) << "a folder passes the test, its copy fails";
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"folder"}));
}

TEST_F(Backup, NameWhoseBackupWouldNotFitIsRefused) {
  // 234 characters make a backup name of exactly 255; one more does not fit.
  const std::string prefix = dir.File("");
  ASSERT_LT(prefix.size(), 200u);
  const std::string fits = prefix + std::string(234 - prefix.size(), 'f');
  const std::string tooLong = prefix + std::string(235 - prefix.size(), 'g');
  WriteFile(fits, "a");
  WriteFile(tooLong, "b");
  kivModuleClass module;
  EXPECT_NE(module.backup_file(fits.c_str()), 0);
  EXPECT_TRUE(fs::exists(fits + ".2004y03m09d_08_05_07"));
  EXPECT_EQ(module.backup_file(tooLong.c_str()), 0);
  EXPECT_EQ(dir.Entries().size(), 3u) << "nothing created for the long name";
}

TEST_F(Backup, BackupCallsTheDerivedBackupFile) {
  struct Derived : kivModuleClass {
    int backup_file(const char* name) override {
      asked = name;
      return 7;
    }
    std::string asked;
  } module;
  module.Setup("m", "own.txt", "", nullptr);
  EXPECT_EQ(module.Backup(), 7);
  EXPECT_EQ(module.asked, "own.txt");
}

}  // namespace
