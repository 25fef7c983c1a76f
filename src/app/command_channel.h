#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QLocalServer;
class QLocalSocket;

// The message from a second instance to the running one. A request is eight
// bytes, "ULXC" and the command code as a little-endian 32-bit integer; the
// running instance answers "ULXD" and the same code once RunCommand has
// returned, so the sender knows the command was carried out. Anything else
// is ignored and the connection closed.

namespace auralith::app {

inline constexpr qsizetype kCommandFrameSize = 8;

QByteArray CommandRequestFrame(int code);
QByteArray CommandDoneFrame(int code);
// The code of a well-formed request (1 to 12), else nothing.
std::optional<int> ParseCommandRequest(const QByteArray& frame);

enum class SendResult {
  kDelivered,   // the running instance carried the command out
  kNoListener,  // nobody takes commands (yet): the command is dropped
  kNoAnswer,    // connected, but no confirmation within the time-out
};

// Sends `code` and waits at most `timeoutMs` in all for the confirmation.
// Blocking; needs no event loop.
SendResult SendCommand(const QString& socketPath, int code, int timeoutMs);

// Takes commands in the running instance, on the thread of its event loop.
class CommandServer : public QObject {
 public:
  using Handler = std::function<void(int code)>;

  explicit CommandServer(Handler handler, QObject* parent = nullptr);
  ~CommandServer() override;

  // Listens on `socketPath`, replacing a socket a crashed instance left
  // behind; only call it while holding the instance lock.
  bool Listen(const QString& socketPath);

  // A client that sends nothing for this long is dropped.
  static constexpr int kIdleClientMs = 5000;

 private:
  void Accept();
  void ReadRequest(QLocalSocket* client);

  Handler handler_;
  QLocalServer* server_;
};

}  // namespace auralith::app
