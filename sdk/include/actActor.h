// Actor classes and actors, and the animation records that go with them.
//
// kivActorClass is the base of every actor class object (one per kind of actor: it names
// the kind, creates its actors and holds what they share); kivActor is the base of the
// actors placed in the world. The engine calls both through their virtual tables, so the
// order of the virtual operations below is part of the interface: a derived class keeps
// it and appends its own operations after it.
//
// The members defined in this header travel with every plug-in that includes it; the
// rest (constructors, destructors, the reference counting of the class, the
// level-of-detail loading and the actor's placement and saved state) belong to the
// engine's actor library, libactActor.
//
// Groups of operations that share one base behaviour take their rows in the order in
// which they are listed here:
//   kivActorClass  A: Check, Optimize        B: EnumAnims, SetFrameEvents
//   kivActor       D: AttachModel, SetBodyAnim, SetBodyAnimEventCallback
//                  E: GetBodyAnim, GetBodyPlaying, TakeGun, TakeGun2
//                  F: SetBodyAnimSpeed, SetBodyFrame
//                  G: GetAnimation, GetBodyFrameType
#pragma once

#include <cstdint>

#include "kivMem.h"
#include "kivQObjClass.h"
#include "kivTypes.h"
#include "mxmath.h"

class kivActor;
class kivQAnim;  // an animation; only ever handled by pointer

extern "C" {

// Where the actor library finds and saves models. The host sets both before the first
// class is created; the texts are copied. The model folder starts as "." (the current
// folder); the save folder starts unset, and SaveLods fails until it is set.
//
// Model files: level 0 of a model "name" is "<model folder>/name.gltf" (or "name.glb"),
// level i > 0 is "name_i.gltf" (or "name_i.glb"); ".gltf" wins when both exist. Model
// names are plain file-name stems: letters, digits, '_' and '-'.
void kivActorLib_SetModelDir(const char* dir);
void kivActorLib_SetSaveDir(const char* dir);
const char* kivActorLib_GetModelDir(void);
const char* kivActorLib_GetSaveDir(void);

}  // extern "C"

// ---------------------------------------------------------------------------------------
// Actor class.
//
// Virtual table: the 29 operations of kivObjClass (slots 0 to 29; the destructor,
// AddRef, Release, Create, CreateObj and Identify replaced), then, from slot 30:
//   PlaySound, Check, Resample, Optimize, EnumParts, EnumAnims, EnumSounds, LoadEffects,
//   GetPivotHeight, SetFrameEvents, GetHeadLOD, ReloadEvents.
class kivActorClass : public kivObjClass {
 public:
  // Actor library: clears every actor-class field (texts empty, no head LOD, no sounds,
  // class values 0).
  kivActorClass();
  // Copies share the sound-name list and the head LOD handle with their source.
  kivActorClass(const kivActorClass&) = default;
  kivActorClass& operator=(const kivActorClass&) = default;
  // Actor library: releases nothing; the class owns neither the sound list nor the head
  // LOD handle.
  ~kivActorClass() override;

  // Actor library: as the object class's, the count changes by exactly one.
  void AddRef() override;
  void Release() override;
  // Actor library: the module's Create (sorts the parameters when flag bit 0 is set).
  HRESULT Create() override;

  // A plain actor of this class, or null when its block cannot be taken.
  kivObj* CreateObj() override;
  // 1 for "actor" in any letter case, otherwise 0 (a null name included).
  int Identify(const char* name) override { return name != nullptr && kivName_Compare(name, "actor") == 0; }

  // Actor library: announces sound `index` of the sound-name list on the console
  // ("\nPlaySound: '<name>'"; the reference engine has no audio). An index outside the
  // list, or a null position, plays nothing.
  virtual void PlaySound(int index, MXVECTOR3* position);
  virtual HRESULT Check(const char* /*text*/) { return 0; }
  virtual HRESULT Resample(int /*rate*/, const char* /*text*/) { return 0; }
  virtual HRESULT Optimize(const char* /*text*/) { return 0; }
  // Calls back once per part: (number, name, two numbers of the engine's, user).
  virtual void EnumParts(void (*/*callback*/)(int, const char*, int, int, void*), void* /*user*/) {}
  virtual void EnumAnims(int /*part*/, void (*/*callback*/)(int, const char*, void*), void* /*user*/) {}
  // Calls back with each sound name and `user`, the count read afresh before each step.
  virtual void EnumSounds(void (*callback)(const char*, void*), void* user) {
    if (callback == nullptr) return;
    for (int32_t i = 0; i < m_nSounds; ++i) callback(m_ppszSounds[i], user);
  }
  // Actor library: the reference engine has no effects; nothing to load.
  virtual void LoadEffects();
  // Actor library: the height of the actor's pivot above its base, 0.0 in the reference
  // engine (actors stand on their origin).
  virtual float GetPivotHeight();
  virtual void SetFrameEvents(int /*anim*/, float /*frame*/, const char* /*events*/) {}
  // The head LOD handle, whatever the level asked for.
  virtual void* GetHeadLOD(int /*level*/) { return m_pHeadLOD; }
  virtual void ReloadEvents() {}

 protected:
  // Actor library. The number of levels present for the model `name`, counted from
  // level 0 up to the first missing one, at most `max` (0 for a null or unsafe name).
  int CountLods(const char* name, int max);
  // Loads levels 0 .. count-1 of `name` into handles[0 .. count-1]. On the first level
  // that cannot be loaded: the urgent console names the file and the reason, that slot
  // holds NULL, later slots are not touched, and the result is E_FAIL. Levels loaded
  // before the failure stay in their slots for the caller to destroy.
  HRESULT LoadLods(const char* name, void** handles, int count);
  // Writes the models in handles[0 .. count-1] (NULL slots skipped) as glTF into the
  // save folder under the level file names, ".gltf", creating the folder if needed. A
  // save folder that is the model folder is refused: the source models are never
  // overwritten. E_FAIL when any model could not be written (each reported).
  HRESULT SaveLods(const char* name, void** handles, int count);

  // Texts for the engine's actor code; cleared by the constructor, otherwise unused by
  // the reference engine.
  char m_szText0[64];
  char m_szText1[64];
  char m_szText2[64];
  char m_szText3[64];
  char m_szShortText[16];
  char m_szText5[64];
  void* m_pHeadLOD;                  // model handle that GetHeadLOD reports; not owned
  int32_t m_nSounds;                 // entries of m_ppszSounds
  const char* const* m_ppszSounds;   // sound file names; not owned
  // Actor class values; the reference engine stores them for the engine's actor code.
  uint32_t m_dwActorWord;
  int32_t m_nActorInt;
  uint8_t m_bActorByte;
  float m_fActorFloat;
  uint32_t m_dwActorWords[4];
};

// ---------------------------------------------------------------------------------------
// Actor.
//
// Virtual table: the 9 operations of kivObj (slots 0 to 9; the destructor, LoadData,
// SaveData and GetDataSize replaced), then, from slot 10:
//   SetTimer, ActorClass, GetNumSkins, SetSkin, GetSkin, SetSize, GetSize, SetColor,
//   GetColor, SelectLOD, SelectLODIndirect, GetModelInfo, PlayFootstepSound,
//   AttachModel, GetBodyAnim, GetBodyPlaying, SetBodyAnimSpeed, SetBodyAnim,
//   SetBodyAnimEventCallback, GetNumJoints, SetPosition, GetPosition, GetJoint,
//   SetJoint, Update, RenderActor, GetBodyFrame, SetBodyFrame, GetAnimation, Clone,
//   CreateGibs, TakeGun, TakeGun2, GetBodyFrameType, PlaySound, Gesture, GetTagMatrix,
//   GetBox, Transform, Save, GetLocalMatrix, GetSoundType.
//
// Saved state (GetDataSize = kivActor_DataSize bytes), little-endian, in this order:
//    0  position x, y, z           3 x float32
//   12  joint 0 angles x, y, z     3 x float32
//   24  joint 1 angles x, y, z     3 x float32
//   36  skin index                 int32
//   40  scale                      float32
//   44  colour                     uint32
//   48  timer value                int32
constexpr int kivActor_NumJoints = 2;  // entry 0: the whole actor, entry 1: its rotor/part
constexpr DWORD kivActor_DataSize = 52;

class kivActor : public kivObj {
 public:
  // Actor library: takes the class reference (through kivObj) and starts the actor at
  // the origin, with kivActor_NumJoints zero angle triples, an identity local matrix,
  // skin 0, scale 1.0, colour 0xFFFFFFFF, timer 0 and the matrix-dirty flag raised.
  explicit kivActor(kivObjClass* cls);
  // Copies share the joint-angle table and take no class reference, so only one of an
  // actor and its copies may be destroyed.
  kivActor(const kivActor&) = default;
  kivActor& operator=(const kivActor&) = default;
  // Actor library: gives the joint-angle table back, then releases the class reference.
  ~kivActor() override;

  // Actor library: the saved state above, at the byte cursor, which moves past it. A
  // null cursor, or a cursor holding null, reads or writes nothing. LoadData raises the
  // matrix-dirty flag.
  void LoadData(unsigned char** cursor) override;
  void SaveData(unsigned char** cursor) override;
  DWORD GetDataSize() override;

  virtual void SetTimer(int value) { m_nTimer = value; }
  virtual kivActorClass* ActorClass() { return static_cast<kivActorClass*>(objClass); }
  virtual int GetNumSkins() { return 1; }
  virtual void SetSkin(int skin) { m_nSkin = skin; }
  virtual int GetSkin() { return m_nSkin; }
  // Actor library: the size is the uniform scale; a size that is not a positive finite
  // number is ignored.
  virtual void SetSize(float size);
  virtual float GetSize();
  virtual void SetColor(DWORD color) { m_dwColor = color; }
  virtual DWORD GetColor() { return m_dwColor; }
  virtual void SelectLOD(float /*distance*/) {}
  virtual void SelectLODIndirect(int /*level*/) {}
  // Writes neither output.
  virtual void GetModelInfo(DWORD* /*first*/, DWORD* /*second*/, int /*level*/) {}
  // Actor library: the reference engine has no footstep sounds; 0 (none played).
  virtual int PlayFootstepSound(int surface, int foot);
  virtual void AttachModel(int /*part*/, const char* /*tag*/, void* /*model*/) {}
  virtual int GetBodyAnim(int /*part*/) { return 0; }
  virtual int GetBodyPlaying(int /*part*/) { return 0; }
  virtual void SetBodyAnimSpeed(int /*part*/, float /*speed*/) {}
  virtual void SetBodyAnim(int /*part*/, int /*anim*/, DWORD /*flags*/) {}
  virtual void SetBodyAnimEventCallback(int /*part*/, void (*/*callback*/)(char* const, void*), void* /*user*/) {}
  // Actor library: the joint-angle table. Angles are in degrees. The setters raise the
  // matrix-dirty flag; an index outside 0 .. GetNumJoints()-1 or a null vector changes
  // and writes nothing.
  virtual int GetNumJoints();
  virtual void SetPosition(const MXVECTOR3* position);
  virtual void GetPosition(MXVECTOR3* position);
  virtual void GetJoint(int index, MXVECTOR3* angles);
  virtual void SetJoint(int index, const MXVECTOR3* angles);
  virtual void Update() {}
  virtual void RenderActor() {}
  virtual float GetBodyFrame(int /*part*/) { return 0.0f; }
  virtual void SetBodyFrame(int /*part*/, float /*frame*/) {}
  virtual kivQAnim* GetAnimation(int /*part*/, int /*anim*/) { return nullptr; }
  virtual kivActor* Clone() { return nullptr; }
  // Actor library: the reference engine makes no gibs; 0 (none created).
  virtual int CreateGibs();
  virtual int TakeGun(void* /*gun*/) { return 0; }
  virtual int TakeGun2(void* /*gun*/) { return 0; }
  virtual int GetBodyFrameType(int /*part*/, float /*frame*/) { return 0; }
  // Actor library: plays sound `index` of the actor's class at the actor's position
  // (kivActorClass::PlaySound); the channel is not used.
  virtual void PlaySound(int index, int channel);
  virtual void Gesture() {}
  // Returns 0 and writes no matrix.
  virtual int GetTagMatrix(int /*part*/, const char* /*tag*/, MXMATRIX* /*matrix*/) { return 0; }
  virtual void GetBox(MXVECTOR3& /*minimum*/, MXVECTOR3& /*maximum*/) {}
  virtual void Transform(MXMATRIX& /*matrix*/) {}
  virtual void Save() {}
  virtual MXMATRIX* GetLocalMatrix() { return &m_mLocal; }
  virtual int GetSoundType(const char* /*name*/) { return -1; }

 protected:
  int32_t m_nTimer;         // SetTimer
  MXVECTOR3 m_vPosition;    // translation of the local matrix
  // kivActor_NumJoints angle triples in degrees, owned by the actor. If its block could
  // not be taken, this points at a shared table of zeros that the setters leave alone
  // and GetNumJoints reports 0, so readers never meet a null table.
  MXVECTOR3* m_pJoints;
  MXMATRIX m_mLocal;        // the actor's world matrix
  int32_t m_nSkin;          // passed to the model library when drawing
  float m_fScale;           // uniform drawing scale; 1.0 draws unscaled
  int32_t m_bMatrixDirty;   // nonzero: rebuild the matrices at the next Update
  DWORD m_dwColor;          // SetColor / GetColor
};

inline kivObj* kivActorClass::CreateObj() { return KIV_NEW kivActor(this); }

// ---------------------------------------------------------------------------------------
// Animation events.
//
// An event container holds `m_nEvents` events in one block from the tracked allocation,
// which it owns: the destructor gives it back. Copies share the block (copy and
// assignment copy the pointer, the assignment without releasing the block it held), so
// only one of a container and its copies may be destroyed.
//
// Virtual table: the destructor (slots 0 and 1), Save, Load, SetEvents.
struct kivEvent {
  float time;      // when the event fires, in frames of the animation
  char name[28];   // NUL-terminated event name
};

class kivEventCnt {
 public:
  KIV_TRACKED_OPERATORS

  kivEventCnt() : m_nEvents(0), m_pEvents(nullptr) {}
  kivEventCnt(const kivEventCnt&) = default;
  kivEventCnt& operator=(const kivEventCnt&) = default;
  virtual ~kivEventCnt() {
    if (m_pEvents != nullptr) {
      kivMem_Free(m_pEvents);
      m_pEvents = nullptr;
    }
  }

  // Actor library. Save writes the events to the text file `fileName`, one
  // "<time> <name>" line each; Load replaces the events with those of such a file (at
  // most kivEventCnt_MaxEvents). 1 on success, 0 on failure (Load then keeps the events
  // it had).
  virtual int Save(const char* fileName);
  virtual int Load(const char* fileName);
  // Actor library: adds the event `name` (cut at 27 characters) at `time`; a null or
  // empty name, or a full container, adds nothing.
  virtual void SetEvents(float time, const char* name);

  int32_t m_nEvents;
  kivEvent* m_pEvents;
};

constexpr int32_t kivEventCnt_MaxEvents = 4096;

// The state of one animation being played: a plain record, no virtual table.
struct kivQAnimatorAccess;

class kivQAnimator {
 public:
  kivQAnimator() = default;
  // Copies the whole record, the engine's own state included.
  kivQAnimator& operator=(const kivQAnimator&) = default;

  DWORD GetFlags() { return m_dwFlags; }
  float Factor() { return m_fFactor; }
  // 0 when the playing value equals 0.0 (or -0.0), otherwise 1 (not-a-number included).
  int GetPlaying() { return m_fPlaying == 0.0f ? 0 : 1; }
  void SetSpeed(float speed) { m_fSpeed = speed; }
  void SetEventCallback(void (*callback)(char* const, void*), void* user) {
    m_pfnEventCallback = callback;
    m_pCallbackUser = user;
  }
  void SetEvents(kivEventCnt* events) { m_pEvents = events; }

  int32_t m_nRangeStart = 0;
  int32_t m_nRangeLength = 0;
  float m_fPlaying = 0.0f;
  uint8_t m_engineState1[8] = {};   // the engine's animation code's; untouched here
  float m_fFactor = 0.0f;
  float m_fSpeed = 0.0f;
  uint8_t m_engineState2[32] = {};  // the engine's animation code's; untouched here
  DWORD m_dwFlags = 0;
  kivEventCnt* m_pEvents = nullptr;  // not owned
  void (*m_pfnEventCallback)(char* const, void*) = nullptr;
  void* m_pCallbackUser = nullptr;

 private:
  friend struct kivQAnimatorAccess;  // the engine's animation code and its tests
  // 1 when range start <= value < range start + range length, in 32-bit arithmetic.
  int Valid(int value) {
    return value >= m_nRangeStart &&
           static_cast<int64_t>(value) < static_cast<int64_t>(m_nRangeStart) + m_nRangeLength;
  }
};
