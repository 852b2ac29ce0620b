// The library's debugger messages, filtered by the debug threshold.
#pragma once

#include <atomic>
#include <cstdint>

namespace mx {

// All bits set: not read yet.
constexpr uint32_t kThresholdUnread = 0xFFFFFFFFu;
extern std::atomic<uint32_t> g_debugThreshold;

// Levels in use: 0 for the selection messages, 3 for the alignment warnings.
constexpr uint32_t kLevelInfo = 0;
constexpr uint32_t kLevelAlignment = 3;

// Formats the message (cut to 255 characters) and hands "MX: <message>\r\n" (again at most
// 255 characters) to the debugger output when the level is not above the threshold.
void debugMessage(uint32_t level, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace mx
