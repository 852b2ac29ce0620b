#include "kivFile.h"

#include <atomic>
#include <ctime>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

void SystemClock(kivLocalTime* out) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  out->year = local.tm_year + 1900;
  out->month = local.tm_mon + 1;
  out->day = local.tm_mday;
  out->hour = local.tm_hour;
  out->minute = local.tm_min;
  out->second = local.tm_sec;
}

std::atomic<void (*)(kivLocalTime*)> clockSource{&SystemClock};

}  // namespace

extern "C" int kivFile_Exists(const char* name) {
  if (name == nullptr || name[0] == '\0') return 0;
  std::error_code error;
  // A dangling symbolic link names nothing that could be read.
  return fs::exists(fs::status(name, error)) ? 1 : 0;
}

extern "C" int kivFile_Copy(const char* from, const char* to) {
  if (from == nullptr || to == nullptr) return 0;
  std::error_code error;
  if (!fs::is_regular_file(fs::status(from, error))) return 0;
  return fs::copy_file(from, to, fs::copy_options::overwrite_existing, error) && !error ? 1 : 0;
}

extern "C" void kivFile_LocalTime(kivLocalTime* out) { clockSource.load()(out); }

extern "C" void kivFile_SetClock(void (*clock)(kivLocalTime* out)) {
  clockSource.store(clock != nullptr ? clock : &SystemClock);
}
