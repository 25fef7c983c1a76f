#include "net/connection_state.h"

#include <QNetworkInformation>
#include <QNetworkInterface>

namespace auralith::net {

bool AnyUsableInterface() {
  const auto interfaces = QNetworkInterface::allInterfaces();
  for (const QNetworkInterface& interface : interfaces) {
    const auto flags = interface.flags();
    if (!flags.testFlag(QNetworkInterface::IsUp) || !flags.testFlag(QNetworkInterface::IsRunning) ||
        flags.testFlag(QNetworkInterface::IsLoopBack)) {
      continue;
    }
    if (!interface.addressEntries().isEmpty()) return true;
  }
  return false;
}

bool IsNetworkConnected() {
  if (QNetworkInformation::loadDefaultBackend()) {
    if (const QNetworkInformation* information = QNetworkInformation::instance();
        information && information->supports(QNetworkInformation::Feature::Reachability)) {
      switch (information->reachability()) {
        case QNetworkInformation::Reachability::Disconnected:
          return false;
        case QNetworkInformation::Reachability::Local:
        case QNetworkInformation::Reachability::Site:
        case QNetworkInformation::Reachability::Online:
          return true;
        case QNetworkInformation::Reachability::Unknown:
          break;
      }
    }
  }
  return AnyUsableInterface();
}

}  // namespace auralith::net
