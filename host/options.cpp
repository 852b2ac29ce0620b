#include "options.h"

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <string_view>
#include <vector>

#include "towerPictures.h"

namespace towerhost {
namespace {

struct OptionRow {
  std::string_view name;
  std::string_view valueName;  // empty: a flag without a value
  std::string_view help;
  std::function<bool(HostOptions&, const std::string&, std::string&)> apply;
};

bool IntInto(int& field, long long min, long long max, std::string_view name,
             const std::string& text, std::string& error) {
  long long value = 0;
  if (!ParseInt(text, min, max, value)) {
    error = std::string(name) + " needs a whole number from " + std::to_string(min) + " to " +
            std::to_string(max) + ", not '" + text + "'";
    return false;
  }
  field = static_cast<int>(value);
  return true;
}

bool NonEmpty(std::string& field, std::string_view name, const std::string& text,
              std::string& error) {
  if (text.empty()) {
    error = std::string(name) + " needs a non-empty value";
    return false;
  }
  field = text;
  return true;
}

const std::vector<OptionRow>& Table() {
  static const std::vector<OptionRow> table = {
      {"--towers", "N", "towers in the scene (default 4)",
       [](HostOptions& o, const std::string& v, std::string& e) {
         return IntInto(o.towers, 1, 100000, "--towers", v, e);
       }},
      {"--frames", "N", "frames of the default scene (default 240)",
       [](HostOptions& o, const std::string& v, std::string& e) {
         return IntInto(o.frames, 1, 10000000, "--frames", v, e);
       }},
      {"--out", "DIR", "folder for the settings, backup and save files (default towerhost-out)",
       [](HostOptions& o, const std::string& v, std::string& e) {
         return NonEmpty(o.out, "--out", v, e);
       }},
      {"--plugin", "PATH", "the tower plug-in module (default: the one installed beside towerhost)",
       [](HostOptions& o, const std::string& v, std::string& e) {
         return NonEmpty(o.plugin, "--plugin", v, e);
       }},
      {"--models", "DIR", "the model folder (default: the shipped models)",
       [](HostOptions& o, const std::string& v, std::string& e) {
         return NonEmpty(o.models, "--models", v, e);
       }},
      {"--console", "", "read console commands from standard input",
       [](HostOptions& o, const std::string&, std::string&) {
         o.console = true;
         return true;
       }},
      {"--script", "FILE", "read console commands from FILE",
       [](HostOptions& o, const std::string& v, std::string& e) {
         return NonEmpty(o.script, "--script", v, e);
       }},
      {"--png", "DIR", "write chosen frames as PNG pictures, and a contact sheet of them, into DIR",
       [](HostOptions& o, const std::string& v, std::string& e) {
         return NonEmpty(o.png, "--png", v, e);
       }},
      {"--png-every", "N", "with --png, picture every Nth frame from frame 0 (default 30)",
       [](HostOptions& o, const std::string& v, std::string& e) {
         return IntInto(o.pngEvery, 1, 10000000, "--png-every", v, e);
       }},
      {"--size", "WxH", "with --png, the pictures' size in pixels (default 640x360)",
       [](HostOptions& o, const std::string& v, std::string& e) {
         if (towerrender::ParseSize(v, &o.pngWidth, &o.pngHeight, &e)) return true;
         e = "--size: " + e;
         return false;
       }},
      {"--help", "", "print this text",
       [](HostOptions& o, const std::string&, std::string&) {
         o.help = true;
         return true;
       }},
  };
  return table;
}

}  // namespace

bool ParseInt(const std::string& text, long long min, long long max, long long& value) {
  if (text.empty() || text.size() > 19) return false;
  size_t i = text[0] == '-' ? 1 : 0;
  if (i == text.size()) return false;
  for (size_t j = i; j < text.size(); ++j)
    if (text[j] < '0' || text[j] > '9') return false;
  errno = 0;
  const long long v = std::strtoll(text.c_str(), nullptr, 10);
  if (errno != 0 || v < min || v > max) return false;
  value = v;
  return true;
}

bool ParseOptions(int argc, const char* const* argv, HostOptions& options, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    std::string value;
    bool inlineValue = false;
    if (const size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = arg.substr(eq + 1);
      arg.resize(eq);
      inlineValue = true;
    }
    const OptionRow* row = nullptr;
    for (const auto& s : Table())
      if (s.name == arg) row = &s;
    if (!row) {
      error = "unknown option '" + arg + "' (see --help)";
      return false;
    }
    if (row->valueName.empty()) {
      if (inlineValue) {
        error = arg + " takes no value";
        return false;
      }
    } else if (!inlineValue) {
      if (i + 1 >= argc) {
        error = arg + " needs a value " + std::string(row->valueName);
        return false;
      }
      value = argv[++i];
    }
    if (!row->apply(options, value, error)) return false;
  }
  if (options.console && !options.script.empty()) {
    error = "--console and --script exclude each other";
    return false;
  }
  return true;
}

std::string UsageText(const char* program) {
  std::string text = std::string("Usage: ") + program + " [options]\n"
      "Loads the tower plug-in, runs a scene of towers seen from a moving camera, saves and\n"
      "reloads their state, writes the class settings and ends with the allocation report.\n\n"
      "Options:\n";
  for (const auto& s : Table()) {
    std::string left = "  " + std::string(s.name);
    if (!s.valueName.empty()) left += " " + std::string(s.valueName);
    if (left.size() < 18) left.resize(18, ' ');
    else left += "  ";
    text += left + std::string(s.help) + "\n";
  }
  return text;
}

}  // namespace towerhost
