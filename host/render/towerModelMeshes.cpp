#include "towerRender.h"

namespace towerrender {

MeshSource ModelLibraryMeshes() {
  return [](void* model, kivQModelMesh& mesh) { return kivQModel_GetMesh(model, &mesh) >= 0; };
}

}  // namespace towerrender
