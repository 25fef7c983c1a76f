#include "audio/vt_device.h"

#include <dirent.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "audio/debug_output.h"
#include "ulx/ulx_interface.h"

namespace auralith {
namespace {

// Socket entries of the interface folder, in name order; nothing when the
// folder cannot be read.
bool ListInterfaceSockets(const std::string& dir, std::vector<std::string>& names) {
  DIR* folder = ::opendir(dir.c_str());
  if (!folder) return false;
  while (dirent* entry = ::readdir(folder)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    struct stat st {};
    if (::lstat((dir + "/" + name).c_str(), &st) == 0 && S_ISSOCK(st.st_mode)) names.push_back(name);
  }
  ::closedir(folder);
  std::sort(names.begin(), names.end());
  return true;
}

// An interface is present while its daemon accepts connections; a socket
// left behind by a daemon that crashed is not.
bool IsPresent(const std::string& path) {
  ulx::Handle probe = ulx::OpenInterface(path);
  if (probe == ulx::kInvalidHandle) return false;
  ulx::CloseInterface(probe);
  return true;
}

}  // namespace

VtDevice::VtDevice(std::string devicePath) : devicePath_(std::move(devicePath)) {}

VtDevice::~VtDevice() { Close(); }

int VtDevice::Open() {
  if (handle_ != ulx::kInvalidHandle) return ringBase_ ? 1 : 0;
  handle_ = ulx::OpenInterface(devicePath_);
  if (handle_ == ulx::kInvalidHandle) {
    DebugOutput("CreateFile failed in VtDevice::Open\n");
    return 0;
  }
  uint8_t record[ulx::kTransportRecordSize] = {};
  bool ok = ulx::DeviceIoControl(handle_, ulx::IOCTL_VT_OPEN_TRANSPORT, record, sizeof(record));
  if (ok) {
    ringBase_ = reinterpret_cast<uint8_t*>(uintptr_t(ulx::LoadU64(record + ulx::kTransportRingBase)));
    ringSize_ = ulx::LoadU32(record + ulx::kTransportRingSize);
    ok = ringBase_ && ringSize_ >= 4 && ringSize_ % 4 == 0;
    if (!ok) ReleaseRing();
  }
  if (!ok) {
    DebugOutput("VtDevice::Open - could not open transport\n");
    return 0;
  }
  return 1;
}

int VtDevice::ExchangePosition(uint32_t& readOffset, int waitMs) {
  if (handle_ == ulx::kInvalidHandle || gone_) return 0;
  // The replies of earlier, late exchanges come first on the stream.
  while (lateReplies_ > 0) {
    const ulx::Arrival late = ulx::ReceiveReply(handle_, inbox_, 0);
    if (late == ulx::Arrival::Broken) gone_ = true;
    if (late != ulx::Arrival::Complete) return 0;
    inbox_.have = 0;
    --lateReplies_;
  }
  uint8_t reply[sizeof(position_)];
  std::copy(std::begin(position_), std::end(position_), reply);
  ulx::StoreU32(reply + ulx::kPositionReadOffset, readOffset);
  if (!ulx::SendRequest(handle_, ulx::IOCTL_VT_EXCHANGE_POSITION, reply, sizeof(reply))) {
    gone_ = true;
    return 0;
  }
  const ulx::Arrival arrival = ulx::ReceiveReply(handle_, inbox_, waitMs);
  if (arrival == ulx::Arrival::Broken) gone_ = true;
  if (arrival == ulx::Arrival::Pending) lateReplies_ = 1;
  if (arrival != ulx::Arrival::Complete) return 0;
  inbox_.have = 0;
  if (ulx::LoadU32(inbox_.frame) != ulx::kSuccess || ulx::LoadU32(inbox_.frame + 4) != sizeof(reply)) return 0;
  std::copy(inbox_.frame + ulx::kFrameHeaderSize, inbox_.frame + ulx::kFrameHeaderSize + sizeof(reply), reply);
  uint32_t next = ulx::LoadU32(reply + ulx::kPositionReadOffset);
  // An offset outside the ring would make the reader copy and zero memory
  // beyond it; one inside a frame would swap channels.
  if (next >= ringSize_ || next % 4 != 0) return 0;
  std::copy(std::begin(reply), std::end(reply), position_);
  readOffset = next;
  volume_ = int32_t(ulx::LoadU32(reply + ulx::kPositionVolume));
  spare_ = int32_t(ulx::LoadU32(reply + ulx::kPositionSpare));
  return 1;
}

void VtDevice::Close() {
  ReleaseRing();
  ulx::CloseInterface(handle_);
  handle_ = ulx::kInvalidHandle;
}

void VtDevice::ReleaseRing() {
  ulx::UnmapRing(ringBase_, ringSize_);
  ringBase_ = nullptr;
  ringSize_ = 0;
}

float VtDevice::VolumeFactor(int32_t volume) {
  return std::pow(10.0f, float(std::clamp(volume, ulx::kMinVolume, ulx::kMaxVolume)) * 7.6293946e-7f);
}

std::unique_ptr<VtDevice> FindVtDevice() {
  std::string dir = ulx::InterfaceDir();
  std::vector<std::string> names;
  if (dir.empty() || !ListInterfaceSockets(dir, names)) {
    DebugOutput("ULX driver not found\n");
    return nullptr;
  }
  for (const std::string& name : names) {
    std::string path = dir + "/" + name;
    if (path.size() >= sizeof(sockaddr_un{}.sun_path)) {
      // The path cannot be connected to; it counts as empty.
      DebugOutput("Failed to read interface details\n");
      return nullptr;
    }
    if (IsPresent(path)) return std::make_unique<VtDevice>(path);
  }
  DebugOutput("SetupDiGetClassDevs failed\n");
  return nullptr;
}

}  // namespace auralith
