// Stand-ins for plug-ins a host must refuse. One source, built several times:
//   FAKE_SDK_VERSION_SHIFT  describes another SDK version
//   FAKE_TOWER_SIZE_SHIFT   describes a kivActTower of another size
//   FAKE_NO_FACTORY         matches the SDK but exports no CreateObjClass
// A refused module must never have its factory called, so the factory aborts.
#include <cstdlib>

#include "actTower.h"

#ifndef FAKE_SDK_VERSION_SHIFT
#define FAKE_SDK_VERSION_SHIFT 0
#endif
#ifndef FAKE_TOWER_SIZE_SHIFT
#define FAKE_TOWER_SIZE_SHIFT 0
#endif

namespace {

kivSdkInfo Described() {
  kivSdkInfo info = kivSdkInfo_Current();
  info.version += FAKE_SDK_VERSION_SHIFT;
  info.sizeActTower += FAKE_TOWER_SIZE_SHIFT;
  return info;
}

const kivSdkInfo g_info = Described();

}  // namespace

extern "C" const kivSdkInfo* GetSdkInfo(void) { return &g_info; }

#ifndef FAKE_NO_FACTORY
extern "C" kivActorClass* CreateObjClass(void) { std::abort(); }
#endif
