#include "ui/prefs/prefs_dlg.h"

#include "ui/main/aulx_app_dlg.h"
#include "ui/main/help_dlg.h"
#include "ui/prefs/dialog_units.h"
#include "ui/prefs/prefs_pane_eq.h"
#include "ui/prefs/prefs_pane_settings.h"
#include "ui/prefs/prefs_tab_ctrl.h"
#include "ui/prefs/profile_service.h"
#include "ui/widgets/gdip_button.h"
#include "ui/widgets/resources/ui_resources.h"
#include "ui/widgets/resources/ui_strings.h"

#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>

namespace auralith::ui {
namespace {

constexpr int kSoundTip = 158;
constexpr int kHelpTip = 159;
constexpr int kApplicationIcon = 128;
constexpr const char* kHelpIndexPage = "index.html";
constexpr const char* kNoSoundSettings =
    "No sound settings program was found. Install \"pavucontrol\" to choose where the computer's sound goes.";

CGdipButton* MakeIconButton(QWidget* parent, int image, int tip, const QRect& rect) {
  auto* button = new CGdipButton(parent);
  // The same picture twice: a toggle button that always shows its icon.
  button->SetButtonImages(image, image);
  button->SetButtonTip(UiString(tip));
  button->setAccessibleName(UiString(tip));
  button->setFocusPolicy(Qt::StrongFocus);
  button->setGeometry(rect);
  return button;
}

}  // namespace

std::optional<SoundSettingsCommand> FindSoundSettings() {
  const std::array<SoundSettingsCommand, 3> candidates = {{
      {QStringLiteral("pavucontrol"), {}},
      {QStringLiteral("gnome-control-center"), {QStringLiteral("sound")}},
      {QStringLiteral("systemsettings"), {QStringLiteral("kcm_pulseaudio")}},
  }};
  for (const SoundSettingsCommand& candidate : candidates) {
    const QString path = QStandardPaths::findExecutable(candidate.program);
    if (!path.isEmpty()) return SoundSettingsCommand{path, candidate.arguments};
  }
  return std::nullopt;
}

APrefsDlg::APrefsDlg(PrefsContext context, std::unique_ptr<ProfileService> service, QWidget* parent)
    : QDialog(parent), context_(context), service_(std::move(service)) {
  setWindowTitle(QStringLiteral("Auralith Preferences"));
  setAccessibleName(windowTitle());
  setWindowIcon(LoadIconResource(kApplicationIcon));
  UseDialogFont(*this);
  setFixedSize(DluX(315), DluY(299));
  tabs_ = new APrefsTabCtrl(context_, *service_, this);
  tabs_->setGeometry(DluRect(7, 7, 301, 264));
  soundButton_ = MakeIconButton(this, image_id::kSpeakerIcon, kSoundTip, DluRect(253, 275, 24, 18));
  helpButton_ = MakeIconButton(this, image_id::kHelpIcon, kHelpTip, DluRect(284, 273, 24, 20));
  connect(helpButton_, &CGdipButton::clicked, this, &APrefsDlg::OpenHelp);
  connect(soundButton_, &CGdipButton::clicked, this, &APrefsDlg::OpenSoundSettings);
  help_ = std::make_unique<AHelpDlg>(parent);
}

APrefsDlg::~APrefsDlg() = default;

void APrefsDlg::RefreshPanes() {
  tabs_->Settings().RefreshLists();
  tabs_->Settings().RefreshProfiles();
  tabs_->Eq().SyncWithMainCategory();
}

void APrefsDlg::ShowWindow() {
  show();
  raise();
  activateWindow();
}

void APrefsDlg::OpenHelp() { help_->ShowHelpPage(QString::fromLatin1(kHelpIndexPage)); }

void APrefsDlg::OpenSoundSettings() {
  const std::optional<SoundSettingsCommand> command = FindSoundSettings();
  if (command && QProcess::startDetached(command->program, command->arguments)) return;
  QMessageBox::warning(this, QStringLiteral("Auralith"), QString::fromLatin1(kNoSoundSettings));
}

std::unique_ptr<PreferencesWindow> MakePreferencesDialog(AUlxAppDlg& mainWindow) {
  PrefsContext context{
      mainWindow.Store(),
      mainWindow.MutableProcessing(),
      mainWindow,
      [&mainWindow] { return mainWindow.Category(); },
      [&mainWindow](int code) { mainWindow.SetCategory(code); },
      [&mainWindow] { return mainWindow.ProcessingOn(); },
      [&mainWindow] { mainWindow.ApplyProfile(); },
      [&mainWindow] {
        AudioControl* audio = mainWindow.Audio();
        return audio ? audio->OutputDevices() : audio::OutputDeviceList();
      },
      [&mainWindow](const audio::OutputDevice& device) { mainWindow.ChooseOutputDevice(device); },
      [&mainWindow] { mainWindow.ShowPreferences(); },
      [&mainWindow](bool on) { mainWindow.SetLowLatency(on); },
  };
  return std::make_unique<APrefsDlg>(context, MakeProfileServerService(&mainWindow), &mainWindow);
}

}  // namespace auralith::ui
