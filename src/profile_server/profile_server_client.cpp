#include "profile_server/profile_server_client.h"

#include "app/aulx_app.h"
#include "app/diagnostic_log.h"
#include "app/settings_store.h"
#include "profile_server/profile_file_placement.h"
#include "profile_server/url_file_name.h"
#include "profiles/profile.h"
#include "profiles/profile_file_format.h"
#include "profiles/profile_folder.h"
#include "update/own_version.h"
#include "update/this_run.h"

#include <QSaveFile>
#include <QSysInfo>

namespace auralith::profiles {

ProfileServerOptions DefaultProfileServerOptions(const QString& serverHost, const settings::SettingsStore& store) {
  ProfileServerOptions options;
  options.serverHost = serverHost;
  options.http = net::DefaultHttpOptions();
  options.account = ReadAccountDetails(store);
  options.computerName = QSysInfo::machineHostName();
  options.version = QString::fromLatin1(kOwnVersionString);
  options.folder = ProfileFolder();
  return options;
}

ProfileServerOptions ProfileServerOptionsOfThisRun(std::function<void(const QString&)> tellUser) {
  ProfileServerOptions options;
  if (app::AUlxApp* application = app::AUlxApp::Instance()) {
    options = DefaultProfileServerOptions(application->GetServerHost(), application->Settings());
  } else {
    options = DefaultProfileServerOptions(update::ServerHostOfThisRun(), settings::SettingsStore());
  }
  options.tellUser = std::move(tellUser);
  return options;
}

ProfileServerClient::ProfileServerClient(ProfileServerOptions options) : options_(std::move(options)) {}

bool ProfileServerClient::IsServerHost(const QString& host) const {
  return !host.isEmpty() && host.compare(options_.serverHost, Qt::CaseInsensitive) == 0;
}

ProfileServerClient::Reply ProfileServerClient::ProfileRequest(const QString& host, const QByteArray& path,
                                                               qint64 maxBody) const {
  AccountDetails account = options_.account;
  if (!IsServerHost(host)) {
    account.email.clear();
    account.password.clear();
  }
  net::HttpRequest request;
  request.method = net::HttpRequest::Method::Post;
  request.host = host;
  request.path = path;
  request.headers = {{"Content-Type", "application/x-www-form-urlencoded"}};
  request.body = BuildRequestForm(account, options_.computerName, options_.version);
  request.maxBodyBytes = maxBody;

  Reply reply;
  try {
    const net::HttpResponse response = net::SendRequest(request, options_.http);
    if (response.status == 200) {
      reply.body = net::WithoutCarriageReturns(response.body);
    } else {
      reply.failure = QStringLiteral("The server answered with status %1.").arg(response.status);
    }
  } catch (const net::NetworkError& error) {
    reply.failure = error.message().isEmpty() ? QStringLiteral("No error message is available.") : error.message();
    if (options_.tellUser) options_.tellUser(reply.failure);
    app::WriteLog(QStringLiteral("Fetch profile list failed: ") + reply.failure.left(255));
  }
  return reply;
}

ProfileServerClient::Outcome ProfileServerClient::FetchCatalogue(ProfileCatalogue& catalogue) const {
  const Reply reply = ProfileRequest(options_.serverHost, kCataloguePath, net::kDocumentBodyLimit);
  if (!reply.body) {
    app::WriteLog(QStringLiteral("Get profiles returned null."));
    return {false, reply.failure};
  }
  app::WriteLog(QStringLiteral("Get profiles returned:"));
  app::WriteLog(QString::fromUtf8(*reply.body));
  const CatalogueParse parse = ParseCatalogue(*reply.body, catalogue);
  if (!parse.complete) return {false, QStringLiteral("The catalogue is damaged: ") + parse.error};
  return {true, QString()};
}

bool HoldsParameterLine(const QByteArray& body) {
  for (const QByteArray& line : body.split('\n')) {
    // The loader reads lines in pieces of at most 255 characters.
    for (qsizetype at = 0; at < line.size(); at += static_cast<qsizetype>(kProfileLinePiece)) {
      const std::string piece = line.mid(at, static_cast<qsizetype>(kProfileLinePiece)).toStdString();
      int32_t number = 0;
      float value = 0;
      if (ScanParameterLine(piece.c_str(), number, value)) return true;
    }
  }
  return false;
}

ProfileServerClient::Stored ProfileServerClient::Refuse(const QString& reason) const {
  if (options_.tellUser) options_.tellUser(reason);
  return Stored{std::nullopt, reason};
}

ProfileServerClient::Stored ProfileServerClient::FetchAndStoreProfile(const ProfileRecord& model,
                                                                      StoredProfileHandler& handler) const {
  const UrlParts url = SplitUrl(QString::fromStdString(model.location));
  if (url.host.isEmpty()) return Refuse(QStringLiteral("The profile has no address it can be fetched from."));
  const QString fileName = FileNameFromUrl(LastPathSegment(url.path));
  if (!IsPlainFileName(fileName)) {
    return Refuse(QStringLiteral("The profile's address does not give a usable file name."));
  }
  if (options_.folder.empty()) return Refuse(QStringLiteral("The profile folder cannot be found."));

  const Reply reply = ProfileRequest(url.host, url.path, net::kProfileBodyLimit);
  if (!reply.body) {
    // Network failures were shown by the request already.
    return Stored{std::nullopt, reply.failure};
  }
  if (!HoldsParameterLine(*reply.body)) {
    return Refuse(QStringLiteral("The server's reply is not a profile."));
  }
  const Placement placement = PlaceProfileFile(options_.folder, fileName, *reply.body);
  if (!placement.path) return Refuse(placement.failure);

  {
    // A short-lived profile brings its own database connection.
    Profile profile(options_.folder);
    profile.database().store(*placement.path, model);
  }
  handler.ProfileStored(*placement.path);
  return Stored{placement.path, QString()};
}

QString PictureFileName(const QString& url, const ProfileRecord& model) {
  const QString segment = LastPathSegment(SplitUrl(url).path);
  if (segment.isEmpty()) return QString::fromLatin1(kFallbackPictureName);
  const QString name = FileNameFromUrl(segment);
  if (IsPlainFileName(name) && HasPictureExtension(name)) return name;
  // The model's own name, with separators and control characters made "_".
  QString modelName = QString::fromStdString(model.model);
  for (QChar& c : modelName) {
    if (c.unicode() < 0x20 || c.unicode() == 0x7F || c == u'/' || c == u'\\') c = u'_';
  }
  if (modelName.trimmed().isEmpty()) return QString::fromLatin1(kFallbackPictureName);
  const QString derived = QString::fromStdString(DerivedPictureName(modelName.toStdString()));
  return IsPlainFileName(derived) ? derived : QString::fromLatin1(kFallbackPictureName);
}

QString ProfileServerClient::FetchPicture(const QString& url, const ProfileRecord& model) const {
  const UrlParts parts = SplitUrl(url);
  if (parts.host.isEmpty() || options_.folder.empty()) return QString();
  net::HttpRequest request;
  request.host = parts.host;
  request.path = parts.path;
  request.headers = {{"Accept", "image/*"}};
  try {
    const net::HttpResponse response = net::SendRequest(request, options_.http);
    if (response.status != 200) return QString();
    const QString name = PictureFileName(url, model);
    QSaveFile file(QString::fromStdString(options_.folder) + name);
    if (!file.open(QIODevice::WriteOnly) || file.write(response.body) != response.body.size() || !file.commit()) {
      return QString();
    }
    return name;
  } catch (const net::NetworkError&) {
    return QString();
  }
}

}  // namespace auralith::profiles
