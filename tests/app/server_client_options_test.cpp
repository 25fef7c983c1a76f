#include "app/server_client_options.h"

#include "app/server_host.h"
#include "app/settings_keys.h"
#include "app/settings_store.h"

#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <gtest/gtest.h>

namespace auralith::app {
namespace {

class AccountDetailsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    qputenv(settings::configDirEnv, dir_.path().toUtf8());
    QFile file(dir_.filePath(QStringLiteral("machine-id")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("fedcba9876543210fedcba9876543210\n");
  }
  void TearDown() override { qunsetenv(settings::configDirEnv); }
  QString MachineIdFile() const { return dir_.filePath(QStringLiteral("machine-id")); }

  QTemporaryDir dir_;
};

TEST_F(AccountDetailsTest, EmptyStoreGivesEmptyAccountAndDerivedMachineId) {
  settings::SettingsStore store;
  const profiles::AccountDetails account = ReadAccountDetails(store, MachineIdFile());
  EXPECT_EQ(account.email, "");
  EXPECT_EQ(account.password, "");
  EXPECT_EQ(account.machineId, profiles::DerivedMachineIdentifier("fedcba9876543210fedcba9876543210"));
}

TEST_F(AccountDetailsTest, StoredValuesAreRead) {
  settings::SettingsStore store;
  ASSERT_TRUE(store.WriteProfileString(settings::settingsSection, accountEmailKey, QStringLiteral("me@x.org")));
  ASSERT_TRUE(store.WriteProfileString(settings::settingsSection, accountPasswordKey, QStringLiteral("p&w")));
  ASSERT_TRUE(store.WriteProfileString(settings::settingsSection, machineIdKey, QStringLiteral("given")));
  const profiles::AccountDetails account = ReadAccountDetails(store, MachineIdFile());
  EXPECT_EQ(account.email, "me@x.org");
  EXPECT_EQ(account.password, "p&w");
  EXPECT_EQ(account.machineId, "given");
}

TEST_F(AccountDetailsTest, NoMachineIdFileGivesEmptyId) {
  settings::SettingsStore store;
  EXPECT_EQ(ReadAccountDetails(store, dir_.filePath(QStringLiteral("none"))).machineId, "");
}

TEST_F(AccountDetailsTest, MachineIdThatIsNoRegularFileIsNotRead) {
  settings::SettingsStore store;
  EXPECT_EQ(ReadAccountDetails(store, QStringLiteral("/dev/zero")).machineId, "");
  const QString fifo = dir_.filePath(QStringLiteral("fifo"));
  ASSERT_EQ(mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
  EXPECT_EQ(ReadAccountDetails(store, fifo).machineId, "");  // returns instead of waiting for a writer
}

TEST(ServerClientOptions, ToolOptionsNameTheHostAndWriteTheLog) {
  qputenv(net::kServerOverrideEnv, "127.0.0.1:8081");
  const update::VersionCheckOptions version = VersionCheckOptionsFor(QStringLiteral("staging.example"));
  const profiles::ProfileServerOptions profile =
      ProfileServerOptionsFor(QStringLiteral("staging.example"), settings::SettingsStore());
  qunsetenv(net::kServerOverrideEnv);
  EXPECT_EQ(version.host, "staging.example");
  EXPECT_EQ(profile.serverHost, "staging.example");
  ASSERT_TRUE(version.http.override);
  EXPECT_EQ(*version.http.override, (net::Endpoint{QStringLiteral("127.0.0.1"), 8081}));
  EXPECT_TRUE(version.log);
  EXPECT_TRUE(profile.log);
  EXPECT_FALSE(profile.version.isEmpty());
  // Without an application object: the production host.
  EXPECT_EQ(VersionCheckOptionsOfThisRun(nullptr).host, QString::fromLatin1(kProductionServerHost));
  EXPECT_FALSE(VersionCheckOptionsOfThisRun(nullptr).http.override);
}

}  // namespace
}  // namespace auralith::app
