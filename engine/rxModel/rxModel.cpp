// Reference model library: model instances, tags, attachment, the frame's draw list.
//
// Handles are checked against the set of live instances, so a NULL, foreign or destroyed
// handle is "nothing to do" rather than a stray pointer. No exception leaves a function:
// the engine calling in is not C++-aware of them.
#include "rxModel.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <unordered_set>
#include <vector>

#include "rxKernel.h"
#include "rxModelInstance.h"
#include "rxsh.h"

using rxmodel::Instance;
using rxmodel::Matrix;
using rxmodel::Tag;

namespace {

// Attachment chains deeper than this are refused; the tower needs one level.
constexpr int kMaxAttachDepth = 16;

// Never destroyed: a host may destroy its models from its own exit-time destructors.
std::unordered_set<Instance*>& Live() {
  static auto* live = new std::unordered_set<Instance*>;
  return *live;
}

std::vector<kivQModelDraw>& Draws() {
  static auto* draws = new std::vector<kivQModelDraw>;
  return *draws;
}

Instance* Find(void* handle) {
  auto* instance = static_cast<Instance*>(handle);
  return instance != nullptr && Live().count(instance) != 0 ? instance : nullptr;
}

template <class F>
HRESULT Guarded(F&& body) {
  try {
    return body();
  } catch (...) {
    return E_FAIL;
  }
}

void Refuse(const char* what, const std::string& why) {
  kivConsole_UrgentPrint("\nrxModel: cannot load '%s': %s", what, why.c_str());
}

HRESULT Adopt(Instance* instance, void** model) {
  Live().insert(instance);
  *model = instance;
  return S_OK;
}

// Loads and registers; the owner of the bytes decides which folder buffers may come from.
HRESULT Load(const unsigned char* data, size_t size, const std::string& folder, const std::string& name,
             void** model) {
  auto* instance = new Instance;
  instance->name = name;
  std::string why;
  bool loaded = false;
  try {
    loaded = rxmodel::LoadGltf(data, size, folder, instance, &why);
  } catch (const std::exception& e) {
    why = std::string("the glTF loader failed: ") + e.what();
  } catch (...) {
    why = "the glTF loader failed";
  }
  if (!loaded) {
    delete instance;
    Refuse(name.c_str(), why);
    return E_FAIL;
  }
  return Adopt(instance, model);
}

std::string Canonical(const char* path) {
  char* real = realpath(path, nullptr);
  if (real == nullptr) return std::string();
  std::string result(real);
  std::free(real);
  return result;
}

std::string FolderOf(const std::string& canonicalPath) {
  const size_t slash = canonicalPath.find_last_of('/');
  return slash == 0 ? "/" : canonicalPath.substr(0, slash);
}

void Detach(Instance* child) {
  Instance* parent = child->parent;
  if (parent == nullptr) return;
  std::vector<Instance*>& siblings = parent->tags[child->parentTag].children;
  siblings.erase(std::remove(siblings.begin(), siblings.end(), child), siblings.end());
  child->parent = nullptr;
  child->parentTag = 0;
}

int ChainDepth(const Instance* instance) {
  int depth = 0;
  for (const Instance* p = instance; p != nullptr; p = p->parent) ++depth;
  return depth;
}

int SubtreeDepth(const Instance* instance) {
  int deepest = 0;
  for (const Tag& tag : instance->tags)
    for (const Instance* child : tag.children) deepest = std::max(deepest, SubtreeDepth(child));
  return deepest + 1;
}

bool Record(Instance* model, const Matrix& world, int skin) {
  std::vector<kivQModelDraw>& draws = Draws();
  if (draws.size() >= kivQModel_MaxDraws) return false;
  kivQModelDraw draw{};
  draw.model = model;
  std::memcpy(draw.world, world.data(), sizeof draw.world);
  draw.skin = skin;
  draws.push_back(draw);
  bool complete = true;
  for (const Tag& tag : model->tags) {
    if (tag.children.empty()) continue;
    const Matrix childWorld = rxmodel::Multiply(rxmodel::Multiply(tag.matrix, tag.placement), world);
    for (Instance* child : tag.children) complete = Record(child, childWorld, skin) && complete;
  }
  return complete;
}

}  // namespace

extern "C" {

HRESULT kivQModel_LoadModel(const char* path, void** model) {
  if (model == nullptr) return E_FAIL;
  *model = nullptr;
  if (path == nullptr) return E_FAIL;
  return Guarded([&] {
    std::vector<unsigned char> bytes;
    std::string why;
    const std::string canonical = Canonical(path);
    if (canonical.empty()) {
      Refuse(path, std::string("cannot resolve the path: ") + std::strerror(errno));
      return E_FAIL;
    }
    if (!rxmodel::ReadRegularFile(canonical, rxmodel::kMaxFileBytes, &bytes, &why)) {
      Refuse(path, why);
      return E_FAIL;
    }
    return Load(bytes.data(), bytes.size(), FolderOf(canonical), path, model);
  });
}

HRESULT kivQModel_LoadModelFromMemory(const void* data, size_t size, const char* baseDir,
                                      void** model) {
  if (model == nullptr) return E_FAIL;
  *model = nullptr;
  if (data == nullptr && size != 0) return E_FAIL;
  return Guarded([&] {
    std::string folder;
    if (baseDir != nullptr) {
      folder = Canonical(baseDir);
      if (folder.empty()) {
        Refuse("<memory>", std::string("cannot resolve the base folder '") + baseDir + "'");
        return E_FAIL;
      }
    }
    return Load(static_cast<const unsigned char*>(data), size, folder, "<memory>", model);
  });
}

HRESULT kivQModel_SaveModel(void* model, const char* path) {
  Instance* instance = Find(model);
  if (instance == nullptr || path == nullptr) return E_FAIL;
  return Guarded([&] {
    std::string why;
    if (rxmodel::SaveGltf(*instance, path, &why)) return S_OK;
    kivConsole_UrgentPrint("\nrxModel: cannot save '%s': %s", path, why.c_str());
    return E_FAIL;
  });
}

HRESULT kivQModel_CreateModel(const kivQModelMesh* mesh, const kivQModelTagInfo* tags, int tagCount,
                              void** model) {
  if (model == nullptr) return E_FAIL;
  *model = nullptr;
  if (mesh == nullptr || tagCount < 0 || (tagCount > 0 && tags == nullptr)) return E_FAIL;
  if (mesh->vertexCount > rxmodel::kMaxVertices || mesh->triangleCount > rxmodel::kMaxTriangles)
    return E_FAIL;
  if ((mesh->vertexCount > 0 && mesh->positions == nullptr) ||
      (mesh->triangleCount > 0 && mesh->indices == nullptr))
    return E_FAIL;
  for (uint32_t i = 0; i < 3 * mesh->triangleCount; ++i)
    if (mesh->indices[i] >= mesh->vertexCount) return E_FAIL;
  for (uint32_t i = 0; i < 3 * mesh->vertexCount; ++i)
    if (!std::isfinite(mesh->positions[i])) return E_FAIL;
  for (int i = 0; i < tagCount; ++i)
    if (tags[i].name == nullptr) return E_FAIL;
  return Guarded([&] {
    auto* instance = new Instance;
    instance->name = "<created>";
    const size_t floats = 3 * size_t(mesh->vertexCount);
    instance->positions.assign(mesh->positions, mesh->positions + floats);
    instance->indices.assign(mesh->indices, mesh->indices + 3 * size_t(mesh->triangleCount));
    if (mesh->normals != nullptr)
      instance->normals.assign(mesh->normals, mesh->normals + floats);
    else
      instance->ComputeNormals();
    for (size_t c = 0; c < 4; ++c)
      instance->color[c] = std::isfinite(mesh->color[c]) ? std::clamp(mesh->color[c], 0.0f, 1.0f) : 1.0f;
    instance->ComputeBox();
    for (int i = 0; i < tagCount; ++i) {
      Tag tag;
      tag.name = tags[i].name;
      std::memcpy(tag.placement.data(), tags[i].placement, sizeof tags[i].placement);
      instance->tags.push_back(std::move(tag));
    }
    return Adopt(instance, model);
  });
}

HRESULT kivQModel_DestroyModel(void** slot) {
  if (slot == nullptr) return E_FAIL;
  Instance* instance = Find(*slot);
  if (instance == nullptr) return E_FAIL;
  Detach(instance);
  for (Tag& tag : instance->tags)
    for (Instance* child : tag.children) child->parent = nullptr;
  // A later instance may reuse the address; its draws must not inherit this one's.
  std::vector<kivQModelDraw>& draws = Draws();
  draws.erase(std::remove_if(draws.begin(), draws.end(),
                             [&](const kivQModelDraw& d) { return d.model == instance; }),
              draws.end());
  Live().erase(instance);
  delete instance;
  *slot = nullptr;
  return S_OK;
}

HRESULT kivQModel_AttachModel(void* parent, const char* tagName, void* child) {
  Instance* p = Find(parent);
  Instance* c = Find(child);
  if (p == nullptr || c == nullptr || tagName == nullptr) return E_FAIL;
  int tag = -1;
  if (kivQModel_FindTag(p, tagName, &tag) < 0) return E_FAIL;
  for (const Instance* a = p; a != nullptr; a = a->parent)
    if (a == c) return E_FAIL;  // the child would draw itself
  if (ChainDepth(p) + SubtreeDepth(c) > kMaxAttachDepth) return E_FAIL;
  return Guarded([&] {
    std::vector<Instance*>& children = p->tags[size_t(tag)].children;
    children.reserve(children.size() + 1);
    Detach(c);
    children.push_back(c);
    c->parent = p;
    c->parentTag = size_t(tag);
    return S_OK;
  });
}

HRESULT kivQModel_GetModelInfo(void* model, DWORD* first, DWORD* second) {
  Instance* instance = Find(model);
  if (first != nullptr) *first = instance != nullptr ? instance->VertexCount() : 0;
  if (second != nullptr) *second = instance != nullptr ? instance->TriangleCount() : 0;
  return instance != nullptr && first != nullptr && second != nullptr ? S_OK : E_FAIL;
}

HRESULT kivQModel_FindTag(void* model, const char* tagName, int* tagIndex) {
  if (tagIndex == nullptr) return E_FAIL;
  *tagIndex = -1;
  Instance* instance = Find(model);
  if (instance == nullptr || tagName == nullptr) return E_FAIL;
  for (size_t i = 0; i < instance->tags.size(); ++i)
    if (instance->tags[i].name == tagName) {
      *tagIndex = static_cast<int>(i);
      return S_OK;
    }
  return E_FAIL;
}

HRESULT kivQModel_SetTagMatrix(void* model, int tagIndex, void* matrix) {
  Instance* instance = Find(model);
  if (instance == nullptr || matrix == nullptr || tagIndex < 0 ||
      size_t(tagIndex) >= instance->tags.size())
    return E_FAIL;
  std::memcpy(instance->tags[size_t(tagIndex)].matrix.data(), matrix, sizeof(Matrix));
  return S_OK;
}

HRESULT kivQModel_Render(void* model, void*, float, unsigned char, int skin) {
  Instance* instance = Find(model);
  if (instance == nullptr) return E_FAIL;
  return Guarded([&] {
    Matrix world;
    std::memcpy(world.data(), kivQShader_GetTopMatrix(), sizeof world);
    return Record(instance, world, skin) ? S_OK : E_FAIL;
  });
}

HRESULT kivQModel_GetInstBoxI(void* model, void* minimum, void* maximum) {
  Instance* instance = Find(model);
  const std::array<float, 3> zero = {0, 0, 0};
  if (minimum != nullptr) std::memcpy(minimum, (instance ? instance->boxMin : zero).data(), sizeof zero);
  if (maximum != nullptr) std::memcpy(maximum, (instance ? instance->boxMax : zero).data(), sizeof zero);
  return instance != nullptr && minimum != nullptr && maximum != nullptr ? S_OK : E_FAIL;
}

HRESULT kivQModel_GetMesh(void* model, kivQModelMesh* mesh) {
  if (mesh == nullptr) return E_FAIL;
  *mesh = kivQModelMesh{};
  Instance* instance = Find(model);
  if (instance == nullptr) return E_FAIL;
  mesh->positions = instance->positions.data();
  mesh->normals = instance->normals.data();
  mesh->vertexCount = instance->VertexCount();
  mesh->indices = instance->indices.data();
  mesh->triangleCount = instance->TriangleCount();
  std::memcpy(mesh->color, instance->color.data(), sizeof mesh->color);
  return S_OK;
}

HRESULT kivQModel_GetTagCount(void* model, int* count) {
  if (count == nullptr) return E_FAIL;
  Instance* instance = Find(model);
  *count = instance != nullptr ? static_cast<int>(instance->tags.size()) : 0;
  return instance != nullptr ? S_OK : E_FAIL;
}

HRESULT kivQModel_GetTag(void* model, int tagIndex, kivQModelTagInfo* tag) {
  if (tag == nullptr) return E_FAIL;
  *tag = kivQModelTagInfo{};
  Instance* instance = Find(model);
  if (instance == nullptr || tagIndex < 0 || size_t(tagIndex) >= instance->tags.size()) return E_FAIL;
  const Tag& t = instance->tags[size_t(tagIndex)];
  tag->name = t.name.c_str();
  std::memcpy(tag->placement, t.placement.data(), sizeof tag->placement);
  return S_OK;
}

size_t kivQModel_GetDrawCount() { return Draws().size(); }

const kivQModelDraw* kivQModel_GetDraws() { return Draws().data(); }

void kivQModel_ClearDraws() { Draws().clear(); }

}  // extern "C"
