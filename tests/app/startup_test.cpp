// The start-up as the user meets it: real processes of the stand-in
// executable as first and second instances, each run in a private runtime,
// configuration and home folder.

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>

#include <memory>

#include <csignal>

namespace {

class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.isValid());
    for (const char* sub : {"runtime", "config", "home/Desktop"})
      ASSERT_TRUE(QDir().mkpath(folder_.path() + "/" + sub));
    QFile::setPermissions(folder_.path() + "/runtime", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  }

  void TearDown() override {
    for (auto& process : running_) {
      if (process->state() != QProcess::NotRunning) {
        process->kill();
        process->waitForFinished(3000);
      }
    }
  }

  QProcessEnvironment Environment() const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_RUNTIME_DIR", folder_.path() + "/runtime");
    environment.insert("AURALITH_CONFIG_DIR", folder_.path() + "/config");
    environment.insert("XDG_CONFIG_HOME", folder_.path() + "/config");
    environment.insert("HOME", folder_.path() + "/home");
    environment.insert("AURALITH_TEST_RECORD", RecordPath());
    environment.insert("AURALITH_TEST_FORWARD_MS", "3000");
    // No sound server: the machine report must not wait for one.
    environment.insert("PULSE_SERVER", "unix:" + folder_.path() + "/no-sound-server");
    return environment;
  }

  QProcess* Start(const QStringList& arguments, const QProcessEnvironment& environment) {
    running_.push_back(std::make_unique<QProcess>());
    QProcess* process = running_.back().get();
    process->setProcessEnvironment(environment);
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(APP_TEST_INSTANCE, arguments);
    EXPECT_TRUE(process->waitForStarted(5000));
    return process;
  }
  QProcess* Start(const QStringList& arguments = {}) { return Start(arguments, Environment()); }

  // Runs an instance to its end; its exit status.
  int Run(const QStringList& arguments) {
    QProcess* process = Start(arguments);
    EXPECT_TRUE(process->waitForFinished(10000));
    return process->exitStatus() == QProcess::NormalExit ? process->exitCode() : -1;
  }

  // A first instance whose main window runs.
  QProcess* StartFirst(const QStringList& arguments = {}) {
    QProcess* process = Start(arguments);
    EXPECT_TRUE(WaitForRecord("started")) << Record().join('\n').toStdString();
    return process;
  }

  QString RecordPath() const { return folder_.path() + "/record.txt"; }
  QString LogPath() const { return folder_.path() + "/home/Desktop/ULX Log.txt"; }

  QStringList Record() const {
    QFile file(RecordPath());
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
  }

  bool WaitForRecord(const QString& prefix, int limitMs = 5000) const {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < limitMs) {
      for (const QString& line : Record())
        if (line.startsWith(prefix)) return true;
      QThread::msleep(10);
    }
    return false;
  }

  QTemporaryDir folder_;
  std::vector<std::unique_ptr<QProcess>> running_;
};

TEST_F(StartupTest, QuitWithNoInstanceRunningStartsNothing) {
  EXPECT_EQ(Run({"halvorn-ulx://quit"}), 0);
  EXPECT_TRUE(Record().isEmpty());
  EXPECT_FALSE(QFile::exists(LogPath()));
}

TEST_F(StartupTest, QuitShutsTheRunningInstanceDown) {
  QProcess* first = StartFirst();
  EXPECT_EQ(Run({"halvorn-ulx://quit"}), 0);
  ASSERT_TRUE(first->waitForFinished(5000));
  EXPECT_EQ(first->exitCode(), 0);
  EXPECT_EQ(Record(), (QStringList{"started pending=0 mode=0 host=profiles.auralith.example", "command 9", "ended"}));
}

TEST_F(StartupTest, LaunchReachesTheRunningInstanceAndChangesNothing) {
  QProcess* first = StartFirst();
  EXPECT_EQ(Run({"halvorn-ulx://launch"}), 0);
  EXPECT_EQ(Record().value(1), "command 10");
  QThread::msleep(100);
  EXPECT_EQ(first->state(), QProcess::Running);
}

TEST_F(StartupTest, ASecondPlainStartShowsTheFirstInstancesWindow) {
  StartFirst();
  EXPECT_EQ(Run({}), 0);
  EXPECT_EQ(Record().value(1), "command 11");
  // A URL without a known verb counts as a plain start.
  EXPECT_EQ(Run({"halvorn-ulx://volume"}), 0);
  EXPECT_EQ(Record().value(2), "command 11");
}

TEST_F(StartupTest, AQuotedUrlWorksAsTheUnquotedOne) {
  StartFirst();
  EXPECT_EQ(Run({"\"halvorn-ulx://headphones\""}), 0);
  EXPECT_EQ(Run({"halvorn-ulx://headphones"}), 0);
  EXPECT_EQ(Record().mid(1), (QStringList{"command 8", "command 8"}));
}

TEST_F(StartupTest, AFirstInstanceKeepsItsUrlCommandForTheMainWindow) {
  StartFirst({"halvorn-ulx://hide_icon"});
  EXPECT_EQ(Record().value(0), "started pending=12 mode=0 host=profiles.auralith.example");
}

TEST_F(StartupTest, TheEndOfTheSessionShutsDownInOrder) {
  QProcess* first = StartFirst();
  first->terminate();  // SIGTERM, as at logout
  ASSERT_TRUE(first->waitForFinished(5000));
  EXPECT_EQ(first->exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(Record().mid(1), (QStringList{"command 9", "ended"}));
}

TEST_F(StartupTest, AKilledInstanceBlocksNeitherTheNextStartNorItsCommands) {
  QProcess* crashed = StartFirst();
  crashed->kill();
  ASSERT_TRUE(crashed->waitForFinished(5000));
  QFile::remove(RecordPath());
  QProcess* next = StartFirst();
  EXPECT_EQ(Run({"halvorn-ulx://quit"}), 0);
  ASSERT_TRUE(next->waitForFinished(5000));
  EXPECT_EQ(Record().mid(1), (QStringList{"command 9", "ended"}));
}

TEST_F(StartupTest, AHungInstanceCannotHangTheSecond) {
  QProcessEnvironment stalling = Environment();
  stalling.insert("AURALITH_TEST_STALL_MS", "20000");
  Start({}, stalling);
  ASSERT_TRUE(WaitForRecord("started"));
  QProcessEnvironment impatient = Environment();
  impatient.insert("AURALITH_TEST_FORWARD_MS", "300");
  QElapsedTimer clock;
  clock.start();
  QProcess* second = Start({"halvorn-ulx://quit"}, impatient);
  ASSERT_TRUE(second->waitForFinished(10000));
  EXPECT_EQ(second->exitCode(), 0);
  EXPECT_LT(clock.elapsed(), 5000);
}

TEST_F(StartupTest, TheLogIsWrittenOnlyInTheModesThatAskForIt) {
  struct Case {
    QStringList arguments;
    QString started;
    bool logs;
  };
  const Case cases[] = {
      {{}, "started pending=0 mode=0 host=profiles.auralith.example", false},
      {{"-pluto"}, "started pending=0 mode=3 host=staging.profiles.auralith.example", false},
      {{"-cactus", "foo"}, "started pending=0 mode=0 host=profiles.auralith.example", false},
      {{"-CACTUS"}, "started pending=0 mode=1 host=localhost", true},
      {{"-zebra"}, "started pending=0 mode=2 host=staging.profiles.auralith.example", true},
  };
  for (const Case& run : cases) {
    SCOPED_TRACE(run.arguments.join(' ').toStdString());
    QFile::remove(RecordPath());
    QFile::remove(LogPath());
    QProcess* first = StartFirst(run.arguments);
    EXPECT_EQ(Record().value(0), run.started);
    EXPECT_EQ(Run({"halvorn-ulx://quit"}), 0);
    ASSERT_TRUE(first->waitForFinished(5000));
    ASSERT_EQ(QFile::exists(LogPath()), run.logs);
    if (!run.logs) continue;
    QFile log(LogPath());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(log.readAll());
    EXPECT_TRUE(text.startsWith("<?xml")) << text.toStdString();
    EXPECT_TRUE(text.contains("<SoundServer reachable=\"no\"/>"));
    EXPECT_TRUE(text.contains(" Log opened.\n"));
    EXPECT_TRUE(text.contains(" Init dialog.\n"));
    EXPECT_TRUE(text.endsWith(" Log closed.\n"));
  }
}

}  // namespace
