#include "ui/main/aulx_app_dlg.h"

#include "app/commands.h"
#include "app/settings_keys.h"
#include "app/settings_store.h"
#include "fake_audio.h"
#include "mapping/user_eq.h"
#include "ui/main/help_dlg.h"
#include "ui/main/info_dlg.h"
#include "ui/main/window_commands.h"
#include "ui/widgets/resources/ui_resources.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

namespace auralith::ui {
namespace {

namespace keys = auralith::settings;
namespace ids = command_id;
using test::FakeAudio;

const audio::OutputDeviceList kDevices = {
    {"speakers", "Speakers (Built-in Audio)"},
    {"auralith", "Auralith Virtual Device"},
    {"phones", "Headphones (USB Audio)"},
};

class FakeUpdate : public UpdateCheck {
 public:
  FakeUpdate(bool& connected, int result) : connected_(connected), result_(result) {}
  bool Connected() override { return connected_; }
  void Start(std::function<void(int)> done, std::function<void(const QString&)>) override { done(result_); }

 private:
  bool& connected_;
  int result_;
};

QByteArray EqRecord(std::array<std::int32_t, 8> words) {
  QByteArray bytes;
  for (std::int32_t word : words)
    for (int shift = 0; shift < 32; shift += 8) bytes.append(char((std::uint32_t(word) >> shift) & 0xff));
  return bytes;
}

int Count(const std::vector<std::string>& calls, const std::string& call) {
  return int(std::count(calls.begin(), calls.end(), call));
}

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    // The store finds its file as it is made: only after the folder is set.
    qputenv(keys::configDirEnv, dir_.path().toUtf8());
    store_.emplace();
    ASSERT_TRUE(store_->FilePath().startsWith(dir_.path()));
    engine_.devices = kDevices;
  }
  void TearDown() override {
    window_.reset();
    qunsetenv(keys::configDirEnv);
  }

  AUlxAppDlg& Make(int pending = 0) {
    AUlxAppDlg::Parts parts(*store_);
    parts.pendingCommand = pending;
    parts.audio = [this](const AudioControlParts&) { return std::make_unique<FakeAudio>(engine_); };
    parts.updateCheck = [this] { return std::make_unique<FakeUpdate>(connected_, updateResult_); };
    parts.showWarning = [this](const QString& text) {
      warnings_ << text;
      if (onWarning_) onWarning_();
    };
    parts.watchSession = false;
    parts.updateTimerMs = 60000;
    window_ = std::make_unique<AUlxAppDlg>(std::move(parts));
    return *window_;
  }
  AUlxAppDlg& Started(int pending = 0) {
    AUlxAppDlg& window = Make(pending);
    EXPECT_TRUE(window.Start());
    return window;
  }
  void Store(const char* name, int value) { store_->WriteProfileInt(keys::settingsSection, name, value); }
  int Stored(const char* name) const { return store_->GetProfileInt(keys::settingsSection, name, -99); }
  // The posted calls (queued commands, the deferred quit).
  static void Settle() {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  }
  // Runs the event loop until it is told to end, as the program's loop ends.
  static void RunLoopToItsEnd() {
    QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    QApplication::exec();
  }

  QTemporaryDir dir_;
  std::optional<keys::SettingsStore> store_;
  FakeAudio::Shared engine_;
  bool connected_ = true;
  int updateResult_ = 0;
  QStringList warnings_;
  std::function<void()> onWarning_;
  std::unique_ptr<AUlxAppDlg> window_;
};

TEST_F(MainWindowTest, FirstStartIsVisibleSwitchedOffWithTheSetupPage) {
  AUlxAppDlg& window = Started();
  EXPECT_EQ(engine_.calls, (std::vector<std::string>{"takeover auralith", "select", "start"}));
  EXPECT_EQ(window.Category(), kCategoryDesktop);
  EXPECT_EQ(window.ContentMode(), 1);
  EXPECT_FALSE(window.ProcessingOn());
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Auralith"));
  ASSERT_NE(window.HelpWindow(), nullptr);
  EXPECT_TRUE(window.HelpWindow()->isVisible());
  EXPECT_NE(window.InfoDialog(), nullptr);
  EXPECT_TRUE(window.UpdateTimer().isActive());
  EXPECT_TRUE(window.Button(ids::kDesktopButton)->IsLit());
  EXPECT_FALSE(window.Button(ids::kBuiltInButton)->IsLit());
  EXPECT_TRUE(window.Button(ids::kMusicButton)->IsLit());
  EXPECT_FALSE(window.Button(ids::kPower)->IsLit());
  EXPECT_EQ(engine_.category, kCategoryDesktop);
  EXPECT_TRUE(warnings_.isEmpty());
}

TEST_F(MainWindowTest, FirstStartRunsNoPendingCommand) {
  AUlxAppDlg& window = Started(app::kCommandHeadphones);
  EXPECT_EQ(window.Category(), kCategoryDesktop);
}

TEST_F(MainWindowTest, LaterStartRunsThePendingCommand) {
  Store(keys::isVisibleKey, 1);
  AUlxAppDlg& window = Started(app::kCommandHeadphones);
  EXPECT_EQ(window.Category(), kCategoryHeadphones);
  EXPECT_EQ(window.HelpWindow(), nullptr);
}

TEST_F(MainWindowTest, NoVirtualDeviceFailsTheStart) {
  engine_.devices = {kDevices[0], kDevices[2]};
  AUlxAppDlg& window = Make();
  EXPECT_FALSE(window.Start());
  EXPECT_EQ(warnings_, QStringList{QStringLiteral("ULX audio driver not found.")});
  EXPECT_TRUE(engine_.calls.empty());
  EXPECT_TRUE(window.StartFailed());
  window.Shutdown();  // nothing to save
  EXPECT_EQ(Stored(keys::modeKey), -99);
}

TEST_F(MainWindowTest, NoDriverLinkGivesTheDefaultBack) {
  engine_.startResult = 0;
  AUlxAppDlg& window = Make();
  EXPECT_FALSE(window.Start());
  EXPECT_EQ(engine_.calls, (std::vector<std::string>{"takeover auralith", "select", "start", "restore"}));
}

TEST_F(MainWindowTest, StoredStateIsRestoredAndProcessingGoesOnAfterTheProfile) {
  Store(keys::isVisibleKey, 0);
  Store(keys::modeKey, kCategoryHeadphones);
  Store(keys::musicKey, 0);
  Store(keys::isProcessingKey, 1);
  Store(keys::headphoneKiroKey, 1);
  AUlxAppDlg& window = Started();
  EXPECT_EQ(window.Category(), kCategoryHeadphones);
  EXPECT_EQ(window.ContentMode(), 0);
  EXPECT_TRUE(window.ProcessingOn());
  EXPECT_TRUE(window.Processing().kiroActive.load());
  EXPECT_EQ(window.PowerAlternateImage(), image_id::kPowerKiro);
  EXPECT_TRUE(window.Button(ids::kPower)->IsLit());
  EXPECT_TRUE(window.Button(ids::kMovieButton)->IsLit());
  EXPECT_TRUE(window.Button(ids::kHeadphonesButton)->IsLit());
  // No tray here: the window shows even though it was hidden last time.
  EXPECT_FALSE(window.HasTray());
  EXPECT_EQ(window.VisibleFlag(), 1);
  EXPECT_TRUE(window.isVisible());

  window.SetCategory(kCategoryBuiltIn);
  EXPECT_FALSE(window.Processing().kiroActive.load());
  EXPECT_EQ(window.PowerAlternateImage(), image_id::kPowerOn);
}

TEST_F(MainWindowTest, TheStoredLatencyModeReachesTheEngineBeforeItStarts) {
  Store(keys::lowLatencyKey, 1);
  int atStart = -1;
  engine_.onStart = [this, &atStart] { atStart = engine_.lowLatency; };
  AUlxAppDlg& window = Started();
  EXPECT_EQ(atStart, 1);
  window.SetLowLatency(false);
  EXPECT_EQ(engine_.lowLatency, 0) << "the settings pane's switch reaches the running engine";
}

TEST_F(MainWindowTest, OutOfRangeStoredValuesReadAsDefaults) {
  Store(keys::isVisibleKey, 1);
  Store(keys::modeKey, 5);
  Store(keys::musicKey, -3);
  AUlxAppDlg& window = Started();
  EXPECT_EQ(window.Category(), kCategoryDesktop);
  EXPECT_EQ(window.ContentMode(), 1);
}

TEST_F(MainWindowTest, CommandsChangeTheListeningState) {
  Store(keys::isVisibleKey, 1);
  AUlxAppDlg& window = Started();
  window.RunCommand(app::kCommandProcessingOff);
  EXPECT_FALSE(window.ProcessingOn());
  window.RunCommand(app::kCommandProcessingOn);
  EXPECT_TRUE(window.ProcessingOn());
  window.RunCommand(app::kCommandProcessingOn);  // "ulx_on" while on changes nothing
  EXPECT_TRUE(window.ProcessingOn());
  window.RunCommand(app::kCommandMovies);
  EXPECT_EQ(window.ContentMode(), 0);
  EXPECT_EQ(window.Tray().MenuState().contentItem, ids::kMovie);
  window.RunCommand(app::kCommandMusic);
  EXPECT_EQ(window.ContentMode(), 1);
  window.RunCommand(app::kCommandBuiltIn);
  EXPECT_EQ(window.Category(), kCategoryBuiltIn);
  EXPECT_EQ(window.Tray().MenuState().categoryItem, ids::kBuiltIn);
  EXPECT_EQ(engine_.category, kCategoryBuiltIn);
  EXPECT_EQ(engine_.calls.back(), "switch");
  window.RunCommand(app::kCommandHeadphones);
  EXPECT_EQ(window.Category(), kCategoryHeadphones);
  window.RunCommand(app::kCommandDesktop);
  EXPECT_EQ(window.Category(), kCategoryDesktop);
  window.RunCommand(app::kCommandProcessingOff);
  EXPECT_FALSE(window.ProcessingOn());
  EXPECT_FALSE(window.Tray().MenuState().processingOn);
  // Unknown codes and the launch code do nothing.
  const std::size_t calls = engine_.calls.size();
  for (int code : {0, 10, 13, -7}) window.RunCommand(code);
  EXPECT_EQ(engine_.calls.size(), calls);
  EXPECT_FALSE(window.IsShutDown());
}

TEST_F(MainWindowTest, ButtonsAndMenuItemsSendTheirCommands) {
  Store(keys::isVisibleKey, 1);
  AUlxAppDlg& window = Started();
  window.Button(ids::kPower)->click();
  EXPECT_TRUE(window.ProcessingOn());
  EXPECT_TRUE(window.Button(ids::kPower)->IsLit());
  window.Button(ids::kHeadphonesButton)->click();
  EXPECT_EQ(window.Category(), kCategoryHeadphones);
  EXPECT_TRUE(window.Button(ids::kHeadphonesButton)->IsLit());
  EXPECT_FALSE(window.Button(ids::kDesktopButton)->IsLit());
  window.Button(ids::kHeadphonesButton)->click();  // a second click keeps it lit
  EXPECT_TRUE(window.Button(ids::kHeadphonesButton)->IsLit());
  window.Button(ids::kMovieButton)->click();
  EXPECT_EQ(window.ContentMode(), 0);
  EXPECT_FALSE(window.Button(ids::kMusicButton)->IsLit());
  window.OnCommand(ids::kToggleProcessing);
  EXPECT_FALSE(window.ProcessingOn());
  window.OnCommand(ids::kBuiltIn);
  EXPECT_EQ(window.Category(), kCategoryBuiltIn);
  window.OnCommand(ids::kContentLabel);
  window.OnCommand(ids::kListeningLabel);
  window.OnCommand(ids::kPreferences);  // no preferences dialog yet: nothing
  EXPECT_EQ(window.Category(), kCategoryBuiltIn);
  window.Button(ids::kInfo)->click();
  EXPECT_TRUE(window.InfoDialog()->isVisible());
}

TEST_F(MainWindowTest, SwitchingOnAppliesTheCategorysOwnEqualizer) {
  Store(keys::isVisibleKey, 1);
  store_->WriteProfileBinary(keys::settingsSection, keys::desktopEqKey, EqRecord({1, 20, 4, 30, 1, 45, 2, 10}));
  store_->WriteProfileBinary(keys::settingsSection, keys::headphoneEqKey, EqRecord({1, 11, 3, 24, 1, 52, 5, 24}));
  AUlxAppDlg& window = Started();
  window.ToggleProcessing();
  EXPECT_EQ(window.Processing().freqIndex[10], 20);
  EXPECT_EQ(window.Processing().freqIndex[11], 45);
  window.SetCategory(kCategoryHeadphones);
  EXPECT_EQ(window.Processing().freqIndex[10], 11);
  EXPECT_EQ(window.Processing().freqIndex[11], 52);
  // Built-in speakers have no record: the equalizer's defaults.
  window.ToggleProcessing();
  window.SetCategory(kCategoryBuiltIn);
  window.ToggleProcessing();
  EXPECT_EQ(window.Processing().freqIndex[10], render::kDefaultUserEqRecord[1]);
  EXPECT_EQ(window.Processing().freqIndex[11], render::kDefaultUserEqRecord[5]);
}

TEST_F(MainWindowTest, OutputDeviceChoiceUsesTheDeviceTheMenuListed) {
  Store(keys::isVisibleKey, 1);
  AUlxAppDlg& window = Started();
  std::vector<OutputDeviceItem> items = window.DeviceItems();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_TRUE(items[0].checked);
  // The list changes while the menu is open: the headphones moved up.
  engine_.devices = {kDevices[2], kDevices[1], kDevices[0]};
  engine_.calls.clear();
  window.ChooseOutputDevice(items[1].device);
  EXPECT_EQ(store_->GetProfileString(keys::settingsSection, keys::dtOutputKey),
            QStringLiteral("Headphones (USB Audio)"));
  EXPECT_EQ(engine_.calls, std::vector<std::string>{"switch"});
  items = window.DeviceItems();
  EXPECT_EQ(items[0].device.sinkName, "phones");
  EXPECT_TRUE(items[0].checked);
  // Unplugged meanwhile: the click does nothing.
  engine_.devices = {kDevices[1], kDevices[2]};
  engine_.calls.clear();
  window.ChooseOutputDevice({"speakers", "Speakers (Built-in Audio)"});
  EXPECT_TRUE(engine_.calls.empty());
  EXPECT_EQ(store_->GetProfileString(keys::settingsSection, keys::dtOutputKey),
            QStringLiteral("Headphones (USB Audio)"));
  // Another category keeps its own value.
  window.SetCategory(kCategoryHeadphones);
  window.ChooseOutputDevice({"phones", "Headphones (USB Audio)"});
  EXPECT_EQ(store_->GetProfileString(keys::settingsSection, keys::hpOutputKey),
            QStringLiteral("Headphones (USB Audio)"));
}

TEST_F(MainWindowTest, TheSessionStopsAndStartsTheEngine) {
  Store(keys::isVisibleKey, 1);
  AUlxAppDlg& window = Started();
  engine_.calls.clear();
  window.OnSessionActive(false);
  EXPECT_EQ(engine_.calls, std::vector<std::string>{"stop"});
  window.OnSessionActive(true);
  EXPECT_EQ(engine_.calls, (std::vector<std::string>{"stop", "start"}));
  EXPECT_FALSE(window.IsShutDown());
}

TEST_F(MainWindowTest, QuitSavesTheStateAndShutsDownOnce) {
  Store(keys::isVisibleKey, 1);
  AUlxAppDlg& window = Started();
  window.RunCommand(app::kCommandHeadphones);
  window.RunCommand(app::kCommandMovies);
  window.RunCommand(app::kCommandProcessingOn);
  window.RunCommand(app::kCommandQuit);
  window.RunCommand(app::kCommandQuit);
  Settle();
  EXPECT_TRUE(window.IsShutDown());
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(Stored(keys::modeKey), kCategoryHeadphones);
  EXPECT_EQ(Stored(keys::musicKey), 0);
  EXPECT_EQ(Stored(keys::isProcessingKey), 1);
  EXPECT_EQ(Stored(keys::isVisibleKey), 1);
  window.Shutdown();
  RunLoopToItsEnd();
  EXPECT_EQ(Count(engine_.calls, "restore"), 1);
  EXPECT_EQ(Count(engine_.calls, "stop"), 1);
  // Nothing runs after the shutdown.
  window.OnCommand(ids::kPower);
  EXPECT_TRUE(window.ProcessingOn());
  EXPECT_EQ(window.InfoDialog(), nullptr);
}

TEST_F(MainWindowTest, EndOfTheLoopShutsDown) {
  Store(keys::isVisibleKey, 1);
  AUlxAppDlg& window = Started();
  RunLoopToItsEnd();
  EXPECT_TRUE(window.IsShutDown());
  EXPECT_EQ(Count(engine_.calls, "restore"), 1);
  EXPECT_EQ(Stored(keys::modeKey), kCategoryDesktop);
}

TEST_F(MainWindowTest, QuitDuringAMessageBoxWaitsForItToClose) {
  Store(keys::isVisibleKey, 1);
  AUlxAppDlg& window = Started();
  bool shutDownInside = true;
  onWarning_ = [&] {
    // A second instance's quit arrives while the box is up.
    window.RunCommand(app::kCommandQuit);
    Settle();
    shutDownInside = window.IsShutDown();
  };
  window.ShowWarning("Could not open the ULX driver.");
  EXPECT_FALSE(shutDownInside);
  EXPECT_FALSE(window.IsShutDown());
  Settle();
  EXPECT_TRUE(window.IsShutDown());
}

TEST_F(MainWindowTest, DeviceChoiceInsideAnEngineOperationWaitsForIt) {
  Store(keys::isVisibleKey, 1);
  AUlxAppDlg& window = Started();
  window.OnSessionActive(false);
  engine_.calls.clear();
  engine_.onStart = [&] {
    // The playback-failure box is up and the user picks a device.
    window.ChooseOutputDevice(kDevices[2]);
    engine_.calls.push_back("start returns");
  };
  window.OnSessionActive(true);
  EXPECT_EQ(engine_.calls, (std::vector<std::string>{"start", "start returns", "switch"}));
}

TEST_F(MainWindowTest, WithoutATrayCloseMinimises) {
  Store(keys::isVisibleKey, 1);
  AUlxAppDlg& window = Started();
  ASSERT_FALSE(window.HasTray());
  window.close();
  EXPECT_TRUE(window.isVisible());
  EXPECT_TRUE(window.isMinimized());
  EXPECT_EQ(window.VisibleFlag(), 1);
  window.RunCommand(app::kCommandShowWindow);
  EXPECT_FALSE(window.isMinimized());
}

TEST_F(MainWindowTest, EnterAndEscapeDoNotCloseTheWindow) {
  Store(keys::isVisibleKey, 1);
  AUlxAppDlg& window = Started();
  for (int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(&window, &press);
    QApplication::sendEvent(window.Button(ids::kPower), &press);
  }
  EXPECT_TRUE(window.isVisible());
  EXPECT_FALSE(window.ProcessingOn());
  EXPECT_TRUE(IsSwallowedKey(Qt::Key_Escape));
  EXPECT_FALSE(IsSwallowedKey(Qt::Key_Space));
}

TEST_F(MainWindowTest, SkinHasThePicturesSizeShapeAndButtons) {
  Store(keys::isVisibleKey, 1);
  AUlxAppDlg& window = Started();
  EXPECT_EQ(window.size(), QSize(489, 220));
  const QRegion mask = window.mask();
  EXPECT_FALSE(mask.isEmpty());
  EXPECT_FALSE(mask.contains(QPoint(0, 0)));  // a rounded corner
  EXPECT_TRUE(mask.contains(QPoint(244, 110)));
  for (const SkinButtonPlace& place : kSkinButtons) {
    CGdipButton* button = window.Button(place.id);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->geometry(), place.rect) << place.id;
    EXPECT_FALSE(button->accessibleName().isEmpty()) << place.id;
    EXPECT_EQ(button->accessibleName(), button->ButtonTip()) << place.id;
    EXPECT_EQ(button->ToggleMode(), place.alternateImage != 0) << place.id;
  }
  EXPECT_EQ(window.Button(ids::kPower)->accessibleName(), QStringLiteral("Turn Halvorn process on/off"));
  EXPECT_FALSE(window.Background().Image2x().isNull());
  EXPECT_EQ(window.Background().Image2x().size(), QSize(978, 440));
}

TEST_F(MainWindowTest, UpdateCheckRunsOnceConnected) {
  Store(keys::isVisibleKey, 1);
  connected_ = false;
  updateResult_ = 1;
  AUlxAppDlg& window = Started();
  window.OnUpdateTimer();
  EXPECT_TRUE(window.UpdateTimer().isActive());
  EXPECT_EQ(window.UpdateFlag(), 0);
  connected_ = true;
  window.OnUpdateTimer();
  EXPECT_FALSE(window.UpdateTimer().isActive());
  EXPECT_EQ(window.UpdateFlag(), 1);
  EXPECT_EQ(window.Tray().LastBalloon(), BalloonKind::Update);
}

}  // namespace
}  // namespace auralith::ui
