// Engine shader library: the world-matrix stack.
#pragma once

#include "kivTypes.h"

extern "C" {

// The stack holds at most kivQShader_MaxDepth matrices; a push beyond that, a push of NULL
// and a pop of an empty stack fail (E_FAIL) and leave the stack as it was.
constexpr int kivQShader_MaxDepth = 64;

// Pushes a copy of the MXMATRIX as the world matrix for the drawing that follows.
HRESULT kivQShader_PushMatrix(void* matrix);
// Removes the matrix pushed last.
HRESULT kivQShader_PopMatrix();

// Reference library: the matrix on top of the stack (identity when empty), and the depth.
const float* kivQShader_GetTopMatrix();
int kivQShader_GetDepth();

}  // extern "C"
