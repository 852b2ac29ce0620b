// Frame cost of the tower plug-in per tower, beside the math calls it makes.
//
// TowerFrame: for each of N towers, the engine's frame: the rotor angle set (which raises
// the matrix-dirty flag, so every frame rebuilds), SelectLOD, Update, RenderActor, against a
// model library that does nothing. MathOnly: the same level division and the same math
// calls (two rotations, a translation, a product) on N records of the same size. Ratio
// times both in one run and reports plugin/math.
#include <benchmark/benchmark.h>

#include <ctime>
#include <vector>

#include "actTower.h"
#include "mxmath.h"
#include "rxKernel.h"

namespace {

struct Scene {
  explicit Scene(int n) {
    // The class's first-object message would interleave with the results.
    kivConsole_SetSink([](void*, int, const char*) {}, nullptr);
    kivActorLib_SetModelDir(ACTTOWER_MODELS);
    towerClass = CreateObjClass();
    towerClass->Setup("acttower", "", "tower", nullptr);
    if (towerClass->Create() < 0) std::abort();
    for (int i = 0; i < n; ++i) {
      auto* t = static_cast<kivActTower*>(towerClass->CreateObj());
      const MXVECTOR3 p{static_cast<float>(i % 1000) * 25.0f, 0.0f, static_cast<float>(i / 1000) * 25.0f};
      const MXVECTOR3 yaw{static_cast<float>(i % 360), 0.0f, 0.0f};
      t->SetPosition(&p);
      t->SetJoint(0, &yaw);
      towers.push_back(t);
      distances.push_back(static_cast<float>(i % 130));
    }
  }
  ~Scene() {
    for (auto* t : towers) delete t;
    delete towerClass;
  }

  void Frame(float angle) {
    const MXVECTOR3 rotor{angle, 0.0f, 0.0f};
    for (size_t i = 0; i < towers.size(); ++i) {
      kivActTower* t = towers[i];
      t->SetJoint(1, &rotor);
      t->SelectLOD(distances[i]);
      t->Update();
      t->RenderActor();
    }
  }

  kivActorClass* towerClass;
  std::vector<kivActTower*> towers;
  std::vector<float> distances;
};

// The math a tower's frame needs, on records laid out like the towers' matrices.
struct MathOnly {
  explicit MathOnly(int n) : records(static_cast<size_t>(n)), distances(static_cast<size_t>(n)) {
    for (int i = 0; i < n; ++i) {
      records[static_cast<size_t>(i)].position = {static_cast<float>(i % 1000) * 25.0f, 0.0f, 0.0f};
      records[static_cast<size_t>(i)].yaw = static_cast<float>(i % 360);
      distances[static_cast<size_t>(i)] = static_cast<float>(i % 130);
    }
  }
  struct Record {
    MXVECTOR3 position;
    float yaw;
    int level;
    MXMATRIX local;
    MXMATRIX rotor;
  };

  void Frame(float angle) {
    const float k = 0.017453292f;
    for (size_t i = 0; i < records.size(); ++i) {
      Record& r = records[i];
      r.level = static_cast<int>(distances[i] / 40.0f);
      MXMatrixRotationYawPitchRoll(&r.local, r.yaw * k, 0.0f, 0.0f);
      MXMATRIX t;
      MXMatrixTranslation(&t, r.position.x, r.position.y, r.position.z);
      MXMatrixMultiply(&r.local, &r.local, &t);
      MXMatrixRotationYawPitchRoll(&r.rotor, angle * k, 0.0f, 0.0f);
      benchmark::DoNotOptimize(r);
    }
  }

  std::vector<Record> records;
  std::vector<float> distances;
};

void PerTower(benchmark::State& state) {
  // Seconds per tower of CPU time, shown with its prefix (e.g. "70n").
  state.counters["per_tower"] = benchmark::Counter(
      static_cast<double>(state.range(0)) * static_cast<double>(state.iterations()),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_TowerFrame(benchmark::State& state) {
  Scene scene(static_cast<int>(state.range(0)));
  float angle = 0.0f;
  for (auto _ : state) scene.Frame(angle += 1.0f);
  PerTower(state);
}

void BM_MathOnly(benchmark::State& state) {
  MathOnly math(static_cast<int>(state.range(0)));
  float angle = 0.0f;
  for (auto _ : state) math.Frame(angle += 1.0f);
  PerTower(state);
}

// Both loops timed alternately in one run, on the thread's CPU clock, so they share the
// machine's state and other processes do not count.
double ThreadNs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e9 + static_cast<double>(t.tv_nsec);
}

void BM_Ratio(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Scene scene(n);
  MathOnly math(n);
  double plugin = 0.0, alone = 0.0;
  float angle = 0.0f;
  for (auto _ : state) {
    angle += 1.0f;
    const double t0 = ThreadNs();
    scene.Frame(angle);
    const double t1 = ThreadNs();
    math.Frame(angle);
    const double t2 = ThreadNs();
    plugin += t1 - t0;
    alone += t2 - t1;
  }
  const double towers = static_cast<double>(n) * static_cast<double>(state.iterations());
  state.counters["plugin_ns"] = plugin / towers;
  state.counters["math_ns"] = alone / towers;
  state.counters["ratio"] = plugin / alone;
}

BENCHMARK(BM_TowerFrame)->RangeMultiplier(10)->Range(1, 100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MathOnly)->RangeMultiplier(10)->Range(1, 100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Ratio)->Arg(100)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
