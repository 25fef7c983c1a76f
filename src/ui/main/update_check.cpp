#include "ui/main/update_check.h"

#include "app/server_client_options.h"
#include "net/connection_state.h"
#include "update/version_check.h"

#include <QObject>

namespace auralith::ui {
namespace {

class VersionCheck : public UpdateCheck {
 public:
  bool Connected() override { return net::IsNetworkConnected(); }
  void Start(std::function<void(int)> done, std::function<void(const QString&)> reportError) override {
    // The answer comes later from the event loop; a check still under way
    // when the window goes is dropped with the context.
    update::CheckForNewVersionAsync(app::VersionCheckOptionsOfThisRun(std::move(reportError)), std::move(done),
                                    &context_);
  }

 private:
  QObject context_;
};

}  // namespace

std::unique_ptr<UpdateCheck> MakeVersionCheck() { return std::make_unique<VersionCheck>(); }

}  // namespace auralith::ui
