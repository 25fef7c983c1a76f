#include "app/runtime_names.h"

#include <QStandardPaths>

#include <unistd.h>

namespace auralith::app {

namespace {

QString RuntimeFolder() {
  // Qt checks $XDG_RUNTIME_DIR and falls back to a private folder of the user.
  return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

}  // namespace

QString InstanceLockPath() {
  return RuntimeFolder() + QStringLiteral("/Auralith-{6A148C45-785C-4f06-A478-CA98A2C21B3D}.lock");
}

QString CommandSocketPath() {
  return RuntimeFolder() + QStringLiteral("/Auralith-") + QString::number(getuid()) + QStringLiteral(".commands");
}

}  // namespace auralith::app
