#include "driver/transport.h"

#include "ulx/ring_layout.h"

namespace auralith::ulxd {

Transport::Transport(std::unique_ptr<SharedRing> ring, const BurstMemory& bursts)
    : ring_(std::move(ring)), writer_(ring_->Base(), ring_->Size(), kZeroGuardBytes), policy_(ring_->Size(), bursts) {}

std::unique_ptr<Transport> Transport::Create(const BurstMemory& bursts, std::string& error) {
  auto ring = SharedRing::Create(kRingBytes, error);
  if (!ring) return nullptr;
  return std::unique_ptr<Transport>(new Transport(std::move(ring), bursts));
}

Reply Transport::Describe() const {
  Reply reply;
  reply.body.assign(ulx::kTransportRecordSize, 0);
  // The ring base is the caller's own address, filled in on its side.
  ulx::StoreU32(reply.body.data() + ulx::kTransportRingSize, ring_->Size());
  reply.fd = ring_->Fd();
  return reply;
}

Reply Transport::Exchange(const Request& request, int32_t volume, uint64_t nowUsec, ReadPolicy::Verdict& verdict) {
  uint32_t readOffset = ulx::LoadU32(request.body + ulx::kPositionReadOffset);
  ReadPolicy::Answer answer = policy_.Next(readOffset, writer_.Offset(), nowUsec);
  verdict = answer.verdict;
  Reply reply;
  reply.body.assign(ulx::kPositionRecordSize, 0);
  ulx::StoreU32(reply.body.data() + ulx::kPositionReadOffset, answer.offset);
  ulx::StoreU32(reply.body.data() + ulx::kPositionVolume, uint32_t(volume));
  ulx::StoreU32(reply.body.data() + ulx::kPositionSpare, policy_.Delay());
  return reply;
}

Reply HandleRequest(const Request& request, std::unique_ptr<Transport>& transport, const BurstMemory& bursts,
                    int32_t volume, uint64_t nowUsec, ReadPolicy::Verdict& verdict, std::string& error) {
  verdict = ReadPolicy::Verdict::Kept;
  Reply failure;
  switch (request.code) {
    case ulx::IOCTL_VT_OPEN_TRANSPORT:
      if (request.length != ulx::kTransportRecordSize) break;
      if (!transport) transport = Transport::Create(bursts, error);
      if (!transport) {
        failure.status = ulx::kInternalError;
        return failure;
      }
      return transport->Describe();
    case ulx::IOCTL_VT_EXCHANGE_POSITION:
      if (request.length != ulx::kPositionRecordSize) break;
      if (!transport) {
        failure.status = ulx::kNoTransport;
        return failure;
      }
      return transport->Exchange(request, volume, nowUsec, verdict);
    default:
      failure.status = ulx::kUnknownRequest;
      return failure;
  }
  failure.status = ulx::kBadLength;
  return failure;
}

const char* VerdictText(ReadPolicy::Verdict verdict) {
  switch (verdict) {
    case ReadPolicy::Verdict::Kept:
      return "kept";
    case ReadPolicy::Verdict::Aligned:
      return "started a burst and a block behind the writer";
    case ReadPolicy::Verdict::Underrun:
      return "overtook the writer, moved back (silence)";
    case ReadPolicy::Verdict::Stalled:
      return "fell too far behind, moved up (audio skipped)";
    case ReadPolicy::Verdict::Settled:
      return "had surplus delay for a second, moved up";
    case ReadPolicy::Verdict::Resized:
      return "reads in smaller blocks, moved up to the smaller cushion";
    case ReadPolicy::Verdict::Invalid:
      return "reported an offset outside the ring, realigned";
  }
  return "";
}

}  // namespace auralith::ulxd
