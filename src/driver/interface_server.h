#pragma once
// The device interface: a Unix stream socket in the interface folder that
// answers the driver's control requests, and the connections to it.

#include <pulse/mainloop-api.h>

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "driver/capture_fragments.h"
#include "driver/request_reader.h"
#include "driver/transport.h"

namespace auralith::ulxd {

class InterfaceServer {
 public:
  // A connection that has not sent a complete request for this long is
  // dropped: idle connections must not use up the places of real clients.
  static constexpr double kIdleLimitSeconds = 3.0;
  // How long replies a client does not take are kept for it (with its ring)
  // before the connection is given up.
  static constexpr double kReplyGraceSeconds = 2.0;

  explicit InterfaceServer(pa_mainloop_api* api);
  ~InterfaceServer();
  InterfaceServer(const InterfaceServer&) = delete;
  InterfaceServer& operator=(const InterfaceServer&) = delete;

  // Creates the socket dir/name (the folder too) and starts accepting. A
  // socket left by a daemon that died is replaced; one that answers is not.
  bool Listen(const std::string& dir, const std::string& name, std::string& error);
  // Closes every connection and removes the socket.
  void Shutdown();

  // Appends audio (zeros when data is null) to the ring of every client.
  void Feed(const uint8_t* data, size_t bytes);
  // What was fed since the last call arrived at once: the rings' readers
  // keep their cushions at least that long.
  void EndBurst();
  // Told the capture fragment to use whenever the clients' blocks change it.
  void SetFragmentHandler(std::function<void(uint32_t bytes)> handler) { fragmentHandler_ = std::move(handler); }
  // The volume, in 1/65536 dB, that each exchange reports.
  void SetVolume(int32_t volume) { volume_ = volume; }
  const std::string& Path() const { return path_; }

 private:
  struct Connection;
  static void OnAccept(pa_mainloop_api*, pa_io_event*, int fd, pa_io_event_flags_t, void* self);
  static void OnReadable(pa_mainloop_api*, pa_io_event*, int fd, pa_io_event_flags_t flags, void* self);
  static void OnSweep(pa_mainloop_api* api, pa_time_event* event, const struct timeval*, void* self);
  void Sweep();
  void ArmSweep();
  // Sends what is waiting in the connection's outbox; false when the
  // connection is to end.
  bool Flush(Connection& connection);
  void Accept();
  // False when the connection is to end.
  bool Serve(Connection& connection);
  bool Send(Connection& connection, const Reply& reply);
  void Drop(Connection* connection, const char* why);
  void NoteVerdict(Connection& connection, ReadPolicy::Verdict verdict);
  void ReviewFragments();

  pa_mainloop_api* api_;
  int listenFd_ = -1;
  pa_io_event* listenEvent_ = nullptr;
  pa_time_event* sweepEvent_ = nullptr;
  std::string path_;
  std::list<std::unique_ptr<Connection>> connections_;
  unsigned nextId_ = 1;
  int32_t volume_ = 0;
  bool stopping_ = false;
  BurstMemory bursts_{kCaptureGapUsec};
  uint32_t burstBytes_ = 0;
  CaptureFragments fragments_;
  std::function<void(uint32_t bytes)> fragmentHandler_;
};

}  // namespace auralith::ulxd
