// Engine model library: model instances, tags, rendering and boxes.
// A model handle is an opaque pointer to one loaded model instance.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kivTypes.h"

extern "C" {

// --- What plug-ins call ---------------------------------------------------------------
HRESULT kivQModel_AttachModel(void* parent, const char* tagName, void* child);
HRESULT kivQModel_DestroyModel(void** slot);
HRESULT kivQModel_GetModelInfo(void* model, DWORD* first, DWORD* second);
HRESULT kivQModel_FindTag(void* model, const char* tagName, int* tagIndex);
HRESULT kivQModel_SetTagMatrix(void* model, int tagIndex, void* matrix);
HRESULT kivQModel_Render(void* model, void* context, float alpha, unsigned char flags, int skin);
HRESULT kivQModel_GetInstBoxI(void* model, void* minimum, void* maximum);

// --- Reference library: loading and saving, for the actor library ---------------------
// Loads a glTF 2.0 model (.gltf or .glb) into a new instance written to *model.
HRESULT kivQModel_LoadModel(const char* path, void** model);
// Loads from memory; relative buffer URIs resolve inside baseDir only (NULL: none allowed).
HRESULT kivQModel_LoadModelFromMemory(const void* data, size_t size, const char* baseDir,
                                      void** model);
// Writes the instance's current state (geometry, tags, tag matrices) as glTF.
HRESULT kivQModel_SaveModel(void* model, const char* path);

// --- Reference library: the frame's draw list -----------------------------------------
// One entry per drawn model: the model itself or a child attached at one of its tags.
struct kivQModelDraw {
  void* model;
  float world[16];  // MXMATRIX: the model's world matrix, row-major, row vectors
  int skin;
};
size_t kivQModel_GetDrawCount();
const kivQModelDraw* kivQModel_GetDraws();
void kivQModel_ClearDraws();

// --- Reference library: geometry, for renderers ---------------------------------------
struct kivQModelMesh {
  const float* positions;  // 3 floats per vertex, model coordinates
  const float* normals;    // 3 floats per vertex
  uint32_t vertexCount;
  const uint32_t* indices;  // 3 per triangle
  uint32_t triangleCount;
  float color[4];  // base colour of the model's material (RGBA, 0..1)
};
// Fills *mesh with views into the instance's geometry, valid while the instance lives.
HRESULT kivQModel_GetMesh(void* model, kivQModelMesh* mesh);

}  // extern "C"
