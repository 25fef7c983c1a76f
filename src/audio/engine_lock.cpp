#include "audio/engine_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace auralith::audio {

std::string EngineLockPath() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (!runtime || !*runtime) return {};
  return std::string(runtime) + "/" + kEngineLockName;
}

EngineLock::~EngineLock() { Release(); }

EngineLock::Result EngineLock::Acquire(std::string& error, const std::string& path) {
  if (fd_ >= 0) return Result::Held;
  const std::string where = path.empty() ? EngineLockPath() : path;
  if (where.empty()) {
    error = "XDG_RUNTIME_DIR is not set: no place for the engine lock";
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
