#include "ui/main/aulx_app_dlg.h"

#include "app/commands.h"
#include "app/diagnostic_log.h"
#include "app/settings_keys.h"
#include "app/settings_store.h"
#include "audio/engine_lock.h"
#include "audio/output_devices.h"
#include "dsp/chain.h"
#include "mapping/profile_mapping.h"
#include "mapping/user_eq.h"
#include "ui/main/help_dlg.h"
#include "ui/main/info_dlg.h"
#include "ui/main/listening_settings.h"
#include "ui/main/session_watch.h"
#include "ui/main/window_animation.h"
#include "ui/main/window_commands.h"
#include "ui/widgets/resources/ui_resources.h"
#include "ui/widgets/resources/ui_strings.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QScreen>
#include <QUrl>

namespace auralith::ui {
namespace {

namespace ids = command_id;
namespace keys = auralith::settings;

constexpr int kUpdateBalloonString = 172;

}  // namespace

AUlxAppDlg::AUlxAppDlg(Parts parts)
    : store_(parts.store),
      parts_(std::move(parts)),
      processing_(std::make_unique<dsp::DspState>()),
      tray_(CTrayIcon::Owner{
          [this](int id) { Post([this, id] { OnCommand(id); }); },
          [this](const audio::OutputDevice& device) { Post([this, device] { ChooseOutputDevice(device); }); },
          [this] { return DeviceItems(); }, [this] { OpenDownloadPage(); }}),
      deferred_([this](std::function<void()> call) { Post(std::move(call)); }) {
  // Every start begins switched off.
  dsp::InitDsp(*processing_);
  AudioControlParts engineParts{
      *this,
      [this](int category) {
        return store_.GetProfileString(keys::settingsSection, OutputKeyOf(category)).toStdString();
      },
      *processing_,
      [this] {
        // From the playback device's thread: handled on this window's.
        QMetaObject::invokeMethod(
            this,
            [this] {
              RunEngineOperation([this] {
                audio_->OnOutputDeviceLost();
                audio_->SwitchOutputDevice();
              });
            },
            Qt::QueuedConnection);
      }};
  audio_ = parts_.audio(engineParts);
  updateTimer_.setSingleShot(false);
  connect(&updateTimer_, &QTimer::timeout, this, &AUlxAppDlg::OnUpdateTimer);
  // The session manager's quit and every other end of the loop.
  connect(qApp, &QCoreApplication::aboutToQuit, this, &AUlxAppDlg::Shutdown);
}

AUlxAppDlg::~AUlxAppDlg() {
  updateTimer_.stop();
  session_.reset();
  // The audio thread is joined before the processing state's buffers go.
  audio_.reset();
  dsp::FreeDsp(*processing_);
  preferences_.reset();
  info_.reset();
  help_.reset();
}

int AUlxAppDlg::RunModal() {
  if (!Start()) return 0;
  return QApplication::exec();
}

bool AUlxAppDlg::Start() {
  if (started_) return !startFailed_;
  started_ = true;
  // 1
  app::WriteLog(QStringLiteral("Init dialog."));
  setWindowIcon(LoadIconResource(icon_id::kApplication));
  // 2
  visibleFlag_ = store_.GetProfileInt(keys::settingsSection, keys::isVisibleKey, keys::isVisibleKeyDefault);
  // Another engine of this session (the headless one) owns the default
  // output; taking it over as well would hand it back to the wrong device.
  if (parts_.claimEngine && !parts_.claimEngine()) {
    app::WriteLog(QString::fromLatin1(audio::kEngineRunsMessage));
    ShowWarning(audio::kEngineRunsMessage);
    FailStart();
    return false;
  }
  // 3
  const audio::OutputDeviceList devices = audio_->OutputDevices();
  const int virtualPosition = audio::FindOutputDevice(devices, audio::kVirtualDeviceName);
  if (virtualPosition < 0) {
    app::WriteLog(QString::fromLatin1(audio::kDriverNotFoundMessage));
    ShowWarning(audio::kDriverNotFoundMessage);
    FailStart();
    return false;
  }
  // 4
  audio_->TakeOverDefaultOutput(devices[std::size_t(virtualPosition)]);
  // 5
  const StoredState stored = ReadStoredState(store_);
  category_ = stored.category;
  contentMode_ = stored.contentMode;
  // 6
  SetUpSkin();
  // 7, 8
  audio_->SetCategory(category_);
  audio_->SetLowLatency(store_.GetProfileInt(keys::settingsSection, keys::lowLatencyKey, keys::lowLatencyKeyDefault) ==
                        1);
  audio_->SelectOutputDevice();
  int started = 0;
  RunEngineOperation([this, &started] { started = audio_->StartAudio(); });
  if (!started) {
    // Leaving the virtual device as the default would silence the
    // computer: the default goes back before the process ends.
    audio_->RestoreDefaultOutput();
    FailStart();
    return false;
  }
  // 9, 10
  SetContentMode(contentMode_);
  ShowCategory();
  // 11
  tray_.SetUp(QString::fromLatin1(kWindowTitle));
  tray_.SetDefaultCommand(ids::kOpen);
  tray_.SetContentItem(ContentMenuItem(contentMode_));
  tray_.SetCategoryItem(CategoryMenuItem(category_));
  // Without a tray the window is the only way in: it shows, and closing
  // it minimises.
  if (!tray_.Add()) visibleFlag_ = 1;
  // 12
  if (parts_.preferences) preferences_ = parts_.preferences(*this);
  info_ = std::make_unique<AInfoDlg>();
  if (!preferences_) {
    // The settings pane loads the categories' active profiles when it
    // exists; without it the main window does.
    app::ProfileSlots profileSlots(store_, *this);
    profileSlots.ActivateAll();
  }
  // 13
  setWindowTitle(QString::fromLatin1(kWindowTitle));
  setAccessibleName(QString::fromLatin1(kWindowTitle));
  // 14
  if (stored.processing) ToggleProcessing();
  // 15
  if (parts_.updateCheck) updateCheck_ = parts_.updateCheck();
  updateTimer_.start(parts_.updateTimerMs);
  // 16
  if (visibleFlag_ == 0) {
    // Once the tray host has taken the icon in, so the balloon points at it.
    QTimer::singleShot(kStartBalloonDelayMs, this, [this] {
      if (!shutDown_ && visibleFlag_ == 0)
        tray_.ShowBalloon(QString::fromLatin1(kRunningBalloon), BalloonKind::Running);
    });
  }
  // The window is shown as the dialog would show itself, through the gate.
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  show();
  // 17, 18
  if (stored.visible == keys::isVisibleKeyFirstRun) {
    ShowFirstRunHelp();
  } else {
    RunCommand(app::kCommandPending);
  }
  // 19
  if (parts_.watchSession) session_ = std::make_unique<SessionWatch>([this](bool active) { OnSessionActive(active); });
  return true;
}

void AUlxAppDlg::FailStart() {
  startFailed_ = true;
  shutDown_ = true;  // nothing to save or give back
  hide();
}

void AUlxAppDlg::ShowFirstRunHelp() {
  help_ = std::make_unique<AHelpDlg>(this);
  help_->ShowHelpPage(QString::fromLatin1(kSetupHelpPage));
}

profiles::Profile& AUlxAppDlg::ProfileOf(int category) {
  switch (category) {
    case kCategoryBuiltIn:
      return builtInProfile_;
    case kCategoryHeadphones:
      return headphoneProfile_;
    default:
      return desktopProfile_;
  }
}

void AUlxAppDlg::ApplyProfile() {
  const bool on = ProcessingOn();
  SetButtonLit(ids::kPower, on);
  if (on) {
    if (category_ >= kCategoryBuiltIn && category_ <= kCategoryDesktop)
      dsp::ApplyProfileParams(*processing_, ProfileOf(category_), contentMode_);
  } else {
    dsp::ApplyNeutralParams(*processing_);
  }
  const bool kiro = KiroActiveFor(store_, category_);
  processing_->kiroActive.store(kiro, std::memory_order_relaxed);
  SetPowerAlternateImage(kiro ? image_id::kPowerKiro : image_id::kPowerOn);
  tray_.SetProcessingOn(on);
}

void AUlxAppDlg::ApplyStoredUserEq() {
  // Read as the equalizer pane reads it; without a record, its defaults.
  render::UserEqRecord record = render::kDefaultUserEqRecord;
  if (const std::optional<QByteArray> stored = StoredUserEq(store_, category_))
    record = render::DecodeUserEqRecord(reinterpret_cast<const std::uint8_t*>(stored->constData()));
  render::ApplyUserEqRecord(*processing_, record);
}

void AUlxAppDlg::SetCategory(int category) {
  category_ = ValidCategory(category);
  audio_->SetCategory(category_);
  ApplyProfile();
  RunEngineOperation([this] { audio_->SwitchOutputDevice(); });
  if (preferences_ && preferences_->Ready()) {
    preferences_->RefreshPanes();
  } else if (ProcessingOn()) {
    // What the equalizer pane's refresh does: the category's own bands.
    ApplyStoredUserEq();
  }
  ShowCategory();
}

void AUlxAppDlg::ShowCategory() {
  SetButtonLit(ids::kBuiltInButton, category_ == kCategoryBuiltIn);
  SetButtonLit(ids::kDesktopButton, category_ == kCategoryDesktop);
  SetButtonLit(ids::kHeadphonesButton, category_ == kCategoryHeadphones);
  tray_.SetCategoryItem(CategoryMenuItem(category_));
}

void AUlxAppDlg::SetContentMode(int music) {
  contentMode_ = ValidContentMode(music);
  ApplyProfile();
  ShowContentMode();
}

void AUlxAppDlg::ShowContentMode() {
  SetButtonLit(ids::kMusicButton, contentMode_ == 1);
  SetButtonLit(ids::kMovieButton, contentMode_ != 1);
  tray_.SetContentItem(ContentMenuItem(contentMode_));
}

void AUlxAppDlg::ToggleProcessing() {
  processing_->processingOff.store(ProcessingOn(), std::memory_order_relaxed);
  ApplyProfile();
  // The "on" sound carries this category's equalizer, never another's.
  if (ProcessingOn()) ApplyStoredUserEq();
}

void AUlxAppDlg::SetCategoryProfile(int category, const QString& path, int boost) {
  profiles::Profile& profile = ProfileOf(category);
  profile.setBoost(boost);
  profile.load(path.toStdString());
  ApplyProfile();
}

void AUlxAppDlg::SetBuiltInProfile(const QString& path, int boost) {
  SetCategoryProfile(kCategoryBuiltIn, path, boost);
}
void AUlxAppDlg::SetDesktopProfile(const QString& path, int boost) {
  SetCategoryProfile(kCategoryDesktop, path, boost);
}
void AUlxAppDlg::SetHeadphoneProfile(const QString& path, int boost) {
  SetCategoryProfile(kCategoryHeadphones, path, boost);
}

void AUlxAppDlg::ShowPreferences() {
  if (!preferences_ || !preferences_->Ready()) return;
  preferences_->RefreshPanes();
  preferences_->ShowWindow();
}

void AUlxAppDlg::ShowInfo() {
  if (!info_) return;
  info_->show();
  info_->raise();
}

void AUlxAppDlg::HideToTray() {
  if (!tray_.Added()) {
    // Hidden without a tray the window could not be found again.
    showMinimized();
    return;
  }
  if (isVisible()) HideToward(*this, tray_.Geometry());
  visibleFlag_ = 0;
  tray_.ShowBalloon(QString::fromLatin1(kRunningBalloon), BalloonKind::Running);
}

void AUlxAppDlg::Open() {
  if (isMinimized()) showNormal();
  if (isVisible() && visibleFlag_ == 1) {
    raise();
    activateWindow();
    return;
  }
  visibleFlag_ = 1;
  ShowFrom(*this, tray_.Geometry());
  activateWindow();
}

void AUlxAppDlg::OnCloseRequest() { HideToTray(); }

void AUlxAppDlg::OnCommand(int id) {
  if (shutDown_) return;
  switch (id) {
    case ids::kClose:
      return HideToTray();
    case ids::kInfo:
      return ShowInfo();
    case ids::kPreferencesButton:
    case ids::kPreferences:
      return ShowPreferences();
    case ids::kPower:
    case ids::kToggleProcessing:
      return ToggleProcessing();
    case ids::kBuiltInButton:
    case ids::kBuiltIn:
      return SetCategory(kCategoryBuiltIn);
    case ids::kDesktopButton:
    case ids::kDesktop:
      return SetCategory(kCategoryDesktop);
    case ids::kHeadphonesButton:
    case ids::kHeadphones:
      return SetCategory(kCategoryHeadphones);
    case ids::kMusicButton:
    case ids::kMusic:
      return SetContentMode(1);
    case ids::kMovieButton:
    case ids::kMovie:
      return SetContentMode(0);
    case ids::kOpen:
      return Open();
    case ids::kQuit:
      return Quit();
    default:
      return;  // the menu's labels and anything unknown
  }
}

void AUlxAppDlg::RunCommand(int code) {
  if (code == app::kCommandPending) code = parts_.pendingCommand;
  switch (code) {
    case app::kCommandPreferences:
      return ShowPreferences();
    case app::kCommandProcessingOn:
      if (!ProcessingOn()) ToggleProcessing();
      return;
    case app::kCommandProcessingOff:
      if (ProcessingOn()) ToggleProcessing();
      return;
    case app::kCommandMusic:
      return SetContentMode(1);
    case app::kCommandMovies:
      return SetContentMode(0);
    case app::kCommandBuiltIn:
      return SetCategory(kCategoryBuiltIn);
    case app::kCommandDesktop:
      return SetCategory(kCategoryDesktop);
    case app::kCommandHeadphones:
      return SetCategory(kCategoryHeadphones);
    case app::kCommandQuit:
      return OnCommand(ids::kQuit);
    case app::kCommandShowWindow:
      return OnCommand(ids::kOpen);
    case app::kCommandHideWindow:
      return HideToTray();
    default:
      return;
  }
}

std::vector<OutputDeviceItem> AUlxAppDlg::DeviceItems() {
  const audio::OutputDeviceList devices = audio_->OutputDevices();
  return OutputDeviceItems(devices,
                           store_.GetProfileString(keys::settingsSection, OutputKeyOf(category_)).toStdString());
}

void AUlxAppDlg::ChooseOutputDevice(const audio::OutputDevice& device) {
  if (shutDown_) return;
  RunEngineOperation([this, device] {
    // The device the item was made for, wherever it is in the list now;
    // gone meanwhile, the click does nothing.
    if (audio::PositionOf(audio_->OutputDevices(), device.sinkName) < 0) return;
    store_.WriteProfileString(keys::settingsSection, OutputKeyOf(category_),
                              QString::fromStdString(device.productName));
    audio_->SwitchOutputDevice();
  });
}

void AUlxAppDlg::SetLowLatency(bool on) {
  if (shutDown_) return;
  RunEngineOperation([this, on] { audio_->SetLowLatency(on); });
}

void AUlxAppDlg::StopEngine() { audio_->StopAudio(); }

void AUlxAppDlg::OnSessionActive(bool active) {
  if (shutDown_) return;
  if (active) {
    RunEngineOperation([this] { audio_->StartAudio(); });
  } else {
    RunEngineOperation([this] { StopEngine(); });
  }
}

void AUlxAppDlg::Shutdown() {
  if (shutDown_) return;
  shutDown_ = true;
  updateTimer_.stop();
  ReleaseSkin();
  StopEngine();
  session_.reset();
  WriteStoredState(store_, StoredState{category_, contentMode_, ProcessingOn(), visibleFlag_ == 1 ? 1 : 0});
  preferences_.reset();
  info_.reset();
  help_.reset();
  audio_->RestoreDefaultOutput();
  app::CloseLog();
}

void AUlxAppDlg::Quit() {
  deferred_.RequestQuit([this] {
    Shutdown();
    hide();
    QCoreApplication::exit(0);
  });
}

void AUlxAppDlg::OnUpdateTimer() {
  if (!updateCheck_ || !updateCheck_->Connected()) return;
  updateTimer_.stop();
  updateCheck_->Start(
      [this](int result) {
        updateFlag_ = result;
        if (result == 1) tray_.ShowBalloon(UiString(kUpdateBalloonString), BalloonKind::Update);
      },
      [this](const QString& error) { ShowWarning(error.toStdString()); });
}

void AUlxAppDlg::OpenDownloadPage() {
  if (updateFlag_ == 1) QDesktopServices::openUrl(QUrl(QString::fromLatin1(kDownloadPageUrl)));
}

void AUlxAppDlg::ShowNotice(const std::string& text) {
  QMetaObject::invokeMethod(
      this,
      [this, notice = QString::fromStdString(text)] {
        app::WriteLog(notice);
        tray_.ShowBalloon(notice, BalloonKind::Running);
      },
      Qt::QueuedConnection);
}

void AUlxAppDlg::ShowWarning(const std::string& text) {
  const QString message = QString::fromStdString(text);
  DeferredWork::ModalScope scope(deferred_);
  if (parts_.showWarning) {
    parts_.showWarning(message);
    return;
  }
  QMessageBox box(QMessageBox::Warning, QString::fromLatin1(audio::kMessageTitle), message, QMessageBox::Ok);
  box.setAccessibleName(QString::fromLatin1(audio::kMessageTitle));
  box.exec();
}

void AUlxAppDlg::RunEngineOperation(const std::function<void()>& operation) { deferred_.RunEngineOperation(operation); }

void AUlxAppDlg::Post(std::function<void()> call) {
  QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

}  // namespace auralith::ui
