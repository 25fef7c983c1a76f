#pragma once

#include <QTabWidget>

namespace auralith::ui {

struct PrefsContext;
class ProfileService;
class APrefsPaneSettings;
class APrefsPaneEq;
class APrefsPaneAbout;

// The tabs of the preferences dialog and their panes, which all live as
// long as the dialog: "Settings", "ULX Equalizer", "About".
class APrefsTabCtrl : public QTabWidget {
  Q_OBJECT
 public:
  enum Tab { kSettingsTab = 0, kEqTab = 1, kAboutTab = 2 };

  APrefsTabCtrl(PrefsContext& context, ProfileService& service, QWidget* parent = nullptr);

  APrefsPaneSettings& Settings() const { return *settings_; }
  APrefsPaneEq& Eq() const { return *eq_; }
  APrefsPaneAbout& About() const { return *about_; }

 private:
  APrefsPaneSettings* settings_;
  APrefsPaneEq* eq_;
  APrefsPaneAbout* about_;
};

}  // namespace auralith::ui
