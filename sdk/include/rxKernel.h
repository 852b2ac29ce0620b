// Engine kernel library: console output and console variables.
#pragma once

#include <cstddef>

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
HRESULT kivConsole_Print(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The same for failures that must reach the user.
HRESULT kivConsole_UrgentPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Registers a console variable (or returns the existing record of that name,
// unchanged). Names are compared without regard to case. The record keeps its address
// until the kernel is unloaded. A default text that does not parse for the type is
// reported on the urgent console and the variable starts at zero / the empty text.
//
// The callback, when given, is called before every change made by kivConsole_SetVar
// with (the variable's name, the new value text); both are scratch copies that the
// callback may read or modify but not keep. It returns nonzero to accept the change
// and 0 to refuse it (the value then stays as it was). It is not called at
// registration.
kivVariable* kivConsole_GetVar(const char* name, PARAM_TYPE type, const char* defaultText,
                               int (*callback)(char*, char*));

// Where console output goes. `urgent` is 1 for kivConsole_UrgentPrint, 0 otherwise;
// `text` is the message exactly as formatted.
typedef void (*kivConsoleSink)(void* context, int urgent, const char* text);
// Installs a sink that receives every message instead of stdout / stderr; null
// restores the standard streams.
void kivConsole_SetSink(kivConsoleSink sink, void* context);

// A value text parsed for a PARAM_TYPE. Numbers may be surrounded by blanks and are
// separated by blanks; a float may end in 'f' or 'F' ("40.0f").
struct kivConsoleValue {
  int32_t count;       // number of elements (1 for single values and texts)
  float floats[5];     // the elements of PARAM_FLOAT..PARAM_FLOAT5
  int32_t ints[5];     // the elements of PARAM_INT, PARAM_INT2..PARAM_INT5
  uint32_t byte4;      // PARAM_BYTE4, "a b c d" with a the most significant byte
  char text[256];      // PARAM_STRING, cut at 255 characters
};
// 1 when `text` is a valid value of `type`, filling `out` (may be null); 0 when not:
// empty or malformed numbers, the wrong number of elements, a float outside the float
// range or not finite, an int outside 32 bits, a byte above 255, or a type without a
// text form (PARAM_OPAQUE, PARAM_CUSTOM, unknown codes).
int kivConsole_ParseValue(PARAM_TYPE type, const char* text, kivConsoleValue* out);

// The record of a registered variable, or null.
kivVariable* kivConsole_FindVar(const char* name);
// Sets a variable from text. 1 when the value changed; 0 when the variable is unknown,
// the text does not parse for its type or its callback refused, each reported on the
// urgent console, and the value stays as it was. The record's float value follows: the
// first element of float types, the first element converted for int types, 0 else.
int kivConsole_SetVar(const char* name, const char* text);
// Copies a variable's current value text (as last set) into `buffer` of `size` bytes,
// cut to fit. 1 when the variable exists, 0 when not.
int kivConsole_GetVarText(const char* name, char* buffer, size_t size);
// Calls `visit` with the name, type and value text of every variable, in order of
// registration.
void kivConsole_ForEachVar(void (*visit)(void* context, const char* name, PARAM_TYPE type, const char* text),
                           void* context);
// Prints every variable on the console as "\n%s = %s", in order of registration.
void kivConsole_ListVars(void);

}  // extern "C"
