#pragma once
// The application's side of a control request to the ULX driver, in the
// shape of the platform's device input/output control: one buffer carries the
// request and receives the reply.

#include <cstdint>
#include <string>

#include "ulx/ulx_interface.h"

namespace auralith::ulx {

// An open device interface: a connected stream socket.
using Handle = int;
inline constexpr Handle kInvalidHandle = -1;

// How long a control-thread request (DeviceIoControl) waits for its reply. A
// daemon that does not answer in time fails the request and the handle is
// shut down, so no later request can read the late reply as its own.
inline constexpr int kReplyTimeoutMs = 250;
// How long a position exchange on the audio thread waits for its reply: one
// 40 ms block of the three still queued (the low-latency mode waits one of
// its own blocks). A later reply is taken off the stream before the next
// request goes (ReplyInbox), so lateness costs one exchange.
inline constexpr int kExchangeWaitMs = 40;

// Connects to the interface socket at path; kInvalidHandle on failure.
Handle OpenInterface(const std::string& path);
void CloseInterface(Handle handle);

// Sends one request of size bytes from buffer and waits for the reply, which
// replaces those bytes. True when the driver answered success with exactly
// size bytes. For IOCTL_VT_OPEN_TRANSPORT (16 bytes) the ring passed with the
// reply is mapped into this process and its address written into the record's
// ring-base field; the caller then owns the mapping of ring-size bytes
// (UnmapRing). No mapping is made, and the request fails, when the reply
// carries no ring or one smaller than the ring size it reports.
bool DeviceIoControl(Handle handle, uint32_t code, void* buffer, uint32_t size);

void UnmapRing(void* base, uint32_t size);

// One reply frame as it arrives, possibly over several calls.
struct ReplyInbox {
  uint8_t frame[kFrameHeaderSize + kMaxBodySize] = {};
  size_t have = 0;
};

enum class Arrival {
  Complete,  // the whole frame is in the inbox
  Pending,   // not (all) there yet; what came is kept
  Broken,    // the stream ended, failed or carries no frame: the link has gone
};

// Sends one request frame without waiting for room; false when it could not
// go whole (the stream is then out of step and counts as gone).
bool SendRequest(Handle handle, uint32_t code, const void* body, uint32_t size);
// Reads what has arrived of the next reply frame, waiting at most waitMs (0:
// not at all). No allocation; poll and recv only.
Arrival ReceiveReply(Handle handle, ReplyInbox& inbox, int waitMs);

}  // namespace auralith::ulx
