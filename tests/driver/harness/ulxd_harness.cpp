#include "ulxd_harness.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace auralith::testing {
namespace {

bool Answers(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof(address.sun_path)) return false;
  std::strcpy(address.sun_path, path.c_str());
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
  ::close(fd);
  return ok;
}

template <typename Condition>
bool WaitFor(int timeoutMs, Condition condition) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < end) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return condition();
}

void PutLe16(std::string& out, uint32_t v) {
  out.push_back(char(v & 0xFF));
  out.push_back(char(v >> 8 & 0xFF));
}
void PutLe32(std::string& out, uint32_t v) {
  PutLe16(out, v & 0xFFFF);
  PutLe16(out, v >> 16);
}

}  // namespace

TempDir::TempDir() {
  char pattern[] = "/tmp/auralith-driver-test.XXXXXX";
  path_ = ::mkdtemp(pattern);
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string UniqueName(const std::string& prefix) {
  static std::atomic<int> counter{0};
  return prefix + "_" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
}

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : name_(name) {
  const char* old = std::getenv(name);
  had_ = old != nullptr;
  if (had_) old_ = old;
  ::setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
  if (had_) {
    ::setenv(name_.c_str(), old_.c_str(), 1);
  } else {
    ::unsetenv(name_.c_str());
  }
}

Ulxd::Ulxd(std::string interfaceDir, std::vector<std::string> args, std::vector<std::string> extraEnv)
    : dir_(std::move(interfaceDir)), logPath_(dir_ + ".ulxd.log") {
  std::vector<std::string> argv{ULXD_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  extraEnv.push_back("ULX_INTERFACE_DIR=" + dir_);
  pid_ = ::fork();
  if (pid_ == 0) {
    int log = ::open(logPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(log, STDERR_FILENO);
    ::dup2(log, STDOUT_FILENO);
    for (const std::string& entry : extraEnv) ::putenv(const_cast<char*>(entry.c_str()));
    std::vector<char*> raw;
    for (auto& a : argv) raw.push_back(a.data());
    raw.push_back(nullptr);
    ::execv(raw[0], raw.data());
    ::_exit(127);
  }
}

Ulxd::~Ulxd() {
  Stop();
  ::unlink(logPath_.c_str());
}

bool Ulxd::WaitReady(const std::string& name, int timeoutMs) const {
  return WaitFor(timeoutMs, [&] { return Answers(SocketPath(name)); });
}

bool Ulxd::WaitLog(const std::string& text, int timeoutMs) const {
  return WaitFor(timeoutMs, [&] { return Log().find(text) != std::string::npos; });
}

int Ulxd::WaitExit(int timeoutMs) {
  if (pid_ <= 0) return -1;
  int status = 0;
  bool ended = WaitFor(timeoutMs, [&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; });
  if (!ended) return -1;
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int Ulxd::Stop(int timeoutMs) {
  if (pid_ <= 0) return -1;
  ::kill(pid_, SIGTERM);
  int status = WaitExit(timeoutMs);
  if (status < 0) Kill();
  return status;
}

void Ulxd::Kill() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

std::string Ulxd::Log() const {
  std::ifstream in(logPath_);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string Run(const std::string& command, int* status) {
  std::string output;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) {
    if (status) *status = -1;
    return output;
  }
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0) output.append(buffer, n);
  int result = ::pclose(pipe);
  if (status) *status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
  return output;
}

bool HaveSoundServer() {
  const char* server = std::getenv("PULSE_SERVER");
  if (!server || !*server) return false;
  int status = -1;
  Run("pactl info >/dev/null 2>&1", &status);
  return status == 0;
}

std::string SinkDescription(const std::string& sinkName) {
  std::string all = Run("pactl list sinks 2>/dev/null");
  size_t at = all.find("\tName: " + sinkName + "\n");
  if (at == std::string::npos) return {};
  size_t end = all.find("\nSink #", at);
  return all.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

bool WaitForSink(const std::string& sinkName, bool present, int timeoutMs) {
  return WaitFor(timeoutMs, [&] { return SinkDescription(sinkName).empty() != present; });
}

PrivatePulse::PrivatePulse(std::string dir) : dir_(std::move(dir)) {}

PrivatePulse::~PrivatePulse() { Stop(); }

bool PrivatePulse::Start() {
  int status = -1;
  Run("bash -c '. \"" SOURCE_DIR "/scripts/lib/pulse.sh\" && pulse_start \"" + dir_ + "\"' >/dev/null 2>&1", &status);
  running_ = status == 0;
  return running_;
}

void PrivatePulse::Stop() {
  if (!running_) return;
  Run("bash -c '. \"" SOURCE_DIR "/scripts/lib/pulse.sh\" && PULSE_PRIVATE_DIR=\"" + dir_ + "\" PULSE_RUNTIME_PATH=\"" +
      dir_ + "/runtime\" pulse_stop' >/dev/null 2>&1");
  running_ = false;
}

bool PlayToSink(const std::string& sinkName, const std::vector<int16_t>& stereo, const std::string& tempDir) {
  std::string raw = tempDir + "/" + UniqueName("play") + ".raw";
  {
    std::ofstream out(raw, std::ios::binary);
    out.write(reinterpret_cast<const char*>(stereo.data()), std::streamsize(stereo.size() * 2));
  }
  int status = -1;
  Run("pacat --playback --raw --format=s16le --rate=44100 --channels=2 --device=" + sinkName + " \"" + raw + "\" 2>&1",
      &status);
  ::unlink(raw.c_str());
  return status == 0;
}

void WriteWav(const std::string& path, const std::vector<int16_t>& samples, int channels, int rate) {
  std::string data;
  for (int16_t s : samples) PutLe16(data, uint16_t(s));
  std::string file = "RIFF";
  PutLe32(file, uint32_t(36 + data.size()));
  file += "WAVEfmt ";
  PutLe32(file, 16);
  PutLe16(file, 1);
  PutLe16(file, uint32_t(channels));
  PutLe32(file, uint32_t(rate));
  PutLe32(file, uint32_t(rate * channels * 2));
  PutLe16(file, uint32_t(channels * 2));
  PutLe16(file, 16);
  file += "data";
  PutLe32(file, uint32_t(data.size()));
  file += data;
  std::ofstream(path, std::ios::binary) << file;
}

std::vector<int16_t> CounterSignal(size_t frames) {
  std::vector<int16_t> out(frames * 2);
  for (size_t n = 0; n < frames; ++n) {
    auto value = int16_t(n % 30000 + 1);
    out[n * 2] = value;
    out[n * 2 + 1] = int16_t(-value);
  }
  return out;
}

}  // namespace auralith::testing
