#include "plugin.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "actTower.h"

namespace towerhost {
namespace {

std::string Describe(const char* what, uint32_t module, uint32_t host) {
  return std::string(what) + " is " + std::to_string(module) + " in the module, " +
         std::to_string(host) + " in this host";
}

// An empty result means the module matches.
std::string CompareSdk(const kivSdkInfo& got, const kivSdkInfo& want) {
  if (got.magic != want.magic) return "its SDK description is not one (wrong magic word)";
  if (got.version != want.version) return Describe("the SDK version", got.version, want.version);
  const struct {
    const char* name;
    uint32_t kivSdkInfo::*field;
  } fields[] = {
      {"the pointer size", &kivSdkInfo::pointerSize},
      {"sizeof(kivModuleClass)", &kivSdkInfo::sizeModuleClass},
      {"sizeof(kivObjClass)", &kivSdkInfo::sizeObjClass},
      {"sizeof(kivObj)", &kivSdkInfo::sizeObj},
      {"sizeof(kivActorClass)", &kivSdkInfo::sizeActorClass},
      {"sizeof(kivActor)", &kivSdkInfo::sizeActor},
      {"sizeof(kivActTowerClass)", &kivSdkInfo::sizeActTowerClass},
      {"sizeof(kivActTower)", &kivSdkInfo::sizeActTower},
  };
  for (const auto& f : fields)
    if (got.*f.field != want.*f.field) return Describe(f.name, got.*f.field, want.*f.field);
  return {};
}

bool IsFile(const std::filesystem::path& p) {
  std::error_code ec;
  return std::filesystem::is_regular_file(p, ec);
}

bool IsDir(const std::filesystem::path& p) {
  std::error_code ec;
  return std::filesystem::is_directory(p, ec);
}

}  // namespace

bool PluginModule::Open(const std::string& path, std::string& error) {
  Close();
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    const char* why = dlerror();
    error = "cannot load the plug-in " + path + ": " + (why ? why : "unknown error");
    return false;
  }
  auto info = reinterpret_cast<kivGetSdkInfoFn>(dlsym(handle_, "GetSdkInfo"));
  if (!info) {
    error = "the plug-in " + path + " has no SDK description (GetSdkInfo); refusing it";
    Close();
    return false;
  }
  const kivSdkInfo* got = info();
  const std::string mismatch = got ? CompareSdk(*got, kivSdkInfo_Current()) : "its SDK description is null";
  if (!mismatch.empty()) {
    error = "the plug-in " + path + " was built against another SDK layout: " + mismatch +
            "; refusing it";
    Close();
    return false;
  }
  factory_ = reinterpret_cast<kivActorClass* (*)()>(dlsym(handle_, "CreateObjClass"));
  if (!factory_) {
    error = "the plug-in " + path + " exports no CreateObjClass";
    Close();
    return false;
  }
  return true;
}

kivActorClass* PluginModule::CreateObjClass() const { return factory_ ? factory_() : nullptr; }

void PluginModule::Close() {
  if (handle_) dlclose(handle_);
  handle_ = nullptr;
  factory_ = nullptr;
}

std::string ProgramDir() {
  char buffer[4096];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return ".";
  buffer[n] = '\0';
  return std::filesystem::path(buffer).parent_path().string();
}

std::string DefaultPluginPath() {
  const std::filesystem::path dir = ProgramDir();
  for (const char* rel : {"../" TOWERHOST_LIBDIR "/actTower.so", "../lib/actTower.so"}) {
    const auto p = (dir / rel).lexically_normal();
    if (IsFile(p)) return p.string();
  }
  return (dir / "../lib/actTower.so").lexically_normal().string();
}

std::string DefaultModelDir() {
  const auto installed = (std::filesystem::path(ProgramDir()) / "../" TOWERHOST_DATADIR).lexically_normal();
  if (IsDir(installed)) return installed.string();
  return TOWERHOST_SOURCE_DATADIR;
}

}  // namespace towerhost
