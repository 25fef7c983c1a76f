#pragma once

#include <QString>

// One instance per user: an exclusive lock on a file that the kernel drops
// when the holding process ends, however it ends, so a crashed instance
// never blocks the next start.

namespace auralith::app {

class InstanceLock {
 public:
  explicit InstanceLock(const QString& path);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // Another process (or another lock object) holds the lock.
  bool AlreadyHeld() const { return alreadyHeld_; }
  bool Held() const { return fd_ >= 0 && !alreadyHeld_; }

 private:
  int fd_ = -1;
  bool alreadyHeld_ = false;
};

}  // namespace auralith::app
