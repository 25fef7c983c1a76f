#include "app/aulx_app.h"

#include "app/command_channel.h"
#include "app/command_line.h"
#include "app/commands.h"
#include "app/diagnostic_log.h"
#include "app/login_start.h"
#include "app/runtime_names.h"
#include "app/server_host.h"
#include "app/session_end_signals.h"
#include "profiles/installed_folder.h"
#include "profiles/profile_folder.h"

#include <QCoreApplication>

#include <cstdio>

namespace auralith::app {

namespace {

AUlxApp* gInstance = nullptr;

AUlxApp::Options Resolved(AUlxApp::Options options) {
  if (options.lockPath.isEmpty()) options.lockPath = InstanceLockPath();
  if (options.socketPath.isEmpty()) options.socketPath = CommandSocketPath();
  return options;
}

QStringList ArgumentsAfterProgram(int argc, char** argv) {
  QStringList arguments;
  for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  return arguments;
}

// Exit status 0 when the entry is as asked, 2 for a wrong value or a
// failure to write or remove it.
int SwitchStartAtLogin(LoginSwitch requested) {
  if (requested == LoginSwitch::kInvalid) {
    std::fprintf(stderr, "usage: Auralith %s on|off\n", kStartAtLoginOption);
    return 2;
  }
  const bool on = requested == LoginSwitch::kOn;
  QString error;
  if (!SetStartAtLogin(on, &error)) {
    std::fprintf(stderr, "Auralith: %s\n", qPrintable(error));
    return 2;
  }
  if (on) {
    std::printf("Auralith starts when you log in (%s).\n", qPrintable(AutostartEntryPath()));
  } else {
    std::printf("Auralith no longer starts when you log in.\n");
  }
  return 0;
}

// An installed Auralith keeps its built-in profiles read-only in the
// system folder; the slot defaults, the database and downloads live in the
// user's folder, so the built-ins missing there are copied in.
void CopyInstalledBuiltins() {
  const std::string installed = profiles::InstalledProfileFolder();
  if (installed.empty()) return;
  const profiles::BuiltinCopy copy = profiles::CopyMissingBuiltins(installed, profiles::ProfileFolder());
  for (const std::string& failure : copy.failed)
    WriteLog(QStringLiteral("Built-in profile not copied: ") + QString::fromStdString(failure));
}

}  // namespace

AUlxApp::AUlxApp(int& argc, char** argv, FrameworkFactory framework, MainWindowFactory mainWindow, Options options)
    : argc_(argc),
      argv_(argv),
      frameworkFactory_(std::move(framework)),
      mainWindowFactory_(std::move(mainWindow)),
      options_(Resolved(std::move(options))),
      instanceLock_(options_.lockPath) {
  gInstance = this;
}

AUlxApp::AUlxApp(int& argc, char** argv, FrameworkFactory framework, MainWindowFactory mainWindow)
    : AUlxApp(argc, argv, std::move(framework), std::move(mainWindow), Options{}) {}

AUlxApp::~AUlxApp() {
  if (gInstance == this) gInstance = nullptr;
}

AUlxApp* AUlxApp::Instance() { return gInstance; }

int AUlxApp::InitInstance() {
  const StartupRequest request = ParseCommandLine(ArgumentsAfterProgram(argc_, argv_));
  // A switch of the desktop's own set-up: nothing starts, nothing is forwarded.
  if (request.loginSwitch != LoginSwitch::kNone) return SwitchStartAtLogin(request.loginSwitch);
  pendingCommand_ = request.pendingCommand;

  if (instanceLock_.AlreadyHeld()) {
    // Without a listener (the first instance still starting) the command
    // is dropped.
    const int code = pendingCommand_ != kNoCommand ? pendingCommand_ : kCommandShowWindow;
    SendCommand(options_.socketPath, code, options_.forwardTimeoutMs);
    return 0;
  }
  if (pendingCommand_ == kCommandQuit) return 0;

  serverMode_ = request.serverMode;
  SetLogActive(serverMode_ == kLocalServerWithLog || serverMode_ == kStagingServerWithLog);
  RunMainWindow();
  return 0;
}

void AUlxApp::RunMainWindow() {
  std::unique_ptr<QCoreApplication> framework =
      frameworkFactory_ ? frameworkFactory_(argc_, argv_) : std::make_unique<QCoreApplication>(argc_, argv_);
  SetRegistryKey(QString::fromLatin1(settings::companyName));
  // Before the main window: its settings pane loads the slot profiles.
  CopyInstalledBuiltins();

  std::unique_ptr<MainWindow> window = mainWindowFactory_(*this);
  if (!window) return;
  // Declared after the window so they are gone before it is.
  CommandServer commands([&window](int code) { window->RunCommand(code); });
  commands.Listen(options_.socketPath);
  SessionEndSignals sessionEnd([&window] { window->RunCommand(kCommandQuit); });
  window->RunModal();
}

QString AUlxApp::GetServerHost() const { return ServerHostForMode(serverMode_); }

settings::SettingsStore& AUlxApp::Settings() {
  if (!settings_) SetRegistryKey(QString::fromLatin1(settings::companyName));
  return *settings_;
}

void AUlxApp::SetRegistryKey(const QString& company) {
  settings_.emplace(company, QString::fromLatin1(settings::applicationName));
}

}  // namespace auralith::app
