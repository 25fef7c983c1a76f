#pragma once

#include "app/main_window.h"
#include "app/profile_slots.h"
#include "audio/user_messages.h"
#include "dsp/dsp_state.h"
#include "profiles/profile.h"
#include "ui/main/audio_control.h"
#include "ui/main/deferred_work.h"
#include "ui/main/preferences_host.h"
#include "ui/main/skin_window.h"
#include "ui/main/tray_icon.h"
#include "ui/main/update_check.h"

#include <QTimer>

#include <functional>
#include <memory>

namespace auralith::settings {
class SettingsStore;
}

class AInfoDlg;
class AHelpDlg;

namespace auralith::ui {

class SessionWatch;

inline constexpr const char* kWindowTitle = "Auralith";
inline constexpr int kUpdateTimerMs = 300000;
inline constexpr int kStartBalloonDelayMs = 1000;
inline constexpr const char* kRunningBalloon =
    "The ULX Plug-In is now running.  Click here to view your audio settings.  All audio for your computer is now "
    "being re-mastered in real time.";
inline constexpr const char* kDownloadPageUrl = "http://www.auralith.example/download/download.php?platform=2";
inline constexpr const char* kHomePageUrl = "http://www.auralith.example/";
inline constexpr const char* kSetupHelpPage = "setupwizard.html";

// The main window and the controller of the whole application: it owns the
// audio engine, the processing state, the three category profiles, the tray
// icon and the secondary windows, holds the listening state (category,
// content mode, processing), carries out the numbered commands and saves the
// state at the orderly shutdown.
class AUlxAppDlg : public SkinWindow,
                   public app::MainWindow,
                   public audio::UserMessages,
                   public app::CategoryProfileTarget {
  Q_OBJECT
 public:
  struct Parts {
    explicit Parts(settings::SettingsStore& settings) : store(settings) {}
    settings::SettingsStore& store;
    int pendingCommand = 0;
    AudioControlFactory audio = MakeAudioEngine;
    // Empty, or giving null: no preferences dialog.
    PreferencesFactory preferences;
    std::function<std::unique_ptr<UpdateCheck>()> updateCheck = MakeVersionCheck;
    // Shows a warning; empty: a message box titled "Auralith".
    std::function<void(const QString&)> showWarning;
    // Follow the login session's state over the system bus.
    bool watchSession = true;
    // Takes the session's one engine lock; false when another engine holds
    // it. Empty: no lock (the tests' stand-in engines).
    std::function<bool()> claimEngine;
    int updateTimerMs = kUpdateTimerMs;
  };

  explicit AUlxAppDlg(Parts parts);
  ~AUlxAppDlg() override;

  // app::MainWindow
  void RunCommand(int code) override;
  int RunModal() override;

  // audio::UserMessages (the engine's warnings).
  void ShowWarning(const std::string& text) override;
  void ShowPreferences() override;
  // From the engine's watch thread: shown as a balloon on this one.
  void ShowNotice(const std::string& text) override;

  // app::CategoryProfileTarget
  void SetBuiltInProfile(const QString& path, int boost) override;
  void SetDesktopProfile(const QString& path, int boost) override;
  void SetHeadphoneProfile(const QString& path, int boost) override;

  // The start-up; false when it failed (no virtual device, no driver).
  bool Start();
  // The window's command ids (skin buttons and tray menu).
  void OnCommand(int id) override;

  void ApplyProfile();
  void SetCategory(int category);
  void SetContentMode(int music);
  void ToggleProcessing();
  void HideToTray();
  void Open();
  // The output device item of the tray menu: `device` as the menu listed it.
  void ChooseOutputDevice(const audio::OutputDevice& device);
  // The settings pane's low-latency check box (it stores the choice).
  void SetLowLatency(bool on);
  // Saves the state and gives everything back; runs once.
  void Shutdown();
  // Quit: shutdown, close the window, end the loop (at once or, inside a
  // nested loop, once that has ended).
  void Quit();
  // The login session became active or inactive.
  void OnSessionActive(bool active);
  // One tick of the update timer.
  void OnUpdateTimer();

  int Category() const { return category_; }
  int ContentMode() const { return contentMode_; }
  bool ProcessingOn() const { return !processing_->processingOff.load(std::memory_order_relaxed); }
  int VisibleFlag() const { return visibleFlag_; }
  int UpdateFlag() const { return updateFlag_; }
  bool HasTray() const { return tray_.Added(); }
  bool IsShutDown() const { return shutDown_; }
  bool StartFailed() const { return startFailed_; }
  const dsp::DspState& Processing() const { return *processing_; }
  // For the preferences panes, which write the user equalizer bands.
  dsp::DspState& MutableProcessing() { return *processing_; }
  settings::SettingsStore& Store() const { return store_; }
  CTrayIcon& Tray() { return tray_; }
  AudioControl* Audio() const { return audio_.get(); }
  profiles::Profile& ProfileOf(int category);
  const QTimer& UpdateTimer() const { return updateTimer_; }
  DeferredWork& Deferred() { return deferred_; }
  AInfoDlg* InfoDialog() const { return info_.get(); }
  AHelpDlg* HelpWindow() const { return help_.get(); }

  // The tray menu's device items for the current category.
  std::vector<OutputDeviceItem> DeviceItems();

 protected:
  void OnCloseRequest() override;
  bool ShowAllowed() const override { return visibleFlag_ == 1; }

 private:
  void FailStart();
  void ShowCategory();
  void ShowContentMode();
  void ApplyStoredUserEq();
  void SetCategoryProfile(int category, const QString& path, int boost);
  void StopEngine();
  void ShowInfo();
  void ShowFirstRunHelp();
  void OpenDownloadPage();
  void RunEngineOperation(const std::function<void()>& operation);
  void Post(std::function<void()> call);

  settings::SettingsStore& store_;
  Parts parts_;
  std::unique_ptr<dsp::DspState> processing_;
  std::unique_ptr<AudioControl> audio_;
  profiles::Profile builtInProfile_;
  profiles::Profile desktopProfile_;
  profiles::Profile headphoneProfile_;
  CTrayIcon tray_;
  DeferredWork deferred_;
  std::unique_ptr<PreferencesWindow> preferences_;
  std::unique_ptr<AInfoDlg> info_;
  std::unique_ptr<AHelpDlg> help_;
  std::unique_ptr<SessionWatch> session_;
  std::unique_ptr<UpdateCheck> updateCheck_;
  QTimer updateTimer_;
  int visibleFlag_ = 1;
  int updateFlag_ = 0;
  int category_ = 2;
  int contentMode_ = 1;
  bool shutDown_ = false;
  bool startFailed_ = false;
  bool started_ = false;
};

}  // namespace auralith::ui
