// File system and clock services used by settings-file backups.
#pragma once

extern "C" {

// Local calendar time to the second.
struct kivLocalTime {
  int year;    // e.g. 2004
  int month;   // 1..12
  int day;     // 1..31
  int hour;    // 0..23
  int minute;  // 0..59
  int second;  // 0..60
};

// 1 when anything (file, directory, device...) exists under the name, else 0.
int kivFile_Exists(const char* name);
// Copies a regular file over `to`, replacing an existing target. 1 on success, 0 on
// failure (no source, a source that is not a regular file, a write error).
int kivFile_Copy(const char* from, const char* to);
// The current local time.
void kivFile_LocalTime(kivLocalTime* out);
// Replaces the clock (tests); null restores the system clock.
void kivFile_SetClock(void (*clock)(kivLocalTime* out));

}  // extern "C"
