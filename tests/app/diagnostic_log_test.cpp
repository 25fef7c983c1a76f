#include "app/diagnostic_log.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QIODevice>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstdlib>
#include <string>

namespace auralith::app {
namespace {

class DiagnosticLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.isValid());
    // "%x %X" in the C locale: "12/31/26 23:59:58".
    setenv("LC_ALL", "C", 1);
    if (const char* home = std::getenv("HOME")) savedHome_ = home;
  }
  void TearDown() override {
    setenv("HOME", savedHome_.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
  }

  DiagnosticLog MakeLog(bool active) {
    DiagnosticLog::Options options;
    options.active = active;
    options.folder = [this] { return folder_.path(); };
    options.writeReport = [this](QIODevice& device) {
      ++reports_;
      device.write("<Report/>\n");
    };
    return DiagnosticLog(options);
  }

  QString LogPath() const { return folder_.path() + "/ULX Log.txt"; }

  QStringList LogLines() const {
    QFile file(LogPath());
    if (!file.open(QIODevice::ReadOnly)) return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
  }

  // A line of the log without its time stamp; empty when it has none.
  static QString Message(const QString& line) {
    static const QRegularExpression stamped(QStringLiteral(R"(^\d\d/\d\d/\d\d \d\d:\d\d:\d\d (.*)$)"));
    const QRegularExpressionMatch match = stamped.match(line);
    return match.hasMatch() ? match.captured(1) : QString();
  }

  QTemporaryDir folder_;
  std::string savedHome_;
  int reports_ = 0;
};

TEST_F(DiagnosticLogTest, AnInactiveLogCreatesNothingAndRunsNothing) {
  DiagnosticLog log = MakeLog(false);
  log.WriteLog("Init dialog.");
  log.CloseLog();
  log.WriteLog("again");
  EXPECT_FALSE(QFile::exists(LogPath()));
  EXPECT_EQ(reports_, 0);
}

TEST_F(DiagnosticLogTest, TheReportHeadsTheLinesOfARun) {
  DiagnosticLog log = MakeLog(true);
  log.WriteLog("Init dialog.");
  log.WriteLog("ULX audio driver not found.");
  log.CloseLog();
  const QStringList lines = LogLines();
  ASSERT_EQ(lines.size(), 5);
  EXPECT_EQ(lines[0], "<Report/>");
  EXPECT_EQ(Message(lines[1]), "Log opened.");
  EXPECT_EQ(Message(lines[2]), "Init dialog.");
  EXPECT_EQ(Message(lines[3]), "ULX audio driver not found.");
  EXPECT_EQ(Message(lines[4]), "Log closed.");
  EXPECT_EQ(reports_, 1);
}

TEST_F(DiagnosticLogTest, AnExistingLogIsAppendedTo) {
  {
    QFile file(LogPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("earlier run\n");
  }
  DiagnosticLog log = MakeLog(true);
  log.WriteLog("Init dialog.");
  const QStringList lines = LogLines();
  ASSERT_EQ(lines.size(), 4);
  EXPECT_EQ(lines[0], "earlier run");
  EXPECT_EQ(lines[1], "<Report/>");
  EXPECT_EQ(Message(lines[3]), "Init dialog.");
}

TEST_F(DiagnosticLogTest, AMessageWithALineBreakSpansTwoLines) {
  DiagnosticLog log = MakeLog(true);
  log.WriteLog("New version check:\n<Program_Version>1.3</Program_Version>");
  const QStringList lines = LogLines();
  ASSERT_EQ(lines.size(), 4);
  EXPECT_EQ(Message(lines[2]), "New version check:");
  EXPECT_EQ(lines[3], "<Program_Version>1.3</Program_Version>");
}

TEST_F(DiagnosticLogTest, AfterClosingTheNextLineOpensTheLogAnew) {
  DiagnosticLog log = MakeLog(true);
  log.WriteLog("first");
  log.CloseLog();
  log.CloseLog();
  log.WriteLog("second");
  const QStringList lines = LogLines();
  // The second close has no log left to close.
  ASSERT_EQ(lines.size(), 7);
  EXPECT_EQ(Message(lines[3]), "Log closed.");
  EXPECT_EQ(lines[4], "<Report/>");
  EXPECT_EQ(Message(lines[5]), "Log opened.");
  EXPECT_EQ(Message(lines[6]), "second");
  EXPECT_EQ(reports_, 2);
}

TEST_F(DiagnosticLogTest, EveryLineIsOnDiskAsSoonAsItIsWritten) {
  DiagnosticLog log = MakeLog(true);
  log.WriteLog("Init dialog.");
  EXPECT_EQ(Message(LogLines().value(2)), "Init dialog.");
}

TEST_F(DiagnosticLogTest, AFolderThatCannotTakeTheFileLeavesTheLogSilent) {
  DiagnosticLog::Options options;
  options.active = true;
  options.folder = [this] { return folder_.path() + "/missing"; };
  DiagnosticLog log(options);
  log.WriteLog("Init dialog.");
  log.CloseLog();
  EXPECT_FALSE(QFile::exists(folder_.path() + "/missing/ULX Log.txt"));

  options.folder = [] { return QString(); };
  DiagnosticLog noFolder(options);
  noFolder.WriteLog("Init dialog.");
  EXPECT_TRUE(QDir(folder_.path()).entryList(QDir::Files).isEmpty());
}

TEST_F(DiagnosticLogTest, TheDesktopIsTheXdgDesktopFolderElseHome) {
  const QString home = folder_.path() + "/home";
  const QString desktop = folder_.path() + "/home/Schreibtisch";
  ASSERT_TRUE(QDir().mkpath(home + "/.config"));
  setenv("HOME", home.toLocal8Bit().constData(), 1);
  setenv("XDG_CONFIG_HOME", (home + "/.config").toLocal8Bit().constData(), 1);
  {
    QFile dirs(home + "/.config/user-dirs.dirs");
    ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
    dirs.write("XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
  }
  EXPECT_EQ(DesktopFolder(), home);  // named, but not there
  ASSERT_TRUE(QDir().mkpath(desktop));
  EXPECT_EQ(DesktopFolder(), desktop);
}

TEST_F(DiagnosticLogTest, TheTimeStampFollowsTheLocale) {
  EXPECT_TRUE(QRegularExpression(QStringLiteral(R"(^\d\d/\d\d/\d\d \d\d:\d\d:\d\d$)")).match(LogTimeStamp()).hasMatch())
      << LogTimeStamp().toStdString();
}

}  // namespace
}  // namespace auralith::app
