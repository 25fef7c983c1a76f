#include "audio/engine_lock.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace auralith::audio {

namespace {

// Without $XDG_RUNTIME_DIR: the folder Qt's runtime location falls back to,
// /tmp/runtime-<user>, so the application finds the same lock. It must be
// the user's own and closed to everyone else: in /tmp anyone could have
// made it first.
std::string FallbackRuntimeFolder() {
  const passwd* user = ::getpwuid(::getuid());
  if (!user || !user->pw_name) return {};
  const std::string folder = std::string("/tmp/runtime-") + user->pw_name;
  ::mkdir(folder.c_str(), 0700);
  struct stat st {};
  if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() || (st.st_mode & 077) != 0)
    return {};
  return folder;
}

}  // namespace

std::string EngineLockPath() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  const std::string folder = runtime && *runtime ? std::string(runtime) : FallbackRuntimeFolder();
  if (folder.empty()) return {};
  return folder + "/" + kEngineLockName;
}

EngineLock::~EngineLock() { Release(); }

EngineLock::Result EngineLock::Acquire(std::string& error, const std::string& path) {
  if (fd_ >= 0) return Result::Held;
  const std::string where = path.empty() ? EngineLockPath() : path;
  if (where.empty()) {
    error = "no runtime folder of the user's own (XDG_RUNTIME_DIR) for the engine lock";
    return Result::Failed;
  }
  // O_NOFOLLOW: a link planted in the folder cannot point the lock elsewhere.
  const int fd = ::open(where.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
  if (fd < 0) {
    error = "cannot open " + where + ": " + std::strerror(errno);
    return Result::Failed;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    error = where + " is not a regular file";
    return Result::Failed;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int cause = errno;
    ::close(fd);
    if (cause == EWOULDBLOCK) return Result::AlreadyHeld;
    error = "cannot lock " + where + ": " + std::strerror(cause);
    return Result::Failed;
  }
  fd_ = fd;
  return Result::Held;
}

void EngineLock::Release() {
  if (fd_ < 0) return;
  ::flock(fd_, LOCK_UN);
  ::close(fd_);
  fd_ = -1;
}

}  // namespace auralith::audio
