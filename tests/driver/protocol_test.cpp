// Cutting a connection's bytes into requests, and the answers to them.

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "driver/request_reader.h"
#include "driver/transport.h"
#include "ulx/ring_layout.h"

namespace auralith::ulxd {
namespace {

std::vector<uint8_t> Frame(uint32_t code, std::vector<uint8_t> body, uint32_t length = UINT32_MAX) {
  // Sized once: GCC 12 at -O3 takes the growing insert for an overrun.
  std::vector<uint8_t> out(8 + body.size());
  ulx::StoreU32(out.data(), code);
  ulx::StoreU32(out.data() + 4, length == UINT32_MAX ? uint32_t(body.size()) : length);
  std::copy(body.begin(), body.end(), out.begin() + 8);
  return out;
}

TEST(RequestReader, TakesRequestsThatArriveInPiecesOrTogether) {
  RequestReader reader;
  auto first = Frame(ulx::IOCTL_VT_OPEN_TRANSPORT, std::vector<uint8_t>(16, 7));
  auto second = Frame(ulx::IOCTL_VT_EXCHANGE_POSITION, std::vector<uint8_t>(12, 9));
  std::vector<uint8_t> stream = first;
  stream.insert(stream.end(), second.begin(), second.end());
  Request request;
  // One byte at a time up to the middle of the second request.
  for (size_t i = 0; i < first.size() + 5; ++i) reader.Append(&stream[i], 1);
  ASSERT_EQ(reader.Next(request), RequestReader::Result::Ready);
  EXPECT_EQ(request.code, ulx::IOCTL_VT_OPEN_TRANSPORT);
  EXPECT_EQ(request.length, 16u);
  EXPECT_EQ(request.body[15], 7);
  EXPECT_EQ(reader.Next(request), RequestReader::Result::NeedMore);
  reader.Append(stream.data() + first.size() + 5, stream.size() - first.size() - 5);
  ASSERT_EQ(reader.Next(request), RequestReader::Result::Ready);
  EXPECT_EQ(request.code, ulx::IOCTL_VT_EXCHANGE_POSITION);
  EXPECT_EQ(request.body[11], 9);
  EXPECT_EQ(reader.Next(request), RequestReader::Result::NeedMore);
  EXPECT_EQ(reader.Buffered(), 0u);
}

TEST(RequestReader, RefusesALengthBeyondAnyRequestBeforeItArrives) {
  RequestReader reader;
  auto frame = Frame(ulx::IOCTL_VT_EXCHANGE_POSITION, {}, 0x7FFFFFFF);
  reader.Append(frame.data(), frame.size());
  Request request;
  EXPECT_EQ(reader.Next(request), RequestReader::Result::Oversized);
}

TEST(RequestReader, TakesAnEmptyRequest) {
  RequestReader reader;
  auto frame = Frame(0x1D2004, {});
  reader.Append(frame.data(), frame.size());
  Request request;
  ASSERT_EQ(reader.Next(request), RequestReader::Result::Ready);
  EXPECT_EQ(request.length, 0u);
}

Request MakeRequest(uint32_t code, uint32_t length, uint32_t readOffset = 0) {
  Request request;
  request.code = code;
  request.length = length;
  ulx::StoreU32(request.body, readOffset);
  return request;
}

TEST(HandleRequest, OpensOneRingPerConnectionAndAnswersExchangesFromIt) {
  std::unique_ptr<Transport> transport;
  ReadPolicy::Verdict verdict;
  std::string error;
  Reply early = HandleRequest(MakeRequest(ulx::IOCTL_VT_EXCHANGE_POSITION, 12), transport, BurstMemory(kCaptureGapUsec),
                              0, ReadPolicy::kNoClock, verdict, error);
  EXPECT_EQ(early.status, ulx::kNoTransport);
  EXPECT_TRUE(early.body.empty());

  Reply open = HandleRequest(MakeRequest(ulx::IOCTL_VT_OPEN_TRANSPORT, 16), transport, BurstMemory(kCaptureGapUsec), 0,
                             ReadPolicy::kNoClock, verdict, error);
  ASSERT_EQ(open.status, ulx::kSuccess) << error;
  ASSERT_EQ(open.body.size(), 16u);
  EXPECT_EQ(ulx::LoadU64(open.body.data()), 0u);
  EXPECT_EQ(ulx::LoadU32(open.body.data() + 8), kRingBytes);
  EXPECT_GE(open.fd, 0);
  int fd = open.fd;
  Reply again = HandleRequest(MakeRequest(ulx::IOCTL_VT_OPEN_TRANSPORT, 16), transport, BurstMemory(kCaptureGapUsec), 0,
                              ReadPolicy::kNoClock, verdict, error);
  EXPECT_EQ(again.fd, fd);

  transport->Writer().Write(nullptr, 3 * kBlockBytes);
  Reply exchange = HandleRequest(MakeRequest(ulx::IOCTL_VT_EXCHANGE_POSITION, 12, 0), transport,
                                 BurstMemory(kCaptureGapUsec), -393216, ReadPolicy::kNoClock, verdict, error);
  ASSERT_EQ(exchange.status, ulx::kSuccess);
  ASSERT_EQ(exchange.body.size(), 12u);
  EXPECT_EQ(verdict, ReadPolicy::Verdict::Aligned);
  EXPECT_EQ(ulx::LoadU32(exchange.body.data()), 2 * kBlockBytes);
  EXPECT_EQ(int32_t(ulx::LoadU32(exchange.body.data() + 4)), -393216);
  EXPECT_EQ(ulx::LoadU32(exchange.body.data() + 8), kBlockBytes);
}

TEST(HandleRequest, ANewRingLeavesRoomForTheBurstsSeenBeforeItsReaderCame) {
  std::unique_ptr<Transport> transport;
  ReadPolicy::Verdict verdict;
  std::string error;
  BurstMemory bursts(kCaptureGapUsec);
  bursts.Note(4096 * 4);
  ASSERT_EQ(HandleRequest(MakeRequest(ulx::IOCTL_VT_OPEN_TRANSPORT, 16), transport, bursts, 0, ReadPolicy::kNoClock,
                          verdict, error)
                .status,
            ulx::kSuccess);
  transport->Writer().Write(nullptr, 10 * kBlockBytes);
  Reply exchange = HandleRequest(MakeRequest(ulx::IOCTL_VT_EXCHANGE_POSITION, 12), transport, bursts, 0,
                                 ReadPolicy::kNoClock, verdict, error);
  EXPECT_EQ(verdict, ReadPolicy::Verdict::Aligned);
  EXPECT_EQ(ulx::LoadU32(exchange.body.data() + 8), 4096u * 4 + kBlockBytes);
}

TEST(HandleRequest, RefusesWrongLengthsAndUnknownCodes) {
  std::unique_ptr<Transport> transport;
  ReadPolicy::Verdict verdict;
  std::string error;
  EXPECT_EQ(HandleRequest(MakeRequest(ulx::IOCTL_VT_OPEN_TRANSPORT, 12), transport, BurstMemory(kCaptureGapUsec), 0,
                          ReadPolicy::kNoClock, verdict, error)
                .status,
            ulx::kBadLength);
  EXPECT_FALSE(transport);
  ASSERT_EQ(HandleRequest(MakeRequest(ulx::IOCTL_VT_OPEN_TRANSPORT, 16), transport, BurstMemory(kCaptureGapUsec), 0,
                          ReadPolicy::kNoClock, verdict, error)
                .status,
            ulx::kSuccess);
  EXPECT_EQ(HandleRequest(MakeRequest(ulx::IOCTL_VT_EXCHANGE_POSITION, 16), transport, BurstMemory(kCaptureGapUsec), 0,
                          ReadPolicy::kNoClock, verdict, error)
                .status,
            ulx::kBadLength);
  // Function numbers 0x801 and 0x802 exist on the real driver but are not ours.
  for (uint32_t code : {0x1D2004u, 0x1D2008u, 0u, 0xFFFFFFFFu}) {
    Reply reply = HandleRequest(MakeRequest(code, 12), transport, BurstMemory(kCaptureGapUsec), 0, ReadPolicy::kNoClock,
                                verdict, error);
    EXPECT_EQ(reply.status, ulx::kUnknownRequest) << code;
    EXPECT_TRUE(reply.body.empty());
  }
}

}  // namespace
}  // namespace auralith::ulxd
