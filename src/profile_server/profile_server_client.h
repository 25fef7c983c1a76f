#pragma once

#include "net/http_request.h"
#include "profile_server/profile_catalogue.h"
#include "profile_server/request_form.h"
#include "profiles/profile_record.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>

class QObject;

// The profile server client: the catalogue, profile files and pictures.
// Every operation returns at once and reports through its completion
// callback, later, from the calling thread's event loop; when a `context`
// is given and destroyed first, the operation is abandoned silently.

namespace auralith::profiles {

inline constexpr const char* kCataloguePath = "/profiles/update";
inline constexpr const char* kFallbackPictureName = "tmp.png";

// Filled by the application (or a tool) for its run.
struct ProfileServerOptions {
  QString serverHost;  // GetServerHost's host of this run's mode
  net::HttpOptions http;
  AccountDetails account;
  QString computerName;
  QString version;
  std::string folder;  // the profile folder, ending in "/"
  // Tells the user about a failure (a warning message box in the
  // application).
  std::function<void(const QString&)> tellUser;
  // Writes one line to the diagnostic log.
  std::function<void(const QString&)> log;
};

class ProfileServerClient {
 public:
  explicit ProfileServerClient(ProfileServerOptions options);

  struct Reply {
    std::optional<QByteArray> body;  // with carriage returns dropped
    QString failure;                 // why there is no body
  };

  // The POST of the request form. The account e-mail and password are only
  // put in when `host` is the profile server host; other hosts get them
  // empty.
  void ProfileRequest(const QString& host, const QByteArray& path, qint64 maxBody, std::function<void(Reply)> done,
                      QObject* context = nullptr) const;

  struct CatalogueFetch {
    // The rebuilt catalogue when a reply came (after a fault: what came
    // before it); none when the request failed, so the old one stays.
    std::optional<ProfileCatalogue> catalogue;
    bool ok = false;  // false also when a fault cut the catalogue short
    QString failure;
  };
  void FetchCatalogue(std::function<void(CatalogueFetch)> done, QObject* context = nullptr) const;

  struct Stored {
    std::optional<std::string> path;
    QString pictureName;  // the picture stored with it, empty when none
    QString failure;
  };

  // Fetches the model's profile file and accepts it only when both its
  // sets give every parameter 1 to 58 with a finite value; then puts it into
  // the profile folder, stores its picture (`picture` when the caller has
  // it already, else fetched from the model's image URL) and writes its
  // database row. On failure the user is told (network failures and unusable
  // replies alike) and nothing is written.
  void FetchAndStoreProfile(const ProfileRecord& model, std::function<void(Stored)> done, QObject* context = nullptr,
                            const QByteArray& picture = {}) const;

  // Fetches a picture for showing; `done` gets the body only when it decodes
  // as an image. Nothing is written. Fails quietly.
  void FetchPicture(const QString& url, std::function<void(std::optional<QByteArray>)> done,
                    QObject* context = nullptr) const;

  const ProfileServerOptions& options() const { return *options_; }

 private:
  std::shared_ptr<const ProfileServerOptions> options_;
};

// The name a picture is saved under: from the URL when it is a plain
// picture file name, "tmp.png" when the URL ends in "/", otherwise from the
// model's name.
QString PictureFileName(const QString& url, const ProfileRecord& model);

// Whether a body is a whole profile: both sets give every parameter 1 to 58
// with a finite value.
bool IsCompleteProfile(const QByteArray& body);

// Whether bytes decode as a picture.
bool DecodesAsImage(const QByteArray& bytes);

}  // namespace auralith::profiles
