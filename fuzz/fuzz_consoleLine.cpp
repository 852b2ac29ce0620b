// towerhost's console on any lines: each input is a short session, one command a line,
// on a fresh scene of the built tower plug-in. Saves and loads stay inside a private
// folder (file names with a '/' are left out), and a session is kept small (spawns and
// frames capped) so that every run stays quick; everything else goes to the console as
// it is.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include "console.h"
#include "fuzzTower.h"
#include "scene.h"

namespace {

constexpr int kMaxLines = 64;
constexpr int kMaxSpawns = 4;
constexpr long kMaxFrames = 64;

// The line as the session runs it, or empty to leave it out. The first word and the one
// after it are read as the console reads them; save and load get the private folder.
std::string Admitted(const std::string& line, const std::string& dir, int& spawns, long& frames) {
  std::istringstream in(line);
  std::string command, argument, rest;
  in >> command >> argument;
  if (command == "save" || command == "load") {
    if (argument.empty()) return line;
    if (argument.find('/') != std::string::npos) return {};
    std::getline(in, rest);
    return command + " " + dir + "/" + argument + rest;
  }
  if (command == "spawn" && ++spawns > kMaxSpawns) return {};
  if (command == "step") {
    const long n = argument.empty() ? 1 : std::strtol(argument.c_str(), nullptr, 10);
    frames += n > 0 ? n : 0;
    if (frames > kMaxFrames) return {};
  }
  return line;
}

// The private folder of saves and loads, removed when the fuzzer ends. Never destroyed:
// the exit handler still needs its name.
const std::string& SessionDir() {
  static const std::string* dir = [] {
    const std::filesystem::path d = std::filesystem::temp_directory_path() /
                                    ("acttower-fuzz-console-" + std::to_string(::getpid()));
    std::filesystem::create_directories(d);
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(SessionDir(), ignored);
    });
    return new std::string(d.string());
  }();
  return *dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static kivActTowerClass* towerClass = fuzz::TowerClass();
  // Holds a class reference, so the class-wide models stay loaded between sessions.
  static kivObj* keeper = towerClass->CreateObj();
  (void)keeper;
  const std::string& dir = SessionDir();

  kivConsole_SetVar("LOD_range", "40");  // the one state a session leaves behind
  towerhost::Scene scene(towerClass, 2, 16);
  towerhost::Console console(scene, towerClass);
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  std::string line;
  int lines = 0, spawns = 0;
  long frames = 0;
  while (lines++ < kMaxLines && std::getline(in, line)) {
    const std::string admitted = Admitted(line, dir, spawns, frames);
    if (admitted.empty()) continue;
    if (!console.Execute(admitted)) break;
  }
  return 0;
}
