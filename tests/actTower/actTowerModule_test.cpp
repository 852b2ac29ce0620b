// The built module, loaded with dlopen as an engine loads it, against the reference engine
// libraries and the shipped models.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "ConsoleCapture.h"
#include "TempDir.h"
#include "actTower.h"
#include "rxKernel.h"
#include "rxMemLeak.h"
#include "rxModel.h"
#include "rxsh.h"

namespace {

class TowerModule : public testing::Test {
 protected:
  void SetUp() override {
    liveBefore_ = LiveBlocks();
    handle_ = dlopen(ACTTOWER_MODULE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
    kivActorLib_SetModelDir(ACTTOWER_MODELS);
  }
  void TearDown() override {
    if (handle_) dlclose(handle_);
    EXPECT_EQ(LiveBlocks(), liveBefore_) << "blocks leaked";
  }
  static unsigned long long LiveBlocks() {
    kivMemLeakStats stats;
    kivMemLeak_GetStats(&stats);
    return stats.live;
  }
  template <typename F>
  F Symbol(const char* name) {
    return reinterpret_cast<F>(dlsym(handle_, name));
  }
  void* handle_ = nullptr;
  unsigned long long liveBefore_ = 0;
};

TEST_F(TowerModule, ExportsEntryPointsAndRegistersLodRangeAtLoad) {
  ASSERT_NE(Symbol<kivActorClass* (*)()>("CreateObjClass"), nullptr);
  ASSERT_NE(Symbol<BOOL (*)(HINSTANCE, DWORD, void*)>("DllMain"), nullptr);
  const auto info = Symbol<kivGetSdkInfoFn>("GetSdkInfo");
  ASSERT_NE(info, nullptr);
  const kivSdkInfo want = kivSdkInfo_Current();
  EXPECT_EQ(std::memcmp(info(), &want, sizeof want), 0);
  kivVariable* range = kivConsole_FindVar("LOD_range");
  ASSERT_NE(range, nullptr);
  EXPECT_EQ(range->type, PARAM_FLOAT);
}

TEST_F(TowerModule, DrivesTowersThroughAFrameWithTheShippedModels) {
  ASSERT_TRUE(kivConsole_SetVar("LOD_range", "40"));
  ConsoleCapture console;
  auto create = Symbol<kivActorClass* (*)()>("CreateObjClass");
  kivActorClass* cls = create();
  ASSERT_NE(cls, nullptr);
  cls->Setup("acttower", "", "tower", nullptr);
  ASSERT_EQ(cls->Create(), S_OK);
  auto* towerClass = static_cast<kivActTowerClass*>(cls);
  EXPECT_EQ(towerClass->towerLodCount, 3);
  EXPECT_EQ(towerClass->rotorLodCount, 3);
  EXPECT_EQ(cls->Identify("ActTower"), 1);

  auto* tower = static_cast<kivActTower*>(cls->CreateObj());
  ASSERT_NE(tower, nullptr);
  EXPECT_NE(console.Normal().find("Creating object: 'acttower'"), std::string::npos);
  const MXVECTOR3 position{10, 0, 5}, angles{90, 0, 0}, rotor{45, 0, 0};
  tower->SetPosition(&position);
  tower->SetJoint(0, &angles);
  tower->SetJoint(1, &rotor);

  for (auto [distance, level] : {std::pair{10.0f, 0}, {50.0f, 1}, {500.0f, 2}}) {
    kivQModel_ClearDraws();
    tower->SelectLOD(distance);
    tower->Update();
    tower->RenderActor();
    EXPECT_EQ(tower->CurrentLOD(), level);
    EXPECT_EQ(kivQShader_GetDepth(), 0);
    // The tower model and its rotor at the tag.
    ASSERT_EQ(kivQModel_GetDrawCount(), 2u) << "level " << level;
    const kivQModelDraw* draws = kivQModel_GetDraws();
    EXPECT_EQ(draws[0].model, tower->towerLods[level]);
    EXPECT_EQ(draws[1].model, tower->rotorLods[level]);
    EXPECT_EQ(std::memcmp(draws[0].world, tower->GetLocalMatrix(), sizeof(MXMATRIX)), 0);

    MXVECTOR3 lo, hi;
    tower->GetBox(lo, hi);
    EXPECT_LT(lo.x, 10.0f);
    EXPECT_GT(hi.x, 10.0f);
    EXPECT_LT(lo.z, 5.0f);
    EXPECT_GT(hi.z, 5.0f);
    DWORD vertices = 0, triangles = 0;
    tower->GetModelInfo(&vertices, &triangles, -1);
    EXPECT_GT(vertices, 0u);
    EXPECT_GT(triangles, 0u);
  }

  // State carried over to a new tower.
  std::vector<unsigned char> block(tower->GetDataSize());
  unsigned char* cursor = block.data();
  tower->SaveData(&cursor);
  auto* copy = static_cast<kivActTower*>(cls->CreateObj());
  ASSERT_NE(copy, nullptr);
  cursor = block.data();
  copy->LoadData(&cursor);
  copy->Update();
  EXPECT_EQ(std::memcmp(&copy->rotorMatrix, &tower->rotorMatrix, sizeof(MXMATRIX)), 0);
  EXPECT_EQ(std::memcmp(copy->GetLocalMatrix(), tower->GetLocalMatrix(), sizeof(MXMATRIX)), 0);

  TempDir saves;
  kivActorLib_SetSaveDir(saves.Path().c_str());
  tower->Save();
  EXPECT_EQ(saves.Entries().size(), 6u);

  delete copy;
  delete tower;
  EXPECT_EQ(cls->GetRefCount(), 0);
  delete cls;
}

}  // namespace
