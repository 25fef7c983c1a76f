#include "update/version_check.h"

#include "app/diagnostic_log.h"
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

namespace {

VersionCheckResult Check(const VersionCheckOptions& options) {
  VersionCheckResult result;
  net::HttpRequest request;
  request.host = options.host;
  request.path = kVersionDocumentPath;
  net::HttpResponse response;
  try {
    response = net::SendRequest(request, options.http);
  } catch (const net::NetworkError& error) {
    const QString text = error.message().isEmpty() ? QStringLiteral("No error message is available.") : error.message();
    if (options.reportError) options.reportError(text);
    app::WriteLog(text);
    result.failure = text;
    return result;
  }
  if (response.status != 200) {
    result.failure = QStringLiteral("The version server answered with status %1.").arg(response.status);
    return result;
  }
  const QByteArray body = net::WithoutCarriageReturns(response.body);
  app::WriteLog(QStringLiteral("New version check:"));
  app::WriteLog(QString::fromUtf8(body));
  // Published texts often carry a line break or blanks around the number.
  result.publishedVersion = FindElementText(body, QString::fromLatin1(kVersionElement)).trimmed();
  result.newVersion =
      !result.publishedVersion.isEmpty() && result.publishedVersion != QLatin1StringView(kOwnVersionString) ? 1 : 0;
  return result;
}

}  // namespace

VersionCheckResult CheckPublishedVersion(const VersionCheckOptions& options) {
  try {
    return Check(options);
  } catch (const std::exception& error) {
    VersionCheckResult result;
    result.failure = QString::fromStdString(error.what());
    return result;
  } catch (...) {
    VersionCheckResult result;
    result.failure = QStringLiteral("The version check failed.");
    return result;
  }
}

int CheckForNewVersion(const VersionCheckOptions& options) { return CheckPublishedVersion(options).newVersion; }

}  // namespace auralith::update
