#include "net/http_request.h"
#include "net/wait_for_completion.h"
#include "server/reference_server_process.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTimer>

#include <limits>
#include <memory>

namespace auralith::net {
namespace {

using auralith::testing::ReferenceServer;
using auralith::testing::ServerData;

HttpResult Send(const HttpRequest& request, const HttpOptions& options) {
  return WaitForCompletion<HttpResult>(
      [&](std::function<void(HttpResult)> done) { StartRequest(request, options, std::move(done)); });
}

TEST(ParseEndpoint, HostWithOrWithoutPort) {
  EXPECT_EQ(ParseEndpoint(QStringLiteral("127.0.0.1:8080")), (Endpoint{QStringLiteral("127.0.0.1"), 8080}));
  EXPECT_EQ(ParseEndpoint(QStringLiteral(" localhost ")), (Endpoint{QStringLiteral("localhost"), 80}));
  EXPECT_FALSE(ParseEndpoint(QStringLiteral("")));
  EXPECT_FALSE(ParseEndpoint(QStringLiteral("host:0")));
  EXPECT_FALSE(ParseEndpoint(QStringLiteral("host:65536")));
  EXPECT_FALSE(ParseEndpoint(QStringLiteral("host:x")));
  EXPECT_FALSE(ParseEndpoint(QStringLiteral(":80")));
}

TEST(WithoutCarriageReturns, DropsEveryCarriageReturn) { EXPECT_EQ(WithoutCarriageReturns("a\r\nb\rc\n"), "a\nbc\n"); }

class HttpRequestTest : public ::testing::Test {
 protected:
  HttpResult Get(ReferenceServer& server, const QByteArray& path, qint64 limit = kDocumentBodyLimit) {
    HttpOptions options;
    options.override = Endpoint{QStringLiteral("127.0.0.1"), server.port()};
    options.receiveTimeoutMs = 1000;
    HttpRequest request;
    request.host = QStringLiteral("localhost");
    request.path = path;
    request.headers = {{"Accept", "image/*"}};
    request.maxBodyBytes = limit;
    return Send(request, options);
  }

  ServerData data_;
};

TEST_F(HttpRequestTest, BodyOnlyForStatus200) {
  data_.Write(QStringLiteral("pictures/a b.png"), QByteArray(300, 'x'));
  ReferenceServer server(data_.path());
  ASSERT_TRUE(server.running());
  const HttpResult found = Get(server, "/pictures/a%20b.png");
  ASSERT_TRUE(found.response);
  EXPECT_EQ(found.response->status, 200);
  EXPECT_EQ(found.response->body, QByteArray(300, 'x'));
  const HttpResult missing = Get(server, "/pictures/none.png");
  ASSERT_TRUE(missing.response);
  EXPECT_EQ(missing.response->status, 404);
  EXPECT_TRUE(missing.response->body.isEmpty());
}

TEST_F(HttpRequestTest, BodyOverTheLimitIsRefused) {
  data_.Write(QStringLiteral("pictures/big.png"), QByteArray(2000, 'x'));
  ReferenceServer server(data_.path());
  ASSERT_TRUE(server.running());
  EXPECT_EQ(Get(server, "/pictures/big.png", 2000).response->body.size(), 2000);
  const HttpResult refused = Get(server, "/pictures/big.png", 1999);
  EXPECT_FALSE(refused.response);
  EXPECT_TRUE(refused.error.contains(u"larger than 1999"));
}

TEST_F(HttpRequestTest, EndlessBodyIsCutAtTheLimit) {
  ReferenceServer server(data_.path(), {QStringLiteral("--fault"), QStringLiteral("endless")});
  ASSERT_TRUE(server.running());
  EXPECT_FALSE(Get(server, "/pictures/x.png", 256 * 1024).response);
}

TEST_F(HttpRequestTest, RedirectIsNotFollowed) {
  ReferenceServer server(data_.path(), {QStringLiteral("--fault"), QStringLiteral("redirect")});
  ASSERT_TRUE(server.running());
  const HttpResult result = Get(server, "/pictures/x.png");
  ASSERT_TRUE(result.response);
  EXPECT_EQ(result.response->status, 302);
  EXPECT_TRUE(result.response->body.isEmpty());
}

TEST_F(HttpRequestTest, SilentServerTimesOut) {
  ReferenceServer server(data_.path(), {QStringLiteral("--fault"), QStringLiteral("slow")});
  ASSERT_TRUE(server.running());
  const HttpResult result = Get(server, "/pictures/x.png");
  EXPECT_FALSE(result.response);
  EXPECT_TRUE(result.error.contains(u"timed out"));
}

TEST_F(HttpRequestTest, DrippingBodyIsBoundByTheRequestsDeadline) {
  ReferenceServer server(data_.path(), {QStringLiteral("--fault"), QStringLiteral("drip")});
  ASSERT_TRUE(server.running());
  HttpOptions options;
  options.override = Endpoint{QStringLiteral("127.0.0.1"), server.port()};
  options.receiveTimeoutMs = 1000;  // every piece arrives well within it
  HttpRequest request;
  request.path = "/Pub/audio_en_pad.xml";
  request.maxBodyBytes = std::numeric_limits<qint64>::max();
  request.deadlineMs = 700;
  QElapsedTimer clock;
  clock.start();
  const HttpResult result = Send(request, options);
  EXPECT_FALSE(result.response);
  EXPECT_TRUE(result.error.contains(u"timed out"));
  EXPECT_GE(clock.elapsed(), 650);
  EXPECT_LT(clock.elapsed(), 5000);
}

TEST_F(HttpRequestTest, CompletionComesFromTheEventLoopOnce) {
  data_.Write(QStringLiteral("pictures/a.png"), QByteArray("png"));
  ReferenceServer server(data_.path());
  ASSERT_TRUE(server.running());
  HttpOptions options;
  options.override = Endpoint{QStringLiteral("127.0.0.1"), server.port()};
  HttpRequest request;
  request.path = "/pictures/a.png";
  request.headers = {{"Accept", "image/*"}};
  int calls = 0;
  bool returned = false;
  bool calledBeforeReturn = false;
  QEventLoop loop;
  StartRequest(request, options, [&](const HttpResult& result) {
    ++calls;
    calledBeforeReturn = !returned;
    EXPECT_EQ(result.response->body, "png");
    QTimer::singleShot(300, &loop, &QEventLoop::quit);  // room for a second call
  });
  returned = true;
  loop.exec();
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(calledBeforeReturn);
}

TEST_F(HttpRequestTest, NoCompletionOnceTheContextIsGone) {
  ReferenceServer server(data_.path(), {QStringLiteral("--fault"), QStringLiteral("drip")});
  ASSERT_TRUE(server.running());
  HttpOptions options;
  options.override = Endpoint{QStringLiteral("127.0.0.1"), server.port()};
  HttpRequest request;
  request.path = "/Pub/audio_en_pad.xml";
  request.deadlineMs = 300;
  bool called = false;
  auto context = std::make_unique<QObject>();
  StartRequest(
      request, options,
      [&](const HttpResult& result) {
        called = true;
        ADD_FAILURE() << "completion after the context went: " << result.error.toStdString();
      },
      context.get());
  QEventLoop loop;
  QTimer::singleShot(100, &loop, [&] { context.reset(); });
  QTimer::singleShot(800, &loop, &QEventLoop::quit);  // past the deadline
  loop.exec();
  EXPECT_FALSE(called);
}

TEST(HttpRequest, FailuresAreReportedLaterNotInsideTheCall) {
  HttpRequest request;
  request.host = QStringLiteral("no-such-host.invalid");
  bool returned = false;
  const HttpResult unknown = WaitForCompletion<HttpResult>([&](std::function<void(HttpResult)> done) {
    StartRequest(request, HttpOptions{}, [&, done](const HttpResult& result) {
      EXPECT_TRUE(returned);
      done(result);
    });
    returned = true;
  });
  EXPECT_FALSE(unknown.response);
  EXPECT_FALSE(unknown.error.isEmpty());

  returned = false;
  request.host.clear();
  const HttpResult noHost = WaitForCompletion<HttpResult>([&](std::function<void(HttpResult)> done) {
    StartRequest(request, HttpOptions{}, [&, done](const HttpResult& result) {
      EXPECT_TRUE(returned);
      done(result);
    });
    returned = true;
  });
  EXPECT_EQ(noHost.error, "No server host is given.");
}

}  // namespace
}  // namespace auralith::net
