#include "console.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "actActor.h"
#include "options.h"
#include "rxKernel.h"
#include "saveFile.h"
#include "scene.h"

namespace towerhost {
namespace {

std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream in(line);
  std::string word;
  while (in >> word) words.push_back(word);
  return words;
}

bool ParseFloat(const std::string& text, float& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  const float v = std::strtof(text.c_str(), &end);
  if (*end != '\0' || !std::isfinite(v)) return false;
  value = v;
  return true;
}

constexpr const char* kHelp =
    "commands:\n"
    "  NAME                     show a console variable (e.g. LOD_range)\n"
    "  NAME VALUE               set a console variable (also: set NAME VALUE)\n"
    "  vars                     list the console variables\n"
    "  spawn [X Y Z]            create a tower\n"
    "  remove ID                delete a tower\n"
    "  step [N]                 run N frames (default 1)\n"
    "  show                     frame, camera and tower table\n"
    "  save FILE                write the towers' state\n"
    "  load FILE                replace the towers by those of a save file\n"
    "  params                   the tower class's parameters\n"
    "  quit                     end the session\n";

}  // namespace

bool SaveScene(const Scene& scene, const std::string& path, std::string& error) {
  SaveFile save;
  save.blocks = scene.SaveBlocks();
  return WriteFileBytes(path, EncodeSaveFile(save), error);
}

bool LoadScene(Scene& scene, const std::string& path, std::string& error) {
  std::vector<uint8_t> bytes;
  if (!ReadFileBytes(path, bytes, error)) return false;
  const uint32_t blockSize = scene.BlockSize();
  if (blockSize == 0) {
    error = "the tower class could not create a tower";
    return false;
  }
  SaveFile save;
  if (!DecodeSaveFile(bytes, blockSize, save, error)) {
    error = path + ": " + error;
    return false;
  }
  return scene.ReplaceFromBlocks(save.blocks, error);
}

Console::Console(Scene& scene, kivActorClass* towerClass) : scene_(scene), class_(towerClass) {}

bool Console::Fail(const std::string& message) {
  ++errors_;
  std::printf("error: %s\n", message.c_str());
  return true;
}

void Console::Run(std::istream& in, bool echo) {
  std::string line;
  while (true) {
    std::fflush(stdout);
    if (!std::getline(in, line)) break;
    if (echo) std::printf("> %s\n", line.c_str());
    if (!Execute(line)) break;
  }
  std::fflush(stdout);
}

bool Console::Execute(const std::string& line) {
  const std::vector<std::string> words = Split(line);
  if (words.empty() || words[0][0] == '#') return true;
  const std::string& command = words[0];
  if (command == "quit" || command == "exit") {
    if (words.size() != 1) return Fail(command + " takes no argument");
    return false;
  }
  if (command == "help") {
    std::fputs(kHelp, stdout);
    return true;
  }
  if (command == "vars") {
    if (words.size() != 1) return Fail("vars takes no argument");
    kivConsole_ListVars();
    return true;
  }
  if (command == "set") {
    if (words.size() != 3) return Fail("usage: set NAME VALUE");
    return Variable({words[1], words[2]});
  }
  if (command == "spawn") return Spawn(words);
  if (command == "remove") return Remove(words);
  if (command == "step") return Step(words);
  if (command == "show") {
    if (words.size() != 1) return Fail("show takes no argument");
    Show();
    return true;
  }
  if (command == "save") return Save(words);
  if (command == "load") return Load(words);
  if (command == "params") {
    if (words.size() != 1) return Fail("params takes no argument");
    class_->PrintParams();
    return true;
  }
  if (kivConsole_FindVar(command.c_str()) != nullptr) return Variable(words);
  return Fail("unknown command '" + command + "' (try 'help')");
}

bool Console::Variable(const std::vector<std::string>& words) {
  const std::string& name = words[0];
  kivVariable* var = kivConsole_FindVar(name.c_str());
  if (var == nullptr) return Fail("no console variable '" + name + "'");
  if (words.size() > 2) return Fail("usage: " + name + " [VALUE]");
  if (words.size() == 2) {
    // Checked here first so a bad value is one clear message and no change.
    if (!kivConsole_ParseValue(static_cast<PARAM_TYPE>(var->type), words[1].c_str(), nullptr))
      return Fail("'" + words[1] + "' is not a value for " + name);
    std::fflush(stdout);
    if (!kivConsole_SetVar(name.c_str(), words[1].c_str()))
      return Fail(name + " refused '" + words[1] + "'");
  }
  char text[256];
  kivConsole_GetVarText(name.c_str(), text, sizeof text);
  std::printf("%s = %s\n", name.c_str(), text);
  return true;
}

bool Console::Spawn(const std::vector<std::string>& words) {
  int id = -1;
  if (words.size() == 1) {
    id = scene_.SpawnInRow();
  } else if (words.size() == 4) {
    MXVECTOR3 p{};
    if (!ParseFloat(words[1], p.x) || !ParseFloat(words[2], p.y) || !ParseFloat(words[3], p.z))
      return Fail("spawn needs three numbers X Y Z");
    id = scene_.Spawn(p);
  } else {
    return Fail("usage: spawn [X Y Z]");
  }
  if (id < 0) return Fail("the tower class could not create a tower");
  const Tower& t = scene_.Towers().back();
  std::printf("spawned tower %d at (%.2f %.2f %.2f)\n", id, static_cast<double>(t.position.x),
              static_cast<double>(t.position.y), static_cast<double>(t.position.z));
  return true;
}

bool Console::Remove(const std::vector<std::string>& words) {
  long long id = 0;
  if (words.size() != 2 || !ParseInt(words[1], 0, INT32_MAX, id)) return Fail("usage: remove ID");
  if (!scene_.Remove(static_cast<int>(id))) return Fail("no tower " + words[1]);
  std::printf("removed tower %lld\n", id);
  return true;
}

bool Console::Step(const std::vector<std::string>& words) {
  long long frames = 1;
  if (words.size() > 2 || (words.size() == 2 && !ParseInt(words[1], 1, 1000000, frames)))
    return Fail("usage: step [N], N from 1 to 1000000");
  for (long long i = 0; i < frames; ++i) scene_.Step();
  std::printf("frame %d\n", scene_.Frame());
  return true;
}

bool Console::Save(const std::vector<std::string>& words) {
  if (words.size() != 2) return Fail("usage: save FILE");
  std::string error;
  if (!SaveScene(scene_, words[1], error)) return Fail(error);
  std::printf("saved %zu towers to %s\n", scene_.Towers().size(), words[1].c_str());
  return true;
}

bool Console::Load(const std::vector<std::string>& words) {
  if (words.size() != 2) return Fail("usage: load FILE");
  std::string error;
  std::fflush(stdout);
  if (!LoadScene(scene_, words[1], error)) return Fail("save file refused: " + error);
  std::printf("loaded %zu towers from %s\n", scene_.Towers().size(), words[1].c_str());
  return true;
}

void Console::Show() {
  const FrameCamera c = scene_.Camera();
  std::printf("frame %d, camera at (%.2f %.2f %.2f), %zu towers\n", scene_.Frame(),
              static_cast<double>(c.eye.x), static_cast<double>(c.eye.y), static_cast<double>(c.eye.z),
              scene_.Towers().size());
  std::fputs(scene_.Table().c_str(), stdout);
}

}  // namespace towerhost
