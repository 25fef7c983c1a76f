#include "profile_server/url_file_name.h"

#include <gtest/gtest.h>

namespace auralith::profiles {
namespace {

TEST(SplitUrl, DropsSchemeUserAndPort) {
  UrlParts parts = SplitUrl(QStringLiteral("http://user:pw@files.example:8080/a/b%20c.hvnp?x=1"));
  EXPECT_EQ(parts.host, "files.example");
  EXPECT_EQ(parts.path, "/a/b%20c.hvnp?x=1");
  parts = SplitUrl(QStringLiteral("https://host"));
  EXPECT_EQ(parts.host, "host");
  EXPECT_EQ(parts.path, "/");
  parts = SplitUrl(QStringLiteral("http://[::1]:81/x"));
  EXPECT_EQ(parts.host, "::1");
  EXPECT_EQ(parts.path, "/x");
  EXPECT_EQ(SplitUrl(QStringLiteral("/only/path")).host, "");
}

TEST(LastPathSegment, TakesTheLastSegmentWithoutQuery) {
  EXPECT_EQ(LastPathSegment("/a/b%20c.hvnp"), "b%20c.hvnp");
  EXPECT_EQ(LastPathSegment("/a/b.hvnp?dir=/x/y#z"), "b.hvnp");
  EXPECT_EQ(LastPathSegment("/pictures/"), "");
  EXPECT_EQ(LastPathSegment("plain"), "plain");
}

TEST(FileNameFromUrl, DecodesPercentAndPlus) {
  EXPECT_EQ(FileNameFromUrl(QStringLiteral("My%20Laptop.hvnp")), "My Laptop.hvnp");
  EXPECT_EQ(FileNameFromUrl(QStringLiteral("My+Laptop%2ehvnp")), "My Laptop.hvnp");
  EXPECT_EQ(FileNameFromUrl(QStringLiteral("caf%C3%A9%c3%a9")), QString::fromUtf8("caf\xc3\xa9\xc3\xa9"));
}

TEST(FileNameFromUrl, PercentWithoutTwoHexDigitsStays) {
  EXPECT_EQ(FileNameFromUrl(QStringLiteral("100%.hvnp")), "100%.hvnp");
  EXPECT_EQ(FileNameFromUrl(QStringLiteral("a%zz")), "a%zz");
  EXPECT_EQ(FileNameFromUrl(QStringLiteral("a%4")), "a%4");
  EXPECT_EQ(FileNameFromUrl(QStringLiteral("%")), "%");
  EXPECT_EQ(FileNameFromUrl(QStringLiteral("%%41")), "%A");
}

TEST(IsPlainFileName, RefusesWhatIsNoPlainName) {
  EXPECT_TRUE(IsPlainFileName(QStringLiteral("My Laptop.hvnp")));
  EXPECT_TRUE(IsPlainFileName(QStringLiteral("..hidden")));
  EXPECT_FALSE(IsPlainFileName(QString()));
  EXPECT_FALSE(IsPlainFileName(QStringLiteral(".")));
  EXPECT_FALSE(IsPlainFileName(QStringLiteral("..")));
  EXPECT_FALSE(IsPlainFileName(FileNameFromUrl(QStringLiteral("..%2Fetc%2Fpasswd"))));
  EXPECT_FALSE(IsPlainFileName(FileNameFromUrl(QStringLiteral("a%5Cb"))));
  EXPECT_FALSE(IsPlainFileName(FileNameFromUrl(QStringLiteral("a%00b"))));
  EXPECT_FALSE(IsPlainFileName(FileNameFromUrl(QStringLiteral("a%0Ab"))));
  EXPECT_FALSE(IsPlainFileName(FileNameFromUrl(QStringLiteral("a%7Fb"))));
  EXPECT_FALSE(IsPlainFileName(QString(256, u'a')));
  EXPECT_TRUE(IsPlainFileName(QString(255, u'a')));
}

TEST(HasPictureExtension, KnowsTheFivePictureTypes) {
  for (const char* name : {"a.png", "a.JPG", "a.jpeg", "a.gif", "a.Bmp"}) {
    EXPECT_TRUE(HasPictureExtension(QString::fromLatin1(name))) << name;
  }
  for (const char* name : {".png", "a.hvnp", "ULXProfileData", "a.png.hvnp", "apng"}) {
    EXPECT_FALSE(HasPictureExtension(QString::fromLatin1(name))) << name;
  }
}

}  // namespace
}  // namespace auralith::profiles
