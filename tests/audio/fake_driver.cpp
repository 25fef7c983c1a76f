#include "fake_driver.h"

#include <poll.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <cstring>

#include "ulx/ulx_interface.h"
#include "ulx/ulx_socket.h"

namespace auralith::testing {
namespace {

bool ReadAll(int fd, uint8_t* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::recv(fd, data, size, 0);
    if (n <= 0) return false;
    data += n;
    size -= size_t(n);
  }
  return true;
}

}  // namespace

FakeReply Answer(uint32_t status, const std::vector<uint8_t>& body) {
  FakeReply reply;
  reply.bytes.resize(8 + body.size());
  ulx::StoreU32(reply.bytes.data(), status);
  ulx::StoreU32(reply.bytes.data() + 4, uint32_t(body.size()));
  std::copy(body.begin(), body.end(), reply.bytes.begin() + 8);
  return reply;
}

FakeReply TransportAnswer(uint32_t ringSize, int fd) {
  std::vector<uint8_t> body(16, 0);
  // Garbage where the caller's own address belongs: the link must not use it.
  ulx::StoreU64(body.data(), 0xDEADBEEF0000ull);
  ulx::StoreU32(body.data() + 8, ringSize);
  FakeReply reply = Answer(0, body);
  reply.fd = fd;
  return reply;
}

FakeReply PositionAnswer(uint32_t offset, int32_t volume, int32_t spare) {
  std::vector<uint8_t> body(12, 0);
  ulx::StoreU32(body.data(), offset);
  ulx::StoreU32(body.data() + 4, uint32_t(volume));
  ulx::StoreU32(body.data() + 8, uint32_t(spare));
  return Answer(0, body);
}

int MemoryFile(size_t size) {
  int fd = ::memfd_create("fake-ring", MFD_CLOEXEC);
  if (::ftruncate(fd, off_t(size)) != 0) return -1;
  return fd;
}

FakeDriver::FakeDriver(std::string path, Script script) : path_(std::move(path)), script_(std::move(script)) {
  listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strcpy(address.sun_path, path_.c_str());
  ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof(address));
  ::listen(listenFd_, 8);
  if (::pipe2(stopPipe_, O_CLOEXEC) != 0) return;
  thread_ = std::thread([this] { Serve(); });
}

FakeDriver::~FakeDriver() {
  if (stopPipe_[1] >= 0 && ::write(stopPipe_[1], "x", 1) < 0) {
  }
  if (thread_.joinable()) thread_.join();
  ::close(listenFd_);
  ::close(stopPipe_[0]);
  ::close(stopPipe_[1]);
  ::unlink(path_.c_str());
}

std::vector<std::pair<uint32_t, std::vector<uint8_t>>> FakeDriver::Requests() {
  std::lock_guard lock(mutex_);
  return requests_;
}

void FakeDriver::Serve() {
  for (;;) {
    pollfd fds[2] = {{listenFd_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) continue;
    if (fds[1].revents) return;
    int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    ServeConnection(fd);
    ::close(fd);
  }
}

void FakeDriver::ServeConnection(int fd) {
  for (;;) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0 || fds[1].revents) return;
    uint8_t header[8];
    if (!ReadAll(fd, header, 8)) return;
    std::vector<uint8_t> body(ulx::LoadU32(header + 4) & 0xFFFF);
    if (!ReadAll(fd, body.data(), body.size())) return;
    uint32_t code = ulx::LoadU32(header);
    {
      std::lock_guard lock(mutex_);
      requests_.emplace_back(code, body);
    }
    FakeReply reply = script_(code, body);
    if (reply.hangUp) return;
    if (reply.delayMs > 0) ::poll(nullptr, 0, reply.delayMs);
    ulx::SendWithDescriptor(fd, reply.bytes.data(), reply.bytes.size(), reply.fd, 0);
  }
}

}  // namespace auralith::testing
