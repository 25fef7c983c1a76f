#include "net/http_request.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

namespace auralith::net {

std::optional<Endpoint> ParseEndpoint(const QString& text) {
  const QString trimmed = text.trimmed();
  if (trimmed.isEmpty()) return std::nullopt;
  Endpoint endpoint;
  const qsizetype colon = trimmed.lastIndexOf(u':');
  if (colon < 0) {
    endpoint.host = trimmed;
    return endpoint;
  }
  bool ok = false;
  const uint port = trimmed.mid(colon + 1).toUInt(&ok);
  if (!ok || port == 0 || port > 65535 || colon == 0) return std::nullopt;
  endpoint.host = trimmed.left(colon);
  endpoint.port = static_cast<quint16>(port);
  return endpoint;
}

std::optional<Endpoint> EndpointOverrideFromEnvironment() {
  return ParseEndpoint(qEnvironmentVariable(kServerOverrideEnv));
}

HttpOptions DefaultHttpOptions() {
  HttpOptions options;
  options.override = EndpointOverrideFromEnvironment();
  return options;
}

QByteArray WithoutCarriageReturns(QByteArray body) {
  body.removeIf([](char c) { return c == '\r'; });
  return body;
}

namespace {

QUrl RequestUrl(const HttpRequest& request, const HttpOptions& options) {
  const Endpoint endpoint = options.override ? *options.override : Endpoint{request.host};
  QUrl url;
  url.setScheme(QStringLiteral("http"));
  url.setHost(endpoint.host);
  if (endpoint.port != kDefaultHttpPort) url.setPort(endpoint.port);
  QByteArray path = request.path.isEmpty() ? QByteArray("/") : request.path;
  if (!path.startsWith('/')) path.prepend('/');
  const qsizetype query = path.indexOf('?');
  url.setPath(QString::fromUtf8(query < 0 ? path : path.left(query)), QUrl::TolerantMode);
  if (query >= 0) url.setQuery(QString::fromUtf8(path.mid(query + 1)), QUrl::TolerantMode);
  return url;
}

// The system's configured proxies (on Linux: http_proxy and no_proxy), never
// for the loopback host, where the development and test servers run.
class SystemProxies : public QNetworkProxyFactory {
 public:
  QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& query) override {
    const QString host = query.peerHostName();
    if (host.compare(QLatin1StringView("localhost"), Qt::CaseInsensitive) == 0 || QHostAddress(host).isLoopback()) {
      return {QNetworkProxy(QNetworkProxy::NoProxy)};
    }
    return systemProxyForQuery(query);
  }
};

// Ties one reply to its deadline and body bound while the loop waits.
class ReplyWatch {
 public:
  ReplyWatch(QNetworkReply& reply, const HttpOptions& options, qint64 maxBody)
      : reply_(reply), options_(options), maxBody_(maxBody) {
    deadline_.setSingleShot(true);
    whole_.setSingleShot(true);
    QObject::connect(&deadline_, &QTimer::timeout, &loop_, [this] { Fail(Failure::TimedOut); });
    QObject::connect(&whole_, &QTimer::timeout, &loop_, [this] { Fail(Failure::TimedOut); });
    QObject::connect(&reply_, &QNetworkReply::requestSent, &loop_, [this] { Restart(options_.receiveTimeoutMs); });
    QObject::connect(&reply_, &QNetworkReply::metaDataChanged, &loop_, [this] { CheckDeclaredLength(); });
    QObject::connect(&reply_, &QNetworkReply::readyRead, &loop_, [this] { Take(); });
    QObject::connect(&reply_, &QNetworkReply::finished, &loop_, [this] { loop_.quit(); });
    Restart(options_.connectTimeoutMs);
    whole_.start(options_.totalTimeoutMs);
  }

  enum class Failure { None, TimedOut, TooLarge };

  Failure Wait() {
    if (!reply_.isFinished()) loop_.exec(QEventLoop::ExcludeUserInputEvents);
    deadline_.stop();
    whole_.stop();
    if (failure_ == Failure::None) Take();
    return failure_;
  }

  QByteArray& body() { return body_; }

 private:
  void Restart(int ms) {
    if (failure_ == Failure::None) deadline_.start(ms);
  }
  void Fail(Failure failure) {
    if (failure_ != Failure::None) return;
    failure_ = failure;
    deadline_.stop();
    whole_.stop();
    body_.clear();
    reply_.abort();
  }
  void CheckDeclaredLength() {
    const QVariant length = reply_.header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() > maxBody_) Fail(Failure::TooLarge);
  }
  void Take() {
    if (failure_ != Failure::None) return;
    Restart(options_.receiveTimeoutMs);
    body_ += reply_.readAll();
    if (body_.size() > maxBody_) Fail(Failure::TooLarge);
  }

  QNetworkReply& reply_;
  const HttpOptions& options_;
  const qint64 maxBody_;
  QEventLoop loop_;
  QTimer deadline_;  // connect, then receive time-out
  QTimer whole_;     // the whole request
  QByteArray body_;
  Failure failure_ = Failure::None;
};

}  // namespace

HttpResponse SendRequest(const HttpRequest& request, const HttpOptions& options) {
  if (request.host.isEmpty() && !options.override) throw NetworkError(QStringLiteral("No server host is given."));
  if (!QCoreApplication::instance()) throw NetworkError(QStringLiteral("No event loop to run the request in."));

  QNetworkAccessManager manager;
  manager.setProxyFactory(new SystemProxies);  // the manager owns it
  QNetworkRequest networkRequest(RequestUrl(request, options));
  networkRequest.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
  networkRequest.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
  networkRequest.setHeader(QNetworkRequest::UserAgentHeader, options.userAgent);
  for (const auto& [name, value] : request.headers) networkRequest.setRawHeader(name, value);

  QNetworkReply* reply = request.method == HttpRequest::Method::Post ? manager.post(networkRequest, request.body)
                                                                     : manager.get(networkRequest);
  std::unique_ptr<QNetworkReply> owner(reply);
  ReplyWatch watch(*reply, options, request.maxBodyBytes);
  switch (watch.Wait()) {
    case ReplyWatch::Failure::TimedOut:
      throw NetworkError(QStringLiteral("The operation timed out."));
    case ReplyWatch::Failure::TooLarge:
      throw NetworkError(QStringLiteral("The server's reply is larger than %1 bytes.").arg(request.maxBodyBytes));
    case ReplyWatch::Failure::None:
      break;
  }

  const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
  if (!status.isValid()) throw NetworkError(reply->errorString());
  HttpResponse response;
  response.status = status.toInt();
  if (response.status == 200) {
    // A 200 whose body broke off is not a reply to act on.
    if (reply->error() != QNetworkReply::NoError) throw NetworkError(reply->errorString());
    response.body = std::move(watch.body());
  }
  return response;
}

}  // namespace auralith::net
