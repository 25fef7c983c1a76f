#include "app/command_line.h"
#include "app/commands.h"
#include "app/server_host.h"

#include <gtest/gtest.h>

namespace auralith::app {
namespace {

StartupRequest Parse(const QStringList& arguments) { return ParseCommandLine(arguments); }

TEST(UrlCommandTest, EveryVerbSelectsItsCode) {
  const char* verbs[] = {"preferences", "ulx_on",     "ulx_off", "music",  "movies",    "built-in",
                         "desktop",     "headphones", "quit",    "launch", "show_icon", "hide_icon"};
  for (int code = 1; code <= 12; ++code) {
    EXPECT_EQ(Parse({QStringLiteral("halvorn-ulx://") + verbs[code - 1]}).pendingCommand, code) << verbs[code - 1];
  }
}

TEST(UrlCommandTest, VerbsMatchByPrefixAndCaseSensitively) {
  EXPECT_EQ(Parse({"halvorn-ulx://musicandmore"}).pendingCommand, kCommandMusic);
  EXPECT_EQ(Parse({"halvorn-ulx://quit/"}).pendingCommand, kCommandQuit);
  EXPECT_EQ(Parse({"halvorn-ulx://Quit"}).pendingCommand, kNoCommand);
  EXPECT_EQ(Parse({"halvorn-ulx://MUSIC"}).pendingCommand, kNoCommand);
  EXPECT_EQ(Parse({"halvorn-ulx://"}).pendingCommand, kNoCommand);
  EXPECT_EQ(Parse({"halvorn-ulx://volume_up"}).pendingCommand, kNoCommand);
  EXPECT_EQ(Parse({"halvorn-ulx:// quit"}).pendingCommand, kNoCommand);
}

TEST(UrlCommandTest, QuotesAnywhereAreRemovedFirst) {
  EXPECT_EQ(Parse({"\"halvorn-ulx://headphones\""}).pendingCommand, kCommandHeadphones);
  EXPECT_EQ(Parse({"hal\"vorn-ulx://hea\"dphones"}).pendingCommand, kCommandHeadphones);
}

TEST(UrlCommandTest, EverySchemeOccurrenceIsDeletedButOnlyALeadingOneMakesAUrl) {
  EXPECT_EQ(Parse({"halvorn-ulx://halvorn-ulx://desktop"}).pendingCommand, kCommandDesktop);
  EXPECT_EQ(Parse({"halvorn-ulx://desk", "halvorn-ulx://top"}).pendingCommand, kNoCommand);
  EXPECT_EQ(Parse({"halvorn-ulx://deskhalvorn-ulx://top"}).pendingCommand, kCommandDesktop);
  EXPECT_EQ(Parse({"music"}).pendingCommand, kNoCommand);
  EXPECT_EQ(Parse({"x", "halvorn-ulx://music"}).pendingCommand, kNoCommand);
  EXPECT_EQ(Parse({"HALVORN-ULX://music"}).pendingCommand, kNoCommand);
}

TEST(UrlCommandTest, ArgumentsAreJoinedWithBlanks) {
  EXPECT_EQ(JoinArguments({"halvorn-ulx://ulx_on", "now"}), "halvorn-ulx://ulx_on now");
  EXPECT_EQ(Parse({"halvorn-ulx://ulx_on", "now"}).pendingCommand, kCommandProcessingOn);
  EXPECT_EQ(Parse({}).pendingCommand, kNoCommand);
}

TEST(ServerModeTest, SwitchesMatchAsAWholeWithoutRegardToCase) {
  EXPECT_EQ(Parse({}).serverMode, kProductionServer);
  EXPECT_EQ(Parse({"-cactus"}).serverMode, kLocalServerWithLog);
  EXPECT_EQ(Parse({"-CACTUS"}).serverMode, kLocalServerWithLog);
  EXPECT_EQ(Parse({"-Zebra"}).serverMode, kStagingServerWithLog);
  EXPECT_EQ(Parse({"-pluto"}).serverMode, kStagingServer);
  EXPECT_EQ(Parse({"\"-pluto\""}).serverMode, kStagingServer);
  EXPECT_EQ(Parse({"-cactus", "foo"}).serverMode, kProductionServer);
  EXPECT_EQ(Parse({"-cactus foo"}).serverMode, kProductionServer);
  EXPECT_EQ(Parse({"-cactu"}).serverMode, kProductionServer);
  EXPECT_EQ(Parse({"cactus"}).serverMode, kProductionServer);
  EXPECT_EQ(Parse({"-cactus"}).pendingCommand, kNoCommand);
}

TEST(ServerModeTest, AUrlNeverSelectsAServerMode) {
  EXPECT_EQ(Parse({"halvorn-ulx://-cactus"}).serverMode, kProductionServer);
  EXPECT_EQ(Parse({"halvorn-ulx://-zebra"}).pendingCommand, kNoCommand);
}

TEST(ServerHostTest, EachModeHasItsHost) {
  EXPECT_EQ(ServerHostForMode(kProductionServer), kProductionServerHost);
  EXPECT_EQ(ServerHostForMode(kLocalServerWithLog), "localhost");
  EXPECT_EQ(ServerHostForMode(kStagingServerWithLog), kStagingServerHost);
  EXPECT_EQ(ServerHostForMode(kStagingServer), kStagingServerHost);
  EXPECT_EQ(ServerHostForMode(17), kProductionServerHost);
  EXPECT_NE(QString(kProductionServerHost), QString(kStagingServerHost));
}

}  // namespace
}  // namespace auralith::app
