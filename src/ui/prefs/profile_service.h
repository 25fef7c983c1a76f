#pragma once

#include "profile_server/profile_catalogue.h"
#include "profile_server/stored_profile_handler.h"
#include "profiles/profile_record.h"

#include <QString>

class QWidget;

#include <memory>
#include <optional>
#include <string>

// What the profile browser asks of the profile server. The application
// uses the profile server client of this run; tests a stand-in.

namespace auralith::ui {

class ProfileService {
 public:
  virtual ~ProfileService() = default;
  // Rebuilds `catalogue`; a failed request leaves it as it was. The user
  // is told about failures by the service itself.
  virtual void FetchCatalogue(profiles::ProfileCatalogue& catalogue) = 0;
  // The file name of the model's picture in the profile folder, or empty.
  virtual QString FetchPicture(const profiles::ProfileRecord& model) = 0;
  // Fetches and stores the model's profile, then hands the stored path to
  // `handler`; nothing when it failed.
  virtual std::optional<std::string> FetchAndStore(const profiles::ProfileRecord& model,
                                                   profiles::StoredProfileHandler& handler) = 0;
};

// The profile server client of this run; failures are shown in warning
// message boxes over `parent`.
std::unique_ptr<ProfileService> MakeProfileServerService(QWidget* parent);

}  // namespace auralith::ui
