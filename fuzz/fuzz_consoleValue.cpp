// The console's parsing of a value text, for every PARAM_TYPE code and a few beyond.
// The first byte picks the type, the rest is the text. A text that parses must give a
// sound value, set a console variable of that type, and come back from the variable and
// from a parameter's value text as a text that parses again.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzzTower.h"
#include "kivQModule.h"

namespace {

constexpr int kTypes = 16;  // 0 and 15 are no PARAM_TYPE: they must be refused

bool IsFloatType(int type) { return type == PARAM_FLOAT || (type >= PARAM_FLOAT2 && type <= PARAM_FLOAT5); }

std::string VariableName(int type) { return "fuzz_type_" + std::to_string(type); }

void RegisterVariables() {
  for (int type = 0; type < kTypes; ++type)
    kivConsole_GetVar(VariableName(type).c_str(), static_cast<PARAM_TYPE>(type), "", nullptr);
}

// The parameter's own value text of a parsed value.
std::string ParamText(PARAM_TYPE type, kivConsoleValue& value) {
  void* storage = value.ints;
  if (IsFloatType(type)) storage = value.floats;
  if (type == PARAM_BYTE4) storage = &value.byte4;
  if (type == PARAM_STRING) storage = value.text;
  kivParam param("fuzz", type, storage);
  char text[KIV_VALUE_TEXT_SIZE];
  param.GetValueText(text);
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = (fuzz::QuietConsole(), RegisterVariables(), true);
  (void)ready;
  if (size == 0) return 0;
  const auto type = static_cast<PARAM_TYPE>(data[0] % kTypes);
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);  // cut at a NUL below

  kivConsoleValue value;
  std::memset(&value, 0xA5, sizeof value);
  const int parsed = kivConsole_ParseValue(type, text.c_str(), &value);
  if (parsed == 0) {
    if (kivConsole_SetVar(VariableName(type).c_str(), text.c_str()) != 0) std::abort();
    return 0;
  }
  if (type < PARAM_STRING || type > PARAM_INT5) std::abort();  // no text form, yet parsed
  if (value.count < 1 || value.count > 5) std::abort();
  if (IsFloatType(type))
    for (int i = 0; i < value.count; ++i)
      if (!std::isfinite(value.floats[i])) std::abort();
  if (type == PARAM_STRING && std::memchr(value.text, '\0', sizeof value.text) == nullptr) std::abort();

  const std::string name = VariableName(type);
  if (kivConsole_SetVar(name.c_str(), text.c_str()) != 1) std::abort();
  char small[7], whole[256];
  if (!kivConsole_GetVarText(name.c_str(), small, sizeof small) || std::strlen(small) >= sizeof small) std::abort();
  if (!kivConsole_GetVarText(name.c_str(), whole, sizeof whole)) std::abort();
  if (!kivConsole_ParseValue(type, whole, nullptr)) std::abort();

  const std::string again = ParamText(type, value);
  if (!kivConsole_ParseValue(type, again.c_str(), nullptr)) std::abort();
  return 0;
}
