// Many threads making their first calls at once: one selection, one message, correct
// results. Run under ThreadSanitizer by the tsan preset.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <latch>
#include <thread>
#include <vector>

#include "mxFakePlatform.h"
#include "mxTestSupport.h"

using namespace mxtest;

namespace {

// Each first call checks its own result.
using Check = bool (*)();

bool multiply() {
  MXMATRIX t, s, m;
  MXMatrixTranslation(&t, 1, 2, 3);
  MXMatrixScaling(&s, 2, 2, 2);
  MXMatrixMultiply(&m, &t, &s);
  return m.m[3][0] == 2 && m.m[3][1] == 4 && m.m[3][2] == 6 && m.m[0][0] == 2;
}
bool transformCoord() {
  MXMATRIX m;
  MXMatrixTranslation(&m, 1, 2, 3);
  m.m[3][3] = 2;
  const MXVECTOR3 v = {1, 2, 3};
  MXVECTOR3 o;
  MXVec3TransformCoord(&o, &v, &m);
  return std::fabs(o.x - 1) < 1e-6 && std::fabs(o.y - 2) < 1e-6 && std::fabs(o.z - 3) < 1e-6;
}
bool normalize() {
  const MXVECTOR3 v = {3, 4, 0};
  MXVECTOR3 o;
  MXVec3Normalize(&o, &v);
  return std::fabs(o.x - 0.6) < 2e-6 && std::fabs(o.y - 0.8) < 2e-6 && o.z == 0;
}
bool yawPitchRoll() {
  MXMATRIX m;
  MXMatrixRotationYawPitchRoll(&m, 1.57079633f, 0, 0);
  return std::fabs(m.m[0][2] + 1) < 1e-6 && std::fabs(m.m[2][0] - 1) < 1e-6;
}
bool determinant() {
  MXMATRIX m;
  MXMatrixScaling(&m, 2, 3, 4);
  return std::fabs(MXMatrixDeterminant(&m) - 24) < 1e-5;
}
bool quaternion() {
  MXQUATERNION a = {0, 0, 0, 1}, o;
  MXQuaternionMultiply(&o, &a, &a);
  return o.w == 1 && o.x == 0;
}
bool inverse() {
  MXMATRIX m, inv;
  MXMatrixScaling(&m, 2, 4, 8);
  return MXMatrixInverse(&inv, nullptr, &m) && std::fabs(inv.m[1][1] - 0.25) < 1e-6;
}
bool splines() {
  const MXVECTOR2 a = {0, 0}, b = {1, 1}, c = {2, 0};
  MXVECTOR2 o;
  MXVec2BaryCentric(&o, &a, &b, &c, 0.5f, 0.25f);
  return std::fabs(o.x - 1) < 1e-6 && std::fabs(o.y - 0.5) < 1e-6;
}

TEST(Threads, RacingFirstCallsSelectOnce) {
  FakeState fake;
  fake.sse2Processor();
  fake.profileDebug = 0;
  g_fake = &fake;
  mx::setPlatform(&fakePlatform());
  const Check checks[] = {multiply, transformCoord, normalize, yawPitchRoll, determinant, quaternion, inverse, splines};
  constexpr int kThreads = 16;
  for (int round = 0; round < 20; ++round) {
    resetToLoadState();
    fake.lines.clear();
    std::latch start(kThreads);
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
      threads.emplace_back([&, t] {
        start.arrive_and_wait();
        for (int i = 0; i < 50; ++i)
          if (!checks[(t + i) % std::size(checks)]()) failures.fetch_add(1);
      });
    for (auto& th : threads) th.join();
    ASSERT_EQ(failures.load(), 0) << "round " << round;
    ASSERT_EQ(fake.lines.size(), 1u) << "round " << round;
    EXPECT_EQ(fake.lines[0], "MX: (INFO) Using SSE2 Instructions\r\n");
    for (int slot = 0; slot < mx::kSlotCount; ++slot) ASSERT_FALSE(mx::holdsFirstCall(slot)) << slot;
  }
  resetToLoadState();
  mx::setPlatform(nullptr);
  g_fake = nullptr;
}

}  // namespace
