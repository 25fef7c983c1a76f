#pragma once

#include "app/instance_lock.h"
#include "app/main_window.h"
#include "app/settings_store.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QCoreApplication;

// The application object: one instance per user, the command line, handing
// a command to an instance that already runs, and otherwise setting up the
// framework and running the main window until it ends.

namespace auralith::app {

class AUlxApp {
 public:
  // Creates the framework's application object (QApplication for a program
  // with windows); runs only when this process becomes the running instance.
  using FrameworkFactory = std::function<std::unique_ptr<QCoreApplication>(int& argc, char** argv)>;
  using MainWindowFactory = std::function<std::unique_ptr<MainWindow>(AUlxApp& app)>;

  struct Options {
    QString lockPath;    // empty: the user's instance lock
    QString socketPath;  // empty: the user's command socket
    // How long a second instance waits for the running one to confirm.
    int forwardTimeoutMs = 5000;
  };

  // Takes the instance lock at once, as the process starts.
  AUlxApp(int& argc, char** argv, FrameworkFactory framework, MainWindowFactory mainWindow, Options options);
  AUlxApp(int& argc, char** argv, FrameworkFactory framework, MainWindowFactory mainWindow);
  ~AUlxApp();
  AUlxApp(const AUlxApp&) = delete;
  AUlxApp& operator=(const AUlxApp&) = delete;

  // The application object of this process, or null.
  static AUlxApp* Instance();

  // Forwards the command or runs the main window, and returns 0, the
  // process's exit status; "--start-at-login on|off" only switches the
  // autostart entry (status 2 for a wrong value or a failed write).
  int InitInstance();

  // The profile server host of the server mode.
  QString GetServerHost() const;
  int ServerMode() const { return serverMode_; }
  // The command from a URL command line, 0 when none.
  int PendingCommand() const { return pendingCommand_; }

  // The settings store under the company key (set by InitInstance before
  // the main window exists).
  settings::SettingsStore& Settings();
  void SetRegistryKey(const QString& company);

 private:
  void RunMainWindow();

  int& argc_;
  char** argv_;
  FrameworkFactory frameworkFactory_;
  MainWindowFactory mainWindowFactory_;
  Options options_;
  InstanceLock instanceLock_;
  int serverMode_ = 0;
  int pendingCommand_ = 0;
  std::optional<settings::SettingsStore> settings_;
};

}  // namespace auralith::app
