// Auralith: the application a user starts. One instance per user session;
// a second start hands its command to the running one.

#include "app/aulx_app.h"
#include "app/diagnostic_log.h"
#include "audio/engine_lock.h"
#include "audio/sound_server_facts.h"
#include "ui/main/aulx_app_dlg.h"
#include "ui/prefs/prefs_dlg.h"

#include <QApplication>

int main(int argc, char** argv) {
  using namespace auralith;
  // The log's machine report asks the sound server through the audio module.
  app::SetSoundServerQuery(audio::QuerySoundServer);
  app::AUlxApp application(
      argc, argv,
      [](int& count, char** arguments) -> std::unique_ptr<QCoreApplication> {
        auto framework = std::make_unique<QApplication>(count, arguments);
        // The window hides into the tray and dialogs close: neither ends
        // the program, only Quit does.
        QApplication::setQuitOnLastWindowClosed(false);
        QApplication::setApplicationName(QStringLiteral("Auralith"));
        QApplication::setDesktopFileName(QStringLiteral("auralith"));
        return framework;
      },
      [](app::AUlxApp& owner) -> std::unique_ptr<app::MainWindow> {
        ui::AUlxAppDlg::Parts parts(owner.Settings());
        parts.pendingCommand = owner.PendingCommand();
        parts.claimEngine = [] {
          static audio::EngineLock lock;
          std::string error;
          return lock.Held() || lock.Acquire(error) == audio::EngineLock::Result::Held;
        };
        parts.preferences = ui::MakePreferencesDialog;
        return std::make_unique<ui::AUlxAppDlg>(std::move(parts));
      });
  return application.InitInstance();
}
