// auralith-profiles as a user runs it: a real process against the
// reference server.
#include "server/reference_server_process.h"
#include "server/test_picture.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

// A profile both of whose sets give every parameter 1 to 58.
QByteArray CompleteProfile(float music, float movie) {
  QByteArray text;
  for (const float value : {music, movie}) {
    for (int number = 1; number <= 58; ++number)
      text += QByteArray::number(number) + ' ' + QByteArray::number(value) + '\n';
    text += '\n';
  }
  return text;
}

using auralith::testing::ReferenceServer;
using auralith::testing::ServerData;

struct ToolRun {
  int status = -1;
  QString out;
  QString err;
};

class ProfilesTool : public ::testing::Test {
 protected:
  void SetUp() override {
    data_.Write(QStringLiteral("models.json"), R"([
      {"device": 1, "manufacturer": "Kestrel", "model": "Book 14", "file": "Book 14.hvnp",
       "image": "book.png", "description": "thin"},
      {"device": 3, "manufacturer": "Tamsin", "model": "Studio", "file": "Studio.hvnp",
       "image": "", "description": "closed"}])");
    data_.Write(QStringLiteral("files/Book 14.hvnp"), CompleteProfile(0.5f, 0.25f));
    data_.Write(QStringLiteral("files/Studio.hvnp"), "2 1\n");
    data_.Write(QStringLiteral("pictures/book.png"), auralith::testing::PngBytes());
    for (const char* dir : {"profiles", "config", "home"}) QDir(home_.path()).mkpath(QLatin1StringView(dir));
  }

  void Start(const QStringList& extra = {}) {
    server_ = std::make_unique<ReferenceServer>(data_.path(), extra);
    ASSERT_TRUE(server_->running());
  }

  ToolRun Tool(const QStringList& args) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("AURALITH_SERVER_OVERRIDE"),
               QStringLiteral("127.0.0.1:%1").arg(server_ ? server_->port() : 1));
    env.insert(QStringLiteral("AURALITH_PROFILE_DIR"), ProfileDir());
    env.insert(QStringLiteral("AURALITH_CONFIG_DIR"), home_.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("HOME"), home_.filePath(QStringLiteral("home")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home_.filePath(QStringLiteral("home/.config")));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(AURALITH_PROFILES_TOOL), args);
    ToolRun run;
    if (!process.waitForFinished(60000)) return run;
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
  }

  QString ProfileDir() const { return home_.filePath(QStringLiteral("profiles")); }

  ServerData data_;
  QTemporaryDir home_;
  std::unique_ptr<ReferenceServer> server_;
};

TEST_F(ProfilesTool, CatalogueIsPrintedAsATable) {
  Start();
  const ToolRun run = Tool({QStringLiteral("catalogue")});
  ASSERT_EQ(run.status, 0) << run.err.toStdString();
  const QStringList lines = run.out.split(u'\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 3);
  EXPECT_TRUE(lines[0].startsWith(u"CATEGORY"));
  EXPECT_TRUE(lines[1].startsWith(u"builtin"));
  EXPECT_TRUE(lines[1].contains(u"http://localhost/files/Book%2014.hvnp"));
  EXPECT_TRUE(lines[1].contains(u"http://localhost/pictures/book.png"));
  EXPECT_TRUE(lines[1].endsWith(u"thin"));
  EXPECT_TRUE(lines[2].startsWith(u"headphones"));
  // Columns line up.
  EXPECT_EQ(lines[1].indexOf(u"Kestrel"), lines[2].indexOf(u"Tamsin"));

  const ToolRun headphones =
      Tool({QStringLiteral("catalogue"), QStringLiteral("--category"), QStringLiteral("headphones")});
  ASSERT_EQ(headphones.status, 0);
  EXPECT_EQ(headphones.out.split(u'\n', Qt::SkipEmptyParts).size(), 2);
  EXPECT_FALSE(headphones.out.contains(u"Kestrel"));
}

TEST_F(ProfilesTool, GetStoresProfileAndPicture) {
  Start();
  const ToolRun run =
      Tool({QStringLiteral("get"), QStringLiteral("builtin"), QStringLiteral("Kestrel"), QStringLiteral("Book 14")});
  ASSERT_EQ(run.status, 0) << run.err.toStdString();
  const QString path = QDir(ProfileDir()).filePath(QStringLiteral("Book 14.hvnp"));
  EXPECT_EQ(run.out.trimmed(), path);
  QFile profile(path);
  ASSERT_TRUE(profile.open(QIODevice::ReadOnly));
  EXPECT_EQ(profile.readAll(), CompleteProfile(0.5f, 0.25f));
  EXPECT_TRUE(QFile::exists(QDir(ProfileDir()).filePath(QStringLiteral("book.png"))));
}

TEST_F(ProfilesTool, UnknownModelFailsWithOneLine) {
  Start();
  const ToolRun run =
      Tool({QStringLiteral("get"), QStringLiteral("desktop"), QStringLiteral("Kestrel"), QStringLiteral("Book 14")});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err.count(u'\n'), 1);
  EXPECT_TRUE(run.err.startsWith(u"auralith-profiles: "));
  EXPECT_TRUE(run.out.isEmpty());
}

TEST_F(ProfilesTool, CheckUpdatePrintsTheDecision) {
  Start({QStringLiteral("--published-version"), QStringLiteral("2.0")});
  ToolRun run = Tool({QStringLiteral("check-update")});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "1\n");
  Start();
  run = Tool({QStringLiteral("-pluto"), QStringLiteral("check-update")});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "0\n");
}

TEST_F(ProfilesTool, CheckUpdateWithoutAVersionFailsWithNoVersionFound) {
  data_.Write(QStringLiteral("audio_en_pad.xml"), "<html><body>Maintenance</html>\n");
  Start();
  ToolRun run = Tool({QStringLiteral("check-update")});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(run.out.isEmpty());
  EXPECT_EQ(run.err, "auralith-profiles: no version found\n");
  data_.Write(QStringLiteral("audio_en_pad.xml"), "1.3.0\n");
  run = Tool({QStringLiteral("check-update")});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(run.err.contains(u"no version found"));
}

TEST_F(ProfilesTool, UnreachableOrFailingServerFailsWithOneLine) {
  for (const char* command : {"catalogue", "check-update"}) {
    const ToolRun run = Tool({QLatin1StringView(command)});
    EXPECT_EQ(run.status, 1) << command;
    EXPECT_EQ(run.err.count(u'\n'), 1) << run.err.toStdString();
  }
  Start({QStringLiteral("--fault"), QStringLiteral("status500")});
  const ToolRun run = Tool({QStringLiteral("catalogue")});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(run.err.contains(u"500"));
  Start({QStringLiteral("--fault"), QStringLiteral("malformed")});
  EXPECT_EQ(Tool({QStringLiteral("catalogue")}).status, 1);
}

TEST_F(ProfilesTool, LoggingModeWritesTheDiagnosticLog) {
  Start();
  ASSERT_EQ(Tool({QStringLiteral("-cactus"), QStringLiteral("catalogue")}).status, 0);
  QFile log(home_.filePath(QStringLiteral("home/ULX Log.txt")));
  ASSERT_TRUE(log.open(QIODevice::ReadOnly));
  EXPECT_TRUE(log.readAll().contains("Get profiles returned:"));
}

TEST_F(ProfilesTool, WrongUsageExitsWithTwo) {
  EXPECT_EQ(Tool({}).status, 2);
  EXPECT_EQ(Tool({QStringLiteral("fetch")}).status, 2);
  EXPECT_EQ(Tool({QStringLiteral("get"), QStringLiteral("builtin")}).status, 2);
  EXPECT_EQ(Tool({QStringLiteral("catalogue"), QStringLiteral("--category")}).status, 2);
}

}  // namespace
