#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <optional>
#include <stdexcept>

// The one way the program talks HTTP: a synchronous request that waits in a
// local event loop (user input held back, so the waiting window cannot be
// used meanwhile), with a connect time-out, a receive time-out and a bound on
// the body, so a server that never answers or never stops cannot freeze the
// program or fill its memory.

namespace auralith::net {

inline constexpr int kDefaultTimeoutMs = 10000;
// Catalogues, pictures and the version document.
inline constexpr qint64 kDocumentBodyLimit = 8 * 1024 * 1024;
// Profile files are a few hundred bytes; anything near this is not one.
inline constexpr qint64 kProfileBodyLimit = 1024 * 1024;
inline constexpr quint16 kDefaultHttpPort = 80;

// Replaces the host and port of every server request ("host" or
// "host:port"): development servers and tests on loopback.
inline constexpr const char* kServerOverrideEnv = "AURALITH_SERVER_OVERRIDE";

struct Endpoint {
  QString host;
  quint16 port = kDefaultHttpPort;
  bool operator==(const Endpoint&) const = default;
};

// "host" or "host:port" (port 1 to 65535); nothing when unusable.
std::optional<Endpoint> ParseEndpoint(const QString& text);
// The override from the environment, if set and usable.
std::optional<Endpoint> EndpointOverrideFromEnvironment();

struct HttpOptions {
  int connectTimeoutMs = kDefaultTimeoutMs;
  int receiveTimeoutMs = kDefaultTimeoutMs;
  // Bounds the whole request, so a server that drips its reply cannot hold
  // the program for long either.
  int totalTimeoutMs = 5 * 60 * 1000;
  // Where every request goes instead of the named host on port 80.
  std::optional<Endpoint> override;
  QByteArray userAgent = "Auralith";
};

// The options of this run: default time-outs and the environment override.
HttpOptions DefaultHttpOptions();

struct HttpRequest {
  enum class Method { Get, Post };
  Method method = Method::Get;
  QString host;
  QByteArray path = "/";  // object path as written in the URL, query included
  QList<QPair<QByteArray, QByteArray>> headers;
  QByteArray body;
  qint64 maxBodyBytes = kDocumentBodyLimit;
};

struct HttpResponse {
  int status = 0;
  QByteArray body;  // only for status 200
};

// The connection itself failed: unknown host, refused, time-out, a broken
// or oversized reply. Every other outcome is a status.
class NetworkError : public std::runtime_error {
 public:
  explicit NetworkError(const QString& message) : std::runtime_error(message.toStdString()), message_(message) {}
  const QString& message() const { return message_; }

 private:
  QString message_;
};

// Sends the request and waits for the whole reply. Redirects are not
// followed (they come back as their status), so a form never travels to a
// host the caller did not name. Throws NetworkError.
HttpResponse SendRequest(const HttpRequest& request, const HttpOptions& options);

// The body with every carriage return dropped, as the clients keep replies.
QByteArray WithoutCarriageReturns(QByteArray body);

}  // namespace auralith::net
