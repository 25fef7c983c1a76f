#include "driver/interface_server.h"

#include <pulse/timeval.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "driver/log.h"
#include "dsp/stream_format.h"
#include "ulx/ulx_socket.h"

namespace auralith::ulxd {
namespace {

// More clients than any desktop needs; beyond that a runaway client cannot
// make the daemon hand out ring after ring.
constexpr size_t kMaxConnections = 16;
// A client whose ring is corrected again and again (while no audio arrives,
// say) is logged at most this often.
constexpr double kVerdictLogInterval = 5.0;
// Reply bytes kept for a client that does not take them: far more than a
// grace time's worth of exchanges.
constexpr size_t kMaxOutbox = 4096;

double Now() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

bool MakeFolder(const std::string& dir, std::string& error) {
  for (size_t slash = 1; slash <= dir.size(); ++slash) {
    if (slash < dir.size() && dir[slash] != '/') continue;
    std::string part = dir.substr(0, slash);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
      error = "cannot create " + part + ": " + std::strerror(errno);
      return false;
    }
  }
  return true;
}

bool Answers(const sockaddr_un& address) {
  int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (probe < 0) return false;
  bool live = ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
  ::close(probe);
  return live;
}

}  // namespace

struct InterfaceServer::Connection {
  InterfaceServer* server;
  int fd;
  unsigned id;
  pa_io_event* event = nullptr;
  RequestReader reader;
  std::unique_ptr<Transport> transport;
  double lastVerdictLog = -1e9;
  unsigned quietVerdicts = 0;
  double lastRequest = 0;  // accept, or the last complete request
  // Reply bytes the client has not taken yet; outboxFd travels with the
  // first of them. blockedSince: when the first of them could not be sent.
  std::vector<uint8_t> outbox;
  int outboxFd = -1;
  double blockedSince = 0;
};

InterfaceServer::InterfaceServer(pa_mainloop_api* api) : api_(api) {}

InterfaceServer::~InterfaceServer() { Shutdown(); }

bool InterfaceServer::Listen(const std::string& dir, const std::string& name, std::string& error) {
  if (!MakeFolder(dir, error)) return false;
  std::string path = dir + "/" + name;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof(address.sun_path)) {
    error = "the interface path " + path + " is too long for a socket";
    return false;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0) {
    if (!S_ISSOCK(st.st_mode)) {
      error = path + " exists and is not a socket; not touching it";
      return false;
    }
    if (Answers(address)) {
      error = "another ulxd already serves " + path;
      return false;
    }
    ULXD_INFO("removing the interface %s left by a daemon that ended abruptly", path.c_str());
    ::unlink(path.c_str());
  }
  listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
      ::listen(listenFd_, 16) != 0) {
    error = "cannot listen on " + path + ": " + std::strerror(errno);
    if (listenFd_ >= 0) ::close(listenFd_);
    listenFd_ = -1;
    return false;
  }
  path_ = path;
  listenEvent_ = api_->io_new(api_, listenFd_, PA_IO_EVENT_INPUT, &InterfaceServer::OnAccept, this);
  ArmSweep();
  ULXD_INFO("device interface ready at %s", path_.c_str());
  return true;
}

void InterfaceServer::Shutdown() {
  stopping_ = true;
  while (!connections_.empty()) Drop(connections_.front().get(), "the daemon is stopping");
  if (listenEvent_) api_->io_free(listenEvent_);
  listenEvent_ = nullptr;
  if (sweepEvent_) api_->time_free(sweepEvent_);
  sweepEvent_ = nullptr;
  if (listenFd_ >= 0) {
    ::close(listenFd_);
    ::unlink(path_.c_str());
    ULXD_INFO("device interface %s removed", path_.c_str());
  }
  listenFd_ = -1;
}

void InterfaceServer::Feed(const uint8_t* data, size_t bytes) {
  burstBytes_ += uint32_t(std::min<size_t>(bytes, kRingBytes));
  for (auto& connection : connections_) {
    if (connection->transport) connection->transport->Writer().Write(data, bytes);
  }
}

void InterfaceServer::EndBurst() {
  if (burstBytes_ == 0) return;
  const uint32_t largest = bursts_.Largest();
  const auto nowUsec = uint64_t(Now() * 1e6);
  bursts_.Note(burstBytes_, nowUsec);
  if (bursts_.Largest() != largest) {
    ULXD_DEBUG("largest recent capture burst: %u frames", bursts_.Largest() / kStreamFrameBytes);
  }
  for (auto& connection : connections_) {
    if (connection->transport) connection->transport->NoteBurst(burstBytes_, nowUsec);
  }
  burstBytes_ = 0;
}

void InterfaceServer::ReviewFragments() {
  if (stopping_) return;
  std::array<uint32_t, kMaxConnections> blocks{};
  size_t count = 0;
  for (auto& connection : connections_) {
    if (connection->transport) blocks[count++] = connection->transport->ReaderBlock();
  }
  if (fragments_.Update(blocks.data(), count) && fragmentHandler_) fragmentHandler_(fragments_.Bytes());
}

void InterfaceServer::OnAccept(pa_mainloop_api*, pa_io_event*, int, pa_io_event_flags_t, void* self) {
  static_cast<InterfaceServer*>(self)->Accept();
}

void InterfaceServer::Accept() {
  int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
  if (fd < 0) return;
  if (connections_.size() >= kMaxConnections) {
    ULXD_WARN("refusing a client: %zu are connected already", connections_.size());
    ::close(fd);
    return;
  }
  auto connection = std::make_unique<Connection>();
  connection->server = this;
  connection->fd = fd;
  connection->id = nextId_++;
  connection->lastRequest = Now();
  connection->event = api_->io_new(api_, fd, PA_IO_EVENT_INPUT, &InterfaceServer::OnReadable, connection.get());
  ULXD_DEBUG("client %u connected", connection->id);
  connections_.push_back(std::move(connection));
}

void InterfaceServer::OnReadable(pa_mainloop_api*, pa_io_event*, int, pa_io_event_flags_t flags, void* self) {
  auto* connection = static_cast<Connection*>(self);
  InterfaceServer* server = connection->server;
  if ((flags & PA_IO_EVENT_OUTPUT) && !server->Flush(*connection)) {
    server->Drop(connection, "replies could not be sent");
    return;
  }
  if ((flags & (PA_IO_EVENT_INPUT | PA_IO_EVENT_HANGUP | PA_IO_EVENT_ERROR)) && !server->Serve(*connection))
    server->Drop(connection, "connection closed");
}

void InterfaceServer::ArmSweep() {
  timeval when{};
  pa_timeval_add(pa_gettimeofday(&when), 500000);
  if (sweepEvent_) {
    api_->time_restart(sweepEvent_, &when);
  } else {
    sweepEvent_ = api_->time_new(api_, &when, &InterfaceServer::OnSweep, this);
  }
}

void InterfaceServer::OnSweep(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* self) {
  auto* server = static_cast<InterfaceServer*>(self);
  server->Sweep();
  server->ArmSweep();
}

void InterfaceServer::Sweep() {
  for (auto it = connections_.begin(); it != connections_.end();) {
    Connection* connection = (it++)->get();
    // Requests that arrived while the daemon itself was held up count.
    if (!Serve(*connection)) {
      Drop(connection, "connection closed");
      continue;
    }
    const double now = Now();
    if (!connection->outbox.empty() && now - connection->blockedSince > kReplyGraceSeconds) {
      ULXD_WARN("client %u took no replies for %.0f s; ending its connection", connection->id, kReplyGraceSeconds);
      Drop(connection, "replies not taken");
    } else if (now - connection->lastRequest > kIdleLimitSeconds) {
      ULXD_INFO("client %u sent no complete request for %.0f s; ending its connection", connection->id,
                kIdleLimitSeconds);
      Drop(connection, "idle");
    }
  }
}

bool InterfaceServer::Serve(Connection& connection) {
  uint8_t data[4096];
  ssize_t n = ::recv(connection.fd, data, sizeof(data), 0);
  if (n < 0) return errno == EAGAIN || errno == EINTR;
  if (n == 0) return false;
  connection.reader.Append(data, size_t(n));
  Request request;
  for (;;) {
    RequestReader::Result result = connection.reader.Next(request);
    if (result == RequestReader::Result::NeedMore) return true;
    connection.lastRequest = Now();
    if (result == RequestReader::Result::Oversized) {
      ULXD_WARN("client %u sent a request longer than any of the contract; ending its connection", connection.id);
      Reply refusal;
      refusal.status = ulx::kBadLength;
      Send(connection, refusal);
      return false;
    }
    bool hadTransport = connection.transport != nullptr;
    const uint32_t block = hadTransport ? connection.transport->ReaderBlock() : 0;
    ReadPolicy::Verdict verdict;
    std::string error;
    const auto nowUsec = uint64_t(connection.lastRequest * 1e6);
    Reply reply = HandleRequest(request, connection.transport, bursts_, volume_, nowUsec, verdict, error);
    if (!error.empty()) ULXD_ERROR("client %u: %s", connection.id, error.c_str());
    if (reply.status != ulx::kSuccess) {
      ULXD_DEBUG("client %u: request 0x%X of %u bytes refused with status %u", connection.id, request.code,
                 request.length, reply.status);
    }
    if (!hadTransport && connection.transport) ULXD_INFO("client %u opened the transport", connection.id);
    if (hadTransport && connection.transport->ReaderBlock() != block) {
      const uint32_t learnt = connection.transport->ReaderBlock();
      ULXD_INFO("client %u reads in blocks of %u frames (%.1f ms)", connection.id, learnt / kStreamFrameBytes,
                Milliseconds(learnt));
      ReviewFragments();
    }
    NoteVerdict(connection, verdict);
    if (!Send(connection, reply)) return false;
  }
}

bool InterfaceServer::Send(Connection& connection, const Reply& reply) {
  uint8_t frame[ulx::kFrameHeaderSize + ulx::kMaxBodySize];
  ulx::StoreU32(frame, reply.status);
  ulx::StoreU32(frame + 4, uint32_t(reply.body.size()));
  if (!reply.body.empty()) std::memcpy(frame + ulx::kFrameHeaderSize, reply.body.data(), reply.body.size());
  size_t total = ulx::kFrameHeaderSize + reply.body.size();
  if (!connection.outbox.empty()) {
    // Behind replies still waiting: queue this one after them (a ring can
    // only travel with the first byte of the outbox).
    if (reply.fd >= 0 || connection.outbox.size() + total > kMaxOutbox) return false;
    connection.outbox.insert(connection.outbox.end(), frame, frame + total);
    return true;
  }
  // A client that does not take its replies is not waited for, but its
  // replies (and its ring) are kept for a grace time.
  ssize_t n = ulx::SendWithDescriptor(connection.fd, frame, total, reply.fd, MSG_DONTWAIT);
  if (n == ssize_t(total)) return true;
  if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
  const size_t sent = n < 0 ? 0 : size_t(n);
  connection.outbox.assign(frame + sent, frame + total);
  connection.outboxFd = sent == 0 ? reply.fd : -1;
  connection.blockedSince = Now();
  api_->io_enable(connection.event, pa_io_event_flags_t(PA_IO_EVENT_INPUT | PA_IO_EVENT_OUTPUT));
  return true;
}

bool InterfaceServer::Flush(Connection& connection) {
  while (!connection.outbox.empty()) {
    ssize_t n = ulx::SendWithDescriptor(connection.fd, connection.outbox.data(), connection.outbox.size(),
                                        connection.outboxFd, MSG_DONTWAIT);
    if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK;
    connection.outboxFd = -1;
    connection.outbox.erase(connection.outbox.begin(), connection.outbox.begin() + n);
  }
  api_->io_enable(connection.event, PA_IO_EVENT_INPUT);
  return true;
}

void InterfaceServer::NoteVerdict(Connection& connection, ReadPolicy::Verdict verdict) {
  if (verdict == ReadPolicy::Verdict::Kept) return;
  if (verdict == ReadPolicy::Verdict::Aligned) {
    // Once per client: not counted against the corrections' log rate.
    ULXD_INFO("client %u %s (%.1f ms)", connection.id, VerdictText(verdict),
              Milliseconds(connection.transport->Delay()));
    return;
  }
  double now = Now();
  if (now - connection.lastVerdictLog < kVerdictLogInterval) {
    ++connection.quietVerdicts;
    return;
  }
  if (connection.quietVerdicts > 0) {
    ULXD_INFO("client %u %s, now %.1f ms behind (and %u more corrections since the last report)", connection.id,
              VerdictText(verdict), Milliseconds(connection.transport->Delay()), connection.quietVerdicts);
  } else {
    ULXD_INFO("client %u %s, now %.1f ms behind", connection.id, VerdictText(verdict),
              Milliseconds(connection.transport->Delay()));
  }
  connection.lastVerdictLog = now;
  connection.quietVerdicts = 0;
}

void InterfaceServer::Drop(Connection* connection, const char* why) {
  if (connection->transport) {
    ULXD_INFO("client %u left (%s)", connection->id, why);
  } else {
    ULXD_DEBUG("client %u left (%s)", connection->id, why);
  }
  api_->io_free(connection->event);
  ::close(connection->fd);
  connections_.remove_if([connection](const auto& c) { return c.get() == connection; });
  ReviewFragments();
}

}  // namespace auralith::ulxd
