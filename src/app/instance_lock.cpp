#include "app/instance_lock.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace auralith::app {

InstanceLock::InstanceLock(const QString& path) {
  const QByteArray nativePath = path.toLocal8Bit();
  do {
    fd_ = ::open(nativePath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  } while (fd_ < 0 && errno == EINTR);
  // A lock that cannot be made is no proof of another instance: start as
  // the first one.
  if (fd_ < 0) return;
  int result = 0;
  do {
    result = ::flock(fd_, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result != 0) alreadyHeld_ = (errno == EWOULDBLOCK);
  if (result != 0 && !alreadyHeld_) {
    ::close(fd_);
    fd_ = -1;
  }
}

InstanceLock::~InstanceLock() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace auralith::app
