#include "app/login_start.h"

#include "app/command_line.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "support/scoped_env.h"

namespace auralith::app {
namespace {

using auralith::testing::ScopedEnv;

QString Read(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The value of one key of the entry's "[Desktop Entry]" group, as written.
QString EntryValue(const QString& text, const QString& key) {
  for (const QString& line : text.split(u'\n'))
    if (line.startsWith(key + u'=')) return line.mid(key.size() + 1);
  return {};
}

class LoginStartTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(folder_.isValid()); }
  QString Path(const QString& sub) const { return folder_.path() + u'/' + sub; }

  QTemporaryDir folder_;
};

TEST_F(LoginStartTest, TheEntryLivesInTheUsersAutostartFolder) {
  ScopedEnv home("HOME", Path("home").toLocal8Bit().constData());
  {
    ScopedEnv config("XDG_CONFIG_HOME", Path("config").toLocal8Bit().constData());
    EXPECT_EQ(AutostartEntryPath(), Path("config/autostart/auralith.desktop"));
  }
  {
    // Relative and empty values are ignored.
    ScopedEnv config("XDG_CONFIG_HOME", "relative/config");
    EXPECT_EQ(AutostartEntryPath(), Path("home/.config/autostart/auralith.desktop"));
  }
  ScopedEnv config("XDG_CONFIG_HOME", "");
  EXPECT_EQ(AutostartFolder(), Path("home/.config/autostart"));
}

TEST_F(LoginStartTest, ExecArgumentsAreQuotedAsTheDesktopEntryFormatAsks) {
  EXPECT_EQ(ExecArgument("/usr/libexec/auralith/auralith-login"), "/usr/libexec/auralith/auralith-login");
  EXPECT_EQ(ExecArgument("/opt/My Apps/Auralith"), "\"/opt/My Apps/Auralith\"");
  // Inside the quotes " ` $ \ get a backslash; the string unescaping then
  // needs every backslash doubled.
  EXPECT_EQ(ExecArgument("/a b/$x\"y`z\\w"), "\"/a b/\\\\$x\\\\\"y\\\\`z\\\\\\\\w\"");
  EXPECT_EQ(ExecArgument("/tmp/100%u"), "\"/tmp/100%%u\"");
}

TEST_F(LoginStartTest, TheEntryRunsTheInstalledStarterElseAuralithHidden) {
  const QString program = Path("prefix/bin/Auralith");
  EXPECT_EQ(LoginCommandLine(program), program + " halvorn-ulx://hide_icon");

  const QString starter = Path("prefix/libexec/auralith/auralith-login");
  ASSERT_TRUE(QDir().mkpath(Path("prefix/libexec/auralith")));
  QFile file(starter);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("#!/bin/sh\n");
  file.close();
  // Not executable: not a starter.
  EXPECT_EQ(LoginCommandLine(program), program + " halvorn-ulx://hide_icon");
  ASSERT_TRUE(file.setPermissions(file.permissions() | QFile::ExeOwner));
  EXPECT_EQ(LoginCommandLine(program), starter);

  const QString spaced = Path("my prefix/bin/Auralith");
  EXPECT_EQ(LoginCommandLine(spaced), ExecArgument(spaced) + " halvorn-ulx://hide_icon");
}

TEST_F(LoginStartTest, OnWritesTheEntryAndOffRemovesIt) {
  ScopedEnv config("XDG_CONFIG_HOME", Path("config").toLocal8Bit().constData());
  EXPECT_FALSE(StartsAtLogin());
  // Off when it is off already is no failure.
  EXPECT_TRUE(SetStartAtLogin(false));

  QString error;
  ASSERT_TRUE(SetStartAtLogin(true, &error)) << error.toStdString();
  EXPECT_TRUE(StartsAtLogin());
  const QString text = Read(AutostartEntryPath());
  EXPECT_TRUE(text.startsWith("[Desktop Entry]\n"));
  EXPECT_EQ(EntryValue(text, "Type"), "Application");
  EXPECT_EQ(EntryValue(text, "Name"), "Auralith");
  EXPECT_EQ(EntryValue(text, "Exec"), LoginCommandLine());
  EXPECT_EQ(EntryValue(text, "Icon"), "auralith");

  // An older entry is replaced, not added to.
  QFile old(AutostartEntryPath());
  ASSERT_TRUE(old.open(QIODevice::WriteOnly | QIODevice::Truncate));
  old.write("[Desktop Entry]\nExec=/old/Auralith\n");
  old.close();
  ASSERT_TRUE(SetStartAtLogin(true));
  EXPECT_EQ(Read(AutostartEntryPath()), text);

  // Switched off by the desktop's own autostart settings: off here too, and
  // on writes it afresh.
  for (const char* off : {"Hidden=true", "X-GNOME-Autostart-enabled=false"}) {
    QFile edited(AutostartEntryPath());
    ASSERT_TRUE(edited.open(QIODevice::Append));
    edited.write(QByteArray(off) + '\n');
    edited.close();
    EXPECT_FALSE(StartsAtLogin()) << off;
    ASSERT_TRUE(SetStartAtLogin(true));
    EXPECT_TRUE(StartsAtLogin()) << off;
    EXPECT_EQ(Read(AutostartEntryPath()), text);
  }

  ASSERT_TRUE(SetStartAtLogin(false));
  EXPECT_FALSE(StartsAtLogin());
  EXPECT_FALSE(QFile::exists(AutostartEntryPath()));
}

TEST_F(LoginStartTest, AFolderThatCannotBeMadeIsReported) {
  QFile blocker(Path("config"));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  ScopedEnv config("XDG_CONFIG_HOME", Path("config").toLocal8Bit().constData());
  QString error;
  EXPECT_FALSE(SetStartAtLogin(true, &error));
  EXPECT_FALSE(error.isEmpty());
  EXPECT_FALSE(StartsAtLogin());
}

TEST(LoginSwitchTest, OnlyOnOrOffAsTheWholeCommandLine) {
  EXPECT_EQ(ParseCommandLine({"--start-at-login", "on"}).loginSwitch, LoginSwitch::kOn);
  EXPECT_EQ(ParseCommandLine({"--start-at-login", "off"}).loginSwitch, LoginSwitch::kOff);
  for (const QStringList& wrong : {QStringList{"--start-at-login"}, QStringList{"--start-at-login", "ON"},
                                   QStringList{"--start-at-login", "on", "-cactus"}})
    EXPECT_EQ(ParseCommandLine(wrong).loginSwitch, LoginSwitch::kInvalid) << wrong.join(' ').toStdString();
  // Elsewhere it is no switch, and it never rides on a URL or a server mode.
  EXPECT_EQ(ParseCommandLine({"-cactus", "--start-at-login", "on"}).loginSwitch, LoginSwitch::kNone);
  const StartupRequest url = ParseCommandLine({"halvorn-ulx://--start-at-login on"});
  EXPECT_EQ(url.loginSwitch, LoginSwitch::kNone);
  const StartupRequest switched = ParseCommandLine({"--start-at-login", "on"});
  EXPECT_EQ(switched.pendingCommand, 0);
  EXPECT_EQ(switched.serverMode, kProductionServer);
}

}  // namespace
}  // namespace auralith::app
