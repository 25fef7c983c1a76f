#include "ui/prefs/prefs_tab_ctrl.h"

#include "ui/prefs/prefs_pane_about.h"
#include "ui/prefs/prefs_pane_eq.h"
#include "ui/prefs/prefs_pane_settings.h"
#include "ui/widgets/resources/ui_strings.h"

namespace auralith::ui {
namespace {
constexpr int kSettingsCaption = 178;
constexpr int kEqCaption = 179;
constexpr int kAboutCaption = 180;
}  // namespace

APrefsTabCtrl::APrefsTabCtrl(PrefsContext& context, ProfileService& service, QWidget* parent)
    : QTabWidget(parent),
      settings_(new APrefsPaneSettings(context, service)),
      eq_(new APrefsPaneEq(context)),
      about_(new APrefsPaneAbout(context)) {
  setAccessibleName(QStringLiteral("Preferences tabs"));
  addTab(settings_, UiString(kSettingsCaption));
  addTab(eq_, UiString(kEqCaption));
  addTab(about_, UiString(kAboutCaption));
  setCurrentIndex(kSettingsTab);
}

}  // namespace auralith::ui
