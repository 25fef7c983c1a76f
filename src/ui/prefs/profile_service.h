#pragma once

#include "profile_server/profile_catalogue.h"
#include "profiles/profile_record.h"

#include <QByteArray>

#include <functional>
#include <memory>
#include <optional>
#include <string>

class QWidget;

// What the profile browser asks of the profile server. Every request
// returns at once; its answer comes later from the event loop, and never
// after the service is gone. The application uses the profile server client
// of this run; tests a stand-in.

namespace auralith::ui {

class ProfileService {
 public:
  virtual ~ProfileService() = default;
  // The rebuilt catalogue, or none when the request failed (the old one
  // stays). The user is told about failures by the service itself.
  virtual void FetchCatalogue(std::function<void(std::optional<profiles::ProfileCatalogue>)> done) = 0;
  // The model's picture for showing, or empty; nothing is written.
  virtual void FetchPicture(const profiles::ProfileRecord& model, std::function<void(QByteArray)> done) = 0;
  // Fetches and stores the model's profile (with `picture` when there is
  // one); the stored path, or none when it failed.
  virtual void FetchAndStore(const profiles::ProfileRecord& model, const QByteArray& picture,
                             std::function<void(std::optional<std::string>)> done) = 0;
};

// The profile server client of this run; failures are shown in warning
// message boxes over `parent`.
std::unique_ptr<ProfileService> MakeProfileServerService(QWidget* parent);

}  // namespace auralith::ui
