// Modules and their parameters.
//
// A module is a named, numbered engine object that owns a list of typed parameters,
// lists them on the console and writes them to its settings file. Every class object
// of the engine is a module. The engine calls modules through their virtual tables, so
// the order of the virtual operations below is part of the interface and must not
// change; derived classes append their own operations after these. The members are
// defined here so that every plug-in carries them.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "kivFile.h"
#include "kivFileOut.h"
#include "kivMem.h"
#include "kivTypes.h"
#include "rxKernel.h"

// Size of the buffers that value texts are written into, the terminating NUL included.
constexpr int KIV_VALUE_TEXT_SIZE = 256;

// Writes a PARAM_CUSTOM value as text. It receives a KIV_VALUE_TEXT_SIZE-byte buffer,
// the parameter's value pointer and the mode (always 2), and must stay within the
// buffer; whatever it leaves is cut at 255 characters.
typedef void (*kivParamFormatter)(char* buffer, void* value, int mode);

// Compares two names the way modules do: byte by byte as unsigned values, with A-Z
// taken as a-z; a name that begins a longer one comes first. <0, 0 or >0.
inline int kivName_Compare(const char* a, const char* b) {
  auto lower = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; };
  for (;; ++a, ++b) {
    int ca = lower(static_cast<unsigned char>(*a));
    int cb = lower(static_cast<unsigned char>(*b));
    if (ca != cb || ca == 0) return ca - cb;
  }
}

// Copies at most size - 1 characters of `text` (null counts as empty) and ends the copy
// with a NUL, so a field never overflows.
inline void kivText_Copy(char* field, size_t size, const char* text) {
  size_t length = 0;
  if (text != nullptr) {
    while (length + 1 < size && text[length] != '\0') ++length;
    std::memcpy(field, text, length);
  }
  field[length] = '\0';
}

// One named, typed parameter. The value lives elsewhere: the parameter only points to
// it. A module deletes the parameters it owns through the virtual destructor.
class kivParam {
 public:
  KIV_TRACKED_OPERATORS

  // A name longer than 63 characters is cut. `value` must stay valid for the life of
  // the parameter; `formatter` is needed only for PARAM_CUSTOM.
  kivParam(const char* paramName, PARAM_TYPE paramType, void* paramValue,
           kivParamFormatter paramFormatter = nullptr)
      : type(paramType), value(paramValue), formatter(paramFormatter) {
    kivText_Copy(name, sizeof name, paramName);
  }
  virtual ~kivParam() {}

  // Writes the text form of the current value into a KIV_VALUE_TEXT_SIZE-byte buffer;
  // codes without a text form give the empty text. A longer text is cut at 255
  // characters.
  void GetValueText(char* buffer) const {
    const size_t size = KIV_VALUE_TEXT_SIZE;
    buffer[0] = '\0';
    switch (type) {
      case PARAM_STRING:
        kivText_Copy(buffer, size, static_cast<const char*>(value));
        break;
      case PARAM_INT:
        std::snprintf(buffer, size, "%d", *static_cast<const int32_t*>(value));
        break;
      case PARAM_FLOAT:
        std::snprintf(buffer, size, "%.5f", static_cast<double>(*static_cast<const float*>(value)));
        break;
      case PARAM_BYTE4: {
        const uint32_t v = *static_cast<const uint32_t*>(value);
        std::snprintf(buffer, size, "%d %d %d %d", static_cast<int>(v >> 24), static_cast<int>((v >> 16) & 0xFF),
                      static_cast<int>((v >> 8) & 0xFF), static_cast<int>(v & 0xFF));
        break;
      }
      case PARAM_FLOAT2:
      case PARAM_FLOAT3:
      case PARAM_FLOAT4:
      case PARAM_FLOAT5:
        WriteList(buffer, size, type - PARAM_FLOAT2 + 2, true);
        break;
      case PARAM_INT2:
      case PARAM_INT3:
      case PARAM_INT4:
      case PARAM_INT5:
        WriteList(buffer, size, type - PARAM_INT2 + 2, false);
        break;
      case PARAM_CUSTOM:
        if (formatter != nullptr) {
          formatter(buffer, value, 2);
          buffer[size - 1] = '\0';
        }
        break;
      default:
        break;
    }
  }

  char name[64];
  PARAM_TYPE type;
  void* value;
  kivParamFormatter formatter;

 private:
  // n elements, two decimals for floats, separated by single blanks.
  void WriteList(char* buffer, size_t size, int n, bool floats) const {
    size_t used = 0;
    for (int i = 0; i < n && used < size; ++i) {
      int written = floats ? std::snprintf(buffer + used, size - used, "%.2f ",
                                           static_cast<double>(static_cast<const float*>(value)[i]))
                           : std::snprintf(buffer + used, size - used, "%d ", static_cast<const int32_t*>(value)[i]);
      if (written < 0) break;
      used += static_cast<size_t>(written);
    }
    if (used > 0 && used <= size) buffer[used - 1] = '\0';  // drop the trailing blank
  }
};

// A module: three texts, an ID, a chain link, a reference count and the parameters it
// owns.
//
// Virtual table, slot by slot (the destructor takes the first two entries):
//   ~kivModuleClass, AddParam, SortParams, SetModule, GetModule, AddRef, Release,
//   GetRefCount, GetParam(name), GetParam(index), PrintParams, Create, Setup, GetName,
//   GetNext, SetNext, PrintComments, Save, Backup, backup_file.
class kivModuleClass {
 public:
  KIV_TRACKED_OPERATORS

  kivModuleClass()
      : ID(1), name{}, moduleText{}, file{}, next(nullptr), params(nullptr), paramCount(0), flags(1), refCount(0) {}
  // Copies share the parameter array with their source; only one of them may be
  // destroyed.
  kivModuleClass(const kivModuleClass&) = default;
  kivModuleClass& operator=(const kivModuleClass&) = default;

  // Deletes every parameter, in array order, then gives the array back.
  virtual ~kivModuleClass() {
    for (int32_t i = 0; i < paramCount; ++i) {
      if (params[i] != nullptr) delete params[i];
    }
    if (params != nullptr) {
      kivMem_Free(params);
      params = nullptr;
    }
  }

  // Appends a parameter created with KIV_NEW. The module owns it from this call on,
  // whatever happens: when the array cannot grow, the failure is reported on the urgent
  // console, the parameter is deleted and the list stays as it was. A null parameter
  // (a creation that failed) is reported and nothing is added.
  virtual void AddParam(kivParam* param) {
    if (param == nullptr) {
      kivConsole_UrgentPrint("\nkivModuleClass::AddParam() FAILED: no parameter");
      return;
    }
    if (paramCount % 10 == 0) {
      const size_t bytes = static_cast<size_t>(paramCount + 10) * sizeof(kivParam*);
      kivParam** grown = static_cast<kivParam**>(kivMem_Alloc(bytes, __FILE__, __LINE__));
      if (grown == nullptr) {
        kivConsole_UrgentPrint("\nkivModuleClass::AddParam() FAILED: no room for parameter '%s'", param->name);
        delete param;
        return;
      }
      if (params != nullptr) {
        std::memcpy(grown, params, static_cast<size_t>(paramCount) * sizeof(kivParam*));
        kivMem_Free(params);
        params = nullptr;
      }
      params = grown;
    }
    params[paramCount++] = param;
  }

  // Ascending by name, case-insensitively; not stable.
  virtual void SortParams() {
    if (paramCount <= 0) return;
    std::sort(params, params + paramCount,
              [](const kivParam* a, const kivParam* b) { return kivName_Compare(a->name, b->name) < 0; });
  }

  // A text longer than 63 characters is cut.
  virtual void SetModule(const char* text) { kivText_Copy(moduleText, sizeof moduleText, text); }
  virtual const char* GetModule() { return moduleText; }
  virtual void AddRef() { ++refCount; }
  virtual void Release() { --refCount; }
  virtual int GetRefCount() { return refCount; }

  // The first parameter of that name (case-insensitive), or null.
  virtual kivParam* GetParam(const char* paramName) {
    if (paramName == nullptr) return nullptr;
    for (int32_t i = 0; i < paramCount; ++i) {
      if (kivName_Compare(params[i]->name, paramName) == 0) return params[i];
    }
    return nullptr;
  }
  virtual kivParam* GetParam(int index) { return (index >= 0 && index < paramCount) ? params[index] : nullptr; }

  // "\n%2d: %s = %s" per parameter, numbered from 1, in array order.
  virtual void PrintParams() {
    char text[KIV_VALUE_TEXT_SIZE];
    for (int32_t i = 0; i < paramCount; ++i) {
      params[i]->GetValueText(text);
      kivConsole_Print("\n%2d: %s = %s", i + 1, params[i]->name, text);
    }
  }

  // Sorts the parameters when bit 0 of the flags is set; always succeeds.
  virtual HRESULT Create() {
    if (flags & 1) SortParams();
    return S_OK;
  }

  // Texts longer than their fields (63, 255 and 63 characters) are cut. A next module
  // makes the ID its ID + 1.
  virtual void Setup(const char* moduleName, const char* fileName, const char* module, kivModuleClass* nextModule) {
    kivText_Copy(name, sizeof name, moduleName);
    kivText_Copy(file, sizeof file, fileName);
    kivText_Copy(moduleText, sizeof moduleText, module);
    next = nextModule;
    if (next != nullptr) ID = next->ID + 1;
  }

  virtual const char* GetName() { return name; }
  virtual kivModuleClass* GetNext() { return next; }
  virtual void SetNext(kivModuleClass* nextModule) { next = nextModule; }
  // A hook for derived classes; Save does not call it.
  virtual void PrintComments(FILE* /*stream*/) {}

  // Writes the settings file (`fileName`, or the module's own file when null). 1 when
  // the whole file is in place; 0 when it cannot be opened or any write, the flush or
  // the close fails, and then the previous file is left as it was.
  virtual int Save(const char* fileName) {
    kivFileOut* out = kivFileOut_Open(fileName != nullptr ? fileName : file);
    if (out == nullptr) return 0;
    int ok = kivFileOut_Printf(out, "// *** Module autosave ***") && kivFileOut_Printf(out, "\nmodule = %s", moduleText);
    char text[KIV_VALUE_TEXT_SIZE];
    for (int32_t i = 0; ok && i < paramCount; ++i) {
      params[i]->GetValueText(text);
      ok = text[0] != '\0' ? kivFileOut_Printf(out, "\n%s = %s", params[i]->name, text)
                           : kivFileOut_Printf(out, "\n//%s = ", params[i]->name);
    }
    if (!ok) {
      kivFileOut_Abort(out);
      return 0;
    }
    return kivFileOut_Close(out);
  }

  // Backs up the module's own settings file.
  virtual int Backup() { return backup_file(file); }

  // Copies the file to "<name>.<Y>y<MM>m<DD>d_<hh>_<mm>_<ss>" (local time), replacing a
  // backup of the same second. 0 when there is no such file, when the copy fails, or
  // when the backup name would not fit 255 characters (a cut name could hit another
  // file).
  virtual int backup_file(const char* fileName) {
    if (fileName == nullptr || !kivFile_Exists(fileName)) return 0;
    kivLocalTime now;
    kivFile_LocalTime(&now);
    char backup[256];
    const int length = std::snprintf(backup, sizeof backup, "%s.%dy%02dm%02dd_%02d_%02d_%02d", fileName, now.year,
                                     now.month, now.day, now.hour, now.minute, now.second);
    if (length < 0 || length >= static_cast<int>(sizeof backup)) return 0;
    return kivFile_Copy(fileName, backup);
  }

  DWORD ID;
  char name[64];
  char moduleText[64];
  char file[256];
  kivModuleClass* next;
  kivParam** params;
  int32_t paramCount;
  uint8_t flags;  // bit 0: Create sorts the parameters
  int32_t refCount;
};
