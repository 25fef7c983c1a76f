#include "ui/main/session_watch.h"

#include <QCoreApplication>
#include <QDBusInterface>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>

namespace auralith::ui {
namespace {

constexpr const char* kLogindPath = "/org/freedesktop/login1";
constexpr const char* kLogindManager = "org.freedesktop.login1.Manager";
constexpr const char* kProperties = "org.freedesktop.DBus.Properties";
constexpr const char* kActive = "Active";

}  // namespace

QString SessionPathOfThisProcess(QDBusConnection& bus) {
  if (!bus.isConnected()) return {};
  QDBusInterface manager(QString::fromLatin1(kLogindService), QString::fromLatin1(kLogindPath),
                         QString::fromLatin1(kLogindManager), bus);
  if (!manager.isValid()) return {};
  const QDBusReply<QDBusObjectPath> reply =
      manager.call(QStringLiteral("GetSessionByPID"), quint32(QCoreApplication::applicationPid()));
  return reply.isValid() ? reply.value().path() : QString();
}

SessionWatch::SessionWatch(ActiveChanged onChange, QObject* parent)
    : QObject(parent), bus_(QDBusConnection::systemBus()), onChange_(std::move(onChange)) {
  sessionPath_ = SessionPathOfThisProcess(bus_);
  Watch();
}

SessionWatch::SessionWatch(QDBusConnection bus, const QString& sessionPath, ActiveChanged onChange, QObject* parent)
    : QObject(parent), bus_(std::move(bus)), sessionPath_(sessionPath), onChange_(std::move(onChange)) {
  Watch();
}

SessionWatch::~SessionWatch() = default;

void SessionWatch::Watch() {
  if (sessionPath_.isEmpty() || !bus_.isConnected()) {
    sessionPath_.clear();
    return;
  }
  bus_.connect(QString::fromLatin1(kLogindService), sessionPath_, QString::fromLatin1(kProperties),
               QStringLiteral("PropertiesChanged"), this, SLOT(OnPropertiesChanged(QString, QVariantMap, QStringList)));
  QDBusInterface properties(QString::fromLatin1(kLogindService), sessionPath_, QString::fromLatin1(kProperties), bus_);
  const QDBusReply<QDBusVariant> reply = properties.call(
      QStringLiteral("Get"), QString::fromLatin1(kLogindSessionInterface), QString::fromLatin1(kActive));
  if (reply.isValid()) active_ = reply.value().variant().toBool();
}

void SessionWatch::OnPropertiesChanged(const QString& interfaceName, const QVariantMap& changed,
                                       const QStringList& invalidated) {
  if (interfaceName != QLatin1String(kLogindSessionInterface)) return;
  const QString active = QString::fromLatin1(kActive);
  if (changed.contains(active)) {
    Report(changed.value(active).toBool());
  } else if (invalidated.contains(active)) {
    QDBusInterface properties(QString::fromLatin1(kLogindService), sessionPath_, QString::fromLatin1(kProperties),
                              bus_);
    const QDBusReply<QDBusVariant> reply = properties.call(QStringLiteral("Get"), interfaceName, active);
    if (reply.isValid()) Report(reply.value().variant().toBool());
  }
}

void SessionWatch::Report(bool active) {
  if (active == active_) return;
  active_ = active;
  if (onChange_) onChange_(active);
}

}  // namespace auralith::ui
