#pragma once

#include "net/http_request.h"
#include "profile_server/profile_catalogue.h"
#include "profile_server/request_form.h"
#include "profile_server/stored_profile_handler.h"
#include "profiles/profile_record.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>
#include <string>

namespace auralith::settings {
class SettingsStore;
}

// The profile server client: the catalogue, profile files and pictures.
// Every request is synchronous; the caller shows the wait cursor.

namespace auralith::profiles {

inline constexpr const char* kCataloguePath = "/profiles/update";
inline constexpr const char* kFallbackPictureName = "tmp.png";

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
};

// The options of this run: environment override, the account details of
// the settings store, this computer's name and the profile folder.
ProfileServerOptions DefaultProfileServerOptions(const QString& serverHost, const settings::SettingsStore& store);

// The same for the running application: the host of its server mode and
// its settings store; `tellUser` shows the warning message box.
ProfileServerOptions ProfileServerOptionsOfThisRun(std::function<void(const QString&)> tellUser);

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
  Reply ProfileRequest(const QString& host, const QByteArray& path, qint64 maxBody) const;

  struct Outcome {
    bool ok = false;
    QString failure;
  };

  // Rebuilds the catalogue from the server; a request that fails leaves it
  // as it was. Not ok also when a fault cut the catalogue short.
  Outcome FetchCatalogue(ProfileCatalogue& catalogue) const;

  struct Stored {
    std::optional<std::string> path;
    QString failure;
  };

  // Fetches the model's profile file, puts it into the profile folder,
  // writes its database row and hands the path to `handler`. Every check
  // comes before any change: on failure the user is told (network failures
  // and unusable replies alike) and nothing is written.
  Stored FetchAndStoreProfile(const ProfileRecord& model, StoredProfileHandler& handler) const;

  // Fetches a picture into the profile folder; returns its file name, or
  // empty. The name comes from the URL when it is a plain picture file
  // name, "tmp.png" when the URL ends in "/", otherwise from the model.
  // Fails quietly.
  QString FetchPicture(const QString& url, const ProfileRecord& model) const;

  const ProfileServerOptions& options() const { return options_; }

 private:
  bool IsServerHost(const QString& host) const;
  Stored Refuse(const QString& reason) const;

  ProfileServerOptions options_;
};

// The name a picture is saved under (see FetchPicture).
QString PictureFileName(const QString& url, const ProfileRecord& model);

// Whether a body holds at least one parameter line.
bool HoldsParameterLine(const QByteArray& body);

}  // namespace auralith::profiles
