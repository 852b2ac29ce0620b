// The host's whole scene with every tracked allocation failing in turn.
//
// towerhost runs as a child process with the fault switch preloaded: once without
// faults, to count the tracked allocations and keep its output, then once per
// allocation with only that one failing and once with that one and every later one
// failing. Each run must end either exactly as the fault-free run did, or with a
// "towerhost: " message and a non-zero exit; it must not crash, hang, or leave a block
// live in the tracker or release one the tracker does not know.
//
// A console session's failed commands say "error: " and the session goes on, so there
// a changed result with such a message counts as a clear failure too.
//
// ACTTOWER_FAULTS_FULL=1 sweeps a larger scene (16 towers) for a manual run.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

// What the fault switch wrote at the child's exit.
struct TrackerReport {
  bool present = false;
  unsigned long long requests = 0, injected = 0, live = 0, unknown = 0;
};

struct HostRun {
  bool exited = false;  // false: killed by a signal or by the time limit
  int status = 0;       // the exit code, or the signal
  bool timedOut = false;
  std::string out, err;
  TrackerReport report;
};

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TrackerReport ReadReport(const fs::path& path) {
  TrackerReport r;
  std::ifstream in(path);
  std::string a, b, c, d;
  if (in >> a >> r.requests >> b >> r.injected >> c >> r.live >> d >> r.unknown) r.present = true;
  return r;
}

// One program run to sweep: the arguments after --out, and whether it is a console
// session, whose failed commands say "error: " and let the session go on.
struct Scenario {
  const char* name;
  std::vector<std::string> args;
  bool console;
};

bool LongMode() {
  const char* full = std::getenv("ACTTOWER_FAULTS_FULL");
  return full != nullptr && std::strcmp(full, "1") == 0;
}

class SceneSweep : public testing::TestWithParam<Scenario> {
 protected:
  void SetUp() override {
    dir_ = fs::path(testing::TempDir()) / ("acttower-sweep-" + std::to_string(::getpid()) + "-" + GetParam().name);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    args_ = {TOWERHOST_PROGRAM, "--out", (dir_ / "out").string()};
    for (const std::string& a : GetParam().args) args_.push_back(a);
    std::ofstream(dir_ / "session.txt") << "spawn\n"
                                           "spawn 10 0 -5\n"
                                           "LOD_range 20\n"
                                           "step 6\n"
                                           "remove 0\n"
                                           "save " << (dir_ / "s.sav").string() << "\n"
                                           "load " << (dir_ / "s.sav").string() << "\n"
                                           "spawn\n"
                                           "step 2\n"
                                           "show\n"
                                           "params\n"
                                           "quit\n";
    for (std::string& a : args_)
      if (a == "SESSION") a = (dir_ / "session.txt").string();
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  // Runs towerhost with the Nth tracked allocation failing (0: none).
  HostRun RunHost(unsigned long nth, bool andLater) {
    fs::remove_all(dir_ / "out");
    const fs::path out = dir_ / "stdout", err = dir_ / "stderr", report = dir_ / "report";
    fs::remove(report);

    std::vector<std::string> env;
    std::string preload = std::string("LD_PRELOAD=") + FAULT_SWITCH;
    std::string asan = "ASAN_OPTIONS=verify_asan_link_order=0";
    for (char** e = environ; *e != nullptr; ++e) {
      const std::string var = *e;
      if (var.rfind("LD_PRELOAD=", 0) == 0) preload += ":" + var.substr(11);
      else if (var.rfind("ASAN_OPTIONS=", 0) == 0) asan += ":" + var.substr(13);
      else if (var.rfind("KIV_FAULT_", 0) != 0) env.push_back(var);
    }
    env.push_back(preload);
    env.push_back(asan);
    env.push_back("KIV_FAULT_REPORT=" + report.string());
    if (nth != 0) {
      env.push_back("KIV_FAULT_NTH=" + std::to_string(nth));
      env.push_back(std::string("KIV_FAULT_AND_LATER=") + (andLater ? "1" : "0"));
    }
    std::vector<char*> envp, argv;
    for (auto& v : env) envp.push_back(v.data());
    envp.push_back(nullptr);
    for (auto& a : args_) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    HostRun run;
    if (spawned != 0) {
      ADD_FAILURE() << "cannot start " << argv[0] << ": " << std::strerror(spawned);
      return run;
    }

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    int raw = 0;
    while (::waitpid(pid, &raw, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &raw, 0);
        run.timedOut = true;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    run.exited = !run.timedOut && WIFEXITED(raw);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : WIFSIGNALED(raw) ? WTERMSIG(raw) : -1;
    run.out = ReadAll(out);
    run.err = ReadAll(err);
    run.report = ReadReport(report);
    return run;
  }

  fs::path dir_;
  std::vector<std::string> args_;
};

bool Has(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

TEST_P(SceneSweep, EveryTrackedAllocationFailingEndsInSuccessOrAClearFailure) {
  const HostRun clean = RunHost(0, false);
  ASSERT_TRUE(clean.exited && clean.status == 0) << clean.out << clean.err;
  ASSERT_TRUE(clean.report.present) << "the fault switch wrote no report";
  ASSERT_EQ(clean.report.live, 0u);
  ASSERT_FALSE(Has(clean.out, "error: ")) << clean.out;
  const unsigned long long allocations = clean.report.requests;
  ASSERT_GT(allocations, 0u);

  unsigned long points = 0, successes = 0, failures = 0;
  for (unsigned long nth = 1; nth <= allocations; ++nth) {
    for (bool andLater : {false, true}) {
      SCOPED_TRACE(testing::Message() << "allocation " << nth << " of " << allocations << " fails"
                                      << (andLater ? " and every later one" : ""));
      const HostRun r = RunHost(nth, andLater);
      ++points;
      ASSERT_FALSE(r.timedOut) << "hung\n" << r.out << r.err;
      ASSERT_TRUE(r.exited) << "killed by signal " << r.status << "\n" << r.out << r.err;
      ASSERT_TRUE(r.report.present) << "exited without the tracker's report\n" << r.err;
      EXPECT_EQ(r.report.injected, andLater ? r.report.requests - nth + 1 : 1u)
          << "the run did not take the same allocations as the fault-free one";
      EXPECT_EQ(r.report.live, 0u) << "blocks leaked\n" << r.err;
      EXPECT_EQ(r.report.unknown, 0u) << "unknown blocks released\n" << r.err;
      EXPECT_FALSE(Has(r.err, "leaked block")) << r.err;
      if (r.status == 0 && r.out == clean.out) {
        ++successes;
      } else if (r.status == 0) {
        ++failures;
        EXPECT_TRUE(GetParam().console && Has(r.out, "error: "))
            << "reported success, but not the fault-free run's result\n" << r.out << r.err;
      } else {
        ++failures;
        EXPECT_EQ(r.status, 1) << r.out << r.err;
        EXPECT_TRUE(Has(r.err, "towerhost: ")) << "a failure without a message\n" << r.out << r.err;
      }
      if (HasFailure()) return;
    }
  }
  std::printf("allocation sweep of the %s: %llu tracked allocations, %lu failure points driven "
              "(%lu ended as the fault-free run, %lu with a failure message)\n",
              GetParam().name, allocations, points, successes, failures);
}

// The default scene (more towers in the long mode) and a console session that spawns,
// removes, saves and reloads towers.
INSTANTIATE_TEST_SUITE_P(
    Host, SceneSweep,
    testing::Values(Scenario{"scene", LongMode() ? std::vector<std::string>{"--towers", "16"}
                                                 : std::vector<std::string>{},
                             false},
                    Scenario{"session", {"--towers", "2", "--script", "SESSION"}, true}),
    [](const testing::TestParamInfo<Scenario>& info) { return std::string(info.param.name); });

}  // namespace
