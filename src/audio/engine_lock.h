#pragma once
// One audio engine per session: the headless engine and the application
// both hold this lock while they play, so a second one cannot take the
// default output over from the first (and hand it back to the wrong device
// when it ends). The lock is a file lock in the user's runtime folder; it
// goes with the process, also when the process is killed.

#include <string>

namespace auralith::audio {

inline constexpr const char* kEngineLockName = "auralith-engine.lock";
inline constexpr const char* kEngineRunsMessage = "An Auralith audio engine already runs in this session.";

// $XDG_RUNTIME_DIR/auralith-engine.lock, else the same in /tmp/runtime-<user>
// (the folder Qt falls back to) when that is the user's own and private;
// empty when there is no such folder.
std::string EngineLockPath();

class EngineLock {
 public:
  EngineLock() = default;
  ~EngineLock();
  EngineLock(const EngineLock&) = delete;
  EngineLock& operator=(const EngineLock&) = delete;

  enum class Result { Held, AlreadyHeld, Failed };
  // Takes the lock at path (EngineLockPath() when empty) without waiting.
  // Failed (with error set) when the file cannot be opened or locked for
  // another reason.
  Result Acquire(std::string& error, const std::string& path = {});
  void Release();
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace auralith::audio
