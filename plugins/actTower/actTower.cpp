#include "actTower.h"

#include <dlfcn.h>

#include <cstring>

#include "kivMem.h"
#include "rxKernel.h"
#include "rxModel.h"
#include "rxsh.h"

namespace {

// The console variable LOD_range: the distance each level of detail covers. Registered
// at load, read at every level choice, never released.
kivVariable* g_lodRange = nullptr;

// Used when the kernel refused to register LOD_range.
constexpr float kDefaultLodRange = 40.0f;

const char* const g_towerSounds[] = {"laser_fire.wav"};

const char kTowerModel[] = "tower";
const char kRotorModel[] = "tower_rotor";
const char kRotorTag[] = "tag_rotor";

// Yaw from x, pitch from z, roll from y, each converted from degrees.
void RotationFromDegrees(MXMATRIX* out, float x, float y, float z) {
  const float toRadians = 0.017453292f;
  const float yaw = x * toRadians;
  const float roll = y * toRadians;
  const float pitch = z * toRadians;
  MXMatrixRotationYawPitchRoll(out, yaw, pitch, roll);
}

// The axis-aligned box of the eight corners carried through the matrix.
void TransformBox(MXVECTOR3& minimum, MXVECTOR3& maximum, const MXMATRIX* matrix) {
  const MXVECTOR3 lo = minimum, hi = maximum;
  minimum = {1e38f, 1e38f, 1e38f};
  maximum = {-1e38f, -1e38f, -1e38f};
  for (int i = 0; i < 8; ++i) {
    const MXVECTOR3 corner{(i & 1) ? hi.x : lo.x, (i & 2) ? hi.y : lo.y, (i & 4) ? hi.z : lo.z};
    MXVECTOR3 p;
    MXVec3TransformCoord(&p, &corner, matrix);
    if (p.x < minimum.x) minimum.x = p.x;
    if (p.y < minimum.y) minimum.y = p.y;
    if (p.z < minimum.z) minimum.z = p.z;
    if (p.x > maximum.x) maximum.x = p.x;
    if (p.y > maximum.y) maximum.y = p.y;
    if (p.z > maximum.z) maximum.z = p.z;
  }
}

int ClampLevel(int level) { return level < 0 ? 0 : (level > 2 ? 2 : level); }

bool EqualsNoCase(const char* a, const char* b) { return kivName_Compare(a, b) == 0; }

const kivSdkInfo g_sdkInfo = kivSdkInfo_Current();

// The module's load and unload run the library entry, as the platform's loader would.
HINSTANCE ThisModule() {
  Dl_info info{};
  return dladdr(reinterpret_cast<void*>(&DllMain), &info) ? info.dli_fbase : nullptr;
}
__attribute__((constructor)) void OnModuleLoad() { DllMain(ThisModule(), 1, nullptr); }
__attribute__((destructor)) void OnModuleUnload() { DllMain(ThisModule(), 0, nullptr); }

}  // namespace

// --- Library entry ----------------------------------------------------------------------

extern "C" BOOL DllMain(HINSTANCE /*instance*/, DWORD reason, void* /*reserved*/) {
  if (reason == 1) g_lodRange = kivConsole_GetVar("LOD_range", PARAM_FLOAT, "40.0f", nullptr);
  return TRUE;
}

extern "C" kivActorClass* CreateObjClass(void) { return KIV_NEW kivActTowerClass(); }

extern "C" const kivSdkInfo* GetSdkInfo(void) { return &g_sdkInfo; }

// --- Class object -----------------------------------------------------------------------

kivActTowerClass::kivActTowerClass()
    : towerLods{nullptr, nullptr, nullptr}, rotorLods{nullptr, nullptr, nullptr}, towerLodCount(0), rotorLodCount(0) {
  m_nSounds = 1;
  m_ppszSounds = g_towerSounds;
  m_nActorInt = 2;
  m_fActorFloat = 10.0f;
}

kivActTowerClass::~kivActTowerClass() {}

bool kivActTowerClass::HoldsModels() const {
  for (int i = 0; i < KIV_TOWER_LODS; ++i)
    if (towerLods[i] != nullptr || rotorLods[i] != nullptr) return true;
  return false;
}

void kivActTowerClass::AddRef() {
  kivActorClass::AddRef();
  // After an unbalanced Release the count can come back to 1 while the sets still hold
  // their models; loading over them would lose those models.
  if (GetRefCount() <= 1 && !HoldsModels()) LoadLODs(towerLods, rotorLods);
}

void kivActTowerClass::Release() {
  kivActorClass::Release();
  if (GetRefCount() == 0) UnloadLODs(towerLods, rotorLods);
}

HRESULT kivActTowerClass::Create() {
  if (kivActorClass::Create() < 0) return E_FAIL;
  towerLodCount = CountLods(kTowerModel, KIV_TOWER_LODS);
  rotorLodCount = CountLods(kRotorModel, KIV_TOWER_LODS);
  return towerLodCount != 0 ? S_OK : E_FAIL;
}

kivObj* kivActTowerClass::CreateObj() {
  kivActTower* tower = KIV_NEW kivActTower(this);
  if (tower == nullptr) return nullptr;
  // Without its joint-angle table (the actor library could not take it) the tower could
  // never be turned, nor its rotor spun: refused like a tower whose models failed.
  if (tower->GetNumJoints() < 2 || LoadLODs(tower->towerLods, tower->rotorLods) < 0) {
    delete tower;
    return nullptr;
  }
  return tower;
}

int kivActTowerClass::Identify(const char* name) {
  if (name == nullptr) return 0;
  return EqualsNoCase(name, "actor") || EqualsNoCase(name, "acttower") ? 1 : 0;
}

void kivActTowerClass::EnumParts(void (*callback)(int, const char*, int, int, void*), void* user) {
  callback(0, "Tower", 0, -1, user);
  callback(1, "Rotor", 1, -1, user);
}

HRESULT kivActTowerClass::LoadLODs(void** towerSet, void** rotorSet) {
  if (LoadLods(kTowerModel, towerSet, towerLodCount) < 0 || LoadLods(kRotorModel, rotorSet, rotorLodCount) < 0) {
    kivConsole_UrgentPrint("kivActTowerClass::LoadLODs() FAILED");
    return E_FAIL;
  }
  for (int i = 0; i < towerLodCount && i < rotorLodCount; ++i) kivQModel_AttachModel(towerSet[i], kRotorTag, rotorSet[i]);
  return S_OK;
}

HRESULT kivActTowerClass::UnloadLODs(void** towerSet, void** rotorSet) {
  for (int i = 0; i < towerLodCount; ++i) kivQModel_DestroyModel(&towerSet[i]);
  for (int i = 0; i < rotorLodCount; ++i) kivQModel_DestroyModel(&rotorSet[i]);
  return S_OK;
}

// --- Tower instance ---------------------------------------------------------------------

kivActTower::kivActTower(kivObjClass* towerClass)
    : kivActor(towerClass), towerLods{nullptr, nullptr, nullptr}, rotorLods{nullptr, nullptr, nullptr}, currentLOD(0) {}

kivActTower::~kivActTower() { ActTower()->UnloadLODs(towerLods, rotorLods); }

kivActTowerClass* kivActTower::ActTower() const { return static_cast<kivActTowerClass*>(objClass); }

void* kivActTower::DrawnModel() const {
  for (int level = currentLOD; level >= 0; --level)
    if (towerLods[level] != nullptr) return towerLods[level];
  return nullptr;
}

void kivActTower::SelectLOD(float distance) {
  const float range = g_lodRange != nullptr ? g_lodRange->value : kDefaultLodRange;
  const float quotient = distance / range;
  // Converting a NaN or out-of-range float to int is undefined: settle those first.
  if (!(quotient >= 0.0f))
    currentLOD = 0;
  else if (quotient >= 3.0f)
    currentLOD = 2;
  else
    currentLOD = ClampLevel(static_cast<int>(quotient));
}

void kivActTower::SelectLODIndirect(int level) { currentLOD = ClampLevel(level); }

void kivActTower::GetModelInfo(DWORD* first, DWORD* second, int level) {
  *first = 0;
  *second = 0;
  if (level == -1) level = currentLOD;
  if (level < 0 || level > 2) return;
  for (void* model : {towerLods[level], rotorLods[level]}) {
    if (model == nullptr) continue;
    DWORD a = 0, b = 0;
    kivQModel_GetModelInfo(model, &a, &b);
    *first += a;
    *second += b;
  }
}

void kivActTower::Update() {
  if (m_bMatrixDirty != 0) UpdateMatrices();
}

void kivActTower::UpdateMatrices() {
  const MXVECTOR3& towerAngles = m_pJoints[0];
  RotationFromDegrees(&m_mLocal, towerAngles.x, towerAngles.y, towerAngles.z);
  MXMATRIX translation;
  MXMatrixTranslation(&translation, m_vPosition.x, m_vPosition.y, m_vPosition.z);
  MXMatrixMultiply(&m_mLocal, &m_mLocal, &translation);
  const MXVECTOR3& rotorAngles = m_pJoints[1];
  RotationFromDegrees(&rotorMatrix, rotorAngles.x, rotorAngles.y, rotorAngles.z);
  m_bMatrixDirty = 0;
}

void kivActTower::RenderActor() {
  void* model = DrawnModel();
  if (model == nullptr) return;
  MXMATRIX scaled;
  if (m_fScale == 1.0f) {
    kivQShader_PushMatrix(&m_mLocal);
  } else {
    MXMATRIX scaling;
    MXMatrixScaling(&scaling, m_fScale, m_fScale, m_fScale);
    MXMatrixMultiply(&scaled, &scaling, &m_mLocal);
    kivQShader_PushMatrix(&scaled);
  }
  int tag = 0;
  kivQModel_FindTag(model, kRotorTag, &tag);
  kivQModel_SetTagMatrix(model, tag, &rotorMatrix);
  kivQModel_Render(model, nullptr, -1.0f, 0, m_nSkin);
  kivQShader_PopMatrix();
}

void kivActTower::Gesture() {}

void kivActTower::GetBox(MXVECTOR3& minimum, MXVECTOR3& maximum) {
  void* model = DrawnModel();
  if (model == nullptr) {
    // No level loaded: an empty box where the tower stands.
    minimum = maximum = {m_mLocal.m[3][0], m_mLocal.m[3][1], m_mLocal.m[3][2]};
    return;
  }
  kivQModel_GetInstBoxI(model, &minimum, &maximum);
  TransformBox(minimum, maximum, &m_mLocal);
}

void kivActTower::Save() {
  kivActTowerClass* towerClass = ActTower();
  towerClass->SaveLods(kTowerModel, towerLods, KIV_TOWER_LODS);
  towerClass->SaveLods(kRotorModel, rotorLods, KIV_TOWER_LODS);
}

DWORD kivActTower::GetDataSize() { return sizeof(MXMATRIX) + kivActor::GetDataSize(); }

void kivActTower::SaveData(unsigned char** cursor) {
  if (cursor == nullptr || *cursor == nullptr) return;
  std::memcpy(*cursor, &rotorMatrix, sizeof(MXMATRIX));
  *cursor += sizeof(MXMATRIX);
  kivActor::SaveData(cursor);
}

void kivActTower::LoadData(unsigned char** cursor) {
  if (cursor == nullptr || *cursor == nullptr) return;
  std::memcpy(&rotorMatrix, *cursor, sizeof(MXMATRIX));
  *cursor += sizeof(MXMATRIX);
  kivActor::LoadData(cursor);
}
