// The tower class object and tower instances against the recording engine.
#include "actTower.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "AllocFailureSweep.h"
#include "ConsoleCapture.h"
#include "TempDir.h"
#include "recordingEngine.h"
#include "rxKernel.h"

// Makes the kernel refuse registrations, as a kernel out of room would: the plug-in then
// holds a null LOD_range record.
bool g_refuseConsoleVars = false;

extern "C" kivVariable* kivConsole_GetVar(const char* name, PARAM_TYPE type, const char* defaultText,
                                          int (*callback)(char*, char*)) {
  using GetVar = kivVariable* (*)(const char*, PARAM_TYPE, const char*, int (*)(char*, char*));
  static const auto real = reinterpret_cast<GetVar>(dlsym(RTLD_NEXT, "kivConsole_GetVar"));
  return g_refuseConsoleVars ? nullptr : real(name, type, defaultText, callback);
}

namespace {

// The actor fields that only the actor library and the tower touch, reached through
// pointers to members so no object has to be cast.
struct ActorFields : kivActor {
  static int32_t kivActor::*Dirty() { return &ActorFields::m_bMatrixDirty; }
  static MXVECTOR3 kivActor::*Position() { return &ActorFields::m_vPosition; }
  static MXMATRIX kivActor::*Local() { return &ActorFields::m_mLocal; }
};

constexpr const char* kLoadFailed = "kivActTowerClass::LoadLODs() FAILED";

MXMATRIX Identity() {
  MXMATRIX m{};
  for (int i = 0; i < 4; ++i) m.m[i][i] = 1.0f;
  return m;
}

void ExpectNear(const MXMATRIX& a, const MXMATRIX& b, float tolerance = 1e-6f) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(a.m[r][c], b.m[r][c], tolerance) << "element " << r << "," << c;
}

void ExpectNear(const MXVECTOR3& a, const MXVECTOR3& b, float tolerance = 1e-5f) {
  EXPECT_NEAR(a.x, b.x, tolerance);
  EXPECT_NEAR(a.y, b.y, tolerance);
  EXPECT_NEAR(a.z, b.z, tolerance);
}

void SetLodRange(const char* text) { ASSERT_TRUE(kivConsole_SetVar("LOD_range", text)) << text; }

class TowerTest : public testing::Test {
 protected:
  void SetUp() override {
    RecordingEngine::Get().Reset();
    liveBefore_ = LiveBlocks();
    modelsBefore_ = RecordingEngine::Get().liveModels;
    kivActorLib_SetModelDir(models_.Path().c_str());
    SetLodRange("40");
  }

  void TearDown() override {
    for (kivActTower* t : towers_) delete t;
    delete towerClass_;
    EXPECT_EQ(RecordingEngine::Get().liveModels, modelsBefore_) << "models leaked";
    EXPECT_EQ(LiveBlocks(), liveBefore_) << "blocks leaked";
  }

  // Model files for `towers` tower levels and `rotors` rotor levels.
  void Models(int towers, int rotors) {
    for (int i = 0; i < towers; ++i) WriteFile(models_.File(i ? "tower_" + std::to_string(i) + ".gltf" : "tower.gltf"), "{}");
    for (int i = 0; i < rotors; ++i)
      WriteFile(models_.File(i ? "tower_rotor_" + std::to_string(i) + ".gltf" : "tower_rotor.gltf"), "{}");
  }

  kivActTowerClass* Class(int towers = 3, int rotors = 3) {
    Models(towers, rotors);
    towerClass_ = static_cast<kivActTowerClass*>(CreateObjClass());
    towerClass_->Setup("acttower", models_.File("acttower.settings").c_str(), "tower", nullptr);
    created_ = towerClass_->Create();
    RecordingEngine::Get().calls.clear();
    return towerClass_;
  }

  kivActTower* Tower() {
    kivObj* obj = towerClass_->CreateObj();
    EXPECT_NE(obj, nullptr);
    towers_.push_back(static_cast<kivActTower*>(obj));
    return towers_.back();
  }

  void Delete(kivActTower* t) {
    towers_.erase(std::find(towers_.begin(), towers_.end(), t));
    delete t;
  }

  TempDir models_;
  kivActTowerClass* towerClass_ = nullptr;
  HRESULT created_ = 0;
  std::vector<kivActTower*> towers_;
  unsigned long long liveBefore_ = 0;
  int modelsBefore_ = 0;
};

// --- Entry points and identification ---------------------------------------------------

TEST(TowerEntry, LoadRegisteredLodRangeAndEveryReasonGivesTrue) {
  kivVariable* var = kivConsole_FindVar("LOD_range");
  ASSERT_NE(var, nullptr);
  EXPECT_EQ(var->type, PARAM_FLOAT);
  char text[32];
  ASSERT_TRUE(kivConsole_GetVarText("LOD_range", text, sizeof text));
  for (DWORD reason : {0u, 1u, 2u, 3u}) EXPECT_EQ(DllMain(nullptr, reason, nullptr), TRUE) << reason;
  // Attaching again finds the same record; the other reasons register nothing.
  EXPECT_EQ(kivConsole_FindVar("LOD_range"), var);
}

TEST(TowerEntry, EveryCallMakesANewClassObject) {
  kivActorClass* a = CreateObjClass();
  kivActorClass* b = CreateObjClass();
  ASSERT_NE(a, nullptr);
  EXPECT_NE(a, b);
  const char* file = nullptr;
  ASSERT_TRUE(kivMemLeak_FindBlock(a, &file, nullptr));
  EXPECT_TRUE(std::string(file).find("actTower") != std::string::npos) << file;
  delete a;
  delete b;
}

TEST(TowerEntry, SdkDescriptionMatchesTheseHeaders) {
  const kivSdkInfo want = kivSdkInfo_Current();
  EXPECT_EQ(std::memcmp(GetSdkInfo(), &want, sizeof want), 0);
  EXPECT_EQ(GetSdkInfo()->sizeActTower, sizeof(kivActTower));
}

TEST_F(TowerTest, IdentifiesAsActorAndActtowerInAnyCase) {
  Class();
  const struct {
    const char* name;
    int expected;
  } cases[] = {{"actor", 1}, {"ACTOR", 1}, {"acttower", 1}, {"ActTower", 1}, {"ACTTOWER", 1},
               {"tower", 0}, {"", 0},      {"actors", 0},   {"acttowers", 0}, {nullptr, 0}};
  for (const auto& c : cases) EXPECT_EQ(towerClass_->Identify(c.name), c.expected) << (c.name ? c.name : "null");
}

TEST_F(TowerTest, PartsSoundsAndClassValues) {
  Class();
  struct Part {
    int first;
    std::string name;
    int second, third;
    void* user;
  };
  std::vector<Part> parts;
  towerClass_->EnumParts(
      [](int a, const char* name, int b, int c, void* user) {
        static_cast<std::vector<Part>*>(user)->push_back({a, name, b, c, user});
      },
      &parts);
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_EQ(parts[0].name, "Tower");
  EXPECT_EQ(parts[0].first, 0);
  EXPECT_EQ(parts[0].second, 0);
  EXPECT_EQ(parts[0].third, -1);
  EXPECT_EQ(parts[1].name, "Rotor");
  EXPECT_EQ(parts[1].first, 1);
  EXPECT_EQ(parts[1].second, 1);
  EXPECT_EQ(parts[1].third, -1);
  EXPECT_EQ(parts[1].user, &parts);

  std::vector<std::string> sounds;
  towerClass_->EnumSounds([](const char* s, void* user) { static_cast<std::vector<std::string>*>(user)->push_back(s); },
                          &sounds);
  EXPECT_EQ(sounds, std::vector<std::string>{"laser_fire.wav"});
}

// --- Create and the level counts --------------------------------------------------------

TEST_F(TowerTest, CreateCountsLevels) {
  const struct {
    int towers, rotors;
    HRESULT result;
    int towerCount, rotorCount;
  } cases[] = {
      {3, 3, S_OK, 3, 3}, {3, 0, S_OK, 3, 0}, {0, 2, E_FAIL, 0, 2}, {5, 4, S_OK, 3, 3}, {1, 2, S_OK, 1, 2},
  };
  for (const auto& c : cases) {
    TempDir dir;
    kivActorLib_SetModelDir(dir.Path().c_str());
    for (int i = 0; i < c.towers; ++i) WriteFile(dir.File(i ? "tower_" + std::to_string(i) + ".gltf" : "tower.gltf"), "{}");
    for (int i = 0; i < c.rotors; ++i)
      WriteFile(dir.File(i ? "tower_rotor_" + std::to_string(i) + ".gltf" : "tower_rotor.gltf"), "{}");
    auto* cls = static_cast<kivActTowerClass*>(CreateObjClass());
    EXPECT_EQ(cls->Create(), c.result) << c.towers << "/" << c.rotors;
    EXPECT_EQ(cls->towerLodCount, c.towerCount);
    EXPECT_EQ(cls->rotorLodCount, c.rotorCount);
    delete cls;
  }
}

TEST_F(TowerTest, LoadsCountedLevelsAndAttachesRotorsBelowBothCounts) {
  const struct {
    int towers, rotors;
    std::vector<std::string> attached;
  } cases[] = {
      {3, 3, {"tower", "tower_1", "tower_2"}},
      {3, 2, {"tower", "tower_1"}},
      {3, 0, {}},
  };
  for (const auto& c : cases) {
    RecordingEngine::Get().Reset();
    TempDir dir;
    kivActorLib_SetModelDir(dir.Path().c_str());
    for (int i = 0; i < c.towers; ++i) WriteFile(dir.File(i ? "tower_" + std::to_string(i) + ".gltf" : "tower.gltf"), "{}");
    for (int i = 0; i < c.rotors; ++i)
      WriteFile(dir.File(i ? "tower_rotor_" + std::to_string(i) + ".gltf" : "tower_rotor.gltf"), "{}");
    auto* cls = static_cast<kivActTowerClass*>(CreateObjClass());
    ASSERT_EQ(cls->Create(), S_OK);
    void* towerSet[3] = {}, *rotorSet[3] = {};
    ASSERT_EQ(cls->LoadLODs(towerSet, rotorSet), S_OK);
    EXPECT_EQ(RecordingEngine::Get().Calls("LoadModel").size(), static_cast<size_t>(c.towers + c.rotors));
    std::vector<std::string> attached;
    for (const auto& call : RecordingEngine::Get().Calls("AttachModel")) {
      attached.push_back(call.model);
      const std::string level = call.model == "tower" ? "" : call.model.substr(5);
      EXPECT_EQ(call.detail, "tag_rotor <- tower_rotor" + level);
    }
    EXPECT_EQ(attached, c.attached) << c.towers << "/" << c.rotors;
    cls->UnloadLODs(towerSet, rotorSet);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(towerSet[i], nullptr);
    delete cls;
  }
}

TEST_F(TowerTest, TowerLoadFailureSkipsRotorsAndReportsOnce) {
  Class();
  RecordingEngine::Get().failingLoads = {"tower_1"};
  ConsoleCapture console;
  void* towerSet[3] = {}, *rotorSet[3] = {};
  EXPECT_EQ(towerClass_->LoadLODs(towerSet, rotorSet), E_FAIL);
  const std::string urgent = console.Urgent();
  EXPECT_EQ(urgent.find(kLoadFailed), urgent.rfind(kLoadFailed));
  EXPECT_NE(urgent.find(kLoadFailed), std::string::npos) << urgent;
  for (const auto& call : RecordingEngine::Get().Calls("LoadModel")) EXPECT_EQ(call.detail.find("rotor"), std::string::npos);
  EXPECT_NE(towerSet[0], nullptr);  // loaded before the failure, left for the unload
  EXPECT_EQ(towerSet[1], nullptr);
  towerClass_->UnloadLODs(towerSet, rotorSet);
}

TEST_F(TowerTest, RotorLoadFailureFailsToo) {
  Class();
  RecordingEngine::Get().failingLoads = {"tower_rotor"};
  ConsoleCapture console;
  void* towerSet[3] = {}, *rotorSet[3] = {};
  EXPECT_EQ(towerClass_->LoadLODs(towerSet, rotorSet), E_FAIL);
  EXPECT_NE(console.Urgent().find(kLoadFailed), std::string::npos);
  EXPECT_TRUE(RecordingEngine::Get().Calls("AttachModel").empty());
  towerClass_->UnloadLODs(towerSet, rotorSet);
}

TEST_F(TowerTest, CreateObjFailureDeletesTheHalfBuiltTower) {
  Class();
  RecordingEngine::Get().failingLoads = {"tower_2"};
  ConsoleCapture console;
  EXPECT_EQ(towerClass_->CreateObj(), nullptr);
  EXPECT_EQ(towerClass_->GetRefCount(), 0);
  // Teardown checks that every model and block went back.
}

TEST_F(TowerTest, UnloadDestroysTowerModelsBeforeRotorModels) {
  Class();
  kivActTower* t = Tower();
  RecordingEngine::Get().calls.clear();
  Delete(t);
  std::vector<std::string> destroyed;
  for (const auto& call : RecordingEngine::Get().Calls("DestroyModel")) destroyed.push_back(call.model);
  // The instance's own sets, then (last release) the class-wide ones, each towers first.
  const std::vector<std::string> order = {"tower", "tower_1", "tower_2", "tower_rotor", "tower_rotor_1", "tower_rotor_2"};
  std::vector<std::string> expected = order;
  expected.insert(expected.end(), order.begin(), order.end());
  EXPECT_EQ(destroyed, expected);
}

// --- Class-wide sets --------------------------------------------------------------------

TEST_F(TowerTest, ClassWideSetsLiveFromFirstReferenceToLastRelease) {
  Class();
  auto& engine = RecordingEngine::Get();
  ConsoleCapture console;
  towerClass_->AddRef();
  EXPECT_EQ(engine.liveModels, 6);
  EXPECT_NE(towerClass_->towerLods[2], nullptr);
  EXPECT_NE(console.Normal().find("Creating object: 'acttower'"), std::string::npos);
  towerClass_->AddRef();
  EXPECT_EQ(engine.liveModels, 6);
  towerClass_->Release();
  EXPECT_EQ(engine.liveModels, 6);
  towerClass_->Release();
  EXPECT_EQ(engine.liveModels, 0);
  EXPECT_EQ(towerClass_->towerLods[0], nullptr);
  towerClass_->AddRef();
  EXPECT_EQ(engine.liveModels, 6);
  towerClass_->Release();
  EXPECT_EQ(engine.liveModels, 0);
}

TEST_F(TowerTest, FirstTowerLoadsClassWideSetsBeforeItsOwn) {
  Class();
  Tower();
  const auto loads = RecordingEngine::Get().Calls("LoadModel");
  ASSERT_EQ(loads.size(), 12u);
  EXPECT_EQ(loads[0].model, "tower");
  // Models 0-5 went to the class-wide sets, 6-11 to the tower's own.
  EXPECT_EQ(ModelName(towers_[0]->towerLods[0]), "tower");
  EXPECT_NE(towers_[0]->towerLods[0], towerClass_->towerLods[0]);
  Tower();
  EXPECT_EQ(RecordingEngine::Get().Calls("LoadModel").size(), 18u);  // the second loads only its own
}

TEST_F(TowerTest, UnbalancedReleaseNeverLoadsOverHeldSets) {
  Class();
  auto& engine = RecordingEngine::Get();
  towerClass_->AddRef();   // 1: loads
  towerClass_->Release();  // 0: unloads
  towerClass_->Release();  // -1
  towerClass_->AddRef();   // 0: loads into the empty sets
  EXPECT_EQ(engine.liveModels, 6);
  towerClass_->AddRef();   // 1: the sets still hold their models
  EXPECT_EQ(engine.liveModels, 6);
  towerClass_->Release();  // 0: unloads
  EXPECT_EQ(engine.liveModels, 0);
}

TEST_F(TowerTest, CreateObjUnderAllocationFailures) {
  Class();
  SweepAllocFailures([&](const SweepRun&) {
    kivObj* obj = towerClass_->CreateObj();
    // A tower is created whole or not at all: one without its joint-angle table could
    // not be turned.
    if (obj != nullptr) {
      EXPECT_EQ(static_cast<kivActor*>(obj)->GetNumJoints(), 2);
    }
    delete obj;
    EXPECT_EQ(towerClass_->GetRefCount(), 0);
    EXPECT_EQ(RecordingEngine::Get().liveModels, modelsBefore_);
  });
}

// --- Level of detail ---------------------------------------------------------------------

TEST_F(TowerTest, SelectLodByDistance) {
  Class();
  kivActTower* t = Tower();
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const struct {
    const char* range;
    float distance;
    int level;
  } cases[] = {
      {"40", 0.0f, 0},    {"40", 39.9f, 0},   {"40", 40.0f, 1},    {"40", 79.99f, 1},  {"40", 80.0f, 2},
      {"40", 10000.0f, 2}, {"40", -10.0f, 0}, {"40", -100.0f, 0},  {"40", 1e30f, 2},   {"40", inf, 2},
      {"40", -inf, 0},    {"40", nan, 0},     {"20", 40.0f, 2},    {"20", 39.0f, 1},   {"0", 5.0f, 2},
      {"0", 0.0f, 0},     {"0", -5.0f, 0},    {"1e-30", 1.0f, 2},  {"-40", 50.0f, 0},
  };
  for (const auto& c : cases) {
    SetLodRange(c.range);
    t->SelectLODIndirect(1);
    t->SelectLOD(c.distance);
    EXPECT_EQ(t->CurrentLOD(), c.level) << "LOD_range " << c.range << ", distance " << c.distance;
  }
}

TEST_F(TowerTest, RefusedLodRangeRecordFallsBackToForty) {
  Class();
  kivActTower* t = Tower();
  g_refuseConsoleVars = true;
  DllMain(nullptr, 1, nullptr);
  g_refuseConsoleVars = false;
  SetLodRange("20");
  for (auto [distance, level] : {std::pair{39.0f, 0}, {50.0f, 1}, {80.0f, 2}}) {
    t->SelectLOD(distance);
    EXPECT_EQ(t->CurrentLOD(), level) << distance;
  }
  DllMain(nullptr, 1, nullptr);
  t->SelectLOD(50.0f);
  EXPECT_EQ(t->CurrentLOD(), 2);
}

TEST_F(TowerTest, SelectLodIndirectClamps) {
  Class();
  kivActTower* t = Tower();
  for (auto [level, expected] : {std::pair{-1, 0}, {3, 2}, {1, 1}, {0, 0}, {2, 2}, {INT32_MIN, 0}, {INT32_MAX, 2}}) {
    t->SelectLODIndirect(level);
    EXPECT_EQ(t->CurrentLOD(), expected) << level;
  }
}

TEST_F(TowerTest, GetModelInfoSumsTowerAndRotorOfOneLevel) {
  Class(3, 2);
  kivActTower* t = Tower();
  t->SelectLODIndirect(1);
  const struct {
    int level;
    DWORD first, second;
  } cases[] = {
      {0, 1000 + 10, 100 + 1}, {1, 2000 + 20, 200 + 2}, {2, 3000, 300},  // no rotor at level 2
      {-1, 2000 + 20, 200 + 2}, {3, 0, 0}, {-2, 0, 0},
  };
  for (const auto& c : cases) {
    DWORD first = 99, second = 99;
    t->GetModelInfo(&first, &second, c.level);
    EXPECT_EQ(first, c.first) << c.level;
    EXPECT_EQ(second, c.second) << c.level;
  }
}

TEST_F(TowerTest, MissingLevelsDrawAndBoxTheFarthestLoadedOneBelow) {
  Class(1, 1);
  kivActTower* t = Tower();
  t->SelectLOD(1000.0f);
  EXPECT_EQ(t->CurrentLOD(), 2);
  RecordingEngine::Get().calls.clear();
  t->Update();
  t->RenderActor();
  MXVECTOR3 lo, hi;
  t->GetBox(lo, hi);
  for (const auto& call : RecordingEngine::Get().calls) {
    if (call.function != "PushMatrix" && call.function != "PopMatrix") {
      EXPECT_EQ(call.model, "tower") << call.function;
    }
  }
  EXPECT_EQ(RecordingEngine::Get().Calls("Render").size(), 1u);
  ExpectNear(lo, {1, 2, 3});
  DWORD first = 1, second = 1;
  t->GetModelInfo(&first, &second, 2);  // the level asked for: empty
  EXPECT_EQ(first, 0u);
  EXPECT_EQ(second, 0u);
}

// --- Matrices ----------------------------------------------------------------------------

TEST_F(TowerTest, UpdateRebuildsOnlyWhenDirty) {
  Class();
  kivActTower* t = Tower();
  const MXVECTOR3 position{1, 2, 3}, zero{0, 0, 0};
  t->SetPosition(&position);
  t->SetJoint(0, &zero);
  t->SetJoint(1, &zero);
  ASSERT_NE(t->*ActorFields::Dirty(), 0);
  t->Update();
  EXPECT_EQ(t->*ActorFields::Dirty(), 0);
  MXMATRIX translation = Identity();
  translation.m[3][0] = 1;
  translation.m[3][1] = 2;
  translation.m[3][2] = 3;
  ExpectNear(*t->GetLocalMatrix(), translation);
  ExpectNear(t->rotorMatrix, Identity());

  // Moved without the flag: nothing changes.
  (t->*ActorFields::Position()) = {7, 8, 9};
  const MXVECTOR3 turned{45, 0, 0};
  t->SetJoint(1, &turned);
  t->*ActorFields::Dirty() = 0;
  t->Update();
  ExpectNear(*t->GetLocalMatrix(), translation);
  ExpectNear(t->rotorMatrix, Identity());
}

TEST_F(TowerTest, AnglesTurnAboutYawPitchRollAxes) {
  Class();
  kivActTower* t = Tower();
  // Where the x, y and z unit points end up, for each angle entry.
  const struct {
    MXVECTOR3 angles;
    MXVECTOR3 x, y, z;
  } cases[] = {
      {{90, 0, 0}, {0, 0, -1}, {0, 1, 0}, {1, 0, 0}},   // yaw: about y
      {{0, 0, 90}, {1, 0, 0}, {0, 0, 1}, {0, -1, 0}},   // pitch: about x
      {{0, 90, 0}, {0, 1, 0}, {-1, 0, 0}, {0, 0, 1}},   // roll: about z
  };
  for (const auto& c : cases) {
    t->SetJoint(0, &c.angles);
    t->SetJoint(1, &c.angles);
    t->Update();
    for (const MXMATRIX* m : {t->GetLocalMatrix(), &t->rotorMatrix}) {
      const MXVECTOR3 ux{1, 0, 0}, uy{0, 1, 0}, uz{0, 0, 1};
      MXVECTOR3 p;
      ExpectNear(*MXVec3TransformCoord(&p, &ux, m), c.x);
      ExpectNear(*MXVec3TransformCoord(&p, &uy, m), c.y);
      ExpectNear(*MXVec3TransformCoord(&p, &uz, m), c.z);
    }
  }
}

// --- Rendering ---------------------------------------------------------------------------

TEST_F(TowerTest, RenderCallOrderAndArguments) {
  Class();
  kivActTower* t = Tower();
  const MXVECTOR3 position{5, 0, -2}, tower{30, 0, 0}, rotor{90, 0, 0};
  t->SetPosition(&position);
  t->SetJoint(0, &tower);
  t->SetJoint(1, &rotor);
  t->SetSkin(3);
  t->SelectLODIndirect(1);
  t->Update();
  RecordingEngine::Get().calls.clear();
  t->RenderActor();
  const auto& engine = RecordingEngine::Get();
  EXPECT_EQ(engine.Sequence(), (std::vector<std::string>{"PushMatrix", "FindTag", "SetTagMatrix", "Render", "PopMatrix"}));
  ASSERT_EQ(engine.calls.size(), 5u);
  EXPECT_EQ(std::memcmp(&engine.calls[0].matrix, t->GetLocalMatrix(), sizeof(MXMATRIX)), 0);
  EXPECT_EQ(engine.calls[1].model, "tower_1");
  EXPECT_EQ(engine.calls[1].detail, "tag_rotor");
  EXPECT_EQ(engine.calls[2].model, "tower_1");
  EXPECT_EQ(engine.calls[2].number, 7);  // the index FindTag gave
  EXPECT_EQ(std::memcmp(&engine.calls[2].matrix, &t->rotorMatrix, sizeof(MXMATRIX)), 0);
  EXPECT_EQ(engine.calls[3].model, "tower_1");
  EXPECT_EQ(engine.calls[3].detail, "(nil) -1.0 0");
  EXPECT_EQ(engine.calls[3].number, 3);
  EXPECT_EQ(engine.pushDepth, 0);
}

TEST_F(TowerTest, ScaledRenderingDoublesTheRotationRowsOnly) {
  Class();
  kivActTower* t = Tower();
  const MXVECTOR3 position{1, 2, 3}, tower{30, 10, 20};
  t->SetPosition(&position);
  t->SetJoint(0, &tower);
  t->Update();
  t->SetSize(2.0f);
  RecordingEngine::Get().calls.clear();
  t->RenderActor();
  const MXMATRIX pushed = RecordingEngine::Get().Calls("PushMatrix").at(0).matrix;
  const MXMATRIX& local = *t->GetLocalMatrix();
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_FLOAT_EQ(pushed.m[r][c], (r < 3 ? 2.0f : 1.0f) * local.m[r][c]) << r << "," << c;
}

// --- Box ---------------------------------------------------------------------------------

TEST_F(TowerTest, BoxFollowsTheLocalMatrix) {
  Class();
  kivActTower* t = Tower();
  const MXVECTOR3 zero{0, 0, 0}, yaw{90, 0, 0};
  t->SetJoint(0, &zero);
  t->Update();
  MXVECTOR3 lo, hi;
  t->GetBox(lo, hi);
  ExpectNear(lo, {1, 2, 3});
  ExpectNear(hi, {4, 5, 6});

  t->SetJoint(0, &yaw);
  t->Update();
  t->GetBox(lo, hi);
  ExpectNear(lo, {3, 2, -4});
  ExpectNear(hi, {6, 5, -1});
  EXPECT_EQ(RecordingEngine::Get().Calls("GetInstBoxI").back().model, "tower");
}

// --- Saving ------------------------------------------------------------------------------

TEST_F(TowerTest, DataBlockLayoutAndRoundTrip) {
  Class();
  kivActTower* a = Tower();
  const MXVECTOR3 position{1.5f, -2, 3}, tower{10, 20, 30}, rotor{33, 0, 0};
  a->SetPosition(&position);
  a->SetJoint(0, &tower);
  a->SetJoint(1, &rotor);
  a->Update();
  ASSERT_EQ(a->GetDataSize(), 64u + kivActor_DataSize);

  std::vector<unsigned char> block(a->GetDataSize() + 4, 0xEE);
  unsigned char* cursor = block.data();
  a->SaveData(&cursor);
  EXPECT_EQ(cursor, block.data() + a->GetDataSize());
  EXPECT_EQ(std::memcmp(block.data(), &a->rotorMatrix, 64), 0);
  float savedX;
  std::memcpy(&savedX, block.data() + 64, 4);  // the actor base's block starts with the position
  EXPECT_EQ(savedX, 1.5f);
  EXPECT_EQ(block[block.size() - 1], 0xEE);

  kivActTower* b = Tower();
  cursor = block.data();
  b->LoadData(&cursor);
  EXPECT_EQ(cursor, block.data() + b->GetDataSize());
  EXPECT_EQ(std::memcmp(&b->rotorMatrix, &a->rotorMatrix, 64), 0);
  MXVECTOR3 loaded;
  b->GetPosition(&loaded);
  EXPECT_EQ(loaded.x, 1.5f);
}

TEST_F(TowerTest, NullCursorsReadAndWriteNothing) {
  Class();
  kivActTower* t = Tower();
  const MXMATRIX before = t->rotorMatrix;
  unsigned char* none = nullptr;
  t->SaveData(nullptr);
  t->SaveData(&none);
  t->LoadData(nullptr);
  t->LoadData(&none);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(std::memcmp(&t->rotorMatrix, &before, 64), 0);
}

TEST_F(TowerTest, SaveHandsBothFullSetsToTheActorLibrary) {
  Class(3, 2);
  kivActTower* t = Tower();
  TempDir saves;
  kivActorLib_SetSaveDir(saves.Path().c_str());
  RecordingEngine::Get().calls.clear();
  t->Save();
  std::vector<std::string> saved;
  for (const auto& call : RecordingEngine::Get().Calls("SaveModel")) saved.push_back(call.model);
  EXPECT_EQ(saved, (std::vector<std::string>{"tower", "tower_1", "tower_2", "tower_rotor", "tower_rotor_1"}));
}

}  // namespace
