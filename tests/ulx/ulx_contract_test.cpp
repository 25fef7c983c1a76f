// The contract between the driver and the application on its own: byte
// order of the records, the interface folder rules, a descriptor passed with
// the first byte, and the ring's sizes in the stream format.

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "dsp/stream_format.h"
#include "ulx/ring_layout.h"
#include "ulx/ulx_interface.h"
#include "ulx/ulx_socket.h"

namespace auralith::ulx {
namespace {

// Sets (or with nullopt unsets) an environment variable for one test.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) saved_ = old;
    if (value)
      setenv(name, value->c_str(), 1);
    else
      unsetenv(name);
  }
  ~ScopedVariable() {
    if (saved_)
      setenv(name_, saved_->c_str(), 1);
    else
      unsetenv(name_);
  }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  const char* name_;
  std::optional<std::string> saved_;
};

TEST(UlxRecords, AreLittleEndian) {
  uint8_t bytes[8] = {};
  StoreU32(bytes, 0x11223344u);
  EXPECT_EQ(bytes[0], 0x44);
  EXPECT_EQ(bytes[3], 0x11);
  EXPECT_EQ(LoadU32(bytes), 0x11223344u);
  StoreU64(bytes, 0x0102030405060708ull);
  EXPECT_EQ(bytes[0], 0x08);
  EXPECT_EQ(bytes[7], 0x01);
  EXPECT_EQ(LoadU64(bytes), 0x0102030405060708ull);
  // A negative volume travels as its two's complement.
  StoreU32(bytes, static_cast<uint32_t>(-393216));
  EXPECT_EQ(static_cast<int32_t>(LoadU32(bytes)), -393216);
}

TEST(UlxInterfaceDir, FollowsTheVariableThenTheRuntimeFolderElseNone) {
  {
    const ScopedVariable dir(kInterfaceDirVariable, "/tmp/own-interfaces");
    const ScopedVariable runtime("XDG_RUNTIME_DIR", "/run/user/1000");
    EXPECT_EQ(InterfaceDir(), "/tmp/own-interfaces");
  }
  {
    const ScopedVariable dir(kInterfaceDirVariable, "");  // empty counts as unset
    const ScopedVariable runtime("XDG_RUNTIME_DIR", "/run/user/1000");
    EXPECT_EQ(InterfaceDir(), std::string("/run/user/1000/ulx/") + kInterfaceClass);
  }
  {
    const ScopedVariable dir(kInterfaceDirVariable, std::nullopt);
    const ScopedVariable runtime("XDG_RUNTIME_DIR", std::nullopt);
    EXPECT_EQ(InterfaceDir(), "");
  }
}

TEST(UlxSocket, PassesTheDescriptorWithTheFirstByte) {
  int pair[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
  const int memory = memfd_create("ulx-test", MFD_CLOEXEC);
  ASSERT_GE(memory, 0);
  ASSERT_EQ(write(memory, "ring", 4), 4);
  const uint8_t reply[3] = {1, 2, 3};
  EXPECT_EQ(SendWithDescriptor(pair[0], reply, sizeof reply, memory, 0), 3);
  EXPECT_EQ(SendWithDescriptor(pair[0], reply, 1, -1, 0), 1);

  uint8_t received[4] = {};
  iovec io{received, sizeof received};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
  msghdr message{};
  message.msg_iov = &io;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  ASSERT_EQ(recvmsg(pair[1], &message, 0), 3);  // the descriptor ends the first read
  EXPECT_EQ(received[2], 3);
  cmsghdr* header = CMSG_FIRSTHDR(&message);
  ASSERT_NE(header, nullptr);
  ASSERT_EQ(header->cmsg_type, SCM_RIGHTS);
  int passed = -1;
  std::memcpy(&passed, CMSG_DATA(header), sizeof passed);
  char text[4] = {};
  EXPECT_EQ(pread(passed, text, 4, 0), 4);
  EXPECT_EQ(std::string(text, 4), "ring");
  close(passed);
  close(memory);
  close(pair[0]);
  close(pair[1]);
}

TEST(UlxRingLayout, HoldsWholeBlocksOfTheStreamFormat) {
  EXPECT_EQ(ulxd::kBlockBytes % kStreamFrameBytes, 0u);
  EXPECT_EQ(ulxd::kBlockBytes / kStreamFrameBytes * 1000 / kStreamRate, 40u);  // 40 ms blocks
  EXPECT_EQ(ulxd::kRingBytes, 2 * kStreamBytesPerSecond);
  EXPECT_EQ(ulxd::kRingBytes % ulxd::kBlockBytes, 0u);
  EXPECT_LT(ulxd::kMaxDelayBytes + ulxd::kZeroGuardBytes, ulxd::kRingBytes);
}

}  // namespace
}  // namespace auralith::ulx
