#include "ui/prefs/profile_service.h"

#include "app/server_client_options.h"
#include "profile_server/profile_server_client.h"

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QWidget>

namespace auralith::ui {
namespace {

class ServerService : public ProfileService {
 public:
  explicit ServerService(QWidget* parent)
      : client_(app::ProfileServerOptionsOfThisRun([guard = QPointer<QWidget>(parent)](const QString& text) {
          QMessageBox::warning(guard, QStringLiteral("Auralith"), text);
        })) {}

  void FetchCatalogue(std::function<void(std::optional<profiles::ProfileCatalogue>)> done) override {
    client_.FetchCatalogue(
        [done = std::move(done)](profiles::ProfileServerClient::CatalogueFetch fetch) {
          done(std::move(fetch.catalogue));
        },
        &context_);
  }

  void FetchPicture(const profiles::ProfileRecord& model, std::function<void(QByteArray)> done) override {
    client_.FetchPicture(
        QString::fromStdString(model.imageUrl),
        [done = std::move(done)](std::optional<QByteArray> body) { done(body.value_or(QByteArray())); }, &context_);
  }

  void FetchAndStore(const profiles::ProfileRecord& model, const QByteArray& picture,
                     std::function<void(std::optional<std::string>)> done) override {
    client_.FetchAndStoreProfile(
        model, [done = std::move(done)](profiles::ProfileServerClient::Stored stored) { done(std::move(stored.path)); },
        &context_, picture);
  }

 private:
  profiles::ProfileServerClient client_;
  // Requests still under way when the service goes are dropped with it.
  QObject context_;
};

}  // namespace

std::unique_ptr<ProfileService> MakeProfileServerService(QWidget* parent) {
  return std::make_unique<ServerService>(parent);
}

}  // namespace auralith::ui
