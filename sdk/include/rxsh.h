// Engine shader library: the world-matrix stack.
#pragma once

#include "kivTypes.h"

extern "C" {

// Pushes a copy of the MXMATRIX as the world matrix for the drawing that follows.
HRESULT kivQShader_PushMatrix(void* matrix);
// Removes the matrix pushed last.
HRESULT kivQShader_PopMatrix();

// Reference library: the matrix on top of the stack (identity when empty), and the depth.
const float* kivQShader_GetTopMatrix();
int kivQShader_GetDepth();

}  // extern "C"
