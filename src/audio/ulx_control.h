#pragma once
// The application's side of a control request to the ULX driver, in the
// shape of the platform's device input/output control: one buffer carries the
// request and receives the reply.

#include <cstdint>
#include <string>

namespace auralith::ulx {

// An open device interface: a connected stream socket.
using Handle = int;
inline constexpr Handle kInvalidHandle = -1;

// How long a request waits for its reply. A daemon that does not answer in
// time is taken as gone: the handle is shut down so later requests fail at
// once instead of reading a late reply as the answer to the next request.
inline constexpr int kReplyTimeoutMs = 250;

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

}  // namespace auralith::ulx
