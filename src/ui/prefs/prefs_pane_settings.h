#pragma once

#include "app/profile_slots.h"
#include "profiles/builtin_profiles.h"
#include "ui/prefs/lock_dlg.h"
#include "ui/prefs/prefs_context.h"
#include "ui/prefs/stored_profile_handler.h"

#include <QWidget>

#include <array>
#include <functional>
#include <memory>

class AStaticImage;
class CGdipButton;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace auralith::ui {

class ProfileBrowser;
class ProfileService;

// The "Settings" tab: per listening category the five profile slots, the
// output device and, for headphones, the hearing protection with its lock;
// below them the profile browser. Only the user's own actions write
// settings or switch devices; refreshes only show.
class APrefsPaneSettings : public QWidget, public StoredProfileHandler {
  Q_OBJECT
 public:
  // Runs the lock dialog modally; true when it ended with OK.
  using LockRunner = std::function<bool(ALockDlg::Mode mode)>;

  APrefsPaneSettings(PrefsContext& context, ProfileService& service, QWidget* parent = nullptr);
  ~APrefsPaneSettings() override;

  // Adopts the main window's category, rebuilds the slot lists and the
  // output device list and shows the category's device.
  void RefreshLists();
  // Slot names and pictures, activation of slot 1, K.I.R.O controls.
  void RefreshProfiles();
  // Shows the stored device of the category; writes nothing.
  void SelectStoredDevice();

  // The user's actions.
  void OnCategoryButton(profiles::PaneCategory category);
  void OnPreset(int index);
  void OnKiroClicked();
  void OnLockButton();
  void OnOutputChosen(int row);
  void OnLowLatencyClicked();

  // StoredProfileHandler
  void ProfileStored(const std::string& storedPath) override;

  void SetLockRunner(LockRunner runner) { runLock_ = std::move(runner); }

  profiles::PaneCategory Category() const { return category_; }
  const app::ProfileSlots& Slots() const { return slots_; }
  ProfileBrowser& Browser() const { return *browser_; }
  CGdipButton* CategoryButton(profiles::PaneCategory category) const { return categoryButtons_[int(category)]; }
  QLabel* ActiveName() const { return activeName_; }
  QPushButton* Preset(int index) const { return presets_[std::size_t(index - 1)]; }
  AStaticImage* SlotPicture(int index) const { return pictures_[std::size_t(index)]; }
  QCheckBox* Kiro() const { return kiro_; }
  QPushButton* LockButton() const { return lock_; }
  QComboBox* OutputDevices() const { return output_; }
  QCheckBox* LowLatency() const { return lowLatency_; }

 private:
  void BuildControls();
  void ShowCategoryButtons();
  void ShowDevice(bool firstRunMayStore);
  QString OutputKey() const;

  PrefsContext& context_;
  app::ProfileSlots slots_;
  profiles::PaneCategory category_ = profiles::PaneCategory::Desktop;
  bool categoryKnown_ = false;
  LockRunner runLock_;
  std::array<CGdipButton*, 3> categoryButtons_{};
  std::array<AStaticImage*, profiles::kProfileSlots> pictures_{};
  QLabel* activeName_ = nullptr;
  std::array<QPushButton*, profiles::kProfileSlots - 1> presets_{};
  QCheckBox* kiro_ = nullptr;
  QPushButton* lock_ = nullptr;
  QComboBox* output_ = nullptr;
  QCheckBox* lowLatency_ = nullptr;
  ProfileBrowser* browser_ = nullptr;  // a child of the pane
  ProfileService& service_;
};

// Pane category of a main window category code and back.
profiles::PaneCategory PaneCategoryOfCode(int code);
int CodeOfPaneCategory(profiles::PaneCategory category);

}  // namespace auralith::ui
