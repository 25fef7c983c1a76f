#include "audio/ulx_control.h"

#include <poll.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "ulx/ulx_interface.h"

namespace auralith::ulx {
namespace {

// Receives up to size bytes (at least one). When fd is given, a descriptor
// passed with them is stored there (extra ones are closed). 0 when the
// stream has ended, failed or timed out.
size_t ReceiveSome(Handle handle, uint8_t* data, size_t size, int* fd) {
  for (;;) {
    iovec iov{data, size};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * 4)];
    msghdr msg{};
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    if (fd) {
      msg.msg_control = control;
      msg.msg_controllen = sizeof(control);
    }
    ssize_t n = ::recvmsg(handle, &msg, MSG_CMSG_CLOEXEC);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return 0;
    if (fd) {
      for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS) continue;
        size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (size_t i = 0; i < count; ++i) {
          int passed;
          std::memcpy(&passed, CMSG_DATA(c) + i * sizeof(int), sizeof(int));
          if (*fd < 0) {
            *fd = passed;
          } else {
            ::close(passed);
          }
        }
      }
    }
    return size_t(n);
  }
}

// Receives one reply frame. The first read asks for the reply the request
// expects, so a good reply takes one system call. The frame's total length,
// or 0 when the stream is broken.
size_t ReceiveReply(Handle handle, uint8_t* frame, size_t expected, int* fd) {
  size_t have = 0;
  size_t need = kFrameHeaderSize;
  size_t ask = expected;
  while (have < need) {
    size_t n = ReceiveSome(handle, frame + have, ask - have, fd);
    if (n == 0) return 0;
    have += n;
    if (have >= kFrameHeaderSize && need == kFrameHeaderSize) {
      uint32_t length = LoadU32(frame + 4);
      if (length > kMaxBodySize) return 0;
      need = kFrameHeaderSize + length;
      // More than this frame arrived: the stream is out of step.
      if (have > need) return 0;
    }
    ask = need;
  }
  return have;
}

bool SendAll(Handle handle, const uint8_t* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::send(handle, data, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= size_t(n);
  }
  return true;
}

// Maps the ring passed as fd; writes its address into the transport record.
bool MapRing(int fd, uint8_t* record) {
  uint32_t ringSize = LoadU32(record + kTransportRingSize);
  struct stat st {};
  // A ring larger than its memory would fault the reader at the first access
  // beyond the end.
  if (ringSize == 0 || ::fstat(fd, &st) != 0 || st.st_size < off_t(ringSize)) return false;
  void* base = ::mmap(nullptr, ringSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (base == MAP_FAILED) return false;
  StoreU64(record + kTransportRingBase, uint64_t(reinterpret_cast<uintptr_t>(base)));
  return true;
}

// The reply no longer fits the request stream: end it, so every later request
// fails at once.
bool Abandon(Handle handle) {
  ::shutdown(handle, SHUT_RDWR);
  return false;
}

}  // namespace

Handle OpenInterface(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof(address.sun_path)) return kInvalidHandle;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  Handle handle = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (handle < 0) return kInvalidHandle;
  timeval timeout{kReplyTimeoutMs / 1000, (kReplyTimeoutMs % 1000) * 1000};
  if (::setsockopt(handle, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout)) != 0 ||
      ::setsockopt(handle, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof(timeout)) != 0 ||
      ::connect(handle, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
    ::close(handle);
    return kInvalidHandle;
  }
  return handle;
}

void CloseInterface(Handle handle) {
  if (handle != kInvalidHandle) ::close(handle);
}

bool DeviceIoControl(Handle handle, uint32_t code, void* buffer, uint32_t size) {
  if (handle == kInvalidHandle || size > kMaxBodySize || (size > 0 && !buffer)) return false;
  auto* bytes = static_cast<uint8_t*>(buffer);
  uint8_t request[kFrameHeaderSize + kMaxBodySize];
  StoreU32(request, code);
  StoreU32(request + 4, size);
  if (size > 0) std::memcpy(request + kFrameHeaderSize, bytes, size);
  if (!SendAll(handle, request, kFrameHeaderSize + size)) return Abandon(handle);

  bool transport = code == IOCTL_VT_OPEN_TRANSPORT && size == kTransportRecordSize;
  int fd = -1;
  uint8_t frame[kFrameHeaderSize + kMaxBodySize];
  size_t received = ReceiveReply(handle, frame, kFrameHeaderSize + size, transport ? &fd : nullptr);
  if (received == 0) {
    if (fd >= 0) ::close(fd);
    return Abandon(handle);
  }
  uint32_t status = LoadU32(frame);
  uint32_t length = LoadU32(frame + 4);
  const uint8_t* reply = frame + kFrameHeaderSize;
  bool success = status == kSuccess && length == size;
  if (success) {
    std::memcpy(bytes, reply, size);
    if (transport) {
      // The daemon cannot know our address; never leave its bytes there.
      StoreU64(bytes + kTransportRingBase, 0);
      success = fd >= 0 && MapRing(fd, bytes);
    }
  }
  if (fd >= 0) ::close(fd);
  return success;
}

bool SendRequest(Handle handle, uint32_t code, const void* body, uint32_t size) {
  if (handle == kInvalidHandle || size > kMaxBodySize || (size > 0 && !body)) return false;
  uint8_t request[kFrameHeaderSize + kMaxBodySize];
  StoreU32(request, code);
  StoreU32(request + 4, size);
  if (size > 0) std::memcpy(request + kFrameHeaderSize, body, size);
  for (;;) {
    ssize_t n = ::send(handle, request, kFrameHeaderSize + size, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0 && errno == EINTR) continue;
    return n == ssize_t(kFrameHeaderSize + size);
  }
}

namespace {

int64_t NowMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return int64_t(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

}  // namespace

Arrival ReceiveReply(Handle handle, ReplyInbox& inbox, int waitMs) {
  if (handle == kInvalidHandle) return Arrival::Broken;
  const int64_t deadline = NowMs() + waitMs;
  for (;;) {
    size_t need = kFrameHeaderSize;
    if (inbox.have >= kFrameHeaderSize) {
      const uint32_t length = LoadU32(inbox.frame + 4);
      if (length > kMaxBodySize) return Arrival::Broken;
      need += length;
    }
    if (inbox.have == need) return Arrival::Complete;
    ssize_t n = ::recv(handle, inbox.frame + inbox.have, need - inbox.have, MSG_DONTWAIT);
    if (n > 0) {
      inbox.have += size_t(n);
      continue;
    }
    if (n == 0) return Arrival::Broken;
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return Arrival::Broken;
    const int64_t left = deadline - NowMs();
    if (left <= 0) return Arrival::Pending;
    pollfd wait{handle, POLLIN, 0};
    const int ready = ::poll(&wait, 1, int(left));
    if (ready < 0 && errno != EINTR) return Arrival::Broken;
    if (ready == 0) return Arrival::Pending;
  }
}

void UnmapRing(void* base, uint32_t size) {
  if (base && size > 0) ::munmap(base, size);
}

}  // namespace auralith::ulx
