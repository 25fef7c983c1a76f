#pragma once
// Test support around the ulxd daemon: private folders, the daemon as a child
// process, and the sound server's command-line tools.

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace auralith::testing {

// A fresh folder under /tmp, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// A name no other test process uses at the same time.
std::string UniqueName(const std::string& prefix);

// Sets an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  bool had_;
  std::string old_;
};

// ulxd as a child process with its own interface folder; stopped (and its
// sink removed) when the object goes.
class Ulxd {
 public:
  // extraEnv: "NAME=value" entries added to the daemon's environment.
  Ulxd(std::string interfaceDir, std::vector<std::string> args, std::vector<std::string> extraEnv = {});
  ~Ulxd();
  Ulxd(const Ulxd&) = delete;
  Ulxd& operator=(const Ulxd&) = delete;

  std::string SocketPath(const std::string& name = "ulx0") const { return dir_ + "/" + name; }
  // Waits until the interface socket answers.
  bool WaitReady(const std::string& name = "ulx0", int timeoutMs = 5000) const;
  // Waits until the log holds text.
  bool WaitLog(const std::string& text, int timeoutMs = 5000) const;
  // SIGTERM and wait; the exit status, or -1 after a kill on time-out.
  int Stop(int timeoutMs = 5000);
  void Kill();
  // Exit status once the daemon ended by itself within timeoutMs, else -1.
  int WaitExit(int timeoutMs);
  std::string Log() const;
  pid_t Pid() const { return pid_; }

 private:
  std::string dir_;
  std::string logPath_;
  pid_t pid_ = -1;
};

// Output of a shell command (stdout), and its exit status.
std::string Run(const std::string& command, int* status = nullptr);

// True when PULSE_SERVER names a server that answers.
bool HaveSoundServer();
// The block of `pactl list sinks` for the sink of that name; empty if none.
std::string SinkDescription(const std::string& sinkName);
bool WaitForSink(const std::string& sinkName, bool present, int timeoutMs = 5000);

// A private sound server of the test's own (for restarting it).
class PrivatePulse {
 public:
  explicit PrivatePulse(std::string dir);
  ~PrivatePulse();
  bool Start();
  void Stop();
  std::string Server() const { return "unix:" + dir_ + "/runtime/native"; }

 private:
  std::string dir_;
  bool running_ = false;
};

// Plays raw s16le stereo 44100 Hz samples to a sink (pacat) and waits.
bool PlayToSink(const std::string& sinkName, const std::vector<int16_t>& stereo, const std::string& tempDir);

// Writes a 16-bit PCM WAV file.
void WriteWav(const std::string& path, const std::vector<int16_t>& samples, int channels, int rate = 44100);

// A frame-counter signal: frame n is (n + 1, -(n + 1)) with the counter
// wrapping within 1..30000, so no frame is silent and each is recognisable.
std::vector<int16_t> CounterSignal(size_t frames);

}  // namespace auralith::testing
