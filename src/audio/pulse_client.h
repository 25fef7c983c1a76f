#pragma once
// A short-lived synchronous connection to the sound server for the control
// operations of the audio engine: the sink list, the default sink and a
// sink's volume. Every call waits at most the reply time-out (kReplyTimeoutMs
// unless given) for the server.

#include <pulse/context.h>
#include <pulse/mainloop.h>
#include <pulse/operation.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace auralith::audio {

struct SinkInfo {
  uint32_t index = 0;
  std::string name;         // the sink's identity on the server
  std::string description;  // what the user sees
  uint8_t channels = 0;
};

class PulseClient {
 public:
  static constexpr int kReplyTimeoutMs = 2000;

  explicit PulseClient(int replyTimeoutMs = kReplyTimeoutMs);
  ~PulseClient();
  PulseClient(const PulseClient&) = delete;
  PulseClient& operator=(const PulseClient&) = delete;

  // Connects to the session's server (PULSE_SERVER and the client
  // configuration decide which); false when it cannot be reached.
  bool Connect();

  // Every sink, in index order; nothing when the server did not answer.
  std::optional<std::vector<SinkInfo>> Sinks();
  std::optional<SinkInfo> Sink(const std::string& name);
  // The server's default sink; nothing when it has none or did not answer.
  std::optional<std::string> DefaultSink();
  bool SetDefaultSink(const std::string& name);
  // Moves the playback streams on sink `from` to sink `to` (a stream that
  // may not move stays); the number moved.
  int MoveStreams(const std::string& from, const std::string& to);
  // Sets every channel of the sink to `level` on the server's percentage
  // scale (1.0 is 100 %).
  bool SetSinkVolume(const std::string& name, double level);

  // For queries of its own: the context once connected (else null), and
  // Await, which runs the main loop until the operation is done; false on
  // time-out or a failed connection (the operation is then cancelled).
  pa_context* Context() const { return context_; }
  bool Await(pa_operation* operation);

 private:
  bool Iterate(int64_t deadlineUs);

  int replyTimeoutMs_;
  pa_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;
};

}  // namespace auralith::audio
