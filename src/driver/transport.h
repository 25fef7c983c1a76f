#pragma once
// One client's transport: its own ring, the writer that feeds it and the
// policy that answers its position exchanges. Each client has its own ring,
// so two applications (or a stale one) never take audio from each other.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "driver/read_policy.h"
#include "driver/request_reader.h"
#include "driver/ring_writer.h"
#include "driver/shared_ring.h"

namespace auralith::ulxd {

struct Reply {
  uint32_t status = ulx::kSuccess;
  std::vector<uint8_t> body;
  int fd = -1;  // passed with the reply, still owned by the transport
};

class Transport {
 public:
  // bursts: the writer's recent bursts, so the first exchange already
  // leaves room for them.
  static std::unique_ptr<Transport> Create(const BurstMemory& bursts, std::string& error);

  RingWriter& Writer() { return writer_; }
  // The writer has just written this many bytes at once.
  void NoteBurst(uint32_t bytes, uint64_t nowUsec) { policy_.NoteBurst(bytes, nowUsec); }
  uint32_t ReaderBlock() const { return policy_.ReaderBlock(); }
  // Bytes between the reader and the writer at the last answer.
  uint32_t Delay() const { return policy_.Delay(); }
  const SharedRing& Ring() const { return *ring_; }

  // Answers a position exchange with the next read offset, the volume and,
  // as the spare value, the bytes between that offset and the writer.
  Reply Exchange(const Request& request, int32_t volume, uint64_t nowUsec, ReadPolicy::Verdict& verdict);
  Reply Describe() const;

 private:
  Transport(std::unique_ptr<SharedRing> ring, const BurstMemory& bursts);

  std::unique_ptr<SharedRing> ring_;
  RingWriter writer_;
  ReadPolicy policy_;
};

// Answers one request of a connection; creates the connection's transport on
// IOCTL_VT_OPEN_TRANSPORT (a second one gets the same ring), its reader
// cushion sized for the writer's recent bursts. nowUsec: the time of the
// request on a monotonic clock.
Reply HandleRequest(const Request& request, std::unique_ptr<Transport>& transport, const BurstMemory& bursts,
                    int32_t volume, uint64_t nowUsec, ReadPolicy::Verdict& verdict, std::string& error);

const char* VerdictText(ReadPolicy::Verdict verdict);

}  // namespace auralith::ulxd
