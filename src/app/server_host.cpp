#include "app/server_host.h"

#include "app/command_line.h"

namespace auralith::app {

QString ServerHostForMode(int serverMode) {
  switch (serverMode) {
    case kLocalServerWithLog:
      return QString::fromLatin1(kLocalServerHost);
    case kStagingServerWithLog:
    case kStagingServer:
      return QString::fromLatin1(kStagingServerHost);
    default:
      return QString::fromLatin1(kProductionServerHost);
  }
}

}  // namespace auralith::app
