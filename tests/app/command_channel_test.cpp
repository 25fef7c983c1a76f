#include "app/command_channel.h"
#include "app/commands.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QtEndian>

#include <atomic>
#include <future>
#include <vector>

namespace auralith::app {
namespace {

class CommandChannelTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "app_instance_test";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
  }
  void SetUp() override { ASSERT_TRUE(folder_.isValid()); }

  QString SocketPath() const { return folder_.path() + "/commands"; }

  // Runs the event loop until `done` is ready, at most `limitMs`.
  template <typename T>
  static T Serve(std::future<T>& done, int limitMs = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (done.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready && clock.elapsed() < limitMs)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done.get();
  }

  // Sends raw bytes from another thread, then keeps the connection until the
  // server closes it or it is clear nothing comes back.
  std::future<QByteArray> SendRaw(const QByteArray& bytes) {
    return std::async(std::launch::async, [path = SocketPath(), bytes] {
      QLocalSocket socket;
      socket.connectToServer(path);
      if (!socket.waitForConnected(1000)) return QByteArray("no connection");
      socket.write(bytes);
      socket.waitForBytesWritten(1000);
      QByteArray reply;
      while (socket.waitForReadyRead(500)) reply += socket.readAll();
      return reply;
    });
  }

  QTemporaryDir folder_;
};

TEST(CommandFrameTest, OnlyWellFormedRequestsForKnownCommandsAreAccepted) {
  for (int code = 1; code <= 12; ++code) EXPECT_EQ(ParseCommandRequest(CommandRequestFrame(code)), code);
  EXPECT_FALSE(ParseCommandRequest(CommandRequestFrame(0)));
  EXPECT_FALSE(ParseCommandRequest(CommandRequestFrame(13)));
  EXPECT_FALSE(ParseCommandRequest(CommandRequestFrame(-1)));
  EXPECT_FALSE(ParseCommandRequest(CommandDoneFrame(9)));
  EXPECT_FALSE(ParseCommandRequest(CommandRequestFrame(9).left(7)));
  EXPECT_FALSE(ParseCommandRequest(CommandRequestFrame(9) + "x"));
  EXPECT_FALSE(ParseCommandRequest(QByteArray("ulxc\x09\0\0\0", 8)));
  EXPECT_EQ(CommandRequestFrame(9), QByteArray("ULXC\x09\0\0\0", 8));
}

TEST_F(CommandChannelTest, TheSenderReturnsOnlyOnceTheCommandRan) {
  std::vector<int> received;
  std::atomic<bool> senderWaiting{true};
  CommandServer server([&](int code) {
    received.push_back(code);
    EXPECT_TRUE(senderWaiting.load());
  });
  ASSERT_TRUE(server.Listen(SocketPath()));
  auto sent = std::async(std::launch::async, [&] {
    const SendResult result = SendCommand(SocketPath(), kCommandHeadphones, 3000);
    senderWaiting = false;
    return result;
  });
  EXPECT_EQ(Serve(sent), SendResult::kDelivered);
  EXPECT_EQ(received, std::vector<int>{kCommandHeadphones});
}

TEST_F(CommandChannelTest, MalformedMessagesAreIgnored) {
  std::vector<int> received;
  CommandServer server([&](int code) { received.push_back(code); });
  ASSERT_TRUE(server.Listen(SocketPath()));
  const QByteArray malformed[] = {
      QByteArray("hello world"), CommandRequestFrame(0),          CommandRequestFrame(13),
      CommandRequestFrame(-1),   QByteArray("XXXX\x09\0\0\0", 8),
  };
  for (const QByteArray& bytes : malformed) {
    auto reply = SendRaw(bytes);
    EXPECT_EQ(Serve(reply), QByteArray()) << bytes.toHex().constData();
  }
  auto reply = SendRaw(CommandRequestFrame(kCommandLaunch));
  EXPECT_EQ(Serve(reply), CommandDoneFrame(kCommandLaunch));
  EXPECT_EQ(received, std::vector<int>{kCommandLaunch});
}

TEST_F(CommandChannelTest, AFrameMayArriveInPieces) {
  std::vector<int> received;
  CommandServer server([&](int code) { received.push_back(code); });
  ASSERT_TRUE(server.Listen(SocketPath()));
  auto reply = std::async(std::launch::async, [path = SocketPath()] {
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(1000)) return QByteArray();
    const QByteArray frame = CommandRequestFrame(kCommandMusic);
    for (char byte : frame) {
      socket.write(&byte, 1);
      socket.waitForBytesWritten(1000);
      QThread::msleep(5);
    }
    socket.waitForReadyRead(2000);
    return socket.readAll();
  });
  EXPECT_EQ(Serve(reply), CommandDoneFrame(kCommandMusic));
  EXPECT_EQ(received, std::vector<int>{kCommandMusic});
}

TEST_F(CommandChannelTest, WithoutAListenerTheCommandIsDropped) {
  EXPECT_EQ(SendCommand(SocketPath(), kCommandQuit, 1000), SendResult::kNoListener);
}

TEST_F(CommandChannelTest, AStaleSocketOfACrashedInstanceIsReplaced) {
  {
    QLocalServer crashed;
    ASSERT_TRUE(crashed.listen(SocketPath()));
    crashed.setSocketOptions(QLocalServer::UserAccessOption);
  }
  // QLocalServer removes its file when it closes; put one back as a crash
  // would have left it.
  {
    QFile stale(SocketPath());
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
  }
  std::vector<int> received;
  CommandServer server([&](int code) { received.push_back(code); });
  ASSERT_TRUE(server.Listen(SocketPath()));
  auto sent = std::async(std::launch::async, [&] { return SendCommand(SocketPath(), kCommandDesktop, 3000); });
  EXPECT_EQ(Serve(sent), SendResult::kDelivered);
  EXPECT_EQ(received, std::vector<int>{kCommandDesktop});
}

TEST_F(CommandChannelTest, AnInstanceThatNeverAnswersCannotHoldTheSenderUp) {
  QLocalServer hung;
  ASSERT_TRUE(hung.listen(SocketPath()));
  // No event loop runs: the connection is made by the system, never served.
  QElapsedTimer clock;
  clock.start();
  EXPECT_EQ(SendCommand(SocketPath(), kCommandShowWindow, 300), SendResult::kNoAnswer);
  EXPECT_LT(clock.elapsed(), 3000);
}

}  // namespace
}  // namespace auralith::app
