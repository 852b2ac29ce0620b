// Loading the tower plug-in module: dlopen, the SDK check, CreateObjClass.
#pragma once

#include <string>

class kivActorClass;

namespace towerhost {

class PluginModule {
 public:
  PluginModule() = default;
  ~PluginModule() { Close(); }
  PluginModule(const PluginModule&) = delete;
  PluginModule& operator=(const PluginModule&) = delete;

  // Opens the module, checks its SDK description against this host's and finds
  // CreateObjClass. False with a one-line reason when the module cannot be used; the
  // module is then closed again.
  bool Open(const std::string& path, std::string& error);
  // A new class object, or null when the factory fails.
  kivActorClass* CreateObjClass() const;
  // Unloads the module; its classes must all be deleted first.
  void Close();

 private:
  void* handle_ = nullptr;
  kivActorClass* (*factory_)() = nullptr;
};

// The directory of the running program, or "." when it cannot be found.
std::string ProgramDir();
// The default module and model folder: the installed layout beside the program first
// (../lib/actTower.so, ../share/actTower/models), then the build tree's.
std::string DefaultPluginPath();
std::string DefaultModelDir();

}  // namespace towerhost
