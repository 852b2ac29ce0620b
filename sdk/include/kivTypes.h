// Basic types shared by the engine and its plug-ins.
//
// The engine's interfaces were defined on a 32-bit platform where `long` is 32 bits.
// These names keep every status, size and count at that width on every target,
// so records and saved data have the same layout on x86-64 and on 32-bit x86.
#pragma once

#include <cstdint>

typedef int32_t HRESULT;   // status: 0 success, negative failure
typedef int32_t BOOL;      // 1/0 answer of the library entry point
typedef uint32_t DWORD;    // 32-bit unsigned size or count
typedef void* HINSTANCE;   // module handle passed to the library entry point

constexpr HRESULT S_OK = 0;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

// Type codes shared by module parameters and console variables.
enum PARAM_TYPE : int32_t {
  PARAM_STRING = 1,
  PARAM_INT = 2,
  PARAM_FLOAT = 3,
  PARAM_BYTE4 = 4,
  PARAM_FLOAT2 = 5,
  PARAM_FLOAT3 = 6,
  PARAM_FLOAT4 = 7,
  PARAM_FLOAT5 = 8,
  PARAM_INT2 = 9,
  PARAM_INT3 = 10,
  PARAM_INT4 = 11,
  PARAM_INT5 = 12,
  PARAM_OPAQUE = 13,
  PARAM_CUSTOM = 14,
};
