#pragma once
// The contract between the application and the ULX driver (here played by
// the ulxd daemon): where its device interfaces live, the two control
// requests, their records and how a request travels over an interface socket.
//
// Framing on the interface socket, all little-endian:
//   request: u32 code, u32 length, length bytes
//   reply:   u32 status (0 success), u32 length, length bytes
// The reply to IOCTL_VT_OPEN_TRANSPORT carries the ring's memory as one file
// descriptor (SCM_RIGHTS) with its first byte.

#include <cstddef>
#include <cstdint>
#include <string>

namespace auralith::ulx {

inline constexpr const char* kInterfaceClass = "{0C029D15-61A6-4140-999E-B7D25DC95D14}";
inline constexpr const char* kInterfaceDirVariable = "ULX_INTERFACE_DIR";

inline constexpr uint32_t IOCTL_VT_OPEN_TRANSPORT = 0x1D2000;
inline constexpr uint32_t IOCTL_VT_EXCHANGE_POSITION = 0x1D200C;

inline constexpr uint32_t kTransportRecordSize = 16;
inline constexpr uint32_t kPositionRecordSize = 12;
inline constexpr size_t kFrameHeaderSize = 8;
// No request of the contract is longer; anything longer is refused.
inline constexpr uint32_t kMaxBodySize = 64;

// Reply status values; every value but kSuccess is a failure.
enum Status : uint32_t {
  kSuccess = 0,
  kUnknownRequest = 1,
  kBadLength = 2,
  kNoTransport = 3,
  kInternalError = 4,
};

// Transport record (16 bytes): ring base (8, filled in on the caller's side),
// ring size (4), reserved (4, 0 in the request).
inline constexpr size_t kTransportRingBase = 0;
inline constexpr size_t kTransportRingSize = 8;
// Position record (12 bytes): read offset (u32), volume in 1/65536 dB (s32),
// spare value (s32).
inline constexpr size_t kPositionReadOffset = 0;
inline constexpr size_t kPositionVolume = 4;
inline constexpr size_t kPositionSpare = 8;

// The range of a reported volume that either side takes as it stands, in
// 1/65536 dB: -192 dB (below the 16-bit floor) to +24 dB. Beyond it the
// gain would round to 0 or overflow to infinity.
inline constexpr int32_t kVolumeUnitsPerDb = 65536;
inline constexpr int32_t kMinVolumeDb = -192;
inline constexpr int32_t kMaxVolumeDb = 24;
inline constexpr int32_t kMinVolume = kMinVolumeDb * kVolumeUnitsPerDb;
inline constexpr int32_t kMaxVolume = kMaxVolumeDb * kVolumeUnitsPerDb;

inline uint32_t LoadU32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline void StoreU32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}
inline uint64_t LoadU64(const uint8_t* p) { return LoadU32(p) | uint64_t(LoadU32(p + 4)) << 32; }
inline void StoreU64(uint8_t* p, uint64_t v) {
  StoreU32(p, uint32_t(v));
  StoreU32(p + 4, uint32_t(v >> 32));
}

// The folder holding the interfaces of the driver's class: ULX_INTERFACE_DIR
// when set, else $XDG_RUNTIME_DIR/ulx/{class}. Empty when neither is set: a
// shared folder such as /tmp could be prepared by another user.
std::string InterfaceDir();

}  // namespace auralith::ulx
