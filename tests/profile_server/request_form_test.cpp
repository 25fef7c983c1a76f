#include "profile_server/request_form.h"
#include "app/settings_keys.h"
#include "app/settings_store.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace auralith::profiles {
namespace {

TEST(FormEncode, KeepsUnreservedAndEncodesTheRest) {
  EXPECT_EQ(FormEncode(QStringLiteral("aZ09*-._")), "aZ09*-._");
  EXPECT_EQ(FormEncode(QStringLiteral("p&ss w=rd+%")), "p%26ss+w%3Drd%2B%25");
  EXPECT_EQ(FormEncode(QString::fromUtf8("caf\xc3\xa9~")), "caf%C3%A9%7E");
  EXPECT_EQ(FormEncode(QString()), "");
}

TEST(BuildRequestForm, PutsTheThreePiecesInOrder) {
  const AccountDetails account{QStringLiteral("me@example.org"), QStringLiteral("a&b"), QStringLiteral("abc")};
  EXPECT_EQ(BuildRequestForm(account, QStringLiteral("my pc"), QStringLiteral("1.2.4")),
            "email=me%40example.org&password=a%26b&type_id=2"
            "&machine_id=abc&machine_friendly_name=my+pc&version=1.2.4"
            "&iamnotversionone=1");
}

TEST(DerivedMachineIdentifier, IsAStableOneWayHash) {
  const QByteArray id = "0123456789abcdef0123456789abcdef\n";
  const QString derived = DerivedMachineIdentifier(id);
  EXPECT_EQ(derived.size(), 64);
  EXPECT_FALSE(derived.contains(QStringLiteral("0123456789abcdef")));
  EXPECT_EQ(derived, DerivedMachineIdentifier(id.trimmed()));
  EXPECT_NE(derived, DerivedMachineIdentifier("0123456789abcdef0123456789abcdee"));
  EXPECT_EQ(DerivedMachineIdentifier(" \n"), "");
}

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
  const AccountDetails account = ReadAccountDetails(store, MachineIdFile());
  EXPECT_EQ(account.email, "");
  EXPECT_EQ(account.password, "");
  EXPECT_EQ(account.machineId, DerivedMachineIdentifier("fedcba9876543210fedcba9876543210"));
}

TEST_F(AccountDetailsTest, StoredValuesAreRead) {
  settings::SettingsStore store;
  ASSERT_TRUE(store.WriteProfileString(settings::settingsSection, accountEmailKey, QStringLiteral("me@x.org")));
  ASSERT_TRUE(store.WriteProfileString(settings::settingsSection, accountPasswordKey, QStringLiteral("p&w")));
  ASSERT_TRUE(store.WriteProfileString(settings::settingsSection, machineIdKey, QStringLiteral("given")));
  const AccountDetails account = ReadAccountDetails(store, MachineIdFile());
  EXPECT_EQ(account.email, "me@x.org");
  EXPECT_EQ(account.password, "p&w");
  EXPECT_EQ(account.machineId, "given");
}

TEST_F(AccountDetailsTest, NoMachineIdFileGivesEmptyId) {
  settings::SettingsStore store;
  EXPECT_EQ(ReadAccountDetails(store, dir_.filePath(QStringLiteral("none"))).machineId, "");
}

}  // namespace
}  // namespace auralith::profiles
