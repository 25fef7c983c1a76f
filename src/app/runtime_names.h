#pragma once

#include <QString>

// Where the per-user objects that tie the instances of one user together
// live: the instance lock and the command socket, both in the user's runtime
// folder ($XDG_RUNTIME_DIR), which only the user can enter.

namespace auralith::app {

// The instance lock file, named after the instance mutex of the application.
QString InstanceLockPath();
// The local socket on which the running instance takes commands.
QString CommandSocketPath();

}  // namespace auralith::app
