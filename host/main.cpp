// towerhost: an engine host for the tower plug-in.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>

#include "actActor.h"
#include "console.h"
#include "options.h"
#include "plugin.h"
#include "rxKernel.h"
#include "rxMemLeak.h"
#include "saveFile.h"
#include "scene.h"
#include "towerPictures.h"

namespace towerhost {
namespace {

int Fail(const std::string& message) {
  std::fflush(stdout);
  std::fprintf(stderr, "towerhost: %s\n", message.c_str());
  return 1;
}

// Kernel messages begin with their line break; the host's own lines end with one. The sink
// puts each kernel message on a line of its own so both read together.
void ConsoleSink(void* /*context*/, int urgent, const char* text) {
  FILE* stream = urgent ? stderr : stdout;
  if (*text == '\n') ++text;
  if (*text == '\0') return;
  if (urgent) std::fflush(stdout);
  std::fputs(text, stream);
  if (text[std::strlen(text) - 1] != '\n') std::fputc('\n', stream);
}

void PrintPart(int first, const char* name, int second, int third, void* /*user*/) {
  std::printf("  part %d: %s (%d, %d)\n", first, name, second, third);
}

void PrintSound(const char* name, void* /*user*/) { std::printf("  sound: %s\n", name); }

// The frames at which the default scene prints its table.
std::set<int> TableFrames(int frames) { return {0, frames / 4, frames / 2, 3 * frames / 4, frames - 1}; }

// Saves the scene, replaces every tower by a new one loaded from the file and checks that
// the new towers save exactly the same state.
bool SaveLoadCheck(Scene& scene, const std::string& path, std::string& error) {
  const auto before = scene.SaveBlocks();
  if (!SaveScene(scene, path, error)) return false;
  std::printf("\nsaved %zu towers to %s\n", before.size(), path.c_str());
  std::fflush(stdout);
  if (!LoadScene(scene, path, error)) return false;
  const auto after = scene.SaveBlocks();
  if (after != before) {
    error = "the reloaded towers differ from the saved ones";
    return false;
  }
  std::printf("\nreloaded %zu new towers from %s: state identical (%zu bytes each)\n",
              after.size(), path.c_str(), after.empty() ? size_t{0} : after.front().size());
  return true;
}

// --- Pictures of the frames (--png) -------------------------------------------------------
// Null without --png. When no picture can be made the reason is printed and the run goes on
// without pictures; *failed tells the caller to end with a failure status.
std::unique_ptr<towerrender::FramePictures> StartPictures(const HostOptions& options, bool* failed) {
  if (options.png.empty()) return nullptr;
  std::string error;
  auto pictures = towerrender::FramePictures::Create(
      {options.png, options.pngEvery, options.pngWidth, options.pngHeight}, towerrender::ModelLibraryMeshes(), &error);
  if (!pictures) {
    *failed = true;
    Fail("--png: no pictures, the scene runs without them: " + error);
    return nullptr;
  }
  std::printf("towerhost: a %dx%d picture every %d frames into %s (%s)\n", options.pngWidth, options.pngHeight,
              options.pngEvery, options.png.c_str(), pictures->renderer().description().c_str());
  return pictures;
}

void PictureFrame(towerrender::FramePictures& pictures, const FrameView& view) {
  towerrender::Camera camera;
  const MXVECTOR3* from[3] = {&view.camera.eye, &view.camera.target, &view.camera.up};
  float* to[3] = {camera.eye, camera.target, camera.up};
  for (int i = 0; i < 3; ++i) {
    to[i][0] = from[i]->x;
    to[i][1] = from[i]->y;
    to[i][2] = from[i]->z;
  }
  pictures.Frame(view.frame, {view.draws, view.drawCount}, camera);
}

// Writes the contact sheet and says where the pictures are. False when any went missing.
bool FinishPictures(towerrender::FramePictures& pictures) {
  const bool sheet = pictures.Finish();
  const auto& files = pictures.written();
  if (!files.empty()) {
    const std::filesystem::path first = files.front(), last = files.back();
    std::printf("\npictures: %zu frames written to %s (%s to %s)", files.size(), first.parent_path().c_str(),
                first.filename().c_str(), last.filename().c_str());
    if (sheet) std::printf(", contact sheet %s", pictures.sheet().c_str());
    std::printf("\n");
  }
  if (!pictures.failed()) return true;
  Fail("--png: " + pictures.error());
  return false;
}

int RunScene(Scene& scene, const HostOptions& options, const std::filesystem::path& out) {
  for (int i = 0; i < options.towers; ++i)
    if (scene.SpawnInRow() < 0) return Fail("the tower class could not create tower " + std::to_string(i));
  std::fflush(stdout);
  const std::set<int> tableFrames = TableFrames(options.frames);
  for (int f = 0; f < options.frames; ++f) {
    scene.Step();
    if (tableFrames.count(f)) {
      const FrameCamera c = CameraOnPath(options.towers, f, options.frames);
      std::printf("\nframe %d, camera at (%.1f %.1f %.1f)\n", f, static_cast<double>(c.eye.x),
                  static_cast<double>(c.eye.y), static_cast<double>(c.eye.z));
      std::fputs(scene.Table().c_str(), stdout);
    }
  }
  std::printf("\n");
  for (const Tower& t : scene.Towers()) {
    std::printf("tower %d was drawn at levels", t.id);
    for (int level = 0; level < 3; ++level)
      if (t.levelsSeen & (1u << level)) std::printf(" %d", level);
    std::printf("\n");
  }
  std::fflush(stdout);
  std::string error;
  if (!SaveLoadCheck(scene, (out / "towers.sav").string(), error)) return Fail(error);
  return 0;
}

int Run(const HostOptions& options) {
  std::error_code ec;
  const std::filesystem::path out = options.out;
  std::filesystem::create_directories(out, ec);
  if (ec) return Fail("cannot create the output folder " + options.out + ": " + ec.message());

  const std::string pluginPath = options.plugin.empty() ? DefaultPluginPath() : options.plugin;
  const std::string modelDir = options.models.empty() ? DefaultModelDir() : options.models;
  if (!std::filesystem::is_directory(modelDir, ec)) return Fail("no model folder " + modelDir);

  kivConsole_SetSink(ConsoleSink, nullptr);
  PluginModule plugin;
  std::string error;
  if (!plugin.Open(pluginPath, error)) return Fail(error);
  std::printf("towerhost: plug-in %s\n", pluginPath.c_str());

  // The run's settings, kept as the class's parameters so the settings file records them.
  // They must outlive the class object, which points at them.
  int32_t towers = options.towers, frames = options.frames;
  char outText[256], modelText[256], pluginText[256];
  kivText_Copy(outText, sizeof outText, options.out.c_str());
  kivText_Copy(modelText, sizeof modelText, modelDir.c_str());
  kivText_Copy(pluginText, sizeof pluginText, pluginPath.c_str());

  int status = 0;
  kivActorClass* towerClass = plugin.CreateObjClass();
  if (!towerClass) return Fail("CreateObjClass of " + pluginPath + " returned no class object");
  towerClass->AddParam(KIV_NEW kivParam("towers", PARAM_INT, &towers));
  towerClass->AddParam(KIV_NEW kivParam("frames", PARAM_INT, &frames));
  towerClass->AddParam(KIV_NEW kivParam("out", PARAM_STRING, outText));
  towerClass->AddParam(KIV_NEW kivParam("models", PARAM_STRING, modelText));
  towerClass->AddParam(KIV_NEW kivParam("plugin", PARAM_STRING, pluginText));
  // AddParam drops a parameter it has no room for; a settings file without it would
  // not record the run.
  for (const char* name : {"towers", "frames", "out", "models", "plugin"}) {
    if (towerClass->GetParam(name) == nullptr) {
      delete towerClass;
      return Fail(std::string("cannot add the parameter '") + name + "' to the tower class");
    }
  }

  const std::string settings = (out / "acttower.settings").string();
  towerClass->Setup("acttower", settings.c_str(), "actTower tower actor", nullptr);
  kivActorLib_SetModelDir(modelDir.c_str());
  std::printf("towerhost: models %s\n", modelDir.c_str());
  std::fflush(stdout);
  if (towerClass->Create() < 0) {
    delete towerClass;
    return Fail("Create failed: no \"tower\" model in " + modelDir);
  }
  std::printf("towerhost: class '%s' answers to \"acttower\": %d\n", towerClass->GetName(),
              towerClass->Identify("acttower"));
  towerClass->EnumParts(PrintPart, nullptr);
  towerClass->EnumSounds(PrintSound, nullptr);

  {
    Scene scene(towerClass, options.towers, options.frames);
    bool picturesFailed = false;
    auto pictures = StartPictures(options, &picturesFailed);
    if (pictures) scene.SetObserver([&pictures](const FrameView& view) { PictureFrame(*pictures, view); });
    if (options.console || !options.script.empty()) {
      for (int i = 0; i < options.towers && status == 0; ++i)
        if (scene.SpawnInRow() < 0) status = Fail("the tower class could not create tower " + std::to_string(i));
      Console console(scene, towerClass);
      if (status == 0 && options.console) {
        console.Run(std::cin, false);
      } else if (status == 0) {
        std::ifstream script(options.script);
        if (!script) {
          status = Fail("cannot read the script " + options.script);
        } else {
          console.Run(script, true);
        }
      }
    } else {
      status = RunScene(scene, options, out);
    }
    if (pictures && !FinishPictures(*pictures)) picturesFailed = true;
    if (picturesFailed && status == 0) status = 1;
  }

  if (status == 0) {
    const int saved = towerClass->Save(nullptr);
    const int backedUp = towerClass->Backup();
    if (!saved) status = Fail("cannot write the settings file " + settings);
    else if (!backedUp) status = Fail("cannot back up the settings file " + settings);
    else std::printf("\nsettings written to %s, with a time-stamped backup beside it\n", settings.c_str());
    std::printf("\nparameters of '%s':\n", towerClass->GetName());
    towerClass->PrintParams();
  }
  std::fflush(stdout);
  delete towerClass;
  plugin.Close();
  kivMemLeak_Report();
  kivMemLeakStats stats{};
  kivMemLeak_GetStats(&stats);
  if (stats.live != 0 && status == 0) status = Fail(std::to_string(stats.live) + " blocks leaked");
  return status;
}

}  // namespace
}  // namespace towerhost

int main(int argc, char** argv) {
  towerhost::HostOptions options;
  std::string error;
  if (!towerhost::ParseOptions(argc, argv, options, error)) {
    std::fprintf(stderr, "towerhost: %s\n", error.c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(towerhost::UsageText("towerhost").c_str(), stdout);
    return 0;
  }
  return towerhost::Run(options);
}
