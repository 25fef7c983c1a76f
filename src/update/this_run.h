#pragma once

#include "update/version_check.h"

#include <QString>

#include <functional>

// What the clients use in the running application: the host of its server
// mode (the application object's GetServerHost) and the environment's
// override.

namespace auralith::update {

// GetServerHost of the running application object; the production host
// when there is none.
QString ServerHostOfThisRun();

VersionCheckOptions VersionCheckOptionsOfThisRun(std::function<void(const QString&)> reportError);

}  // namespace auralith::update
