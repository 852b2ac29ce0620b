// Separate tower instances updated from separate threads at once: each Update touches
// only its own instance and the math library (whose first calls may race), so under
// ThreadSanitizer nothing may be reported, and every tower must end with the matrices a
// single thread computes for the same placement.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "actActor.h"
#include "actTower.h"
#include "plugin.h"

namespace {

constexpr int kThreads = 8;
constexpr int kFrames = 200;

struct Placement {
  MXVECTOR3 position, angles, rotor;
};

Placement PlacementOf(int tower, int frame) {
  const float t = static_cast<float>(tower), f = static_cast<float>(frame);
  return {{t * 25.0f, 0.0f, f * 0.5f}, {t * 15.0f + f, 0.0f, 0.0f}, {f * 7.0f, t, 0.0f}};
}

void Place(kivActor* actor, const Placement& p) {
  MXVECTOR3 position = p.position, angles = p.angles, rotor = p.rotor;
  actor->SetPosition(&position);
  actor->SetJoint(0, &angles);
  actor->SetJoint(1, &rotor);
}

std::vector<unsigned char> State(kivActor* actor) {
  std::vector<unsigned char> block(actor->GetDataSize());
  unsigned char* cursor = block.data();
  actor->SaveData(&cursor);
  return block;
}

TEST(TowerThreads, SeparateInstancesUpdateConcurrently) {
  towerhost::PluginModule plugin;
  std::string error;
  ASSERT_TRUE(plugin.Open(TOWER_PLUGIN, error)) << error;
  kivActorClass* towerClass = plugin.CreateObjClass();
  ASSERT_NE(towerClass, nullptr);
  kivActorLib_SetModelDir(TOWER_MODELS);
  ASSERT_GE(towerClass->Create(), 0);

  // Created, and later checked and deleted, on this thread only: the model library is
  // single-threaded.
  std::vector<kivActor*> towers;
  for (int i = 0; i < kThreads + 1; ++i) {
    towers.push_back(static_cast<kivActor*>(towerClass->CreateObj()));
    ASSERT_NE(towers.back(), nullptr);
  }

  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([tower = towers[size_t(i)], i] {
      for (int frame = 0; frame < kFrames; ++frame) {
        Place(tower, PlacementOf(i, frame));
        tower->Update();
      }
    });
  }
  for (auto& t : threads) t.join();

  // The spare tower redoes each one's last frame alone; the rotor matrix leads the state.
  kivActor* reference = towers.back();
  for (int i = 0; i < kThreads; ++i) {
    Place(reference, PlacementOf(i, kFrames - 1));
    reference->Update();
    EXPECT_EQ(State(towers[size_t(i)]), State(reference)) << "tower " << i;
    MXVECTOR3 lo{}, hi{}, refLo{}, refHi{};
    towers[size_t(i)]->GetBox(lo, hi);
    reference->GetBox(refLo, refHi);
    EXPECT_EQ(std::memcmp(&lo, &refLo, sizeof lo), 0) << "tower " << i;
    EXPECT_EQ(std::memcmp(&hi, &refHi, sizeof hi), 0) << "tower " << i;
  }
  for (kivActor* t : towers) delete t;
  delete towerClass;
}

}  // namespace
