#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <functional>

// Follows whether this process's login session is the active one on its
// seat (logind's Session "Active" property): switching to another user or
// to a text console makes it inactive, coming back active again. Without a
// system bus or without a session of this process nothing is ever reported.

namespace auralith::ui {

inline constexpr const char* kLogindService = "org.freedesktop.login1";
inline constexpr const char* kLogindSessionInterface = "org.freedesktop.login1.Session";

class SessionWatch : public QObject {
  Q_OBJECT
 public:
  using ActiveChanged = std::function<void(bool active)>;

  // Watches the session of this process on the system bus.
  explicit SessionWatch(ActiveChanged onChange, QObject* parent = nullptr);
  // Watches session `sessionPath` on `bus` (tests use a bus of their own).
  SessionWatch(QDBusConnection bus, const QString& sessionPath, ActiveChanged onChange, QObject* parent = nullptr);
  ~SessionWatch() override;

  // The session's object path, empty when none is watched.
  const QString& SessionPath() const { return sessionPath_; }
  bool Watching() const { return !sessionPath_.isEmpty(); }
  // The last known state (true until told otherwise).
  bool Active() const { return active_; }

 private slots:
  void OnPropertiesChanged(const QString& interfaceName, const QVariantMap& changed, const QStringList& invalidated);

 private:
  void Watch();
  void Report(bool active);

  QDBusConnection bus_;
  QString sessionPath_;
  ActiveChanged onChange_;
  bool active_ = true;
};

// The object path of this process's session on `bus`, empty when logind
// does not know one.
QString SessionPathOfThisProcess(QDBusConnection& bus);

}  // namespace auralith::ui
