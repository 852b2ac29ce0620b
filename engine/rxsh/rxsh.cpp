// World-matrix stack of the reference shader library.
//
// Callers push temporaries (the tower pushes a scaled copy of its local matrix that is
// gone before the pop), so every push stores a copy. The stack has a fixed depth; an
// overflowing push and a pop of an empty stack fail and change nothing. The engine calls
// the library from its one rendering thread only, so the stack is a plain global.
#include "rxsh.h"

#include <cstring>

namespace {

constexpr int kMaxDepth = kivQShader_MaxDepth;
constexpr int kFloats = 16;

constexpr float kIdentity[kFloats] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

float g_stack[kMaxDepth][kFloats];
int g_depth = 0;

}  // namespace

extern "C" {

HRESULT kivQShader_PushMatrix(void* matrix) {
  if (matrix == nullptr || g_depth >= kMaxDepth) return E_FAIL;
  std::memcpy(g_stack[g_depth], matrix, sizeof(g_stack[0]));
  ++g_depth;
  return S_OK;
}

HRESULT kivQShader_PopMatrix() {
  if (g_depth == 0) return E_FAIL;
  --g_depth;
  return S_OK;
}

const float* kivQShader_GetTopMatrix() { return g_depth == 0 ? kIdentity : g_stack[g_depth - 1]; }

int kivQShader_GetDepth() { return g_depth; }

}  // extern "C"
