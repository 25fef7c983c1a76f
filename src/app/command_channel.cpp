#include "app/command_channel.h"

#include "app/commands.h"

#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>
#include <QtEndian>

namespace auralith::app {

namespace {

constexpr char kRequestMagic[] = "ULXC";
constexpr char kDoneMagic[] = "ULXD";
constexpr qsizetype kMagicSize = 4;

QByteArray Frame(const char* magic, int code) {
  QByteArray frame(magic, kMagicSize);
  char number[4];
  qToLittleEndian<qint32>(code, number);
  frame.append(number, 4);
  return frame;
}

std::optional<int> CodeOf(const QByteArray& frame, const char* magic) {
  if (frame.size() != kCommandFrameSize || !frame.startsWith(QByteArray(magic, kMagicSize))) return std::nullopt;
  return qFromLittleEndian<qint32>(frame.constData() + kMagicSize);
}

}  // namespace

QByteArray CommandRequestFrame(int code) { return Frame(kRequestMagic, code); }

QByteArray CommandDoneFrame(int code) { return Frame(kDoneMagic, code); }

std::optional<int> ParseCommandRequest(const QByteArray& frame) {
  const std::optional<int> code = CodeOf(frame, kRequestMagic);
  if (!code || !IsCommandCode(*code)) return std::nullopt;
  return code;
}

SendResult SendCommand(const QString& socketPath, int code, int timeoutMs) {
  const QDeadlineTimer deadline(timeoutMs);
  QLocalSocket socket;
  socket.connectToServer(socketPath);
  if (!socket.waitForConnected(static_cast<int>(deadline.remainingTime()))) return SendResult::kNoListener;
  socket.write(CommandRequestFrame(code));
  QByteArray reply;
  while (reply.size() < kCommandFrameSize) {
    if (socket.bytesToWrite() > 0) socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()));
    if (deadline.hasExpired()) return SendResult::kNoAnswer;
    if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
      return SendResult::kNoAnswer;
    reply += socket.read(kCommandFrameSize - reply.size());
  }
  return CodeOf(reply, kDoneMagic) == code ? SendResult::kDelivered : SendResult::kNoAnswer;
}

CommandServer::CommandServer(Handler handler, QObject* parent)
    : QObject(parent), handler_(std::move(handler)), server_(new QLocalServer(this)) {
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  connect(server_, &QLocalServer::newConnection, this, &CommandServer::Accept);
}

CommandServer::~CommandServer() = default;

bool CommandServer::Listen(const QString& socketPath) {
  if (server_->listen(socketPath)) return true;
  // The caller holds the instance lock, so a socket file there is stale.
  QLocalServer::removeServer(socketPath);
  return server_->listen(socketPath);
}

void CommandServer::Accept() {
  while (QLocalSocket* client = server_->nextPendingConnection()) {
    connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
    connect(client, &QLocalSocket::readyRead, this, [this, client] { ReadRequest(client); });
    QTimer::singleShot(kIdleClientMs, client, [client] { client->abort(); });
    if (client->bytesAvailable() > 0) ReadRequest(client);
  }
}

void CommandServer::ReadRequest(QLocalSocket* client) {
  if (client->bytesAvailable() < kCommandFrameSize) return;
  const QByteArray frame = client->read(kCommandFrameSize);
  const std::optional<int> code = ParseCommandRequest(frame);
  if (!code || client->bytesAvailable() > 0) {
    client->abort();
    return;
  }
  // One command per connection.
  disconnect(client, &QLocalSocket::readyRead, this, nullptr);
  // The command may run a nested event loop in which the client goes away.
  const QPointer<QLocalSocket> guard(client);
  handler_(*code);
  if (!guard) return;
  // The handler may have ended the main window (quit): answer before the
  // process goes away.
  client->write(CommandDoneFrame(*code));
  client->flush();
  client->disconnectFromServer();
}

}  // namespace auralith::app
