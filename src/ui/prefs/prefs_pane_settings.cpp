#include "ui/prefs/prefs_pane_settings.h"

#include "app/settings_keys.h"
#include "app/settings_store.h"
#include "profiles/profile.h"
#include "profiles/profile_file_format.h"
#include "ui/main/listening_settings.h"
#include "ui/main/window_commands.h"
#include "ui/prefs/dialog_units.h"
#include "ui/prefs/profile_browser.h"
#include "ui/prefs/shown_device.h"
#include "ui/widgets/gdip_button.h"
#include "ui/widgets/resources/ui_resources.h"
#include "ui/widgets/resources/ui_strings.h"
#include "ui/widgets/static_image.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>

namespace auralith::ui {
namespace {

namespace keys = settings;
using profiles::PaneCategory;

constexpr int kUnlockText = 177;
constexpr int kLockText = 186;
constexpr int kActiveTip = 153;
constexpr int kPresetTip = 154;
constexpr int kOutputTip = 156;
constexpr int kKiroTip = 160;
constexpr int kLockTip = 161;
constexpr int kSlotPictureSize = 40;
constexpr int kCategoryButtonSize = 64;

struct CategoryLook {
  int normalImage;
  int litImage;
  int tip;
  const char* label;
  QRect buttonRect;  // pixels
  QRect labelRect;   // pixels
};

const std::array<CategoryLook, 3> kCategoryLooks = {{
    {image_id::kPaneBuiltInSpeakers, image_id::kPaneBuiltInSpeakersLit, 141, "Built-in",
     QRect(130, 8, kCategoryButtonSize, kCategoryButtonSize), QRect(130, 72, 64, 16)},
    {image_id::kPaneDesktopSpeakers, image_id::kPaneDesktopSpeakersLit, 142, "Desktop",
     QRect(207, 8, kCategoryButtonSize, kCategoryButtonSize), QRect(207, 72, 64, 16)},
    {image_id::kPaneHeadphones, image_id::kPaneHeadphonesLit, 144, "Headphones",
     QRect(284, 8, kCategoryButtonSize, kCategoryButtonSize), QRect(277, 72, 72, 16)},
}};

constexpr std::array<int, profiles::kProfileSlots> kSlotPictureX = {19, 75, 134, 193, 249};
constexpr std::array<int, profiles::kProfileSlots - 1> kPresetX = {64, 123, 182, 239};

void SetTip(QWidget* control, int tip) {
  control->setToolTip(UiString(tip));
  control->setAccessibleDescription(UiString(tip));
}

}  // namespace

PaneCategory PaneCategoryOfCode(int code) { return PaneCategoryOf(code); }

int CodeOfPaneCategory(PaneCategory category) {
  switch (category) {
    case PaneCategory::BuiltIn:
      return kCategoryBuiltIn;
    case PaneCategory::Desktop:
      return kCategoryDesktop;
    case PaneCategory::Headphones:
      break;
  }
  return kCategoryHeadphones;
}

APrefsPaneSettings::APrefsPaneSettings(PrefsContext& context, ProfileService& service, QWidget* parent)
    : QWidget(parent), context_(context), slots_(context.store, context.profiles), service_(service) {
  setAccessibleName(UiString(178));
  runLock_ = [this](ALockDlg::Mode mode) {
    ALockDlg dialog(context_.store, mode, this);
    return dialog.exec() == QDialog::Accepted;
  };
  BuildControls();
  RefreshLists();
  RefreshProfiles();
  // Every category's active profile is loaded before the first showing.
  for (PaneCategory each : {PaneCategory::BuiltIn, PaneCategory::Desktop, PaneCategory::Headphones})
    slots_.ActivateSlotOne(each);
}

// Nothing is written here: every choice was stored when the user made it.
APrefsPaneSettings::~APrefsPaneSettings() = default;

void APrefsPaneSettings::BuildControls() {
  UseDialogFont(*this);
  setFixedSize(DluX(300), DluY(260));
  for (std::size_t i = 0; i < kCategoryLooks.size(); ++i) {
    const CategoryLook& look = kCategoryLooks[i];
    auto* button = new CGdipButton(this);
    button->SetButtonImages(look.normalImage, look.litImage);
    button->SetButtonTip(UiString(look.tip));
    button->setGeometry(look.buttonRect);
    button->setAccessibleName(QString::fromLatin1(look.label));
    button->setAccessibleDescription(UiString(look.tip));
    button->setFocusPolicy(Qt::StrongFocus);
    const auto category = PaneCategory(i);
    connect(button, &CGdipButton::clicked, this, [this, category] { OnCategoryButton(category); });
    categoryButtons_[i] = button;
    auto* label = new QLabel(QString::fromLatin1(look.label), this);
    label->setAlignment(Qt::AlignCenter);
    label->setGeometry(look.labelRect);
  }
  auto* caption = new QLabel(QStringLiteral("Active Profile"), this);
  caption->setGeometry(DluRect(9, 49, 46, 8));
  auto* line = new QFrame(this);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  line->setGeometry(DluRect(61, 54, 222, 1).adjusted(0, 0, 0, 1));
  for (std::size_t i = 0; i < pictures_.size(); ++i) {
    auto* picture = new AStaticImage(this);
    const QRect rect = DluRect(kSlotPictureX[i], 61, 30, 24);
    picture->setGeometry(rect.x(), rect.y(), kSlotPictureSize, kSlotPictureSize);
    picture->setAccessibleName(QStringLiteral("Picture of slot %1").arg(i + 1));
    pictures_[i] = picture;
  }
  activeName_ = new QLabel(this);
  activeName_->setGeometry(DluRect(7, 86, 54, 20));
  activeName_->setAlignment(Qt::AlignCenter);
  activeName_->setFrameShape(QFrame::Box);
  activeName_->setWordWrap(true);
  SetTip(activeName_, kActiveTip);
  activeName_->setAccessibleName(QStringLiteral("Active Profile"));
  for (std::size_t i = 0; i < presets_.size(); ++i) {
    auto* preset = new QPushButton(QStringLiteral("Preset %1").arg(i + 2), this);
    preset->setGeometry(DluRect(kPresetX[i], 86, 54, 20));
    SetTip(preset, kPresetTip);
    const int index = int(i) + 1;
    connect(preset, &QPushButton::clicked, this, [this, index] { OnPreset(index); });
    presets_[i] = preset;
  }
  browser_ = new ProfileBrowser(
      *this, service_, [this] { return category_; }, *this);
  kiro_ = new QCheckBox(QStringLiteral("ULX K.I.R.O. Technology:"), this);
  kiro_->setLayoutDirection(Qt::RightToLeft);
  kiro_->setGeometry(DluRect(7, 200, 99, 10));
  FitTextToWidth(*kiro_, kiro_->text(), 24);
  kiro_->setAccessibleName(kiro_->text());
  SetTip(kiro_, kKiroTip);
  connect(kiro_, &QCheckBox::clicked, this, &APrefsPaneSettings::OnKiroClicked);
  lock_ = new QPushButton(UiString(kLockText), this);
  lock_->setGeometry(DluRect(114, 198, 39, 14));
  SetTip(lock_, kLockTip);
  connect(lock_, &QPushButton::clicked, this, &APrefsPaneSettings::OnLockButton);
  auto* frame = new QGroupBox(QStringLiteral("Select an output device"), this);
  frame->setGeometry(DluRect(16, 211, 266, 34));
  frame->lower();
  auto* outputLabel = new QLabel(QStringLiteral("Output Device"), this);
  outputLabel->setGeometry(DluRect(33, 221, 46, 8));
  FitTextToWidth(*outputLabel, outputLabel->text(), 2);
  output_ = new QComboBox(this);
  output_->setGeometry(DluRect(90, 220, 182, 12));
  output_->setAccessibleName(QStringLiteral("Output Device"));
  SetTip(output_, kOutputTip);
  outputLabel->setBuddy(output_);
  // Only the user's choice counts: code filling the box never writes.
  connect(output_, &QComboBox::activated, this, &APrefsPaneSettings::OnOutputChosen);
  lowLatency_ = new QCheckBox(QStringLiteral("Low latency (for video)"), this);
  lowLatency_->setGeometry(DluRect(90, 234, 182, 9));
  lowLatency_->setAccessibleName(lowLatency_->text());
  lowLatency_->setToolTip(QStringLiteral("Smaller output blocks keep the sound in step with the picture"));
  connect(lowLatency_, &QCheckBox::clicked, this, &APrefsPaneSettings::OnLowLatencyClicked);
}

QString APrefsPaneSettings::OutputKey() const {
  return QString::fromLatin1(OutputKeyOf(CodeOfPaneCategory(category_)));
}

void APrefsPaneSettings::ShowCategoryButtons() {
  for (std::size_t i = 0; i < categoryButtons_.size(); ++i) {
    categoryButtons_[i]->SetLit(int(i) == int(category_));
    categoryButtons_[i]->update();
  }
}

void APrefsPaneSettings::RefreshLists() {
  const PaneCategory before = category_;
  slots_.Refresh();
  category_ = PaneCategoryOfCode(context_.category());
  ShowCategoryButtons();
  ShowDevice(true);
  // Whatever path changed the category (tray, main window, another pane),
  // the browser lists the new category's models.
  if (!categoryKnown_ || before != category_) browser_->FillManufacturers();
  categoryKnown_ = true;
}

void APrefsPaneSettings::SelectStoredDevice() { ShowDevice(false); }

void APrefsPaneSettings::ShowDevice(bool firstRunMayStore) {
  const audio::OutputDeviceList all = context_.outputDevices();
  const audio::OutputDeviceList listed = ListedDevices(all);
  const std::string stored = context_.store.GetProfileString(keys::settingsSection, OutputKey()).toStdString();
  const ShownDevice shown = ShownDeviceFor(all, stored);
  {
    const QSignalBlocker block(output_);
    output_->clear();
    for (const audio::OutputDevice& device : listed)
      output_->addItem(QString::fromStdString(device.productName), QString::fromStdString(device.sinkName));
    output_->setCurrentIndex(shown.row);
  }
  {
    const QSignalBlocker block(lowLatency_);
    lowLatency_->setChecked(
        context_.store.GetProfileInt(keys::settingsSection, keys::lowLatencyKey, keys::lowLatencyKeyDefault) == 1);
  }
  // A stored device that is absent is kept for when it comes back; only a
  // category with nothing stored takes the device that plays.
  if (firstRunMayStore && shown.firstRun && shown.row >= 0) context_.chooseOutputDevice(listed[std::size_t(shown.row)]);
}

void APrefsPaneSettings::OnOutputChosen(int row) {
  if (row < 0) return;
  audio::OutputDevice device;
  device.productName = output_->itemText(row).toStdString();
  device.sinkName = output_->itemData(row).toString().toStdString();
  context_.chooseOutputDevice(device);
}

void APrefsPaneSettings::OnLowLatencyClicked() {
  const bool on = lowLatency_->isChecked();
  context_.store.WriteProfileInt(keys::settingsSection, keys::lowLatencyKey, on ? 1 : 0);
  if (context_.setLowLatency) context_.setLowLatency(on);
}

void APrefsPaneSettings::RefreshProfiles() {
  const app::ProfileSlots::SlotList& paths = slots_.Slots(category_);
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const std::string path = paths[i].toStdString();
    QString name;
    QString picture;
    const QFileInfo file(paths[i]);
    if (file.isFile() && file.isReadable()) {
      profiles::Profile profile;
      profile.load(path);
      name = QString::fromStdString(profile.record().model);
      if (!profile.record().imageFileName.empty()) picture = QString::fromStdString(profile.picturePath());
    }
    // A slot that cannot be read shows its own file's name, never another
    // slot's record.
    if (name.isEmpty()) name = QString::fromStdString(profiles::ProfileDisplayName(path));
    if (i == 0) {
      activeName_->setText(name);
    } else {
      // The buttons are two lines high: one word a line.
      presets_[i - 1]->setText(QString(name).replace(QLatin1Char(' '), QLatin1Char('\n')));
      presets_[i - 1]->setAccessibleName(name);
    }
    // Cleared first: a picture that fails to load leaves no older one.
    pictures_[i]->SetImage(QString());
    if (!picture.isEmpty()) pictures_[i]->SetImage(picture);
  }
  slots_.ActivateSlotOne(category_);
  if (category_ == PaneCategory::Headphones) {
    const bool kiroOn =
        context_.store.GetProfileInt(keys::settingsSection, keys::headphoneKiroKey, keys::headphoneKiroKeyDefault) != 0;
    const bool locked =
        context_.store.GetProfileString(keys::settingsSection, keys::headphoneLockCodeKey, QString()).size() ==
        ALockDlg::kCodeLength;
    {
      const QSignalBlocker block(kiro_);
      kiro_->setChecked(kiroOn);
    }
    lock_->setEnabled(kiroOn);
    lock_->setText(UiString(locked ? kUnlockText : kLockText));
    lock_->setAccessibleName(lock_->text());
    kiro_->setEnabled(!locked);
    kiro_->show();
    lock_->show();
  } else {
    kiro_->hide();
    lock_->hide();
  }
  for (AStaticImage* picture : pictures_) picture->update();
}

void APrefsPaneSettings::OnCategoryButton(PaneCategory category) {
  category_ = category;
  ShowCategoryButtons();
  RefreshProfiles();
  browser_->FillManufacturers();
  context_.setCategory(CodeOfPaneCategory(category));
  SelectStoredDevice();
}

void APrefsPaneSettings::OnPreset(int index) {
  slots_.MakeSlotActive(category_, index);
  RefreshProfiles();
}

void APrefsPaneSettings::OnKiroClicked() {
  if (category_ != PaneCategory::Headphones) return;
  const bool on = kiro_->isChecked();
  context_.store.WriteProfileInt(keys::settingsSection, keys::headphoneKiroKey, on ? 1 : 0);
  lock_->setEnabled(on);
  RefreshProfiles();
}

void APrefsPaneSettings::OnLockButton() {
  const ALockDlg::Mode mode = lock_->text() == UiString(kUnlockText) ? ALockDlg::Mode::Unlock : ALockDlg::Mode::Set;
  if (runLock_(mode)) RefreshProfiles();
}

void APrefsPaneSettings::ProfileStored(const std::string& storedPath) {
  context_.showPreferences();
  slots_.AddPath(category_, QString::fromStdString(storedPath));
  RefreshProfiles();
}

}  // namespace auralith::ui
