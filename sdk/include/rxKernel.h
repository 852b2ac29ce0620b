// Engine kernel library: console output and console variables.
#pragma once

#include "kivTypes.h"

extern "C" {

// The kernel's record of one console variable. Plug-ins read only `value`, the
// current float value, which is the record's second 32-bit word; the kernel keeps
// the rest of its state beyond these two words.
struct kivVariable {
  int32_t type;  // PARAM_TYPE of the variable
  float value;   // current value as a float (byte offset 4)
};

// printf-style console output; the text goes out exactly as formatted.
HRESULT kivConsole_Print(const char* format, ...);
// The same for failures that must reach the user.
HRESULT kivConsole_UrgentPrint(const char* format, ...);

// Registers a console variable (or returns the existing record of that name).
kivVariable* kivConsole_GetVar(const char* name, PARAM_TYPE type, const char* defaultText,
                               int (*callback)(char*, char*));

}  // extern "C"
