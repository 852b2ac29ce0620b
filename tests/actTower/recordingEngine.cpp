#include "recordingEngine.h"

#include <cstring>
#include <filesystem>

#include "rxsh.h"

namespace {

constexpr int kRotorTagIndex = 7;

void Record(const char* function, void* model, std::string detail = {}, int number = 0,
            const void* matrix = nullptr) {
  EngineCall call;
  call.function = function;
  call.model = ModelName(model);
  call.detail = std::move(detail);
  call.number = number;
  if (matrix != nullptr) std::memcpy(&call.matrix, matrix, sizeof(MXMATRIX));
  RecordingEngine::Get().calls.push_back(call);
}

}  // namespace

RecordingEngine& RecordingEngine::Get() {
  static RecordingEngine engine;
  return engine;
}

void RecordingEngine::Reset() {
  calls.clear();
  failingLoads.clear();
  boxMin = {1, 2, 3};
  boxMax = {4, 5, 6};
}

std::vector<EngineCall> RecordingEngine::Calls(const std::string& function) const {
  std::vector<EngineCall> out;
  for (const auto& c : calls)
    if (c.function == function) out.push_back(c);
  return out;
}

std::vector<std::string> RecordingEngine::Sequence(const std::set<std::string>& ignore) const {
  std::vector<std::string> out;
  for (const auto& c : calls)
    if (!ignore.count(c.function)) out.push_back(c.function);
  return out;
}

std::string ModelName(void* handle) {
  return handle ? static_cast<RecordedModel*>(handle)->name : std::string("(null)");
}

extern "C" {

HRESULT kivQModel_LoadModel(const char* path, void** model) {
  RecordingEngine& engine = RecordingEngine::Get();
  const std::string name = std::filesystem::path(path).stem().string();
  *model = nullptr;
  if (engine.failingLoads.count(name)) {
    Record("LoadModel", nullptr, name);
    return E_FAIL;
  }
  // Distinct counts per level and model, so sums show which models were asked.
  const size_t underscore = name.rfind('_');
  const bool numbered = underscore != std::string::npos && underscore + 2 == name.size() &&
                        name.back() >= '1' && name.back() <= '9';
  const DWORD level = numbered ? static_cast<DWORD>(name.back() - '0') : 0;
  const bool rotor = name.find("rotor") != std::string::npos;
  *model = new RecordedModel{name, (rotor ? 10u : 1000u) * (level + 1), (rotor ? 1u : 100u) * (level + 1)};
  ++engine.liveModels;
  Record("LoadModel", *model, name);
  return S_OK;
}

HRESULT kivQModel_LoadModelFromMemory(const void*, size_t, const char*, void** model) {
  *model = nullptr;
  return E_FAIL;
}

HRESULT kivQModel_SaveModel(void* model, const char* path) {
  Record("SaveModel", model, path);
  return model ? S_OK : E_FAIL;
}

HRESULT kivQModel_DestroyModel(void** slot) {
  Record("DestroyModel", slot ? *slot : nullptr);
  if (slot == nullptr || *slot == nullptr) return S_OK;
  delete static_cast<RecordedModel*>(*slot);
  *slot = nullptr;
  --RecordingEngine::Get().liveModels;
  return S_OK;
}

HRESULT kivQModel_AttachModel(void* parent, const char* tagName, void* child) {
  Record("AttachModel", parent, std::string(tagName) + " <- " + ModelName(child));
  return S_OK;
}

HRESULT kivQModel_GetModelInfo(void* model, DWORD* first, DWORD* second) {
  Record("GetModelInfo", model);
  auto* m = static_cast<RecordedModel*>(model);
  *first = m ? m->vertices : 0;
  *second = m ? m->triangles : 0;
  return m ? S_OK : E_FAIL;
}

HRESULT kivQModel_FindTag(void* model, const char* tagName, int* tagIndex) {
  Record("FindTag", model, tagName);
  *tagIndex = std::strcmp(tagName, "tag_rotor") == 0 ? kRotorTagIndex : -1;
  return S_OK;
}

HRESULT kivQModel_SetTagMatrix(void* model, int tagIndex, void* matrix) {
  Record("SetTagMatrix", model, {}, tagIndex, matrix);
  return S_OK;
}

HRESULT kivQModel_Render(void* model, void* context, float alpha, unsigned char flags, int skin) {
  char detail[96];
  std::snprintf(detail, sizeof detail, "%p %.1f %d", context, static_cast<double>(alpha), flags);
  Record("Render", model, detail, skin);
  return S_OK;
}

HRESULT kivQModel_GetInstBoxI(void* model, void* minimum, void* maximum) {
  Record("GetInstBoxI", model);
  std::memcpy(minimum, &RecordingEngine::Get().boxMin, sizeof(MXVECTOR3));
  std::memcpy(maximum, &RecordingEngine::Get().boxMax, sizeof(MXVECTOR3));
  return S_OK;
}

size_t kivQModel_GetDrawCount() { return 0; }
const kivQModelDraw* kivQModel_GetDraws() { return nullptr; }
void kivQModel_ClearDraws() {}

HRESULT kivQModel_GetMesh(void*, kivQModelMesh* mesh) {
  *mesh = {};
  return E_FAIL;
}

HRESULT kivQModel_CreateModel(const kivQModelMesh*, const kivQModelTagInfo*, int, void** model) {
  *model = nullptr;
  return E_FAIL;
}

HRESULT kivQModel_GetTagCount(void*, int* count) {
  *count = 0;
  return E_FAIL;
}

HRESULT kivQModel_GetTag(void*, int, kivQModelTagInfo*) { return E_FAIL; }

HRESULT kivQShader_PushMatrix(void* matrix) {
  Record("PushMatrix", nullptr, {}, 0, matrix);
  ++RecordingEngine::Get().pushDepth;
  return S_OK;
}

HRESULT kivQShader_PopMatrix() {
  Record("PopMatrix", nullptr);
  --RecordingEngine::Get().pushDepth;
  return S_OK;
}

const float* kivQShader_GetTopMatrix() { return nullptr; }
int kivQShader_GetDepth() { return RecordingEngine::Get().pushDepth; }

}  // extern "C"
