#include "mxDebug.h"

#include <cstdarg>
#include <cstdio>

#include "mxPlatform.h"

namespace mx {

constinit std::atomic<uint32_t> g_debugThreshold{kThresholdUnread};

void debugMessage(uint32_t level, const char* format, ...) {
  uint32_t threshold = g_debugThreshold.load(std::memory_order_relaxed);
  if (threshold == kThresholdUnread) {
    // A profile value of -1 stores "unread" again, so it is read anew at the next message.
    threshold = static_cast<uint32_t>(platform().profileInt("MX", "debug", 0));
    g_debugThreshold.store(threshold, std::memory_order_relaxed);
  }
  if (level > threshold) return;

  char text[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  text[sizeof text - 1] = '\0';

  char line[256];
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-truncation"  // cutting a long line is intended
#endif
  std::snprintf(line, sizeof line, "MX: %s\r\n", text);
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
  line[sizeof line - 1] = '\0';
  platform().debugOutput(line);
}

}  // namespace mx
