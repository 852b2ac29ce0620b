#include "kivFileOut.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

struct kivFileOut {
  const kivFileOutOps* ops;
  int fd;
  bool inPlace;  // writing an existing non-regular file directly
  bool failed;
  std::string target;
  std::string temp;
};

namespace {

int SysOpen(const char* path, int flags, int mode) { return ::open(path, flags, mode); }
long SysWrite(int fd, const void* data, size_t bytes) { return static_cast<long>(::write(fd, data, bytes)); }
int SysFsync(int fd) { return ::fsync(fd); }
int SysClose(int fd) { return ::close(fd); }
int SysRename(const char* from, const char* to) { return ::rename(from, to); }
int SysUnlink(const char* path) { return ::unlink(path); }

const kivFileOutOps systemOps = {&SysOpen, &SysWrite, &SysFsync, &SysClose, &SysRename, &SysUnlink};
std::atomic<const kivFileOutOps*> currentOps{&systemOps};
std::atomic<unsigned> tempCounter{0};

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Follows symbolic links to the name that is finally written; empty on a loop or an
// unreadable link.
std::string ResolveLinks(std::string path) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::vector<char> link(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
    const ssize_t length = ::readlink(path.c_str(), link.data(), link.size());
    if (length < 0 || static_cast<size_t>(length) >= link.size()) return std::string();
    std::string to(link.data(), static_cast<size_t>(length));
    path = (to[0] == '/') ? to : DirectoryOf(path) + "/" + to;
  }
  return std::string();
}

// Makes a rename durable; some file systems cannot sync a folder, which is harmless.
void SyncDirectory(const std::string& dir) {
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

bool WriteAll(kivFileOut* out, const char* data, size_t bytes) {
  while (bytes > 0) {
    const long written = out->ops->write(out->fd, data, bytes);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    bytes -= static_cast<size_t>(written);
  }
  return true;
}

void Discard(kivFileOut* out) {
  if (out->fd >= 0) out->ops->close(out->fd);
  if (!out->temp.empty()) out->ops->unlink(out->temp.c_str());
  delete out;
}

}  // namespace

extern "C" kivFileOut* kivFileOut_Open(const char* name) {
  if (name == nullptr || name[0] == '\0') return nullptr;
  const std::string target = ResolveLinks(name);
  if (target.empty()) return nullptr;

  auto* out = new kivFileOut{currentOps.load(), -1, false, false, target, std::string()};
  struct stat st;
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (exists && !S_ISREG(st.st_mode)) {
    // A device or FIFO cannot be replaced by a rename. Not blocking on a FIFO without
    // a reader: the open then fails instead.
    out->inPlace = true;
    out->fd = out->ops->open(target.c_str(), O_WRONLY | O_TRUNC | O_NONBLOCK | O_CLOEXEC, 0);
    if (out->fd < 0) {
      delete out;
      return nullptr;
    }
    const int flags = ::fcntl(out->fd, F_GETFL);
    if (flags >= 0) ::fcntl(out->fd, F_SETFL, flags & ~O_NONBLOCK);
    return out;
  }

  // Replacing by rename would bypass a file's write protection: refuse what could not
  // be opened for writing in place either.
  if (exists && ::access(target.c_str(), W_OK) != 0) {
    delete out;
    return nullptr;
  }
  for (int attempt = 0; attempt < 100 && out->fd < 0; ++attempt) {
    out->temp = target + ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(tempCounter++);
    out->fd = out->ops->open(out->temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (out->fd < 0 && errno != EEXIST) break;
  }
  if (out->fd < 0) {
    delete out;
    return nullptr;
  }
  // The replacement keeps the permissions of the file it replaces.
  if (exists) ::fchmod(out->fd, st.st_mode & 07777);
  return out;
}

extern "C" int kivFileOut_Printf(kivFileOut* out, const char* format, ...) {
  if (out == nullptr || out->failed) return 0;
  char small[512];
  va_list args;
  va_start(args, format);
  const int length = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  if (length < 0) {
    out->failed = true;
    return 0;
  }
  if (static_cast<size_t>(length) < sizeof small) {
    out->failed = !WriteAll(out, small, static_cast<size_t>(length));
  } else {
    std::vector<char> large(static_cast<size_t>(length) + 1);
    va_start(args, format);
    std::vsnprintf(large.data(), large.size(), format, args);
    va_end(args);
    out->failed = !WriteAll(out, large.data(), static_cast<size_t>(length));
  }
  return out->failed ? 0 : 1;
}

extern "C" int kivFileOut_Write(kivFileOut* out, const void* data, size_t bytes) {
  if (out == nullptr || out->failed) return 0;
  out->failed = !WriteAll(out, static_cast<const char*>(data), bytes);
  return out->failed ? 0 : 1;
}

extern "C" int kivFileOut_Close(kivFileOut* out) {
  if (out == nullptr) return 0;
  if (out->failed) {
    Discard(out);
    return 0;
  }
  if (out->inPlace) {
    // Devices and FIFOs have nothing to sync; only the close can still fail.
    const int closed = out->ops->close(out->fd);
    delete out;
    return closed == 0 ? 1 : 0;
  }
  if (out->ops->fsync(out->fd) != 0) {
    Discard(out);
    return 0;
  }
  const int closed = out->ops->close(out->fd);
  out->fd = -1;
  if (closed != 0 || out->ops->rename(out->temp.c_str(), out->target.c_str()) != 0) {
    Discard(out);
    return 0;
  }
  SyncDirectory(DirectoryOf(out->target));
  delete out;
  return 1;
}

extern "C" void kivFileOut_Abort(kivFileOut* out) {
  if (out != nullptr) Discard(out);
}

extern "C" const kivFileOutOps* kivFileOut_SetOps(const kivFileOutOps* ops) {
  return currentOps.exchange(ops != nullptr ? ops : &systemOps);
}

extern "C" const kivFileOutOps* kivFileOut_SystemOps(void) { return &systemOps; }
