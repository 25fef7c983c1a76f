#pragma once
// The driver link: finds the ULX driver's device interface, opens it, maps
// the shared ring and exchanges the read position with the driver.

#include <cstdint>
#include <memory>
#include <string>

#include "audio/ulx_control.h"

namespace auralith {

class VtDevice {
 public:
  explicit VtDevice(std::string devicePath);
  ~VtDevice();
  VtDevice(const VtDevice&) = delete;
  VtDevice& operator=(const VtDevice&) = delete;

  // 1 when the device is open and the ring is mapped, else 0. A ring that is
  // not mapped, smaller than one frame or not made of whole frames (a multiple
  // of 4 bytes) is refused: the audio thread divides by the ring size and
  // copies whole frames from it.
  int Open();

  // One position exchange, on the audio thread: sends readOffset (the
  // player's new read offset) and, on success, replaces it with the offset
  // the driver wants read next and stores the volume and the spare value.
  // A reply offset at or past the ring's end or not on a frame is treated as
  // a failed exchange. Returns 1 on success, else 0 with everything kept.
  // A reply later than `waitMs` (one block of the caller's) fails its
  // exchange only: it is taken off the stream by a later call, and no new
  // request goes before it came. Never blocks longer than `waitMs`; no
  // allocation.
  int ExchangePosition(uint32_t& readOffset, int waitMs = ulx::kExchangeWaitMs);
  // True once the driver's end of the link has gone (the daemon exited or
  // restarted): every later exchange fails at once, and only a new link
  // reaches the driver again.
  bool Gone() const { return gone_; }

  // Closes the handle and releases the ring; the link cannot be reopened.
  void Close();

  const std::string& DevicePath() const { return devicePath_; }
  bool IsOpen() const { return handle_ != ulx::kInvalidHandle; }
  uint32_t RingSize() const { return ringSize_; }
  uint8_t* RingBase() const { return ringBase_; }
  // Volume of the virtual device in 1/65536 dB, as last reported; 0 before.
  int32_t Volume() const { return volume_; }
  int32_t Spare() const { return spare_; }

  // The audio thread's gain for a reported volume: 10^(v / (20 * 65536)),
  // in single precision; exactly 1 for 0.
  // A reported volume outside kMinVolume..kMaxVolume counts as that limit,
  // so the factor is always finite (never 0 x inf in the audio thread).
  static float VolumeFactor(int32_t volume);

 private:
  void ReleaseRing();

  std::string devicePath_;
  ulx::Handle handle_ = ulx::kInvalidHandle;
  uint32_t ringSize_ = 0;
  uint8_t* ringBase_ = nullptr;
  int32_t volume_ = 0;
  int32_t spare_ = 0;
  // The 12-byte position record: the fields that carry no meaning in a
  // request keep the previous reply's values.
  uint8_t position_[12] = {};
  ulx::ReplyInbox inbox_;
  int lateReplies_ = 0;
  bool gone_ = false;
};

// A new link for the first present interface of the driver's class (in name
// order), or nothing.
std::unique_ptr<VtDevice> FindVtDevice();

}  // namespace auralith
