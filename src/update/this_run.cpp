#include "update/this_run.h"

#include "app/aulx_app.h"
#include "app/command_line.h"
#include "app/server_host.h"

namespace auralith::update {

QString ServerHostOfThisRun() {
  if (const app::AUlxApp* application = app::AUlxApp::Instance()) return application->GetServerHost();
  return app::ServerHostForMode(app::kProductionServer);
}

VersionCheckOptions VersionCheckOptionsOfThisRun(std::function<void(const QString&)> reportError) {
  VersionCheckOptions options;
  options.host = ServerHostOfThisRun();
  options.http = net::DefaultHttpOptions();
  options.reportError = std::move(reportError);
  return options;
}

}  // namespace auralith::update
