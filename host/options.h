// towerhost's command line. Every option is parsed here, from one table in options.cpp.
#pragma once

#include <string>

namespace towerhost {

struct HostOptions {
  int towers = 4;          // --towers N: towers of the default scene (and the console's start)
  int frames = 240;        // --frames N: frames of the default scene
  std::string out = "towerhost-out";  // --out DIR: settings, backup and save files
  std::string plugin;      // --plugin PATH: empty means the module beside the program
  std::string models;      // --models DIR: empty means the shipped models
  bool console = false;    // --console: commands from standard input
  std::string script;      // --script FILE: commands from a file
  bool help = false;       // --help
  // Pictures of the frames (host/render): --png DIR, --png-every N, --size WxH.
  std::string png;
  int pngEvery = 30;
  int pngWidth = 640;
  int pngHeight = 360;
};

// Fills `options` from argv. Returns false with a one-line reason in `error` for an unknown
// option, a missing or malformed value, or a value out of range.
bool ParseOptions(int argc, const char* const* argv, HostOptions& options, std::string& error);

// The --help text.
std::string UsageText(const char* program);

// Strict decimal integer in [min, max]: no sign games, no trailing text.
bool ParseInt(const std::string& text, long long min, long long max, long long& value);

}  // namespace towerhost
