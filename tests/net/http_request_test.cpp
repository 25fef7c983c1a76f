#include "net/http_request.h"
#include "server/reference_server_process.h"

#include <gtest/gtest.h>

#include <limits>

namespace auralith::net {
namespace {

using auralith::testing::ReferenceServer;
using auralith::testing::ServerData;

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
  HttpResponse Get(ReferenceServer& server, const QByteArray& path, qint64 limit = kDocumentBodyLimit) {
    HttpOptions options;
    options.override = Endpoint{QStringLiteral("127.0.0.1"), server.port()};
    options.receiveTimeoutMs = 1000;
    HttpRequest request;
    request.host = QStringLiteral("localhost");
    request.path = path;
    request.headers = {{"Accept", "image/*"}};
    request.maxBodyBytes = limit;
    return SendRequest(request, options);
  }

  ServerData data_;
};

TEST_F(HttpRequestTest, BodyOnlyForStatus200) {
  data_.Write(QStringLiteral("pictures/a b.png"), QByteArray(300, 'x'));
  ReferenceServer server(data_.path());
  ASSERT_TRUE(server.running());
  const HttpResponse found = Get(server, "/pictures/a%20b.png");
  EXPECT_EQ(found.status, 200);
  EXPECT_EQ(found.body, QByteArray(300, 'x'));
  const HttpResponse missing = Get(server, "/pictures/none.png");
  EXPECT_EQ(missing.status, 404);
  EXPECT_TRUE(missing.body.isEmpty());
}

TEST_F(HttpRequestTest, BodyOverTheLimitIsRefused) {
  data_.Write(QStringLiteral("pictures/big.png"), QByteArray(2000, 'x'));
  ReferenceServer server(data_.path());
  ASSERT_TRUE(server.running());
  EXPECT_EQ(Get(server, "/pictures/big.png", 2000).body.size(), 2000);
  EXPECT_THROW(Get(server, "/pictures/big.png", 1999), NetworkError);
}

TEST_F(HttpRequestTest, EndlessBodyIsCutAtTheLimit) {
  ReferenceServer server(data_.path(), {QStringLiteral("--fault"), QStringLiteral("endless")});
  ASSERT_TRUE(server.running());
  EXPECT_THROW(Get(server, "/pictures/x.png", 256 * 1024), NetworkError);
}

TEST_F(HttpRequestTest, RedirectIsNotFollowed) {
  ReferenceServer server(data_.path(), {QStringLiteral("--fault"), QStringLiteral("redirect")});
  ASSERT_TRUE(server.running());
  const HttpResponse response = Get(server, "/pictures/x.png");
  EXPECT_EQ(response.status, 302);
  EXPECT_TRUE(response.body.isEmpty());
}

TEST_F(HttpRequestTest, SilentServerTimesOut) {
  ReferenceServer server(data_.path(), {QStringLiteral("--fault"), QStringLiteral("slow")});
  ASSERT_TRUE(server.running());
  EXPECT_THROW(Get(server, "/pictures/x.png"), NetworkError);
}

TEST_F(HttpRequestTest, DrippingBodyIsBoundByTheWholeRequestTime) {
  ReferenceServer server(data_.path(), {QStringLiteral("--fault"), QStringLiteral("drip")});
  ASSERT_TRUE(server.running());
  HttpOptions options;
  options.override = Endpoint{QStringLiteral("127.0.0.1"), server.port()};
  options.receiveTimeoutMs = 1000;
  options.totalTimeoutMs = 500;
  HttpRequest request;
  request.path = "/Pub/audio_en_pad.xml";
  request.maxBodyBytes = std::numeric_limits<qint64>::max();
  try {
    SendRequest(request, options);
    ADD_FAILURE() << "no time-out";
  } catch (const NetworkError& error) {
    EXPECT_TRUE(error.message().contains(u"timed out"));
  }
}

TEST(HttpRequest, UnknownHostIsANetworkError) {
  HttpRequest request;
  request.host = QStringLiteral("no-such-host.invalid");
  EXPECT_THROW(SendRequest(request, HttpOptions{}), NetworkError);
}

}  // namespace
}  // namespace auralith::net
