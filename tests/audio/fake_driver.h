#pragma once
// A stand-in driver that answers each request as a test script says, to show
// how the link copes with a driver that misbehaves.

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace auralith::testing {

struct FakeReply {
  std::vector<uint8_t> bytes;  // sent as they stand
  int fd = -1;                 // passed with the first byte, not closed
  bool hangUp = false;         // end the connection instead of answering
  int delayMs = 0;             // wait before answering
};

FakeReply Answer(uint32_t status, const std::vector<uint8_t>& body);
// A successful transport reply for a ring of ringSize bytes passed as fd.
FakeReply TransportAnswer(uint32_t ringSize, int fd);
// A successful exchange reply.
FakeReply PositionAnswer(uint32_t offset, int32_t volume, int32_t spare);

class FakeDriver {
 public:
  using Script = std::function<FakeReply(uint32_t code, const std::vector<uint8_t>& body)>;
  FakeDriver(std::string path, Script script);
  ~FakeDriver();
  FakeDriver(const FakeDriver&) = delete;
  FakeDriver& operator=(const FakeDriver&) = delete;

  const std::string& Path() const { return path_; }
  // Requests seen so far (code, body), in order.
  std::vector<std::pair<uint32_t, std::vector<uint8_t>>> Requests();

 private:
  void Serve();
  void ServeConnection(int fd);

  std::string path_;
  Script script_;
  int listenFd_ = -1;
  int stopPipe_[2] = {-1, -1};
  std::thread thread_;
  std::mutex mutex_;
  std::vector<std::pair<uint32_t, std::vector<uint8_t>>> requests_;
};

// An anonymous memory file of size bytes.
int MemoryFile(size_t size);

}  // namespace auralith::testing
