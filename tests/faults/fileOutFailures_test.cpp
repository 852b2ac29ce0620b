// The settings file and the save file with every system call of their output failing in
// turn: the open, each write, the flush (fsync), the close and the rename. Every failure
// must be reported and leave the previous file exactly as it was, with no temporary
// file beside it; a run that never reaches the failing call must write the new file.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "TempDir.h"
#include "kivFileOut.h"
#include "kivQModule.h"
#include "saveFile.h"

namespace {

enum class Step { Open, Write, Fsync, Close, Rename };
const char* Name(Step s) {
  switch (s) {
    case Step::Open: return "open";
    case Step::Write: return "write";
    case Step::Fsync: return "fsync";
    case Step::Close: return "close";
    case Step::Rename: return "rename";
  }
  return "?";
}

// The call that fails: the `failAt`th call of `step` since the table was installed.
// With `shortWrites`, every write takes at most a few bytes, as a pipe or a signal may.
struct Failure {
  Step step = Step::Open;
  int failAt = 0;
  int calls = 0;
  bool shortWrites = false;
} g_failure;

bool Fails(Step step) { return g_failure.step == step && ++g_failure.calls == g_failure.failAt; }

const kivFileOutOps kFailingOps = {
    [](const char* path, int flags, int mode) {
      if (Fails(Step::Open)) return errno = EACCES, -1;
      return kivFileOut_SystemOps()->open(path, flags, mode);
    },
    [](int fd, const void* data, size_t bytes) -> long {
      if (Fails(Step::Write)) return errno = ENOSPC, -1;
      return kivFileOut_SystemOps()->write(fd, data, g_failure.shortWrites && bytes > 3 ? 3 : bytes);
    },
    [](int fd) {
      if (Fails(Step::Fsync)) return errno = EIO, -1;
      return kivFileOut_SystemOps()->fsync(fd);
    },
    [](int fd) {
      // A failed close still releases the descriptor, as close(2) does.
      const int closed = kivFileOut_SystemOps()->close(fd);
      if (Fails(Step::Close)) return errno = EIO, -1;
      return closed;
    },
    [](const char* from, const char* to) {
      if (Fails(Step::Rename)) return errno = EXDEV, -1;
      return kivFileOut_SystemOps()->rename(from, to);
    },
    [](const char* path) { return kivFileOut_SystemOps()->unlink(path); },
};

// Writes one of two versions (0 or 1) of a file; true when it reports success.
using Writer = std::function<bool(const std::string& path, int version)>;

class FileOutFailures : public testing::Test {
 protected:
  void TearDown() override { kivFileOut_SetOps(nullptr); }

  // Fails each call of each step in turn until a run no longer reaches it. Returns the
  // failure points driven.
  int Sweep(const Writer& write) {
    const std::string path = dir_.File("file");
    EXPECT_TRUE(write(path, 1)) << "the fault-free write failed";
    const std::string newer = ReadFile(path);
    int points = 0;
    for (Step step : {Step::Open, Step::Write, Step::Fsync, Step::Close, Step::Rename}) {
      for (int n = 1;; ++n) {
        SCOPED_TRACE(testing::Message() << Name(step) << " call " << n << " fails");
        EXPECT_TRUE(write(path, 0));
        const std::string older = ReadFile(path);
        g_failure = Failure{step, n, 0, false};
        kivFileOut_SetOps(&kFailingOps);
        const bool written = write(path, 1);
        kivFileOut_SetOps(nullptr);
        EXPECT_EQ(dir_.Entries(), std::vector<std::string>{"file"}) << "a temporary file was left";
        if (g_failure.calls < n) {
          EXPECT_GT(n, 1) << "the file is not written through the output layer";
          EXPECT_TRUE(written);
          EXPECT_EQ(ReadFile(path), newer);
          break;
        }
        ++points;
        EXPECT_FALSE(written) << "the failure was reported as success";
        EXPECT_EQ(ReadFile(path), older) << "the previous file was not left intact";
        if (HasFailure()) return points;
      }
    }
    // Short writes are no failure: the layer writes the rest.
    g_failure = Failure{Step::Open, 0, 0, true};
    kivFileOut_SetOps(&kFailingOps);
    EXPECT_TRUE(write(path, 1));
    kivFileOut_SetOps(nullptr);
    EXPECT_EQ(ReadFile(path), newer);
    return points;
  }

  TempDir dir_;
};

TEST_F(FileOutFailures, SettingsFileKeepsThePreviousVersion) {
  // Enough parameters for a dozen writes; the version changes every value.
  int32_t ints[6];
  char texts[6][32];
  kivModuleClass module;
  for (int i = 0; i < 6; ++i) {
    module.AddParam(KIV_NEW kivParam(("count" + std::to_string(i)).c_str(), PARAM_INT, &ints[i]));
    module.AddParam(KIV_NEW kivParam(("name" + std::to_string(i)).c_str(), PARAM_STRING, texts[i]));
  }
  module.Setup("faults", "", "settings under failing output", nullptr);
  const int points = Sweep([&](const std::string& path, int version) {
    for (int i = 0; i < 6; ++i) {
      ints[i] = version * 100 + i;
      std::snprintf(texts[i], sizeof texts[i], "text %d of version %d", i, version);
    }
    return module.Save(path.c_str()) == 1;
  });
  std::printf("file output failure loop of the settings file: %d failure points driven\n", points);
}

TEST_F(FileOutFailures, SaveFileKeepsThePreviousVersion) {
  const int points = Sweep([](const std::string& path, int version) {
    towerhost::SaveFile save;
    for (int tower = 0; tower < 3; ++tower)
      save.blocks.push_back(std::vector<uint8_t>(116, static_cast<uint8_t>(version * 16 + tower)));
    std::string error;
    const bool ok = towerhost::WriteFileBytes(path, towerhost::EncodeSaveFile(save), error);
    EXPECT_EQ(ok, error.empty()) << error;
    return ok;
  });
  std::printf("file output failure loop of the save file: %d failure points driven\n", points);
}

}  // namespace
