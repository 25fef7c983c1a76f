#include "ui/prefs/profile_service.h"

#include "profile_server/profile_server_client.h"

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

namespace auralith::ui {
namespace {

class ServerService : public ProfileService {
 public:
  explicit ServerService(QWidget* parent)
      : client_(profiles::ProfileServerOptionsOfThisRun([guard = QPointer<QWidget>(parent)](const QString& text) {
          QMessageBox::warning(guard, QStringLiteral("Auralith"), text);
        })) {}

  void FetchCatalogue(profiles::ProfileCatalogue& catalogue) override { client_.FetchCatalogue(catalogue); }

  QString FetchPicture(const profiles::ProfileRecord& model) override {
    return client_.FetchPicture(QString::fromStdString(model.imageUrl), model);
  }

  std::optional<std::string> FetchAndStore(const profiles::ProfileRecord& model,
                                           profiles::StoredProfileHandler& handler) override {
    return client_.FetchAndStoreProfile(model, handler).path;
  }

 private:
  profiles::ProfileServerClient client_;
};

}  // namespace

std::unique_ptr<ProfileService> MakeProfileServerService(QWidget* parent) {
  return std::make_unique<ServerService>(parent);
}

}  // namespace auralith::ui
