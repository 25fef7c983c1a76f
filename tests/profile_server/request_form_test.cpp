#include "profile_server/request_form.h"

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

}  // namespace
}  // namespace auralith::profiles
