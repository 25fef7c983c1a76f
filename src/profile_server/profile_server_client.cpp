#include "profile_server/profile_server_client.h"

#include "mapping/missing_parameters.h"
#include "profile_server/profile_file_placement.h"
#include "profile_server/url_file_name.h"
#include "profiles/profile.h"
#include "profiles/profile_file_format.h"

#include <QBuffer>
#include <QImageReader>
#include <QPointer>
#include <QTimer>

#include <cstdio>

namespace auralith::profiles {

namespace {

using Options = std::shared_ptr<const ProfileServerOptions>;

void Log(const ProfileServerOptions& options, const QString& line) {
  if (options.log) options.log(line);
}

// Runs `work` from the event loop, never inside the caller's call.
void Later(QObject* context, std::function<void()> work) {
  if (context) {
    QTimer::singleShot(0, context, std::move(work));
  } else {
    QTimer::singleShot(0, std::move(work));
  }
}

bool IsServerHost(const ProfileServerOptions& options, const QString& host) {
  return !host.isEmpty() && host.compare(options.serverHost, Qt::CaseInsensitive) == 0;
}

void SendProfileRequest(const Options& options, const QString& host, const QByteArray& path, qint64 maxBody,
                        std::function<void(ProfileServerClient::Reply)> done, QObject* context) {
  AccountDetails account = options->account;
  if (!IsServerHost(*options, host)) {
    account.email.clear();
    account.password.clear();
  }
  net::HttpRequest request;
  request.method = net::HttpRequest::Method::Post;
  request.host = host;
  request.path = path;
  request.headers = {{"Content-Type", "application/x-www-form-urlencoded"}};
  request.body = BuildRequestForm(account, options->computerName, options->version);
  request.maxBodyBytes = maxBody;
  net::StartRequest(
      request, options->http,
      [options, done = std::move(done)](const net::HttpResult& outcome) {
        ProfileServerClient::Reply reply;
        if (!outcome.response) {
          reply.failure = outcome.error.isEmpty() ? QStringLiteral("No error message is available.") : outcome.error;
          if (options->tellUser) options->tellUser(reply.failure);
          Log(*options, QStringLiteral("Fetch profile list failed: ") + reply.failure.left(255));
        } else if (outcome.response->status == 200) {
          reply.body = net::WithoutCarriageReturns(outcome.response->body);
        } else {
          reply.failure = QStringLiteral("The server answered with status %1.").arg(outcome.response->status);
        }
        done(std::move(reply));
      },
      context);
}

void SendPictureRequest(const Options& options, const QString& url, std::function<void(std::optional<QByteArray>)> done,
                        QObject* context) {
  const UrlParts parts = SplitUrl(url);
  if (parts.host.isEmpty()) {
    Later(context, [done = std::move(done)] { done(std::nullopt); });
    return;
  }
  net::HttpRequest request;
  request.host = parts.host;
  request.path = parts.path;
  request.headers = {{"Accept", "image/*"}};
  net::StartRequest(
      request, options->http,
      [done = std::move(done)](const net::HttpResult& outcome) {
        if (!outcome.response || outcome.response->status != 200 || !DecodesAsImage(outcome.response->body)) {
          done(std::nullopt);
          return;
        }
        done(outcome.response->body);
      },
      context);
}

ProfileServerClient::Stored Refused(const ProfileServerOptions& options, const QString& reason) {
  if (options.tellUser) options.tellUser(reason);
  return ProfileServerClient::Stored{std::nullopt, QString(), reason};
}

// The picture goes in only now that its profile is in place, never over a
// file of another profile; then the row names it.
ProfileServerClient::Stored StorePictureAndRow(const ProfileServerOptions& options, const ProfileRecord& model,
                                               const std::string& storedPath,
                                               const std::optional<QByteArray>& picture) {
  ProfileServerClient::Stored stored{storedPath, QString(), QString()};
  Profile profile(options.folder);  // a short-lived profile brings its own database connection
  ProfileRecord record = model;
  record.imageFileName.clear();
  if (picture) {
    const QString wanted = PictureFileName(QString::fromStdString(model.imageUrl), model);
    const ProfileDatabase& database = profile.database();
    const Placement placement = PlacePictureFile(options.folder, wanted, *picture, [&](const QString& name) {
      return database.namesPicture(name.toStdString(), storedPath);
    });
    if (placement.path) {
      stored.pictureName = QString::fromStdString(ProfileFileName(*placement.path));
      record.imageFileName = stored.pictureName.toStdString();
    }
  }
  profile.database().store(storedPath, record);
  return stored;
}

}  // namespace

ProfileServerClient::ProfileServerClient(ProfileServerOptions options)
    : options_(std::make_shared<const ProfileServerOptions>(std::move(options))) {}

void ProfileServerClient::ProfileRequest(const QString& host, const QByteArray& path, qint64 maxBody,
                                         std::function<void(Reply)> done, QObject* context) const {
  SendProfileRequest(options_, host, path, maxBody, std::move(done), context);
}

void ProfileServerClient::FetchCatalogue(std::function<void(CatalogueFetch)> done, QObject* context) const {
  const Options options = options_;
  SendProfileRequest(
      options, options->serverHost, kCataloguePath, net::kDocumentBodyLimit,
      [options, done = std::move(done)](const Reply& reply) {
        CatalogueFetch fetch;
        if (!reply.body) {
          Log(*options, QStringLiteral("Get profiles returned null."));
          fetch.failure = reply.failure;
          done(std::move(fetch));
          return;
        }
        Log(*options, QStringLiteral("Get profiles returned:"));
        Log(*options, QString::fromUtf8(*reply.body));
        fetch.catalogue.emplace();
        const CatalogueParse parse = ParseCatalogue(*reply.body, *fetch.catalogue);
        fetch.ok = parse.complete;
        if (!parse.complete) fetch.failure = QStringLiteral("The catalogue is damaged: ") + parse.error;
        done(std::move(fetch));
      },
      context);
}

bool IsCompleteProfile(const QByteArray& body) {
  QByteArray bytes = body;
  if (bytes.isEmpty()) return false;
  std::FILE* file = fmemopen(bytes.data(), static_cast<std::size_t>(bytes.size()), "r");
  if (!file) return false;
  ProfileParameterSet music;
  ProfileParameterSet movie;
  const bool read = ReadProfileParameters(file, music, movie);
  std::fclose(file);
  return read && dsp::GivesEveryParameter(music) && dsp::GivesEveryParameter(movie);
}

bool DecodesAsImage(const QByteArray& bytes) {
  QByteArray copy = bytes;
  QBuffer buffer(&copy);
  if (!buffer.open(QIODevice::ReadOnly)) return false;
  QImageReader reader(&buffer);
  return !reader.read().isNull();
}

void ProfileServerClient::FetchAndStoreProfile(const ProfileRecord& model, std::function<void(Stored)> done,
                                               QObject* context, const QByteArray& picture) const {
  const Options options = options_;
  const auto refuseLater = [&](const QString& reason) {
    Later(context, [options, reason, done] { done(Refused(*options, reason)); });
  };
  const UrlParts url = SplitUrl(QString::fromStdString(model.location));
  if (url.host.isEmpty()) return refuseLater(QStringLiteral("The profile has no address it can be fetched from."));
  const QString fileName = FileNameFromUrl(LastPathSegment(url.path));
  if (!IsPlainFileName(fileName)) {
    return refuseLater(QStringLiteral("The profile's address does not give a usable file name."));
  }
  if (options->folder.empty()) return refuseLater(QStringLiteral("The profile folder cannot be found."));

  std::optional<QByteArray> given;
  if (!picture.isEmpty() && DecodesAsImage(picture)) given = picture;
  QPointer<QObject> guard(context);
  SendProfileRequest(
      options, url.host, url.path, net::kProfileBodyLimit,
      [options, model, fileName, given, guard, hasContext = context != nullptr, done](const Reply& reply) {
        if (!reply.body) {
          // Network failures were shown by the request already.
          done(Stored{std::nullopt, QString(), reply.failure});
          return;
        }
        if (!IsCompleteProfile(*reply.body)) {
          done(Refused(*options, QStringLiteral("The server's reply is not a complete profile.")));
          return;
        }
        const Placement placement = PlaceProfileFile(options->folder, fileName, *reply.body);
        if (!placement.path) {
          done(Refused(*options, placement.failure));
          return;
        }
        const std::string storedPath = *placement.path;
        if (given || model.imageUrl.empty()) {
          done(StorePictureAndRow(*options, model, storedPath, given));
          return;
        }
        if (hasContext && !guard) return;
        SendPictureRequest(
            options, QString::fromStdString(model.imageUrl),
            [options, model, storedPath, done](const std::optional<QByteArray>& fetched) {
              done(StorePictureAndRow(*options, model, storedPath, fetched));
            },
            guard.data());
      },
      context);
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

void ProfileServerClient::FetchPicture(const QString& url, std::function<void(std::optional<QByteArray>)> done,
                                       QObject* context) const {
  SendPictureRequest(options_, url, std::move(done), context);
}

}  // namespace auralith::profiles
