#pragma once

#include "ui/main/preferences_host.h"
#include "ui/prefs/prefs_context.h"

#include <QDialog>
#include <QStringList>

#include <memory>

class AHelpDlg;
class CGdipButton;

namespace auralith::ui {

class APrefsTabCtrl;
class ProfileService;

// A program that opens the desktop's sound settings, and its arguments.
struct SoundSettingsCommand {
  QString program;
  QStringList arguments;
};

// The first sound settings program found on the search path:
// pavucontrol, GNOME's or KDE's settings; nothing when none is installed.
std::optional<SoundSettingsCommand> FindSoundSettings();

// The preferences dialog: the tabs with their panes and two buttons for the
// help page and the desktop's sound settings. Created hidden with the main
// window and kept until it goes; closing only hides it, and it opens again
// on the tab the user left.
class APrefsDlg : public QDialog, public PreferencesWindow {
  Q_OBJECT
 public:
  APrefsDlg(PrefsContext context, std::unique_ptr<ProfileService> service, QWidget* parent = nullptr);
  ~APrefsDlg() override;

  // PreferencesWindow
  bool Ready() const override { return true; }
  void RefreshPanes() override;
  void ShowWindow() override;

  void OpenHelp();
  void OpenSoundSettings();

  APrefsTabCtrl& Tabs() const { return *tabs_; }
  CGdipButton* HelpButton() const { return helpButton_; }
  CGdipButton* SoundButton() const { return soundButton_; }
  AHelpDlg* HelpWindow() const { return help_.get(); }

 private:
  PrefsContext context_;
  std::unique_ptr<ProfileService> service_;
  APrefsTabCtrl* tabs_;
  CGdipButton* helpButton_;
  CGdipButton* soundButton_;
  std::unique_ptr<AHelpDlg> help_;
};

// The preferences dialog of the running application, for the main window
// factory: the context from the main window, the profile server of this
// run.
std::unique_ptr<PreferencesWindow> MakePreferencesDialog(AUlxAppDlg& mainWindow);

}  // namespace auralith::ui
