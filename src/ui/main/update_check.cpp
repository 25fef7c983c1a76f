#include "ui/main/update_check.h"

#include "net/connection_state.h"
#include "update/this_run.h"
#include "update/version_check.h"

namespace auralith::ui {
namespace {

class VersionCheck : public UpdateCheck {
 public:
  bool Connected() override { return net::IsNetworkConnected(); }
  void Start(std::function<void(int)> done, std::function<void(const QString&)> reportError) override {
    // The request waits in its own event loop; the result is there when it
    // returns.
    done(update::CheckForNewVersion(update::VersionCheckOptionsOfThisRun(std::move(reportError))));
  }
};

}  // namespace

std::unique_ptr<UpdateCheck> MakeVersionCheck() { return std::make_unique<VersionCheck>(); }

}  // namespace auralith::ui
