// Usage: acttower-demo <output folder>
#include <cstdio>
#include <string>

#include "kivQObjClass.h"
#include "rxKernel.h"
#include "rxMemLeak.h"

namespace {

// Module settings the demo exposes; parameters point at them.
struct Settings {
  char title[64] = "demo tower";
  int32_t count = -7;
  float range = 40.0f;
  uint32_t color = 0xFF800000u;
  float offset[2] = {-0.5f, 2.0f};
  float position[3] = {1.0f, 2.5f, -3.0f};
  float plane[4] = {0.0f, 1.0f, 0.0f, -10.0f};
  float curve[5] = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f};
  int32_t size[2] = {640, 480};
  int32_t cell[3] = {1, 2, 3};
  int32_t rect[4] = {0, 0, 320, 200};
  int32_t levels[5] = {1, 2, 4, 8, 16};
  unsigned char blob[16] = {};
  int32_t mode = 2;
  char note[1] = "";
};

void WriteMode(char* buffer, void* value, int /*mode*/) {
  static const char* const names[] = {"off", "low", "high"};
  const int32_t mode = *static_cast<const int32_t*>(value);
  std::snprintf(buffer, KIV_VALUE_TEXT_SIZE, "%s", mode >= 0 && mode <= 2 ? names[mode] : "?");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
    return 2;
  }
  const std::string folder = argv[1];
  const std::string settingsFile = folder + "/demo.cfg";
  Settings settings;
  int status = 0;

  kivObjClass* module = KIV_NEW kivObjClass;
  if (module == nullptr) return 1;
  module->Setup("demo", settingsFile.c_str(), "acttower-demo", nullptr);
  module->AddParam(KIV_NEW kivParam("title", PARAM_STRING, settings.title));
  module->AddParam(KIV_NEW kivParam("count", PARAM_INT, &settings.count));
  module->AddParam(KIV_NEW kivParam("range", PARAM_FLOAT, &settings.range));
  module->AddParam(KIV_NEW kivParam("color", PARAM_BYTE4, &settings.color));
  module->AddParam(KIV_NEW kivParam("offset", PARAM_FLOAT2, settings.offset));
  module->AddParam(KIV_NEW kivParam("position", PARAM_FLOAT3, settings.position));
  module->AddParam(KIV_NEW kivParam("plane", PARAM_FLOAT4, settings.plane));
  module->AddParam(KIV_NEW kivParam("curve", PARAM_FLOAT5, settings.curve));
  module->AddParam(KIV_NEW kivParam("size", PARAM_INT2, settings.size));
  module->AddParam(KIV_NEW kivParam("cell", PARAM_INT3, settings.cell));
  module->AddParam(KIV_NEW kivParam("rect", PARAM_INT4, settings.rect));
  module->AddParam(KIV_NEW kivParam("levels", PARAM_INT5, settings.levels));
  module->AddParam(KIV_NEW kivParam("blob", PARAM_OPAQUE, settings.blob));
  module->AddParam(KIV_NEW kivParam("Mode", PARAM_CUSTOM, &settings.mode, &WriteMode));
  module->AddParam(KIV_NEW kivParam("_note", PARAM_STRING, settings.note));

  module->Create();
  kivConsole_Print("\nModule '%s' (%s), %d parameters:", module->GetName(), module->GetModule(), module->paramCount);
  module->PrintParams();

  kivObj* object = module->CreateObj();
  if (object != nullptr) kivConsole_Print("\nObject of class '%s' created", object->GetName());
  delete object;

  if (module->Save(nullptr)) {
    kivConsole_Print("\nSettings written to %s", settingsFile.c_str());
  } else {
    kivConsole_UrgentPrint("\nCould not write %s", settingsFile.c_str());
    status = 1;
  }
  if (module->Backup()) {
    kivConsole_Print("\nBackup of %s made", settingsFile.c_str());
  } else {
    kivConsole_UrgentPrint("\nCould not back up %s", settingsFile.c_str());
    status = 1;
  }

  delete module;
  kivMemLeak_Report();
  kivConsole_Print("\n");
  return status;
}
