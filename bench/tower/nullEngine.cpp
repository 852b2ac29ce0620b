// A model and shader library that does nothing, so the benchmark measures the plug-in and
// its math alone. The program exports these definitions, so they also serve the actor
// library's loads.
#include "rxModel.h"
#include "rxsh.h"

namespace {
int g_model;  // every handle points here
}

extern "C" {

HRESULT kivQModel_LoadModel(const char*, void** model) {
  *model = &g_model;
  return S_OK;
}
HRESULT kivQModel_LoadModelFromMemory(const void*, size_t, const char*, void** model) {
  *model = &g_model;
  return S_OK;
}
HRESULT kivQModel_SaveModel(void*, const char*) { return S_OK; }
HRESULT kivQModel_DestroyModel(void** slot) {
  *slot = nullptr;
  return S_OK;
}
HRESULT kivQModel_AttachModel(void*, const char*, void*) { return S_OK; }
HRESULT kivQModel_GetModelInfo(void*, DWORD* first, DWORD* second) {
  *first = *second = 0;
  return S_OK;
}
HRESULT kivQModel_FindTag(void*, const char*, int* tagIndex) {
  *tagIndex = 0;
  return S_OK;
}
HRESULT kivQModel_SetTagMatrix(void*, int, void*) { return S_OK; }
HRESULT kivQModel_Render(void*, void*, float, unsigned char, int) { return S_OK; }
HRESULT kivQModel_GetInstBoxI(void*, void*, void*) { return S_OK; }
size_t kivQModel_GetDrawCount() { return 0; }
const kivQModelDraw* kivQModel_GetDraws() { return nullptr; }
void kivQModel_ClearDraws() {}
HRESULT kivQModel_GetMesh(void*, kivQModelMesh* mesh) {
  *mesh = {};
  return E_FAIL;
}
HRESULT kivQModel_CreateModel(const kivQModelMesh*, const kivQModelTagInfo*, int, void** model) {
  *model = &g_model;
  return S_OK;
}
HRESULT kivQModel_GetTagCount(void*, int* count) {
  *count = 0;
  return S_OK;
}
HRESULT kivQModel_GetTag(void*, int, kivQModelTagInfo*) { return E_FAIL; }

HRESULT kivQShader_PushMatrix(void*) { return S_OK; }
HRESULT kivQShader_PopMatrix() { return S_OK; }
const float* kivQShader_GetTopMatrix() { return nullptr; }
int kivQShader_GetDepth() { return 0; }

}  // extern "C"
