// towerhost run as a program: the default scene, its failures, and console sessions.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "saveFile.h"

namespace fs = std::filesystem;

namespace {

struct Result {
  int status;  // exit code, or 128 + signal
  std::string output;  // standard output and error together
};

class Towerhost : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(testing::TempDir()) /
           ("towerhost-" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }

  Result Run(const std::string& args, const std::string& input = {}) {
    const fs::path in = dir_ / "stdin.txt", out = dir_ / "stdout.txt";
    std::ofstream(in) << input;
    const std::string command = std::string("'") + TOWERHOST_PROGRAM + "' " + args + " < '" + in.string() +
                                "' > '" + out.string() + "' 2>&1";
    const int raw = std::system(command.c_str());
    Result r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    std::ifstream file(out);
    std::stringstream text;
    text << file.rdbuf();
    r.output = text.str();
    return r;
  }

  std::string Out() const { return " --out '" + (dir_ / "out").string() + "'"; }

  fs::path dir_;
};

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

int Count(const std::string& text, const std::string& part) {
  int n = 0;
  for (size_t p = text.find(part); p != std::string::npos; p = text.find(part, p + 1)) ++n;
  return n;
}

TEST_F(Towerhost, DefaultSceneRunsSavesReloadsAndEndsWithoutLeaks) {
  const Result r = Run("--towers 3 --frames 60" + Out());
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_TRUE(Has(r.output, "part 0: Tower (0, -1)")) << r.output;
  EXPECT_TRUE(Has(r.output, "part 1: Rotor (1, -1)"));
  EXPECT_TRUE(Has(r.output, "sound: laser_fire.wav"));
  EXPECT_TRUE(Has(r.output, "Creating object: 'acttower'"));
  EXPECT_TRUE(Has(r.output, "reloaded 3 new towers")) << r.output;
  EXPECT_TRUE(Has(r.output, "state identical"));
  EXPECT_TRUE(Has(r.output, "frames = 60"));
  // The tracker's report is the last thing said.
  const std::string tail = r.output.substr(r.output.find_last_not_of(" \n") - 19);
  EXPECT_TRUE(Has(tail, "kivMemLeak: no leaks")) << r.output;

  // The camera's path carries every tower through all three levels.
  for (int tower = 0; tower < 3; ++tower)
    EXPECT_TRUE(Has(r.output, "tower " + std::to_string(tower) + " was drawn at levels 0 1 2")) << r.output;

  const fs::path out = dir_ / "out";
  EXPECT_TRUE(fs::is_regular_file(out / "towers.sav"));
  std::ifstream settings(out / "acttower.settings");
  std::string first;
  std::getline(settings, first);
  EXPECT_EQ(first, "// *** Module autosave ***");
  int backups = 0;
  for (const auto& entry : fs::directory_iterator(out))
    if (entry.path().filename().string().rfind("acttower.settings.", 0) == 0) ++backups;
  EXPECT_EQ(backups, 1);
}

TEST_F(Towerhost, HelpAndBadCommandLines) {
  Result r = Run("--help");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(Has(r.output, "--towers N"));
  r = Run("--frames 0");
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(Has(r.output, "towerhost: --frames needs a whole number")) << r.output;
  r = Run("--what");
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(Has(r.output, "unknown option '--what'"));
}

TEST_F(Towerhost, RefusesModulesItCannotUse) {
  const struct {
    std::string module;
    std::string message;
  } cases[] = {
      {(dir_ / "missing.so").string(), "cannot load the plug-in"},
      {FAKE_VERSION_MODULE, "another SDK layout: the SDK version is 2 in the module, 1 in this host"},
      {FAKE_SIZE_MODULE, "another SDK layout: sizeof(kivActTower) is"},
      {FAKE_NO_FACTORY_MODULE, "exports no CreateObjClass"},
  };
  for (const auto& c : cases) {
    const Result r = Run("--plugin '" + c.module + "'" + Out());
    EXPECT_EQ(r.status, 1) << c.module << "\n" << r.output;
    EXPECT_TRUE(Has(r.output, c.message)) << r.output;
  }
}

TEST_F(Towerhost, FailsWithoutModels) {
  fs::create_directories(dir_ / "empty");
  Result r = Run("--models '" + (dir_ / "empty").string() + "'" + Out());
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.output, "Create failed: no \"tower\" model")) << r.output;
  EXPECT_TRUE(Has(r.output, "kivMemLeak: no leaks")) << r.output;
  r = Run("--models '" + (dir_ / "none").string() + "'" + Out());
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.output, "no model folder")) << r.output;
}

// The tower table of a `show`, which must come out the same before and after a refused load.
std::string TableAfter(const std::string& output, const std::string& marker) {
  const size_t start = output.find(marker);
  if (start == std::string::npos) return {};
  const size_t table = output.find("tower level", start);
  const size_t blank = output.find("\n\n", table);
  const size_t end = std::min(output.find("> ", table), blank == std::string::npos ? blank : blank + 1);
  return output.substr(table, end - table);
}

TEST_F(Towerhost, ScriptedConsoleSession) {
  const fs::path save = dir_ / "s.sav";
  std::string script =
      "# a comment, then a blank line\n"
      "\n"
      "LOD_range\n"
      "LOD_range 20\n"
      "set LOD_range 30\n"
      "LOD_range abc\n"
      "LOD_range 1 2\n"
      "fly away\n"
      "spawn\n"
      "spawn 1 x 3\n"
      "spawn 10 0 -5\n"
      "remove 99\n"
      "remove 0\n"
      "step 0\n"
      "step 3\n"
      "show\n"
      "save " + save.string() + "\n"
      "load " + (dir_ / "absent.sav").string() + "\n"
      "load " + save.string() + "\n"
      "show\n"
      "params\n"
      "vars\n"
      "quit\n"
      "spawn\n";
  std::ofstream(dir_ / "session.txt") << script;
  const Result r = Run("--towers 2 --script '" + (dir_ / "session.txt").string() + "'" + Out());
  ASSERT_EQ(r.status, 0) << r.output;
  const std::string& o = r.output;
  EXPECT_TRUE(Has(o, "> LOD_range\nLOD_range = 40.0f")) << o;
  EXPECT_TRUE(Has(o, "> LOD_range 20\nLOD_range = 20"));
  EXPECT_TRUE(Has(o, "> set LOD_range 30\nLOD_range = 30"));
  EXPECT_TRUE(Has(o, "> LOD_range abc\nerror: 'abc' is not a value for LOD_range"));
  EXPECT_TRUE(Has(o, "> LOD_range 1 2\nerror: usage: LOD_range [VALUE]"));
  EXPECT_TRUE(Has(o, "> fly away\nerror: unknown command 'fly'"));
  EXPECT_TRUE(Has(o, "> spawn\nspawned tower 2 at (50.00 0.00 0.00)")) << o;
  EXPECT_TRUE(Has(o, "> spawn 1 x 3\nerror: spawn needs three numbers"));
  EXPECT_TRUE(Has(o, "> spawn 10 0 -5\nspawned tower 3 at (10.00 0.00 -5.00)"));
  EXPECT_TRUE(Has(o, "> remove 99\nerror: no tower 99"));
  EXPECT_TRUE(Has(o, "> remove 0\nremoved tower 0"));
  EXPECT_TRUE(Has(o, "> step 0\nerror: usage: step [N]"));
  EXPECT_TRUE(Has(o, "> step 3\nframe 3"));
  EXPECT_TRUE(Has(o, "frame 3, camera at"));
  EXPECT_TRUE(Has(o, "saved 3 towers to"));
  EXPECT_TRUE(Has(o, "error: save file refused: cannot open")) << o;
  EXPECT_TRUE(Has(o, "loaded 3 towers from"));
  EXPECT_TRUE(Has(o, "\nLOD_range = 30"));  // vars lists the value set last
  EXPECT_EQ(Count(o, "spawned tower"), 2);  // nothing runs after quit
  EXPECT_TRUE(Has(o, "kivMemLeak: no leaks"));
}

TEST_F(Towerhost, CorruptSaveFilesAreRefusedBeforeAnyTowerIsTouched) {
  // A good file from a first session, then damaged copies of it.
  const fs::path good = dir_ / "good.sav";
  std::ofstream(dir_ / "save.txt") << "step 2\nsave " << good.string() << "\n";
  ASSERT_EQ(Run("--towers 2 --script '" + (dir_ / "save.txt").string() + "'" + Out()).status, 0);
  std::vector<uint8_t> bytes;
  std::string error;
  ASSERT_TRUE(towerhost::ReadFileBytes(good.string(), bytes, error)) << error;

  const struct {
    const char* name;
    std::function<void(std::vector<uint8_t>&)> damage;
    const char* reason;
  } cases[] = {
      {"truncated", [](auto& b) { b.resize(b.size() - 5); }, "truncated"},
      {"magic", [](auto& b) { b[1] = '?'; }, "wrong magic word"},
      {"version", [](auto& b) { b[4] = 9; }, "unsupported format version 9"},
      {"blocksize", [](auto& b) { b[12] += 4; }, "block 0 has size"},
  };
  std::string script = "step 4\nshow\n";
  for (const auto& c : cases) {
    std::vector<uint8_t> damaged = bytes;
    c.damage(damaged);
    const fs::path path = dir_ / (std::string(c.name) + ".sav");
    ASSERT_TRUE(towerhost::WriteFileBytes(path.string(), damaged, error)) << error;
    script += "load " + path.string() + "\nshow\n";
  }
  std::ofstream(dir_ / "load.txt") << script;
  const Result r = Run("--towers 2 --script '" + (dir_ / "load.txt").string() + "'" + Out());
  ASSERT_EQ(r.status, 0) << r.output;
  const std::string before = TableAfter(r.output, "> show");
  ASSERT_FALSE(before.empty()) << r.output;
  for (const auto& c : cases) {
    const std::string command = "> load " + (dir_ / (std::string(c.name) + ".sav")).string();
    EXPECT_TRUE(Has(r.output, command + "\nerror: save file refused: ")) << c.name << "\n" << r.output;
    EXPECT_TRUE(Has(r.output, c.reason)) << c.name;
    EXPECT_EQ(TableAfter(r.output, command), before) << c.name;
  }
}

TEST_F(Towerhost, ConsoleReadsStandardInput) {
  const Result r = Run("--console --towers 1" + Out(), "step 2\nshow\nquit\n");
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_TRUE(Has(r.output, "frame 2\n"));
  EXPECT_TRUE(Has(r.output, "frame 2, camera at"));
  EXPECT_FALSE(Has(r.output, "> step"));  // typed lines are not echoed
}

}  // namespace
