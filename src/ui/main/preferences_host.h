#pragma once

#include <functional>
#include <memory>

// The preferences dialog as the main window uses it. The dialog lives in
// its own module; until one is linked in, the factory gives none and the
// main window goes without it.

namespace auralith::ui {

class AUlxAppDlg;

class PreferencesWindow {
 public:
  virtual ~PreferencesWindow() = default;
  // False until the dialog's own initialisation (its panes, the profile
  // slots) has finished; until then it counts as absent.
  virtual bool Ready() const = 0;
  // Brings every pane to the main window's current category.
  virtual void RefreshPanes() = 0;
  virtual void ShowWindow() = 0;
};

// Creates the dialog, hidden, for `mainWindow`; null when there is none.
using PreferencesFactory = std::function<std::unique_ptr<PreferencesWindow>(AUlxAppDlg& mainWindow)>;

}  // namespace auralith::ui
