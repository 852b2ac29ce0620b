// Uses the installed headers and libraries the way an engine module would.
#include <cstdio>
#include <cstring>
#include <string>

#include "actActor.h"
#include "kivQObjClass.h"
#include "rxKernel.h"
#include "rxMemLeak.h"
#include "rxModel.h"
#include "rxsh.h"

namespace {

std::string console;
void Capture(void*, int, const char* text) { console += text; }

int failures = 0;
void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "client check failed: %s\n", what);
    ++failures;
  }
}

}  // namespace

int main() {
  kivConsole_SetSink(&Capture, nullptr);

  kivVariable* range = kivConsole_GetVar("LOD_range", PARAM_FLOAT, "40.0f", nullptr);
  Check(range != nullptr && range->value == 40.0f, "console variable");

  int32_t count = 12;
  kivObjClass* cls = KIV_NEW kivObjClass;
  Check(cls != nullptr, "class object");
  if (cls != nullptr) {
    cls->Setup("client", "", "", nullptr);
    cls->AddParam(KIV_NEW kivParam("count", PARAM_INT, &count));
    cls->Create();
    cls->PrintParams();
    kivObj* object = cls->CreateObj();
    Check(object != nullptr && std::strcmp(object->GetName(), "client") == 0, "object");
    delete object;
    delete cls;
  }
  Check(console == "\n 1: count = 12\n  Creating object: 'client'", "console output");

  kivMemLeakStats stats;
  kivMemLeak_GetStats(&stats);
  Check(stats.live == 0 && stats.allocs == 4 && stats.frees == 4, "tracker");

  // The actor, model and shader libraries, with an installed model.
  {
    kivActorClass actorClass;
    kivObj* actor = actorClass.CreateObj();
    Check(actor != nullptr && actor->GetDataSize() == kivActor_DataSize, "actor");
    delete actor;
    float moved[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 3, 0, 0, 1};
    Check(kivQShader_PushMatrix(moved) == S_OK && kivQShader_GetTopMatrix()[12] == 3.0f &&
              kivQShader_PopMatrix() == S_OK,
          "matrix stack");
    void* model = nullptr;
    int tag = -1;
    Check(kivQModel_LoadModel(ACTTOWER_MODELS "/tower.gltf", &model) == S_OK &&
              kivQModel_FindTag(model, "tag_rotor", &tag) == S_OK,
          "installed model");
    kivQModel_DestroyModel(&model);
  }

  kivConsole_SetSink(nullptr, nullptr);
  std::printf("client: %s\n", failures == 0 ? "ok" : "FAILED");
  return failures == 0 ? 0 : 1;
}
