// Engine model library: model instances, tags, rendering and boxes.
// A model handle is an opaque pointer to one loaded model instance.
#pragma once

#include "kivTypes.h"

extern "C" {

HRESULT kivQModel_AttachModel(void* parent, const char* tagName, void* child);
HRESULT kivQModel_DestroyModel(void** slot);
HRESULT kivQModel_GetModelInfo(void* model, DWORD* first, DWORD* second);
HRESULT kivQModel_FindTag(void* model, const char* tagName, int* tagIndex);
HRESULT kivQModel_SetTagMatrix(void* model, int tagIndex, void* matrix);
HRESULT kivQModel_Render(void* model, void* context, float alpha, unsigned char flags, int skin);
HRESULT kivQModel_GetInstBoxI(void* model, void* minimum, void* maximum);

}  // extern "C"
