// towerhost's console: one command per line, from standard input or a script.
//
//   help                     the command list
//   NAME                     show a console variable, e.g. LOD_range
//   NAME VALUE | set NAME VALUE   set a console variable, e.g. LOD_range 20
//   vars                     list the console variables
//   spawn [X Y Z]            create a tower (default: the next place of the row)
//   remove ID                delete a tower
//   step [N]                 run N frames (default 1)
//   show                     the frame, the camera and the tower table
//   save FILE | load FILE    write or read a save file
//   params                   the tower class's parameter listing
//   quit | exit              end the session
//
// A line that is empty or starts with '#' is skipped. An unknown command or a bad argument
// gets a message starting with "error:" and changes nothing.
#pragma once

#include <istream>
#include <string>
#include <vector>

class kivActorClass;

namespace towerhost {

class Scene;

class Console {
 public:
  Console(Scene& scene, kivActorClass* towerClass);

  // Runs one line. Returns false when the line ends the session.
  bool Execute(const std::string& line);
  // Runs lines until quit or the end of the input; with `echo`, each line is shown after
  // a "> " prompt first, so a scripted session reads like a typed one.
  void Run(std::istream& in, bool echo);

  int Errors() const { return errors_; }

 private:
  bool Fail(const std::string& message);
  bool Variable(const std::vector<std::string>& words);
  bool Spawn(const std::vector<std::string>& words);
  bool Remove(const std::vector<std::string>& words);
  bool Step(const std::vector<std::string>& words);
  bool Save(const std::vector<std::string>& words);
  bool Load(const std::vector<std::string>& words);
  void Show();

  Scene& scene_;
  kivActorClass* class_;
  int errors_ = 0;
};

// Writes the scene's towers to a save file. False with a reason on failure.
bool SaveScene(const Scene& scene, const std::string& path, std::string& error);
// Reads and checks a save file completely, then replaces the scene's towers by the
// loaded ones. A refused file leaves every tower as it was.
bool LoadScene(Scene& scene, const std::string& path, std::string& error);

}  // namespace towerhost
