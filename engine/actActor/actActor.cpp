// Reference actor library: the out-of-line members of the actor classes and the
// animation event container, and the folders that models come from and go to.
#include "actActor.h"

#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "rxKernel.h"
#include "rxModel.h"

namespace {

// Never destroyed, so that actors torn down by a host's exit-time destructors still
// find them.
std::string& ModelDir() {
  static auto* dir = new std::string(".");
  return *dir;
}

std::string& SaveDir() {
  static auto* dir = new std::string;
  return *dir;
}

// Model names become file names; anything that could leave the folder is refused.
bool SafeName(const char* name) {
  if (name == nullptr || name[0] == '\0') return false;
  for (const char* p = name; *p != '\0'; ++p) {
    const char c = *p;
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                    c == '-';
    if (!ok) return false;
  }
  return true;
}

std::string LevelStem(const std::string& folder, const char* name, int level) {
  std::string stem = folder + "/" + name;
  if (level > 0) stem += "_" + std::to_string(level);
  return stem;
}

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The file that holds a level, "" when there is none.
std::string LevelFile(const char* name, int level) {
  const std::string stem = LevelStem(ModelDir(), name, level);
  for (const char* extension : {".gltf", ".glb"})
    if (IsRegularFile(stem + extension)) return stem + extension;
  return std::string();
}

// Saved state: explicit little-endian bytes, whatever the host's byte order.
void PutU32(unsigned char*& p, uint32_t v) {
  for (int i = 0; i < 4; ++i) *p++ = static_cast<unsigned char>(v >> (8 * i));
}
uint32_t GetU32(const unsigned char*& p) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(*p++) << (8 * i);
  return v;
}
void PutF32(unsigned char*& p, float f) {
  uint32_t v;
  std::memcpy(&v, &f, sizeof v);
  PutU32(p, v);
}
float GetF32(const unsigned char*& p) {
  const uint32_t v = GetU32(p);
  float f;
  std::memcpy(&f, &v, sizeof f);
  return f;
}
void PutVec(unsigned char*& p, const MXVECTOR3& v) {
  PutF32(p, v.x);
  PutF32(p, v.y);
  PutF32(p, v.z);
}
MXVECTOR3 GetVec(const unsigned char*& p) {
  MXVECTOR3 v;
  v.x = GetF32(p);
  v.y = GetF32(p);
  v.z = GetF32(p);
  return v;
}

// Read by actors whose own table could not be taken; never written.
MXVECTOR3 g_noJoints[kivActor_NumJoints] = {};

}  // namespace

extern "C" {

void kivActorLib_SetModelDir(const char* dir) { ModelDir() = dir != nullptr && dir[0] != '\0' ? dir : "."; }
void kivActorLib_SetSaveDir(const char* dir) { SaveDir() = dir != nullptr ? dir : ""; }
const char* kivActorLib_GetModelDir(void) { return ModelDir().c_str(); }
const char* kivActorLib_GetSaveDir(void) { return SaveDir().c_str(); }

}  // extern "C"

// --- kivActorClass ------------------------------------------------------------------------

kivActorClass::kivActorClass()
    : m_szText0{},
      m_szText1{},
      m_szText2{},
      m_szText3{},
      m_szShortText{},
      m_szText5{},
      m_pHeadLOD(nullptr),
      m_nSounds(0),
      m_ppszSounds(nullptr),
      m_dwActorWord(0),
      m_nActorInt(0),
      m_bActorByte(0),
      m_fActorFloat(0.0f),
      m_dwActorWords{} {}

kivActorClass::~kivActorClass() {}

void kivActorClass::AddRef() { kivObjClass::AddRef(); }

void kivActorClass::Release() { kivObjClass::Release(); }

HRESULT kivActorClass::Create() { return kivObjClass::Create(); }

void kivActorClass::PlaySound(int index, MXVECTOR3* position) {
  if (position == nullptr || index < 0 || index >= m_nSounds || m_ppszSounds == nullptr) return;
  kivConsole_Print("\nPlaySound: '%s'", m_ppszSounds[index]);
}

void kivActorClass::LoadEffects() {}

float kivActorClass::GetPivotHeight() { return 0.0f; }

int kivActorClass::CountLods(const char* name, int max) {
  if (!SafeName(name)) return 0;
  int count = 0;
  while (count < max && !LevelFile(name, count).empty()) ++count;
  return count;
}

HRESULT kivActorClass::LoadLods(const char* name, void** handles, int count) {
  if (count <= 0) return S_OK;
  if (handles == nullptr) return E_FAIL;
  if (!SafeName(name)) {
    kivConsole_UrgentPrint("\nkivActorClass::LoadLods(): '%s' is not a model name", name != nullptr ? name : "(null)");
    return E_FAIL;
  }
  for (int level = 0; level < count; ++level) {
    std::string file = LevelFile(name, level);
    if (file.empty()) {
      kivConsole_UrgentPrint("\nkivActorClass::LoadLods(): level %d of '%s': no file %s.gltf or .glb", level, name,
                             LevelStem(ModelDir(), name, level).c_str());
      handles[level] = nullptr;
      return E_FAIL;
    }
    // The model library reports why a file is refused; this names the level it was for.
    if (kivQModel_LoadModel(file.c_str(), &handles[level]) < 0) {
      kivConsole_UrgentPrint("\nkivActorClass::LoadLods(): level %d of '%s' (%s) not loaded", level, name,
                             file.c_str());
      return E_FAIL;
    }
  }
  return S_OK;
}

HRESULT kivActorClass::SaveLods(const char* name, void** handles, int count) {
  if (count <= 0) return S_OK;
  if (handles == nullptr) return E_FAIL;
  if (!SafeName(name)) {
    kivConsole_UrgentPrint("\nkivActorClass::SaveLods(): '%s' is not a model name", name != nullptr ? name : "(null)");
    return E_FAIL;
  }
  const std::string& folder = SaveDir();
  if (folder.empty()) {
    kivConsole_UrgentPrint("\nkivActorClass::SaveLods(): no save folder is set");
    return E_FAIL;
  }
  std::error_code created, saveError, modelError;
  std::filesystem::create_directories(folder, created);
  const auto saveCanonical = std::filesystem::weakly_canonical(folder, saveError);
  const auto modelCanonical = std::filesystem::weakly_canonical(ModelDir(), modelError);
  if (saveError || modelError || saveCanonical == modelCanonical) {
    kivConsole_UrgentPrint("\nkivActorClass::SaveLods(): save folder '%s' is the model folder or unusable; "
                           "the source models are not overwritten",
                           folder.c_str());
    return E_FAIL;
  }
  HRESULT result = S_OK;
  for (int level = 0; level < count; ++level) {
    if (handles[level] == nullptr) continue;
    const std::string file = LevelStem(folder, name, level) + ".gltf";
    if (kivQModel_SaveModel(handles[level], file.c_str()) < 0) result = E_FAIL;
  }
  return result;
}

// --- kivActor -----------------------------------------------------------------------------

kivActor::kivActor(kivObjClass* cls)
    : kivObj(cls),
      m_nTimer(0),
      m_vPosition{0.0f, 0.0f, 0.0f},
      m_pJoints(static_cast<MXVECTOR3*>(kivMem_Alloc(kivActor_NumJoints * sizeof(MXVECTOR3), __FILE__, __LINE__))),
      m_mLocal{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}},
      m_nSkin(0),
      m_fScale(1.0f),
      m_bMatrixDirty(1),
      m_dwColor(0xFFFFFFFFu) {
  if (m_pJoints == nullptr) m_pJoints = g_noJoints;
}

kivActor::~kivActor() {
  if (m_pJoints != nullptr && m_pJoints != g_noJoints) kivMem_Free(m_pJoints);
  m_pJoints = nullptr;
}

DWORD kivActor::GetDataSize() { return kivActor_DataSize; }

void kivActor::SaveData(unsigned char** cursor) {
  if (cursor == nullptr || *cursor == nullptr) return;
  unsigned char* p = *cursor;
  PutVec(p, m_vPosition);
  for (int i = 0; i < kivActor_NumJoints; ++i) PutVec(p, m_pJoints[i]);
  PutU32(p, static_cast<uint32_t>(m_nSkin));
  PutF32(p, m_fScale);
  PutU32(p, m_dwColor);
  PutU32(p, static_cast<uint32_t>(m_nTimer));
  *cursor = p;
}

void kivActor::LoadData(unsigned char** cursor) {
  if (cursor == nullptr || *cursor == nullptr) return;
  const unsigned char* p = *cursor;
  m_vPosition = GetVec(p);
  for (int i = 0; i < kivActor_NumJoints; ++i) {
    const MXVECTOR3 angles = GetVec(p);
    if (m_pJoints != g_noJoints) m_pJoints[i] = angles;
  }
  m_nSkin = static_cast<int32_t>(GetU32(p));
  m_fScale = GetF32(p);
  m_dwColor = GetU32(p);
  m_nTimer = static_cast<int32_t>(GetU32(p));
  m_bMatrixDirty = 1;
  *cursor += kivActor_DataSize;
}

void kivActor::SetSize(float size) {
  if (std::isfinite(size) && size > 0.0f) m_fScale = size;
}

float kivActor::GetSize() { return m_fScale; }

int kivActor::PlayFootstepSound(int, int) { return 0; }

int kivActor::GetNumJoints() { return m_pJoints == g_noJoints ? 0 : kivActor_NumJoints; }

void kivActor::SetPosition(const MXVECTOR3* position) {
  if (position == nullptr) return;
  m_vPosition = *position;
  m_bMatrixDirty = 1;
}

void kivActor::GetPosition(MXVECTOR3* position) {
  if (position != nullptr) *position = m_vPosition;
}

void kivActor::GetJoint(int index, MXVECTOR3* angles) {
  if (angles != nullptr && index >= 0 && index < GetNumJoints()) *angles = m_pJoints[index];
}

void kivActor::SetJoint(int index, const MXVECTOR3* angles) {
  if (angles == nullptr || index < 0 || index >= GetNumJoints()) return;
  m_pJoints[index] = *angles;
  m_bMatrixDirty = 1;
}

int kivActor::CreateGibs() { return 0; }

void kivActor::PlaySound(int index, int) { ActorClass()->PlaySound(index, &m_vPosition); }

// --- kivEventCnt --------------------------------------------------------------------------

int kivEventCnt::Save(const char* fileName) {
  if (fileName == nullptr) return 0;
  FILE* f = std::fopen(fileName, "w");
  if (f == nullptr) return 0;
  bool ok = true;
  for (int32_t i = 0; ok && i < m_nEvents; ++i)
    ok = std::fprintf(f, "%.9g %s\n", static_cast<double>(m_pEvents[i].time), m_pEvents[i].name) > 0;
  return std::fclose(f) == 0 && ok ? 1 : 0;
}

int kivEventCnt::Load(const char* fileName) {
  if (fileName == nullptr) return 0;
  FILE* f = std::fopen(fileName, "r");
  if (f == nullptr) return 0;
  kivEventCnt loaded;
  float time;
  char name[sizeof(kivEvent::name)];
  bool ok = true;
  int fields;
  while ((fields = std::fscanf(f, "%f %27s", &time, name)) == 2) {
    const int32_t before = loaded.m_nEvents;
    loaded.SetEvents(time, name);
    if (loaded.m_nEvents == before) {
      ok = false;  // full, or out of memory
      break;
    }
  }
  if (fields != EOF || std::ferror(f)) ok = false;
  std::fclose(f);
  if (!ok) return 0;
  kivEvent* old = m_pEvents;
  m_pEvents = loaded.m_pEvents;
  m_nEvents = loaded.m_nEvents;
  loaded.m_pEvents = old;  // the temporary gives the old block back
  return 1;
}

void kivEventCnt::SetEvents(float time, const char* name) {
  if (name == nullptr || name[0] == '\0' || m_nEvents >= kivEventCnt_MaxEvents) return;
  const size_t count = static_cast<size_t>(m_nEvents) + 1;
  auto* grown = static_cast<kivEvent*>(kivMem_Alloc(count * sizeof(kivEvent), __FILE__, __LINE__));
  if (grown == nullptr) return;
  if (m_pEvents != nullptr) {
    std::memcpy(grown, m_pEvents, static_cast<size_t>(m_nEvents) * sizeof(kivEvent));
    kivMem_Free(m_pEvents);
  }
  m_pEvents = grown;
  grown[m_nEvents].time = time;
  kivText_Copy(grown[m_nEvents].name, sizeof grown[m_nEvents].name, name);
  m_nEvents = static_cast<int32_t>(count);
}
