#include "update/version_check.h"

#include "net/xml_nodes.h"
#include "update/own_version.h"

namespace auralith::update {

QString FindElementText(const QByteArray& document, QStringView name) {
  net::XmlNodeReader reader(document);
  QString current;
  QString result;
  for (;;) {
    switch (reader.Next()) {
      case net::XmlNodeReader::Node::ElementStart:
        current.clear();
        break;
      case net::XmlNodeReader::Node::Text:
        current = reader.Value();
        break;
      case net::XmlNodeReader::Node::ElementEnd:
        if (reader.Value() == name) result = current;
        break;
      case net::XmlNodeReader::Node::End:
        return result;
    }
  }
}

VersionCheckResult ReadVersionDocument(const QByteArray& body) {
  VersionCheckResult result;
  // Published texts often carry a line break or blanks around the number.
  result.publishedVersion = FindElementText(body, QString::fromLatin1(kVersionElement)).trimmed();
  result.newVersion =
      !result.publishedVersion.isEmpty() && result.publishedVersion != QLatin1StringView(kOwnVersionString) ? 1 : 0;
  return result;
}

void CheckPublishedVersionAsync(const VersionCheckOptions& options, std::function<void(VersionCheckResult)> done,
                                QObject* context) {
  net::HttpRequest request;
  request.host = options.host;
  request.path = kVersionDocumentPath;
  request.deadlineMs = kVersionDocumentDeadlineMs;
  const auto log = [options](const QString& line) {
    if (options.log) options.log(line);
  };
  net::StartRequest(
      request, options.http,
      [options, log, done = std::move(done)](const net::HttpResult& outcome) {
        VersionCheckResult result;
        if (!outcome.response) {
          if (options.reportError) options.reportError(outcome.error);
          log(outcome.error);
          result.failure = outcome.error;
        } else if (outcome.response->status != 200) {
          result.failure = QStringLiteral("The version server answered with status %1.").arg(outcome.response->status);
        } else {
          const QByteArray body = net::WithoutCarriageReturns(outcome.response->body);
          log(QStringLiteral("New version check:"));
          log(QString::fromUtf8(body));
          result = ReadVersionDocument(body);
        }
        if (done) done(std::move(result));
      },
      context);
}

void CheckForNewVersionAsync(const VersionCheckOptions& options, std::function<void(int)> done, QObject* context) {
  CheckPublishedVersionAsync(
      options,
      [done = std::move(done)](const VersionCheckResult& result) {
        if (done) done(result.newVersion);
      },
      context);
}

}  // namespace auralith::update
