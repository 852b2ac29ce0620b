// Text output that never leaves a half-written file behind.
//
// Opening a regular file (or a name that does not exist yet) writes a temporary file
// in the same folder; closing it checks every step (writes, fsync, close) and only
// then renames it over the target and syncs the folder. Any failure removes the
// temporary file and leaves the old file intact. A symbolic link is followed, so the
// file it points to is replaced. A name that exists and is not a regular file (a
// device, a FIFO) is written in place and never replaced. A file we may not write is
// not replaced either.
//
// The system calls go through a replaceable table so that tests can make each step
// fail.
#pragma once

#include <cstddef>

extern "C" {

struct kivFileOut;

// The system calls the writer makes; each follows the POSIX call of the same name.
struct kivFileOutOps {
  int (*open)(const char* path, int flags, int mode);
  long (*write)(int fd, const void* data, size_t bytes);
  int (*fsync)(int fd);
  int (*close)(int fd);
  int (*rename)(const char* from, const char* to);
  int (*unlink)(const char* path);
};

// Starts writing `name`; null when it cannot be opened.
kivFileOut* kivFileOut_Open(const char* name);
// printf-style write; 1 when every byte was written, 0 on failure (the writer then
// refuses every later write and its close fails).
int kivFileOut_Printf(kivFileOut* out, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
// Writes `bytes` bytes as they are, for binary content; 1 and 0 as for kivFileOut_Printf.
int kivFileOut_Write(kivFileOut* out, const void* data, size_t bytes);
// Finishes the file and releases the writer: 1 when the new content is in place,
// 0 when anything failed (the old content is then untouched).
int kivFileOut_Close(kivFileOut* out);
// Drops the new content and releases the writer.
void kivFileOut_Abort(kivFileOut* out);

// Installs a table of system calls (tests); null restores the real ones. Returns the
// table in use before.
const kivFileOutOps* kivFileOut_SetOps(const kivFileOutOps* ops);
// The real system calls.
const kivFileOutOps* kivFileOut_SystemOps(void);

}  // extern "C"
