// Engine model library: model instances, tags, rendering and boxes.
// A model handle is an opaque pointer to one loaded model instance.
//
// Every function returns S_OK or E_FAIL. A NULL (or already destroyed) handle means
// "nothing to do": the function writes zeros to its outputs (FindTag writes -1, the
// "no such tag" index) and returns E_FAIL. Call the library from one thread.
//
// An instance holds its geometry in model coordinates (GetModelInfo: first the vertex
// count, then the triangle count; GetInstBoxI: the axis-aligned box of that geometry) and
// its tags: the nodes whose names begin with "tag_", each with its placement from the file
// and a tag matrix (identity until SetTagMatrix) that places what is attached there.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kivTypes.h"

extern "C" {

// --- What plug-ins call ---------------------------------------------------------------
// Attaches the child at the first tag of that name. A child hangs at one place only:
// attaching it again moves it. A child that would draw its own ancestor is refused.
HRESULT kivQModel_AttachModel(void* parent, const char* tagName, void* child);
// Destroys the instance in *slot (detaching it from its parent and its children) and
// clears the slot. A slot that holds NULL is left alone.
HRESULT kivQModel_DestroyModel(void** slot);
HRESULT kivQModel_GetModelInfo(void* model, DWORD* first, DWORD* second);
HRESULT kivQModel_FindTag(void* model, const char* tagName, int* tagIndex);
HRESULT kivQModel_SetTagMatrix(void* model, int tagIndex, void* matrix);
// Records draws in the frame's draw list (below): the model under the matrix on top of the
// shader library's stack, then every attached child under
//   child world = tag matrix x tag placement x parent world   (row vectors).
// context, alpha and flags are accepted and not used; skin is recorded with each draw.
HRESULT kivQModel_Render(void* model, void* context, float alpha, unsigned char flags, int skin);
HRESULT kivQModel_GetInstBoxI(void* model, void* minimum, void* maximum);

// --- Reference library: loading and saving, for the actor library ---------------------
// Loads a glTF 2.0 model (.gltf or .glb) into a new instance written to *model (NULL on
// failure). Buffers may be embedded or lie in the model's own folder; a file that is not
// sound glTF, or that reaches outside that folder, is refused with an urgent console
// message naming the file and the reason.
HRESULT kivQModel_LoadModel(const char* path, void** model);
// Loads from memory; relative buffer URIs resolve inside baseDir only (NULL: none allowed).
HRESULT kivQModel_LoadModelFromMemory(const void* data, size_t size, const char* baseDir,
                                      void** model);
// Writes the instance's current state (geometry, tags, tag matrices) as glTF with embedded
// buffers; a path ending in ".glb" gives the binary form. The file is replaced atomically.
HRESULT kivQModel_SaveModel(void* model, const char* path);

// --- Reference library: the frame's draw list -----------------------------------------
// One entry per drawn model: the model itself or a child attached at one of its tags.
// The list grows until kivQModel_ClearDraws (the host clears it every frame); past
// kivQModel_MaxDraws entries Render records nothing more and fails.
constexpr size_t kivQModel_MaxDraws = 65536;
struct kivQModelDraw {
  void* model;
  float world[16];  // MXMATRIX: the model's world matrix, row-major, row vectors
  int skin;
};
size_t kivQModel_GetDrawCount();
const kivQModelDraw* kivQModel_GetDraws();
void kivQModel_ClearDraws();

// --- Reference library: geometry and tags, for renderers and tools --------------------
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

// One tag of a model: its name and its placement in model coordinates (MXMATRIX).
struct kivQModelTagInfo {
  const char* name;
  float placement[16];
};
// Makes an instance from geometry (copied; normals may be NULL and are then computed from
// the triangles) and tags. Used by the model generator and by tests.
HRESULT kivQModel_CreateModel(const kivQModelMesh* mesh, const kivQModelTagInfo* tags,
                              int tagCount, void** model);
// The instance's tags in index order (the order of the file's nodes). The name stays valid
// while the instance lives.
HRESULT kivQModel_GetTagCount(void* model, int* count);
HRESULT kivQModel_GetTag(void* model, int tagIndex, kivQModelTagInfo* tag);

}  // extern "C"
