#include "rxKernel.h"

#include <cctype>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr size_t kTextLimit = 255;

struct Variable {
  kivVariable record;  // what callers see; its address is handed out and never moves
  std::string name;
  std::string text;
  int (*callback)(char*, char*);
};

struct Kernel {
  std::recursive_mutex lock;
  std::deque<std::unique_ptr<Variable>> variables;
  kivConsoleSink sink = nullptr;
  void* sinkContext = nullptr;
};

// Never destroyed: libraries unloaded after this one may still print at exit.
Kernel& TheKernel() {
  static Kernel* kernel = new Kernel;
  return *kernel;
}

void Emit(int urgent, const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  char small[1024];
  const int length = std::vsnprintf(small, sizeof small, format, copy);
  va_end(copy);
  if (length < 0) return;
  std::vector<char> large;
  const char* text = small;
  if (static_cast<size_t>(length) >= sizeof small) {
    large.resize(static_cast<size_t>(length) + 1);
    std::vsnprintf(large.data(), large.size(), format, args);
    text = large.data();
  }
  Kernel& kernel = TheKernel();
  kivConsoleSink sink;
  void* context;
  {
    std::lock_guard<std::recursive_mutex> guard(kernel.lock);
    sink = kernel.sink;
    context = kernel.sinkContext;
  }
  if (sink != nullptr) {
    sink(context, urgent, text);
    return;
  }
  std::FILE* stream = urgent ? stderr : stdout;
  std::fwrite(text, 1, static_cast<size_t>(length), stream);
  std::fflush(stream);
}

bool SameName(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return i == a.size() && b[i] == '\0';
}

Variable* Find(const char* name) {
  if (name == nullptr) return nullptr;
  for (auto& variable : TheKernel().variables) {
    if (SameName(variable->name, name)) return variable.get();
  }
  return nullptr;
}

bool IsBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

const char* SkipBlanks(const char* p) {
  while (*p != '\0' && IsBlank(*p)) ++p;
  return p;
}

// One element at *p; the element must end at a blank or at the end of the text.
bool ParseFloat(const char*& p, float& out) {
  if (*p == '\0') return false;
  errno = 0;
  char* end = nullptr;
  const double value = std::strtod(p, &end);
  if (end == p || !std::isfinite(value) || std::fabs(value) > FLT_MAX) return false;
  if (*end == 'f' || *end == 'F') ++end;
  if (*end != '\0' && !IsBlank(*end)) return false;
  out = static_cast<float>(value);
  p = end;
  return true;
}

bool ParseInt(const char*& p, long long low, long long high, long long& out) {
  if (*p == '\0') return false;
  errno = 0;
  char* end = nullptr;
  const long long value = std::strtoll(p, &end, 10);
  if (end == p || errno == ERANGE || value < low || value > high) return false;
  if (*end != '\0' && !IsBlank(*end)) return false;
  out = value;
  p = end;
  return true;
}

int ElementCount(PARAM_TYPE type) {
  switch (type) {
    case PARAM_STRING:
    case PARAM_INT:
    case PARAM_FLOAT:
      return 1;
    case PARAM_BYTE4:
      return 4;
    case PARAM_FLOAT2:
    case PARAM_INT2:
      return 2;
    case PARAM_FLOAT3:
    case PARAM_INT3:
      return 3;
    case PARAM_FLOAT4:
    case PARAM_INT4:
      return 4;
    case PARAM_FLOAT5:
    case PARAM_INT5:
      return 5;
    default:
      return 0;
  }
}

float FloatOf(PARAM_TYPE type, const kivConsoleValue& value) {
  switch (type) {
    case PARAM_FLOAT:
    case PARAM_FLOAT2:
    case PARAM_FLOAT3:
    case PARAM_FLOAT4:
    case PARAM_FLOAT5:
      return value.floats[0];
    case PARAM_INT:
    case PARAM_INT2:
    case PARAM_INT3:
    case PARAM_INT4:
    case PARAM_INT5:
      return static_cast<float>(value.ints[0]);
    default:
      return 0.0f;
  }
}

const char* TypeName(PARAM_TYPE type) {
  static const char* const names[] = {"unknown", "string", "int",  "float", "byte4", "float2", "float3", "float4",
                                      "float5",  "int2",   "int3", "int4",  "int5",  "opaque", "custom"};
  return (type >= PARAM_STRING && type <= PARAM_CUSTOM) ? names[type] : names[0];
}

std::string Cut(const char* text) {
  std::string s = text != nullptr ? text : "";
  if (s.size() > kTextLimit) s.resize(kTextLimit);
  return s;
}

}  // namespace

extern "C" HRESULT kivConsole_Print(const char* format, ...) {
  va_list args;
  va_start(args, format);
  Emit(0, format, args);
  va_end(args);
  return S_OK;
}

extern "C" HRESULT kivConsole_UrgentPrint(const char* format, ...) {
  va_list args;
  va_start(args, format);
  Emit(1, format, args);
  va_end(args);
  return S_OK;
}

extern "C" void kivConsole_SetSink(kivConsoleSink sink, void* context) {
  Kernel& kernel = TheKernel();
  std::lock_guard<std::recursive_mutex> guard(kernel.lock);
  kernel.sink = sink;
  kernel.sinkContext = sink != nullptr ? context : nullptr;
}

extern "C" int kivConsole_ParseValue(PARAM_TYPE type, const char* text, kivConsoleValue* out) {
  kivConsoleValue value{};
  const int count = ElementCount(type);
  if (count == 0) return 0;
  value.count = count;
  if (type == PARAM_STRING) {
    const std::string cut = Cut(text);
    std::memcpy(value.text, cut.c_str(), cut.size() + 1);
  } else {
    // A variable keeps its text cut to a value text's length, so a longer number text
    // (padded with blanks, say) would be stored as a text that no longer parses.
    if (text == nullptr || std::strlen(text) > kTextLimit) return 0;
    const char* p = SkipBlanks(text);
    for (int i = 0; i < count; ++i) {
      if (i > 0) {
        if (!IsBlank(*p)) return 0;
        p = SkipBlanks(p);
      }
      long long number = 0;
      switch (type) {
        case PARAM_FLOAT:
        case PARAM_FLOAT2:
        case PARAM_FLOAT3:
        case PARAM_FLOAT4:
        case PARAM_FLOAT5:
          if (!ParseFloat(p, value.floats[i])) return 0;
          break;
        case PARAM_BYTE4:
          if (!ParseInt(p, 0, 255, number)) return 0;
          value.byte4 = (value.byte4 << 8) | static_cast<uint32_t>(number);
          break;
        default:
          if (!ParseInt(p, INT32_MIN, INT32_MAX, number)) return 0;
          value.ints[i] = static_cast<int32_t>(number);
          break;
      }
    }
    if (*SkipBlanks(p) != '\0') return 0;
  }
  if (out != nullptr) *out = value;
  return 1;
}

extern "C" kivVariable* kivConsole_GetVar(const char* name, PARAM_TYPE type, const char* defaultText,
                                          int (*callback)(char*, char*)) {
  if (name == nullptr || name[0] == '\0') return nullptr;
  Kernel& kernel = TheKernel();
  std::lock_guard<std::recursive_mutex> guard(kernel.lock);
  if (Variable* existing = Find(name)) return &existing->record;

  auto variable = std::make_unique<Variable>();
  variable->record.type = type;
  variable->record.value = 0.0f;
  variable->name = name;
  variable->callback = callback;
  kivConsoleValue value;
  if (kivConsole_ParseValue(type, defaultText, &value)) {
    variable->record.value = FloatOf(type, value);
    variable->text = Cut(defaultText);
  } else {
    kivConsole_UrgentPrint("\nkivConsole_GetVar(): '%s' is no %s value for '%s'", defaultText ? defaultText : "",
                           TypeName(type), name);
  }
  kernel.variables.push_back(std::move(variable));
  return &kernel.variables.back()->record;
}

extern "C" kivVariable* kivConsole_FindVar(const char* name) {
  std::lock_guard<std::recursive_mutex> guard(TheKernel().lock);
  Variable* variable = Find(name);
  return variable != nullptr ? &variable->record : nullptr;
}

extern "C" int kivConsole_SetVar(const char* name, const char* text) {
  std::lock_guard<std::recursive_mutex> guard(TheKernel().lock);
  Variable* variable = Find(name);
  if (variable == nullptr) {
    kivConsole_UrgentPrint("\nkivConsole_SetVar(): no variable '%s'", name ? name : "");
    return 0;
  }
  const PARAM_TYPE type = static_cast<PARAM_TYPE>(variable->record.type);
  kivConsoleValue value;
  if (!kivConsole_ParseValue(type, text, &value)) {
    kivConsole_UrgentPrint("\nkivConsole_SetVar(): '%s' is no %s value for '%s'", text ? text : "", TypeName(type),
                           variable->name.c_str());
    return 0;
  }
  const std::string newText = Cut(text);
  if (variable->callback != nullptr) {
    std::vector<char> nameCopy(variable->name.begin(), variable->name.end());
    nameCopy.push_back('\0');
    std::vector<char> textCopy(newText.begin(), newText.end());
    textCopy.push_back('\0');
    if (variable->callback(nameCopy.data(), textCopy.data()) == 0) {
      kivConsole_UrgentPrint("\nkivConsole_SetVar(): '%s' refused '%s'", variable->name.c_str(), newText.c_str());
      return 0;
    }
  }
  variable->text = newText;
  variable->record.value = FloatOf(type, value);
  return 1;
}

extern "C" int kivConsole_GetVarText(const char* name, char* buffer, size_t size) {
  std::lock_guard<std::recursive_mutex> guard(TheKernel().lock);
  Variable* variable = Find(name);
  if (variable == nullptr) return 0;
  if (buffer != nullptr && size > 0) {
    const size_t length = variable->text.size() < size ? variable->text.size() : size - 1;
    std::memcpy(buffer, variable->text.data(), length);
    buffer[length] = '\0';
  }
  return 1;
}

extern "C" void kivConsole_ForEachVar(void (*visit)(void* context, const char* name, PARAM_TYPE type,
                                                    const char* text),
                                      void* context) {
  std::lock_guard<std::recursive_mutex> guard(TheKernel().lock);
  for (auto& variable : TheKernel().variables) {
    visit(context, variable->name.c_str(), static_cast<PARAM_TYPE>(variable->record.type), variable->text.c_str());
  }
}

extern "C" void kivConsole_ListVars(void) {
  kivConsole_ForEachVar(
      [](void*, const char* name, PARAM_TYPE, const char* text) { kivConsole_Print("\n%s = %s", name, text); },
      nullptr);
}
