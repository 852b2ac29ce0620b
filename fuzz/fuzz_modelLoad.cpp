// The model library's loading of a glTF or GLB file from memory, through its own entry
// and its confined file callbacks (relative buffers resolve inside one folder, which holds
// a buffer for the seeds). A model that loads must hold sound geometry and survive what
// the tower does with it.
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "fuzzTower.h"
#include "rxModel.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = (fuzz::QuietConsole(), true);
  (void)quiet;
  void* model = nullptr;
  if (kivQModel_LoadModelFromMemory(data, size, FUZZ_MODEL_BASEDIR, &model) != S_OK) {
    if (model != nullptr) std::abort();
    return 0;
  }
  kivQModelMesh mesh{};
  if (kivQModel_GetMesh(model, &mesh) != S_OK) std::abort();
  for (uint32_t i = 0; i < 3 * mesh.triangleCount; ++i)
    if (mesh.indices[i] >= mesh.vertexCount) std::abort();
  for (uint32_t i = 0; i < 3 * mesh.vertexCount; ++i)
    if (!std::isfinite(mesh.positions[i]) || !std::isfinite(mesh.normals[i])) std::abort();

  DWORD vertices = 0, triangles = 0;
  kivQModel_GetModelInfo(model, &vertices, &triangles);
  if (vertices != mesh.vertexCount || triangles != mesh.triangleCount) std::abort();
  float lo[3], hi[3];
  kivQModel_GetInstBoxI(model, lo, hi);
  int tags = 0;
  kivQModel_GetTagCount(model, &tags);
  for (int t = 0; t < tags; ++t) {
    kivQModelTagInfo tag{};
    if (kivQModel_GetTag(model, t, &tag) != S_OK || tag.name == nullptr) std::abort();
  }
  int tag = -1;
  kivQModel_FindTag(model, "tag_rotor", &tag);
  const float spin[16] = {0, 0, -1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1};
  kivQModel_SetTagMatrix(model, tag, const_cast<float*>(spin));
  kivQModel_ClearDraws();
  kivQModel_Render(model, nullptr, -1.0f, 0, 0);
  kivQModel_ClearDraws();
  kivQModel_DestroyModel(&model);
  if (model != nullptr) std::abort();
  return 0;
}
