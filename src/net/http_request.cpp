#include "net/http_request.h"

#include <QHostAddress>
#include <QMetaObject>
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

// One request in flight: owns its manager, reply and timers, reports once
// and then deletes itself. A child of the caller's context object, so it
// goes (aborting the reply, reporting nothing) when the context goes.
class PendingRequest : public QObject {
 public:
  PendingRequest(const HttpRequest& request, const HttpOptions& options, HttpCompletion done, QObject* context)
      : QObject(context), options_(options), maxBody_(request.maxBodyBytes), done_(std::move(done)) {
    manager_.setProxyFactory(new SystemProxies);  // the manager owns it
    idle_.setSingleShot(true);
    whole_.setSingleShot(true);
    connect(&idle_, &QTimer::timeout, this, [this] { Fail(QStringLiteral("The operation timed out.")); });
    connect(&whole_, &QTimer::timeout, this, [this] { Fail(QStringLiteral("The operation timed out.")); });
    if (request.host.isEmpty() && !options.override) {
      FailLater(QStringLiteral("No server host is given."));
      return;
    }
    QNetworkRequest networkRequest(RequestUrl(request, options));
    networkRequest.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    networkRequest.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    networkRequest.setHeader(QNetworkRequest::UserAgentHeader, options.userAgent);
    for (const auto& [name, value] : request.headers) networkRequest.setRawHeader(name, value);
    reply_ = request.method == HttpRequest::Method::Post ? manager_.post(networkRequest, request.body)
                                                         : manager_.get(networkRequest);
    connect(reply_, &QNetworkReply::requestSent, this, [this] { idle_.start(options_.receiveTimeoutMs); });
    connect(reply_, &QNetworkReply::metaDataChanged, this, [this] { CheckDeclaredLength(); });
    connect(reply_, &QNetworkReply::readyRead, this, [this] { Take(); });
    connect(reply_, &QNetworkReply::finished, this, [this] { Finish(); });
    idle_.start(options_.connectTimeoutMs);
    whole_.start(request.deadlineMs);
  }
  ~PendingRequest() override {
    // The manager goes after this body; its reply must not call back in.
    reported_ = true;
    if (reply_) disconnect(reply_, nullptr, this, nullptr);
  }
  PendingRequest(const PendingRequest&) = delete;
  PendingRequest& operator=(const PendingRequest&) = delete;

 private:
  void CheckDeclaredLength() {
    const QVariant length = reply_->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() > maxBody_) Fail(TooLarge());
  }
  void Take() {
    if (reported_) return;
    idle_.start(options_.receiveTimeoutMs);
    body_ += reply_->readAll();
    if (body_.size() > maxBody_) Fail(TooLarge());
  }
  QString TooLarge() const { return QStringLiteral("The server's reply is larger than %1 bytes.").arg(maxBody_); }

  void Finish() {
    if (reported_) return;
    Take();
    if (reported_) return;
    const QVariant status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid()) return Fail(reply_->errorString());
    HttpResponse response;
    response.status = status.toInt();
    if (response.status == 200) {
      // A 200 whose body broke off is not a reply to act on.
      if (reply_->error() != QNetworkReply::NoError) return Fail(reply_->errorString());
      response.body = std::move(body_);
    }
    Report(HttpResult{std::move(response), QString()});
  }

  void Fail(const QString& reason) {
    if (reported_) return;
    if (reply_) {
      reported_ = true;  // the abort below emits finished again
      reply_->abort();
      reported_ = false;
    }
    Report(HttpResult{std::nullopt, reason.isEmpty() ? QStringLiteral("The request failed.") : reason});
  }
  // Reported from the event loop, never from inside StartRequest.
  void FailLater(const QString& reason) {
    QMetaObject::invokeMethod(
        this, [this, reason] { Fail(reason); }, Qt::QueuedConnection);
  }

  void Report(const HttpResult& result) {
    reported_ = true;
    idle_.stop();
    whole_.stop();
    HttpCompletion done = std::move(done_);
    // Reported: whatever `done` does to the context leaves this object to
    // its own deferred deletion.
    setParent(nullptr);
    deleteLater();
    if (done) done(result);
  }

  const HttpOptions options_;
  const qint64 maxBody_;
  HttpCompletion done_;
  QNetworkAccessManager manager_;
  QNetworkReply* reply_ = nullptr;  // owned by the manager
  QTimer idle_;                     // connect, then receive time-out
  QTimer whole_;                    // the whole request
  QByteArray body_;
  bool reported_ = false;
};

}  // namespace

void StartRequest(const HttpRequest& request, const HttpOptions& options, HttpCompletion done, QObject* context) {
  new PendingRequest(request, options, std::move(done), context);  // deletes itself
}

}  // namespace auralith::net
