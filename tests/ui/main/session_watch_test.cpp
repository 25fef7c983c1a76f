#include "ui/main/session_watch.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace auralith::ui {
namespace {

constexpr const char* kSessionPath = "/org/freedesktop/login1/session/_31";

// logind's session object as far as the watch reads it.
class FakeSession : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Session")
  Q_PROPERTY(bool Active READ Active)
 public:
  explicit FakeSession(bool active) : active_(active) {}
  bool Active() const { return active_; }

 private:
  bool active_;
};

// A private bus with a fake logind, served from a thread of its own so the
// watch's blocking calls get their answers.
class SessionWatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    address_ = QStringLiteral("unix:path=%1/bus").arg(dir_.path());
    daemon_.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--address=") + address_});
    if (!daemon_.waitForStarted(5000)) GTEST_SKIP() << "no dbus-daemon";
    for (int i = 0; i < 50 && !QFile::exists(dir_.path() + QStringLiteral("/bus")); ++i) QThread::msleep(50);
    server_.start();
  }
  void TearDown() override {
    if (serverBus_) {
      QMetaObject::invokeMethod(
          session_.get(), [] { QDBusConnection::disconnectFromBus(QStringLiteral("logind")); },
          Qt::BlockingQueuedConnection);
    }
    server_.quit();
    server_.wait();
    session_.reset();
    QDBusConnection::disconnectFromBus(QStringLiteral("watcher"));
    daemon_.kill();
    daemon_.waitForFinished();
  }

  // Offers the fake session, active or not, on the bus.
  void Serve(bool active) {
    session_ = std::make_unique<FakeSession>(active);
    session_->moveToThread(&server_);
    QMetaObject::invokeMethod(
        session_.get(),
        [this] {
          QDBusConnection bus = QDBusConnection::connectToBus(address_, QStringLiteral("logind"));
          serverBus_ = bus.isConnected() && bus.registerService(QString::fromLatin1(kLogindService)) &&
                       bus.registerObject(QString::fromLatin1(kSessionPath), session_.get(),
                                          QDBusConnection::ExportAllProperties);
        },
        Qt::BlockingQueuedConnection);
    ASSERT_TRUE(serverBus_);
  }

  void SendActive(bool active) {
    QDBusMessage signal =
        QDBusMessage::createSignal(QString::fromLatin1(kSessionPath), QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("PropertiesChanged"));
    signal << QString::fromLatin1(kLogindSessionInterface) << QVariantMap{{QStringLiteral("Active"), active}}
           << QStringList{};
    QDBusConnection(QStringLiteral("logind")).send(signal);
  }

  static void WaitFor(const std::vector<bool>& seen, std::size_t count) {
    QDeadlineTimer deadline(5000);
    while (seen.size() < count && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  }

  QTemporaryDir dir_;
  QString address_;
  QProcess daemon_;
  QThread server_;
  std::unique_ptr<FakeSession> session_;
  bool serverBus_ = false;
};

TEST_F(SessionWatchTest, ReportsEachChangeOfTheActiveProperty) {
  Serve(true);
  std::vector<bool> seen;
  SessionWatch watch(QDBusConnection::connectToBus(address_, QStringLiteral("watcher")),
                     QString::fromLatin1(kSessionPath), [&seen](bool active) { seen.push_back(active); });
  ASSERT_TRUE(watch.Watching());
  EXPECT_TRUE(watch.Active());
  SendActive(false);
  WaitFor(seen, 1);
  SendActive(false);  // no change: not reported again
  SendActive(true);
  WaitFor(seen, 2);
  EXPECT_EQ(seen, (std::vector<bool>{false, true}));
  EXPECT_TRUE(watch.Active());
}

TEST_F(SessionWatchTest, ReadsTheStateItStartsIn) {
  Serve(false);
  std::vector<bool> seen;
  SessionWatch watch(QDBusConnection::connectToBus(address_, QStringLiteral("watcher")),
                     QString::fromLatin1(kSessionPath), [&seen](bool active) { seen.push_back(active); });
  EXPECT_FALSE(watch.Active());
  SendActive(true);
  WaitFor(seen, 1);
  EXPECT_EQ(seen, std::vector<bool>{true});
}

TEST_F(SessionWatchTest, WithoutASessionNothingIsWatched) {
  std::vector<bool> seen;
  QDBusConnection bus = QDBusConnection::connectToBus(address_, QStringLiteral("watcher"));
  // No logind on this bus: this process has no session.
  EXPECT_TRUE(SessionPathOfThisProcess(bus).isEmpty());
  SessionWatch watch(bus, QString(), [&seen](bool active) { seen.push_back(active); });
  EXPECT_FALSE(watch.Watching());
}

}  // namespace
}  // namespace auralith::ui

#include "session_watch_test.moc"
