#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <functional>
#include <optional>

class QObject;

// The one way the program talks HTTP: a request started from the calling
// thread's event loop that reports its outcome later through a completion
// callback, so nothing else runs in the middle of the caller's own work.
// A connect time-out, a receive (idle) time-out, a deadline for the whole
// request and a bound on the body keep a server that never answers, never
// stops or drips its reply from holding the program or filling its memory.

namespace auralith::net {

inline constexpr int kDefaultTimeoutMs = 10000;
// Catalogues, pictures and the version document.
inline constexpr qint64 kDocumentBodyLimit = 8 * 1024 * 1024;
// Profile files are a few hundred bytes; anything near this is not one.
inline constexpr qint64 kProfileBodyLimit = 1024 * 1024;
inline constexpr quint16 kDefaultHttpPort = 80;
// The whole of a catalogue, profile file or picture request.
inline constexpr int kDocumentDeadlineMs = 30000;

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
  int receiveTimeoutMs = kDefaultTimeoutMs;  // restarts with every piece
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
  // Bounds the whole request, fitting what is asked for, so a server that
  // drips its reply cannot hold the caller for long either.
  int deadlineMs = kDocumentDeadlineMs;
};

struct HttpResponse {
  int status = 0;
  QByteArray body;  // only for status 200
};

// What came of a request: a response with its status, or the reason the
// connection itself failed (unknown host, refused, time-out, a broken or
// oversized reply).
struct HttpResult {
  std::optional<HttpResponse> response;
  QString error;  // set when there is no response
};

using HttpCompletion = std::function<void(const HttpResult&)>;

// Starts the request and returns at once. `done` runs exactly once, later,
// from the calling thread's event loop (never from inside this call). When
// `context` is given and destroyed first, the request is abandoned and
// `done` never runs. Redirects are not followed (they come back as their
// status), so a form never travels to a host the caller did not name.
void StartRequest(const HttpRequest& request, const HttpOptions& options, HttpCompletion done,
                  QObject* context = nullptr);

// The body with every carriage return dropped, as the clients keep replies.
QByteArray WithoutCarriageReturns(QByteArray body);

}  // namespace auralith::net
