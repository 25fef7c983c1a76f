#include "update/version_check.h"
#include "net/wait_for_completion.h"
#include "server/reference_server_process.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

namespace auralith::update {
namespace {

using auralith::testing::ReferenceServer;
using auralith::testing::ServerData;

VersionCheckResult CheckAndWait(const VersionCheckOptions& options) {
  return net::WaitForCompletion<VersionCheckResult>(
      [&](std::function<void(VersionCheckResult)> done) { CheckPublishedVersionAsync(options, std::move(done)); });
}

class VersionCheck : public ::testing::Test {
 protected:
  // The published document, as the server's data folder holds it.
  void Publish(const QByteArray& document) { data_.Write(QStringLiteral("audio_en_pad.xml"), document); }

  VersionCheckResult Check(const QStringList& serverOptions = {}) {
    ReferenceServer server(data_.path(), serverOptions);
    EXPECT_TRUE(server.running());
    VersionCheckOptions options;
    options.host = QStringLiteral("localhost");
    options.http.override = net::Endpoint{QStringLiteral("127.0.0.1"), server.port()};
    options.http.connectTimeoutMs = 2000;
    options.http.receiveTimeoutMs = 500;
    options.reportError = [this](const QString& message) { shown_.append(message); };
    options.log = [this](const QString& line) { logged_.append(line); };
    return CheckAndWait(options);
  }

  static QByteArray Pad(const QByteArray& version) {
    return "<?xml version=\"1.0\"?><XML_DIZ_INFO><Program_Info><Program_Version>" + version +
           "</Program_Version></Program_Info></XML_DIZ_INFO>";
  }

  ServerData data_;
  QStringList shown_;
  QStringList logged_;
};

TEST_F(VersionCheck, SameVersionGivesZero) {
  Publish(Pad("1.2.4"));
  const VersionCheckResult result = Check();
  EXPECT_EQ(result.newVersion, 0);
  EXPECT_EQ(result.publishedVersion, "1.2.4");
  EXPECT_FALSE(result.failure);
  ASSERT_EQ(logged_.size(), 2);
  EXPECT_EQ(logged_[0], "New version check:");
  EXPECT_EQ(logged_[1], QString::fromLatin1(Pad("1.2.4")));
}

TEST_F(VersionCheck, DocumentThatIsNotXmlFindsNoVersion) {
  Publish("<html><body>Not found</html>\n");
  const VersionCheckResult html = Check();
  EXPECT_EQ(html.newVersion, 0);
  EXPECT_TRUE(html.publishedVersion.isEmpty());
  EXPECT_FALSE(html.failure);
  Publish("1.3.0\n");
  EXPECT_TRUE(Check().publishedVersion.isEmpty());
}

TEST_F(VersionCheck, DrippingServerIsCutOffAtTheTenSecondDeadline) {
  QElapsedTimer clock;
  clock.start();
  // Every piece comes well inside the receive time-out; only the deadline
  // of the whole request ends it.
  const VersionCheckResult result = Check({QStringLiteral("--fault"), QStringLiteral("drip")});
  EXPECT_EQ(result.newVersion, 0);
  ASSERT_TRUE(result.failure);
  EXPECT_TRUE(result.failure->contains(u"timed out"));
  EXPECT_GE(clock.elapsed(), kVersionDocumentDeadlineMs - 500);
  EXPECT_LT(clock.elapsed(), kVersionDocumentDeadlineMs + 5000);
  EXPECT_EQ(shown_.size(), 1);
  EXPECT_EQ(logged_, shown_);
}

TEST_F(VersionCheck, HigherOrLowerVersionGivesOne) {
  Publish(Pad("1.3.0"));
  EXPECT_EQ(Check().newVersion, 1);
  Publish(Pad("1.0"));
  EXPECT_EQ(Check().newVersion, 1);
}

TEST_F(VersionCheck, PublishedTextIsTrimmed) {
  Publish(Pad("\n   1.2.4 \r\n"));
  EXPECT_EQ(Check().newVersion, 0);
}

TEST_F(VersionCheck, EmptyOrMissingVersionGivesZero) {
  Publish("<XML_DIZ_INFO><Program_Name>Auralith</Program_Name><Program_Version></Program_Version></XML_DIZ_INFO>");
  EXPECT_EQ(Check().newVersion, 0);
  Publish("<XML_DIZ_INFO><Program_Name>Auralith</Program_Name></XML_DIZ_INFO>");
  EXPECT_EQ(Check().newVersion, 0);
}

TEST_F(VersionCheck, SecondOfTwoElementsDecides) {
  Publish("<r><Program_Version>2.0</Program_Version><Program_Version>1.2.4</Program_Version></r>");
  EXPECT_EQ(Check().newVersion, 0);
  Publish("<r><Program_Version>1.2.4</Program_Version><Program_Version>2.0</Program_Version></r>");
  EXPECT_EQ(Check().newVersion, 1);
}

TEST_F(VersionCheck, WronglyCasedElementDoesNotCount) {
  Publish("<r><program_version>2.0</program_version></r>");
  EXPECT_EQ(Check().newVersion, 0);
}

TEST_F(VersionCheck, GeneratedDocumentOfTheServer) {
  EXPECT_EQ(Check({QStringLiteral("--published-version"), QStringLiteral("1.2.5")}).newVersion, 1);
}

TEST_F(VersionCheck, ServerErrorGivesZeroWithoutMessage) {
  Publish(Pad("9.9"));
  const VersionCheckResult result = Check({QStringLiteral("--fault"), QStringLiteral("status500")});
  EXPECT_EQ(result.newVersion, 0);
  EXPECT_TRUE(result.failure);
  EXPECT_TRUE(shown_.isEmpty());
}

TEST_F(VersionCheck, SilentServerTimesOutWithMessage) {
  Publish(Pad("9.9"));
  const VersionCheckResult result = Check({QStringLiteral("--fault"), QStringLiteral("slow")});
  EXPECT_EQ(result.newVersion, 0);
  ASSERT_EQ(shown_.size(), 1);
  EXPECT_TRUE(shown_[0].contains(u"timed out"));
}

TEST_F(VersionCheck, EndlessBodyIsRefused) {
  const VersionCheckResult result = Check({QStringLiteral("--fault"), QStringLiteral("endless")});
  EXPECT_EQ(result.newVersion, 0);
  ASSERT_EQ(shown_.size(), 1);
  EXPECT_TRUE(shown_[0].contains(u"larger than"));
}

TEST_F(VersionCheck, MalformedDocumentKeepsWhatCameBefore) {
  Publish("<r><Program_Version>2.0</Program_Version><Program_Version>1.2.4</Program_Version></r>");
  // The server cuts the document inside the last element.
  const VersionCheckResult result = Check({QStringLiteral("--fault"), QStringLiteral("malformed")});
  EXPECT_EQ(result.publishedVersion, "2.0");
  EXPECT_EQ(result.newVersion, 1);
}

TEST_F(VersionCheck, DocumentTypeDeclarationEndsTheCheck) {
  Publish(Pad("9.9"));
  EXPECT_EQ(Check({QStringLiteral("--fault"), QStringLiteral("dtd")}).newVersion, 0);
}

TEST(VersionCheckFailure, RefusedConnectionGivesZeroAndTellsTheUser) {
  QStringList shown;
  VersionCheckOptions options;
  options.host = QStringLiteral("localhost");
  // Port 1 on loopback: nothing listens there.
  options.http.override = net::Endpoint{QStringLiteral("127.0.0.1"), 1};
  options.reportError = [&shown](const QString& message) { shown.append(message); };
  const int answer = net::WaitForCompletion<int>(
      [&](std::function<void(int)> done) { CheckForNewVersionAsync(options, std::move(done)); });
  EXPECT_EQ(answer, 0);
  EXPECT_EQ(shown.size(), 1);
}

}  // namespace
}  // namespace auralith::update
