#include "profile_server/profile_file_placement.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace auralith::profiles {
namespace {

TEST(NameVariant, NumbersBeforeTheExtension) {
  EXPECT_EQ(NameVariant(QStringLiteral("Name.hvnp"), 2), "Name (2).hvnp");
  EXPECT_EQ(NameVariant(QStringLiteral("Dr. Bass.hvnp"), 3), "Dr. Bass (3).hvnp");
  EXPECT_EQ(NameVariant(QStringLiteral("Name"), 2), "Name (2)");
  EXPECT_EQ(NameVariant(QStringLiteral(".hvnp"), 2), ".hvnp (2)");
}

class PlacementTest : public ::testing::Test {
 protected:
  std::string Folder() const { return (dir_.path() + u'/').toStdString(); }
  QString PathOf(const QString& name) const { return dir_.filePath(name); }
  void Write(const QString& name, const QByteArray& content) const {
    QFile file(PathOf(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
  }
  QByteArray Read(const QString& name) const {
    QFile file(PathOf(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  QStringList Entries() const {
    return QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
  }

  QTemporaryDir dir_;
};

TEST_F(PlacementTest, NewFileIsWrittenWhole) {
  const Placement placement = PlaceProfileFile(Folder(), QStringLiteral("A B.hvnp"), "1 2\n");
  ASSERT_TRUE(placement.path);
  EXPECT_EQ(QString::fromStdString(*placement.path), PathOf(QStringLiteral("A B.hvnp")));
  EXPECT_EQ(Read(QStringLiteral("A B.hvnp")), "1 2\n");
  EXPECT_EQ(Entries(), QStringList{"A B.hvnp"});  // no temporary file left
}

TEST_F(PlacementTest, SameContentTakesTheExistingFile) {
  Write(QStringLiteral("A.hvnp"), "1 2\r\n3 4\r\n");
  const Placement placement = PlaceProfileFile(Folder(), QStringLiteral("A.hvnp"), "1 2\n3 4\n");
  ASSERT_TRUE(placement.path);
  EXPECT_EQ(QString::fromStdString(*placement.path), PathOf(QStringLiteral("A.hvnp")));
  EXPECT_EQ(Read(QStringLiteral("A.hvnp")), "1 2\r\n3 4\r\n");
}

TEST_F(PlacementTest, OtherContentGoesUnderTheNextFreeName) {
  Write(QStringLiteral("A.hvnp"), "1 1\n");
  Write(QStringLiteral("A (2).hvnp"), "2 2\n");
  const Placement placement = PlaceProfileFile(Folder(), QStringLiteral("A.hvnp"), "3 3\n");
  ASSERT_TRUE(placement.path);
  EXPECT_EQ(QString::fromStdString(*placement.path), PathOf(QStringLiteral("A (3).hvnp")));
  EXPECT_EQ(Read(QStringLiteral("A.hvnp")), "1 1\n");
  EXPECT_EQ(Read(QStringLiteral("A (2).hvnp")), "2 2\n");
  EXPECT_EQ(Read(QStringLiteral("A (3).hvnp")), "3 3\n");
  // Fetched again, the same content finds its earlier copy.
  EXPECT_EQ(PlaceProfileFile(Folder(), QStringLiteral("A.hvnp"), "2 2\n").path,
            PathOf(QStringLiteral("A (2).hvnp")).toStdString());
  EXPECT_EQ(Entries().size(), 3);
}

TEST_F(PlacementTest, FolderEntryThatIsNoFileIsLeftAlone) {
  ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("A.hvnp")));
  const Placement placement = PlaceProfileFile(Folder(), QStringLiteral("A.hvnp"), "1 1\n");
  ASSERT_TRUE(placement.path);
  EXPECT_EQ(QString::fromStdString(*placement.path), PathOf(QStringLiteral("A (2).hvnp")));
}

TEST_F(PlacementTest, MissingFolderFailsWithoutWriting) {
  const Placement placement = PlaceProfileFile(Folder() + "missing/", QStringLiteral("A.hvnp"), "1 1\n");
  EXPECT_FALSE(placement.path);
  EXPECT_FALSE(placement.failure.isEmpty());
  EXPECT_TRUE(Entries().isEmpty());
}

}  // namespace
}  // namespace auralith::profiles
