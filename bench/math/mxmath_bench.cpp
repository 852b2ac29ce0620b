// The five operations the tower calls, through the public entries of the shipped library,
// beside GLM, Eigen and cglm doing the same work with their inlined API, on batches of 1024.
//
// The library is loaded twice: the ordinary copy selects its routines as any client's would
// (the SSE2 set on x86-64), and a second copy, in a namespace of its own, selects the x87
// set because "DisableMXCPUOpt" is 1 when it makes its first call. Both selections are
// printed in the context, and the ratio table (ours / fastest peer) follows the results.
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#define GLM_ENABLE_EXPERIMENTAL
#include <cglm/cglm.h>

#include <Eigen/Geometry>
#include <glm/glm.hpp>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtx/euler_angles.hpp>

#include "mxmath.h"

namespace {

constexpr int kBatch = 1024;

// The public entries of one loaded copy of the library.
struct Api {
  decltype(&MXMatrixMultiply) multiply;
  decltype(&MXMatrixTranslation) translation;
  decltype(&MXMatrixScaling) scaling;
  decltype(&MXMatrixRotationYawPitchRoll) yawPitchRoll;
  decltype(&MXVec3TransformCoord) transformCoord;
  decltype(&MXSetDebugSink) setSink;
};

std::string g_selected[2];

void recordSelection(const char* line, void* slot) {
  std::string text(line);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  *static_cast<std::string*>(slot) = text;
}

Api ordinaryCopy() {
  return {MXMatrixMultiply, MXMatrixTranslation, MXMatrixScaling, MXMatrixRotationYawPitchRoll,
          MXVec3TransformCoord, MXSetDebugSink};
}

template <typename F>
F symbol(void* lib, const char* name) {
  void* p = dlsym(lib, name);
  if (!p) {
    std::fprintf(stderr, "missing %s: %s\n", name, dlerror());
    std::exit(1);
  }
  return reinterpret_cast<F>(p);
}

Api x87Copy() {
  void* lib = dlmopen(LM_ID_NEWLM, MXMATH_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  if (!lib) {
    std::fprintf(stderr, "cannot load a second copy of %s: %s\n", MXMATH_LIBRARY, dlerror());
    std::exit(1);
  }
  return {symbol<decltype(&MXMatrixMultiply)>(lib, "MXMatrixMultiply"),
          symbol<decltype(&MXMatrixTranslation)>(lib, "MXMatrixTranslation"),
          symbol<decltype(&MXMatrixScaling)>(lib, "MXMatrixScaling"),
          symbol<decltype(&MXMatrixRotationYawPitchRoll)>(lib, "MXMatrixRotationYawPitchRoll"),
          symbol<decltype(&MXVec3TransformCoord)>(lib, "MXVec3TransformCoord"),
          symbol<decltype(&MXSetDebugSink)>(lib, "MXSetDebugSink")};
}

Api g_api[2];  // 0: SSE2 (the ordinary selection), 1: x87

struct Data {
  std::vector<MXMATRIX> a, b, out;
  std::vector<MXVECTOR3> v, vout;
  std::vector<float> x, y, z;
  Data() : a(kBatch), b(kBatch), out(kBatch), v(kBatch), vout(kBatch), x(kBatch), y(kBatch), z(kBatch) {
    std::mt19937 gen(7);
    std::uniform_real_distribution<float> d(-2, 2);
    for (int i = 0; i < kBatch; ++i) {
      for (auto* m : {&a[i], &b[i]})
        for (auto& row : m->m)
          for (auto& e : row) e = d(gen);
      a[i].m[3][3] = b[i].m[3][3] = 3.0f;  // keep w' away from 0
      v[i] = {d(gen), d(gen), d(gen)};
      x[i] = d(gen), y[i] = d(gen), z[i] = d(gen);
    }
  }
};

Data& data() {
  static Data d;
  return d;
}

// ---- ours ----
// One instance per copy, so that each loop's call always reaches the same entry, as a
// client's call does. A call site shared by both copies sees two targets, and this processor
// predicts such a call more slowly, for a cost that no client of one copy pays.

template <int copy>
void mxMultiply(benchmark::State& state) {
  Data& d = data();
  const auto fn = g_api[copy].multiply;
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i) fn(&d.out[i], &d.a[i], &d.b[i]);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}

template <int copy>
void mxTranslation(benchmark::State& state) {
  Data& d = data();
  const auto fn = g_api[copy].translation;
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i) fn(&d.out[i], d.x[i], d.y[i], d.z[i]);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}

template <int copy>
void mxScaling(benchmark::State& state) {
  Data& d = data();
  const auto fn = g_api[copy].scaling;
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i) fn(&d.out[i], d.x[i], d.y[i], d.z[i]);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}

template <int copy>
void mxYawPitchRoll(benchmark::State& state) {
  Data& d = data();
  const auto fn = g_api[copy].yawPitchRoll;
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i) fn(&d.out[i], d.x[i], d.y[i], d.z[i]);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}

template <int copy>
void mxTransformCoord(benchmark::State& state) {
  Data& d = data();
  const auto fn = g_api[copy].transformCoord;
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i) fn(&d.vout[i], &d.v[i], &d.a[i]);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}

// The floor under every operation: the same call with a null output, whose routine returns at
// once, so that its time is the call through the public entry and the table's jump alone.
void mxCallAlone(benchmark::State& state) {
  Data& d = data();
  const auto fn = g_api[0].translation;
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i) benchmark::DoNotOptimize(fn(nullptr, d.x[i], d.y[i], d.z[i]));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}

// ---- GLM ----
// Our row-major matrices with row vectors have the memory layout of GLM's and Eigen's
// column-major matrices with column vectors, so m1 * m2 here is m2 * m1 there.

glm::mat4& asGlm(MXMATRIX& m) { return *reinterpret_cast<glm::mat4*>(&m); }

void glmMultiply(benchmark::State& state) {
  Data& d = data();
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i) asGlm(d.out[i]) = asGlm(d.b[i]) * asGlm(d.a[i]);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}

void glmTranslation(benchmark::State& state) {
  Data& d = data();
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i) asGlm(d.out[i]) = glm::translate(glm::mat4(1.0f), glm::vec3(d.x[i], d.y[i], d.z[i]));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}

void glmScaling(benchmark::State& state) {
  Data& d = data();
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i) asGlm(d.out[i]) = glm::scale(glm::mat4(1.0f), glm::vec3(d.x[i], d.y[i], d.z[i]));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}

void glmYawPitchRoll(benchmark::State& state) {
  Data& d = data();
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i) asGlm(d.out[i]) = glm::yawPitchRoll(d.x[i], d.y[i], d.z[i]);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}

void glmTransformCoord(benchmark::State& state) {
  Data& d = data();
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i) {
      const glm::vec4 h = asGlm(d.a[i]) * glm::vec4(d.v[i].x, d.v[i].y, d.v[i].z, 1.0f);
      const glm::vec3 r = glm::vec3(h) / h.w;
      d.vout[i] = {r.x, r.y, r.z};
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}

// ---- Eigen ----

Eigen::Map<Eigen::Matrix4f> asEigen(MXMATRIX& m) { return Eigen::Map<Eigen::Matrix4f>(&m.m[0][0]); }

void eigenMultiply(benchmark::State& state) {
  Data& d = data();
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i) asEigen(d.out[i]).noalias() = asEigen(d.b[i]) * asEigen(d.a[i]);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}

void eigenTranslation(benchmark::State& state) {
  Data& d = data();
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i)
      asEigen(d.out[i]) = Eigen::Affine3f(Eigen::Translation3f(d.x[i], d.y[i], d.z[i])).matrix();
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}

void eigenScaling(benchmark::State& state) {
  Data& d = data();
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i)
      asEigen(d.out[i]) = Eigen::Affine3f(Eigen::Scaling(d.x[i], d.y[i], d.z[i])).matrix();
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}

void eigenYawPitchRoll(benchmark::State& state) {
  Data& d = data();
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i) {
      const Eigen::Matrix3f r = (Eigen::AngleAxisf(d.x[i], Eigen::Vector3f::UnitY()) *
                                 Eigen::AngleAxisf(d.y[i], Eigen::Vector3f::UnitX()) *
                                 Eigen::AngleAxisf(d.z[i], Eigen::Vector3f::UnitZ()))
                                    .toRotationMatrix();
      Eigen::Map<Eigen::Matrix4f> out = asEigen(d.out[i]);
      out.setIdentity();
      out.topLeftCorner<3, 3>() = r;
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}

void eigenTransformCoord(benchmark::State& state) {
  Data& d = data();
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i) {
      const Eigen::Vector3f v(d.v[i].x, d.v[i].y, d.v[i].z);
      const Eigen::Vector3f r = (asEigen(d.a[i]) * v.homogeneous()).hnormalized();
      d.vout[i] = {r.x(), r.y(), r.z()};
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}

// ---- cglm ----

vec4* asCglm(MXMATRIX& m) { return reinterpret_cast<vec4*>(&m); }

void cglmMultiply(benchmark::State& state) {
  Data& d = data();
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i) glm_mat4_mul(asCglm(d.b[i]), asCglm(d.a[i]), asCglm(d.out[i]));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}

void cglmTranslation(benchmark::State& state) {
  Data& d = data();
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i) {
      vec3 t = {d.x[i], d.y[i], d.z[i]};
      glm_translate_make(asCglm(d.out[i]), t);
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}

void cglmScaling(benchmark::State& state) {
  Data& d = data();
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i) {
      vec3 s = {d.x[i], d.y[i], d.z[i]};
      glm_scale_make(asCglm(d.out[i]), s);
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}

void cglmYawPitchRoll(benchmark::State& state) {
  Data& d = data();
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i) {
      vec3 angles = {d.y[i], d.x[i], d.z[i]};  // about x (pitch), y (yaw), z (roll)
      glm_euler_yxz(angles, asCglm(d.out[i]));
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}

void cglmTransformCoord(benchmark::State& state) {
  Data& d = data();
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i) {
      vec4 p = {d.v[i].x, d.v[i].y, d.v[i].z, 1.0f}, h;
      glm_mat4_mulv(asCglm(d.a[i]), p, h);
      vec3 r;
      glm_vec3_divs(h, h[3], r);
      d.vout[i] = {r[0], r[1], r[2]};
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}

// ---- the ratio table ----

const char* const kOperations[] = {"MXMatrixMultiply", "MXMatrixTranslation", "MXMatrixScaling",
                                   "MXMatrixRotationYawPitchRoll", "MXVec3TransformCoord"};
const char* const kPeers[] = {"glm", "eigen", "cglm"};
const char* const kCallAlone = "CallAlone/mx_SSE2";

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    // The fastest repetition: other work on the machine only ever adds time.
    for (const Run& r : runs) {
      if (r.run_type != Run::RT_Iteration || r.error_occurred) continue;
      const auto [it, fresh] = times_.emplace(r.benchmark_name(), r.GetAdjustedCPUTime());
      if (!fresh) it->second = std::min(it->second, r.GetAdjustedCPUTime());
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void printRatios() const {
    std::printf("\nRatio = our CPU time / the fastest peer's CPU time, best repetition of each (batches of %d; <= 1.00 meets the goal)\n", kBatch);
    std::printf("call alone = the call with a null output, whose routine returns at once: no routine behind the entry can be faster\n\n");
    std::printf("| %-28s | %-10s | %8s | %8s | %10s |\n", "operation", "fastest", "SSE2", "x87", "call alone");
    std::printf("|%s|%s|%s|%s|%s|\n", std::string(30, '-').c_str(), std::string(12, '-').c_str(),
                std::string(10, '-').c_str(), std::string(10, '-').c_str(), std::string(12, '-').c_str());
    const auto alone = times_.find(kCallAlone);
    for (const char* op : kOperations) {
      const std::string base = std::string(op) + "/";
      double best = 0;
      const char* bestName = "?";
      for (const char* peer : kPeers) {
        const auto it = times_.find(base + peer);
        if (it != times_.end() && (best == 0 || it->second < best)) best = it->second, bestName = peer;
      }
      auto ratio = [&](const char* ours) {
        const auto it = times_.find(base + ours);
        return it == times_.end() || best == 0 ? NAN : it->second / best;
      };
      const double floor = alone == times_.end() || best == 0 ? NAN : alone->second / best;
      std::printf("| %-28s | %-10s | %8.2f | %8.2f | %10.2f |\n", op, bestName, ratio("mx_SSE2"), ratio("mx_x87"), floor);
    }
  }

 private:
  std::map<std::string, double> times_;
};

void registerAll() {
  using Fn = void (*)(benchmark::State&);
  const Fn sse2[] = {mxMultiply<0>, mxTranslation<0>, mxScaling<0>, mxYawPitchRoll<0>, mxTransformCoord<0>};
  const Fn x87[] = {mxMultiply<1>, mxTranslation<1>, mxScaling<1>, mxYawPitchRoll<1>, mxTransformCoord<1>};
  const Fn glm[] = {glmMultiply, glmTranslation, glmScaling, glmYawPitchRoll, glmTransformCoord};
  const Fn eigen[] = {eigenMultiply, eigenTranslation, eigenScaling, eigenYawPitchRoll, eigenTransformCoord};
  const Fn cglm[] = {cglmMultiply, cglmTranslation, cglmScaling, cglmYawPitchRoll, cglmTransformCoord};
  for (int i = 0; i < 5; ++i) {
    const std::string op = kOperations[i];
    benchmark::RegisterBenchmark((op + "/mx_SSE2").c_str(), sse2[i]);
    benchmark::RegisterBenchmark((op + "/mx_x87").c_str(), x87[i]);
    benchmark::RegisterBenchmark((op + "/glm").c_str(), glm[i]);
    benchmark::RegisterBenchmark((op + "/eigen").c_str(), eigen[i]);
    benchmark::RegisterBenchmark((op + "/cglm").c_str(), cglm[i]);
  }
  benchmark::RegisterBenchmark(kCallAlone, mxCallAlone);
}

}  // namespace

int main(int argc, char** argv) {
  // The ordinary copy selects as any client's would; the second copy is told to use x87.
  unsetenv("DisableCPUOpt");
  unsetenv("DisableMXCPUOpt");
  g_api[0] = ordinaryCopy();
  g_api[0].setSink(recordSelection, &g_selected[0]);
  MXMATRIX scratch;
  g_api[0].translation(&scratch, 0, 0, 0);
  setenv("DisableMXCPUOpt", "1", 1);
  g_api[1] = x87Copy();
  g_api[1].setSink(recordSelection, &g_selected[1]);
  g_api[1].translation(&scratch, 0, 0, 0);
  unsetenv("DisableMXCPUOpt");
  g_api[0].setSink(nullptr, nullptr);
  g_api[1].setSink(nullptr, nullptr);

  benchmark::Initialize(&argc, argv);
  benchmark::AddCustomContext("mx_SSE2 copy", g_selected[0]);
  benchmark::AddCustomContext("mx_x87 copy", g_selected[1]);
  registerAll();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.printRatios();
  benchmark::Shutdown();
  return 0;
}
