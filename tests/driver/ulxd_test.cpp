// The daemon as the application meets it, fed by its test tone: the device
// interface, malformed requests, several clients and the end on SIGTERM.

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "driver/harness/ulxd_harness.h"
#include "driver/interface_server.h"
#include "driver/sink_arguments.h"
#include "ulx/ring_layout.h"
#include "ulx/ulx_interface.h"

namespace auralith::ulxd {
namespace {

using testing::TempDir;
using testing::Ulxd;

// A client speaking the framing by hand, to send what the real link never does.
class RawClient {
 public:
  explicit RawClient(const std::string& path) {
    fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path.c_str());
    connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    timeval timeout{2, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
  }
  ~RawClient() {
    if (ring_) ::munmap(ring_, ringSize_);
    ::close(fd_);
  }
  bool Connected() const { return connected_; }

  void SendRaw(const std::vector<uint8_t>& bytes) { ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
  void Send(uint32_t code, std::vector<uint8_t> body, std::optional<uint32_t> length = std::nullopt) {
    std::vector<uint8_t> frame(8);
    ulx::StoreU32(frame.data(), code);
    ulx::StoreU32(frame.data() + 4, length.value_or(uint32_t(body.size())));
    frame.insert(frame.end(), body.begin(), body.end());
    SendRaw(frame);
  }

  struct Answer {
    bool received = false;
    uint32_t status = 0;
    std::vector<uint8_t> body;
    int fd = -1;
  };
  Answer Receive() {
    Answer answer;
    uint8_t header[8];
    if (!ReadAll(header, 8, &answer.fd)) return answer;
    answer.status = ulx::LoadU32(header);
    answer.body.resize(ulx::LoadU32(header + 4));
    answer.received = ReadAll(answer.body.data(), answer.body.size(), &answer.fd);
    return answer;
  }
  // True when the daemon has closed this connection.
  bool Closed() {
    uint8_t byte;
    return ::recv(fd_, &byte, 1, 0) == 0;
  }

  // Opens the transport and maps the ring.
  bool OpenTransport() {
    Send(ulx::IOCTL_VT_OPEN_TRANSPORT, std::vector<uint8_t>(16, 0));
    Answer answer = Receive();
    if (!answer.received || answer.status != 0 || answer.fd < 0 || answer.body.size() != 16) return false;
    ringSize_ = ulx::LoadU32(answer.body.data() + 8);
    void* base = ::mmap(nullptr, ringSize_, PROT_READ | PROT_WRITE, MAP_SHARED, answer.fd, 0);
    ::close(answer.fd);
    if (base == MAP_FAILED) return false;
    ring_ = static_cast<uint8_t*>(base);
    return true;
  }
  Answer Exchange(uint32_t offset) {
    std::vector<uint8_t> body(12, 0);
    ulx::StoreU32(body.data(), offset);
    Send(ulx::IOCTL_VT_EXCHANGE_POSITION, body);
    return Receive();
  }
  const uint8_t* Ring() const { return ring_; }
  uint32_t RingSize() const { return ringSize_; }

 private:
  bool ReadAll(uint8_t* data, size_t size, int* fd) {
    while (size > 0) {
      iovec iov{data, size};
      alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))];
      msghdr msg{};
      msg.msg_iov = &iov;
      msg.msg_iovlen = 1;
      msg.msg_control = control;
      msg.msg_controllen = sizeof(control);
      ssize_t n = ::recvmsg(fd_, &msg, MSG_CMSG_CLOEXEC);
      if (n <= 0) return false;
      if (cmsghdr* c = CMSG_FIRSTHDR(&msg); c && c->cmsg_type == SCM_RIGHTS) std::memcpy(fd, CMSG_DATA(c), sizeof(int));
      data += n;
      size -= size_t(n);
    }
    return true;
  }

  int fd_;
  bool connected_ = false;
  uint8_t* ring_ = nullptr;
  uint32_t ringSize_ = 0;
};

class UlxdTest : public ::testing::Test {
 protected:
  TempDir temp;
  std::string dir = temp / "interfaces";
};

TEST_F(UlxdTest, OffersAnInterfaceWhoseRingFillsWithTheFeedInRealTime) {
  Ulxd daemon(dir, {"--tone", "1000@-6"});
  ASSERT_TRUE(daemon.WaitReady()) << daemon.Log();
  struct stat st {};
  ASSERT_EQ(::lstat(daemon.SocketPath().c_str(), &st), 0);
  EXPECT_TRUE(S_ISSOCK(st.st_mode));
  EXPECT_TRUE(IsRunningUlxd(daemon.Pid()));

  RawClient client(daemon.SocketPath());
  ASSERT_TRUE(client.OpenTransport());
  EXPECT_EQ(client.RingSize(), kRingBytes);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  auto first = client.Exchange(0);
  ASSERT_TRUE(first.received);
  ASSERT_EQ(first.status, 0u);
  uint32_t offset = ulx::LoadU32(first.body.data());
  // Roughly 300 ms written (13230 frames), the reader a feed tick (10 ms)
  // and a block behind it.
  const uint32_t delay = ulx::LoadU32(first.body.data() + 8);
  EXPECT_GE(delay, kBlockBytes + 441 * 4);
  EXPECT_LT(delay, kBlockBytes + 4 * 441 * 4);
  uint32_t written = (offset + delay) % kRingBytes;
  EXPECT_GT(written, 200u * 176u);
  EXPECT_LT(written, 800u * 176u);
  EXPECT_EQ(ulx::LoadU32(first.body.data() + 4), 0u);  // no volume asked for
  int16_t peak = 0;
  for (uint32_t i = offset; i < offset + delay; i += 2) {
    int16_t s;
    std::memcpy(&s, client.Ring() + i % kRingBytes, 2);
    peak = std::max<int16_t>(peak, s);
  }
  EXPECT_NEAR(peak, 16422, 30);  // -6 dBFS

  EXPECT_EQ(daemon.Stop(), 0);
  EXPECT_NE(::lstat(daemon.SocketPath().c_str(), &st), 0) << "the interface stays after SIGTERM";
}

TEST_F(UlxdTest, ReportsTheSimulatedVolumeOfItsTestFeed) {
  Ulxd daemon(dir, {"--tone", "1000", "--volume", "-6"});
  ASSERT_TRUE(daemon.WaitReady()) << daemon.Log();
  RawClient client(daemon.SocketPath());
  ASSERT_TRUE(client.OpenTransport());
  auto answer = client.Exchange(0);
  ASSERT_TRUE(answer.received);
  EXPECT_EQ(int32_t(ulx::LoadU32(answer.body.data() + 4)), -393216);
}

// Whether this process, and so the daemon it starts, holds CAP_SYS_NICE
// (root in a container may not).
bool MaySetRealtimePriority() {
  constexpr int kCapSysNice = 23;
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("CapEff:", 0) == 0) return (std::stoull(line.substr(7), nullptr, 16) >> kCapSysNice) & 1;
  }
  return false;
}

// Every exchange of the engine's audio thread waits for this one thread.
TEST_F(UlxdTest, RunsAtRealtimePriorityWhereTheSystemGrantsItAndSaysWhich) {
  Ulxd daemon(dir, {"--tone", "1000"});
  ASSERT_TRUE(daemon.WaitReady()) << daemon.Log();
  ASSERT_TRUE(daemon.WaitLog("running at ")) << daemon.Log();
  const int policy = ::sched_getscheduler(daemon.Pid());
  ASSERT_GE(policy, 0);
  const bool realtime = (policy & ~SCHED_RESET_ON_FORK) == SCHED_FIFO;
  EXPECT_EQ(realtime, daemon.Log().find("running at real-time priority") != std::string::npos) << daemon.Log();
  if (MaySetRealtimePriority()) {
    EXPECT_TRUE(realtime) << "a daemon allowed to always does";
  }
}

TEST_F(UlxdTest, AnswersMalformedRequestsWithoutDisturbingOtherClients) {
  Ulxd daemon(dir, {"--tone", "440"});
  ASSERT_TRUE(daemon.WaitReady()) << daemon.Log();
  RawClient good(daemon.SocketPath());
  ASSERT_TRUE(good.OpenTransport());
  ASSERT_EQ(good.Exchange(0).status, 0u);

  RawClient bad(daemon.SocketPath());
  bad.Send(ulx::IOCTL_VT_EXCHANGE_POSITION, std::vector<uint8_t>(12, 0));
  EXPECT_EQ(bad.Receive().status, uint32_t(ulx::kNoTransport));
  bad.Send(ulx::IOCTL_VT_OPEN_TRANSPORT, std::vector<uint8_t>(4, 0));
  auto wrongLength = bad.Receive();
  EXPECT_EQ(wrongLength.status, uint32_t(ulx::kBadLength));
  EXPECT_LT(wrongLength.fd, 0);
  bad.Send(0x1D2004, std::vector<uint8_t>(12, 0));
  EXPECT_EQ(bad.Receive().status, uint32_t(ulx::kUnknownRequest));
  // Still in step after the refusals.
  ASSERT_TRUE(bad.OpenTransport());
  bad.Send(ulx::IOCTL_VT_EXCHANGE_POSITION, {}, 0x10000000);
  auto oversized = bad.Receive();
  EXPECT_TRUE(oversized.received);
  EXPECT_NE(oversized.status, 0u);
  EXPECT_TRUE(bad.Closed());

  {
    RawClient half(daemon.SocketPath());
    half.SendRaw({0x0C, 0x20, 0x1D});  // a header cut short, then gone
  }
  {
    RawClient gone(daemon.SocketPath());
    gone.Send(ulx::IOCTL_VT_OPEN_TRANSPORT, std::vector<uint8_t>(16, 0));  // leaves without the reply
  }
  auto still = good.Exchange(ulx::LoadU32(good.Exchange(0).body.data()));
  ASSERT_TRUE(still.received);
  EXPECT_EQ(still.status, 0u);
  EXPECT_TRUE(daemon.WaitReady());
}

TEST_F(UlxdTest, GivesEachClientItsOwnRingFedWithTheSameAudio) {
  Ulxd daemon(dir, {"--tone", "1000"});
  ASSERT_TRUE(daemon.WaitReady()) << daemon.Log();
  RawClient a(daemon.SocketPath());
  RawClient b(daemon.SocketPath());
  ASSERT_TRUE(a.OpenTransport());
  ASSERT_TRUE(b.OpenTransport());
  EXPECT_NE(a.Ring(), b.Ring());
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  auto first = a.Exchange(0);
  uint32_t at = (ulx::LoadU32(first.body.data()) + ulx::LoadU32(first.body.data() + 8)) % kRingBytes;  // the writer
  // Reading (and zeroing) a's ring leaves b's untouched.
  std::memset(const_cast<uint8_t*>(a.Ring()), 0, a.RingSize());
  bool bHasAudio = false;
  for (uint32_t i = 0; i < b.RingSize() && !bHasAudio; ++i) bHasAudio = b.Ring()[i] != 0;
  EXPECT_TRUE(bHasAudio);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  bool aRefilled = false;
  for (uint32_t i = at; i < at + 4000 && !aRefilled; ++i) aRefilled = a.Ring()[i % a.RingSize()] != 0;
  EXPECT_TRUE(aRefilled);
}

TEST_F(UlxdTest, RefusesASecondDaemonOnTheSameInterfaceAndReplacesAStaleOne) {
  {
    Ulxd first(dir, {"--tone", "1000"});
    ASSERT_TRUE(first.WaitReady()) << first.Log();
    Ulxd second(dir, {"--tone", "1000"});
    EXPECT_EQ(second.WaitExit(5000), 1);
    EXPECT_NE(second.Log().find("already serves"), std::string::npos) << second.Log();
    EXPECT_TRUE(first.WaitReady("ulx0", 500));
    first.Kill();  // leaves its socket behind
  }
  struct stat st {};
  ASSERT_EQ(::lstat((dir + "/ulx0").c_str(), &st), 0);
  Ulxd next(dir, {"--tone", "1000"});
  EXPECT_TRUE(next.WaitReady()) << next.Log();
}

TEST_F(UlxdTest, LeavesAFileOfAnotherKindAlone) {
  ::mkdir(dir.c_str(), 0700);
  {
    FILE* f = std::fopen((dir + "/ulx0").c_str(), "w");
    std::fclose(f);
  }
  Ulxd daemon(dir, {"--tone", "1000"});
  EXPECT_EQ(daemon.WaitExit(5000), 1);
  struct stat st {};
  ASSERT_EQ(::lstat((dir + "/ulx0").c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
}

TEST_F(UlxdTest, RefusesABadCommandLineOrFeed) {
  Ulxd options(dir, {"--tone"});
  EXPECT_EQ(options.WaitExit(5000), 2);
  Ulxd missing(dir, {"--wav", temp / "missing.wav"});
  EXPECT_EQ(missing.WaitExit(5000), 1);
}

using UlxdConnections = UlxdTest;

TEST_F(UlxdConnections, IdleConnectionsAreDroppedSoTheyCannotLockTheApplicationOut) {
  Ulxd daemon(dir, {"--tone", "1000"});
  ASSERT_TRUE(daemon.WaitReady()) << daemon.Log();
  std::vector<std::unique_ptr<RawClient>> idle;
  for (int i = 0; i < 16; ++i) idle.push_back(std::make_unique<RawClient>(daemon.SocketPath()));
  idle.back()->SendRaw({0x0C, 0x20, 0x1D});  // a request that never ends
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  RawClient refused(daemon.SocketPath());
  EXPECT_TRUE(refused.Closed()) << "every place is taken";

  std::this_thread::sleep_for(std::chrono::milliseconds(int(InterfaceServer::kIdleLimitSeconds * 1000) + 800));
  for (auto& client : idle) EXPECT_TRUE(client->Closed());
  RawClient application(daemon.SocketPath());
  EXPECT_TRUE(application.OpenTransport()) << daemon.Log();
  EXPECT_EQ(application.Exchange(0).status, 0u);
  EXPECT_NE(daemon.Log().find("sent no complete request"), std::string::npos) << daemon.Log();
}

TEST_F(UlxdConnections, AClientThatExchangesIsNotIdle) {
  Ulxd daemon(dir, {"--tone", "1000"});
  ASSERT_TRUE(daemon.WaitReady()) << daemon.Log();
  RawClient client(daemon.SocketPath());
  ASSERT_TRUE(client.OpenTransport());
  const auto start = std::chrono::steady_clock::now();
  while (std::chrono::steady_clock::now() - start <
         std::chrono::milliseconds(int(InterfaceServer::kIdleLimitSeconds * 1000) + 800)) {
    ASSERT_EQ(client.Exchange(0).status, 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
  }
}

TEST_F(UlxdConnections, RepliesAClientDoesNotTakeAreKeptForItDuringTheGraceTime) {
  Ulxd daemon(dir, {"--tone", "1000", "-v"});
  ASSERT_TRUE(daemon.WaitReady()) << daemon.Log();
  RawClient slow(daemon.SocketPath());
  ASSERT_TRUE(slow.OpenTransport());
  // More replies than the socket holds: the daemon cannot send them all.
  constexpr int kRequests = 400;
  auto flood = [](RawClient& client) {
    std::vector<uint8_t> body(12, 0);
    for (int i = 0; i < kRequests; ++i) client.Send(ulx::IOCTL_VT_EXCHANGE_POSITION, body);
  };
  flood(slow);
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  int answered = 0;
  for (int i = 0; i < kRequests; ++i) {
    RawClient::Answer answer = slow.Receive();
    if (!answer.received || answer.status != 0 || answer.body.size() != 12) break;
    ++answered;
  }
  EXPECT_EQ(answered, kRequests) << "every reply, in order, and the ring stays\n" << daemon.Log();
  EXPECT_EQ(slow.Exchange(0).status, 0u);

  // One that takes nothing for longer than the grace time is given up.
  RawClient gone(daemon.SocketPath());
  ASSERT_TRUE(gone.OpenTransport());
  flood(gone);
  std::this_thread::sleep_for(std::chrono::milliseconds(int(InterfaceServer::kReplyGraceSeconds * 1000) + 1000));
  EXPECT_TRUE(daemon.WaitLog("took no replies", 1000)) << daemon.Log();
}

size_t Occurrences(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST_F(UlxdTest, CapturesInSmallFragmentsOnlyWhileAClientReadsInSmallBlocks) {
  if (!testing::HaveSoundServer()) GTEST_SKIP() << "needs a sound server (PULSE_SERVER is unset or silent)";
  Ulxd daemon(dir, {"--sink-name", testing::UniqueName("auralith_fragments"), "-v"});
  // Normally 40 ms blocks on a graph server, 10 ms on plain PulseAudio.
  ASSERT_TRUE(daemon.WaitLog("normal capture fragments of")) << daemon.Log();
  const std::string normal = daemon.Log().find("PipeWire") != std::string::npos ? "40.0 ms" : "10.0 ms";
  ASSERT_TRUE(daemon.WaitLog("fragments of " + normal + ")")) << daemon.Log();
  {
    RawClient client(daemon.SocketPath());
    ASSERT_TRUE(client.OpenTransport());
    // A reader of 10 ms blocks, one exchange per block.
    uint32_t offset = ulx::LoadU32(client.Exchange(0).body.data());
    for (int i = 0; i < 40; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      auto answer = client.Exchange((offset + 441 * 4) % kRingBytes);
      ASSERT_TRUE(answer.received);
      offset = ulx::LoadU32(answer.body.data());
    }
    EXPECT_TRUE(daemon.WaitLog("reads in blocks of 441 frames")) << daemon.Log();
    EXPECT_TRUE(daemon.WaitLog("fragments of 5.0 ms from now on")) << daemon.Log();
    // The server took the new size on the running stream.
    EXPECT_TRUE(daemon.WaitLog("gives capture fragments of 5.0 ms")) << daemon.Log();
  }
  EXPECT_TRUE(daemon.WaitLog("fragments of " + normal + " from now on")) << daemon.Log();
  EXPECT_TRUE(daemon.WaitLog("gives capture fragments of " + normal)) << daemon.Log();
  const std::string log = daemon.Log();
  EXPECT_EQ(Occurrences(log, "from now on"), 2u) << log;
  EXPECT_EQ(Occurrences(log, "did not change the capture fragments"), 0u) << log;
}

}  // namespace
}  // namespace auralith::ulxd
