// The tower actor: a tower model with a rotor model attached at "tag_rotor", each in up to
// three levels of detail.
//
// kivActTowerClass is the plug-in's class object (CreateObjClass makes it); kivActTower is
// one tower standing in the world. The engine drives both through the virtual operations
// of their actor bases only, so neither adds a virtual operation of its own.
#pragma once

#include "actActor.h"
#include "actTowerSdk.h"
#include "kivTypes.h"
#include "mxmath.h"

// Levels of detail per model name; index 0 is the nearest.
constexpr int KIV_TOWER_LODS = 3;

class kivActTower;

class kivActTowerClass : public kivActorClass {
 public:
  kivActTowerClass();
  // Member by member: the model handles are shared afterwards, not duplicated.
  kivActTowerClass(const kivActTowerClass&) = default;
  kivActTowerClass& operator=(const kivActTowerClass&) = default;
  // Leaves the class-wide sets to the last Release.
  ~kivActTowerClass() override;

  // The first reference loads the class-wide sets, the release back to 0 destroys them.
  void AddRef() override;
  void Release() override;
  // Counts the "tower" and "tower_rotor" levels; fails without a "tower" model.
  HRESULT Create() override;
  // A new tower with its own loaded sets, or null.
  kivObj* CreateObj() override;
  // 1 for "actor" and "acttower" in any case.
  int Identify(const char* name) override;
  // "Tower" then "Rotor".
  void EnumParts(void (*callback)(int, const char*, int, int, void*), void* user) override;

  // Loads the counted levels into both sets and attaches rotor i to tower i at "tag_rotor".
  HRESULT LoadLODs(void** towerSet, void** rotorSet);
  // Destroys the counted levels of both sets, the tower models first.
  HRESULT UnloadLODs(void** towerSet, void** rotorSet);

  void* towerLods[KIV_TOWER_LODS];  // class-wide, held while the class is referenced
  void* rotorLods[KIV_TOWER_LODS];
  int32_t towerLodCount;  // levels found under "tower" by Create, 0..3
  int32_t rotorLodCount;  // levels found under "tower_rotor" by Create, 0..3

 private:
  friend class kivActTower;  // its Save hands its sets to SaveLods
  bool HoldsModels() const;
};

class kivActTower : public kivActor {
 public:
  explicit kivActTower(kivObjClass* towerClass);
  // Member by member, no class reference taken: only one of a tower and its copies may
  // be destroyed.
  kivActTower(const kivActTower&) = default;
  kivActTower& operator=(const kivActTower&) = default;
  // Destroys its own models through the class object, then releases the class.
  ~kivActTower() override;

  // Data block: the 64-byte rotor matrix, then the actor base's block.
  void LoadData(unsigned char** cursor) override;
  void SaveData(unsigned char** cursor) override;
  DWORD GetDataSize() override;
  // Level = distance / LOD_range, truncated and clamped to 0..2.
  void SelectLOD(float distance) override;
  void SelectLODIndirect(int level) override;
  // Vertex and triangle counts of the tower and rotor models of one level (-1: current).
  void GetModelInfo(DWORD* first, DWORD* second, int level) override;
  // Rebuilds the matrices when the matrix-dirty flag is set.
  void Update() override;
  void RenderActor() override;
  void Gesture() override;
  // The tower model's box carried through the local matrix.
  void GetBox(MXVECTOR3& minimum, MXVECTOR3& maximum) override;
  void Save() override;

  // The level that SelectLOD or SelectLODIndirect set, 0..2.
  int CurrentLOD() const { return currentLOD; }

  void* towerLods[KIV_TOWER_LODS];  // own models, rotor i attached to tower i
  void* rotorLods[KIV_TOWER_LODS];
  int32_t currentLOD;
  MXMATRIX rotorMatrix;  // the rotor's turn at its tag; no translation

 private:
  void UpdateMatrices();
  kivActTowerClass* ActTower() const;
  // The model drawn and boxed for the current level: the farthest loaded level not beyond
  // it, so a tower with fewer levels stays visible; null when no level is loaded.
  void* DrawnModel() const;
};

// The description of the shared classes as this unit's headers lay them out.
inline kivSdkInfo kivSdkInfo_Current() {
  return {KIV_SDK_MAGIC,
          KIV_SDK_VERSION,
          static_cast<uint32_t>(sizeof(void*)),
          static_cast<uint32_t>(sizeof(kivModuleClass)),
          static_cast<uint32_t>(sizeof(kivObjClass)),
          static_cast<uint32_t>(sizeof(kivObj)),
          static_cast<uint32_t>(sizeof(kivActorClass)),
          static_cast<uint32_t>(sizeof(kivActor)),
          static_cast<uint32_t>(sizeof(kivActTowerClass)),
          static_cast<uint32_t>(sizeof(kivActTower))};
}

extern "C" {
// The plug-in's factory: a new tower class object, or null.
kivActorClass* CreateObjClass(void);
// The SDK description the module was built with.
const kivSdkInfo* GetSdkInfo(void);
// Library entry: reason 1 (process attach) registers LOD_range; every reason gives TRUE.
BOOL DllMain(HINSTANCE instance, DWORD reason, void* reserved);
}
