#include "ui/prefs/prefs_pane_eq.h"

#include "app/settings_keys.h"
#include "app/settings_store.h"
#include "mapping/profile_mapping.h"
#include "ui/main/listening_settings.h"
#include "ui/main/window_commands.h"
#include "ui/prefs/dialog_units.h"
#include "ui/prefs/eq_labels.h"
#include "ui/widgets/gdip_button.h"
#include "ui/widgets/resources/ui_resources.h"
#include "ui/widgets/resources/ui_strings.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

namespace auralith::ui {

namespace keys = settings;

namespace {

constexpr const char* kSection = keys::settingsSection;

struct CategoryLook {
  int mainCode;  // the main window's category code
  int image, litImage, tipString;
  const char* label;
  const char* accessibleName;
  QRect buttonRect, labelRect;  // client pixels
};

// By pane category index.
const CategoryLook kCategories[APrefsPaneEq::kCategoryCount] = {
    {kCategoryBuiltIn,
     image_id::kPaneBuiltInSpeakers,
     image_id::kPaneBuiltInSpeakersLit,
     141,
     "Built-in",
     "Built-in speakers",
     {130, 8, 64, 64},
     {130, 72, 64, 16}},
    {kCategoryDesktop,
     image_id::kPaneDesktopSpeakers,
     image_id::kPaneDesktopSpeakersLit,
     142,
     "Desktop",
     "Desktop speakers",
     {207, 8, 64, 64},
     {207, 72, 64, 16}},
    {kCategoryHeadphones,
     image_id::kPaneHeadphones,
     image_id::kPaneHeadphonesLit,
     144,
     "Headphones",
     "Headphones",
     {284, 8, 64, 64},
     {277, 72, 72, 16}},
};

int PaneCategoryOfMain(int mainCode) {
  for (int i = 0; i < APrefsPaneEq::kCategoryCount; ++i)
    if (kCategories[i].mainCode == mainCode) return i;
  return -1;
}

bool ValidPaneCategory(int category) { return category >= 0 && category < APrefsPaneEq::kCategoryCount; }

// Vertical places within a band's group box, in dialog units.
constexpr int kEnableTop = 7, kGainTop = 17, kFrequencyTop = 41, kQTop = 65, kLabelDrop = 6;

}  // namespace

APrefsPaneEq::APrefsPaneEq(PrefsContext& context, QWidget* parent) : QWidget(parent), context_(context) {
  setObjectName(QStringLiteral("eqPane"));
  setAccessibleName(QStringLiteral("ULX Equalizer"));
  resize(DluX(300), DluY(260));
  bass_.slot = render::kBassSlot;
  treble_.slot = render::kTrebleSlot;
  BuildCategoryButtons();
  BuildBand(bass_, "Bass", 51, 70, render::kBassFrequencyMin, render::kBassFrequencyMax);
  auto* bassBox = findChild<QGroupBox*>(QStringLiteral("BassGroup"));
  bassBox->setGeometry(DluRect(7, 51, 286, 90));
  BuildBand(treble_, "Treble", 145, 69, render::kTrebleFrequencyMin, render::kTrebleFrequencyMax);
  auto* trebleBox = findChild<QGroupBox*>(QStringLiteral("TrebleGroup"));
  trebleBox->setGeometry(DluRect(7, 145, 286, 87));

  reset_ = new QPushButton(QStringLiteral("Reset"), this);
  reset_->setGeometry(DluRect(243, 234, 50, 14));
  connect(reset_, &QPushButton::clicked, this, [this] { ResetEq(); });

  advanced_ = new QCheckBox(QStringLiteral("Advanced EQ Settings"), this);
  advanced_->setGeometry(DluRect(7, 236, 87, 10).adjusted(0, 0, 30, 0));
  connect(advanced_, &QCheckBox::toggled, this, [this](bool checked) {
    if (!loading_) OnAdvanced(checked);
  });

  SyncWithMainCategory();
}

void APrefsPaneEq::BuildCategoryButtons() {
  for (int i = 0; i < kCategoryCount; ++i) {
    const CategoryLook& look = kCategories[i];
    auto* button = new CGdipButton(this);
    button->SetButtonImages(look.image, look.litImage);
    button->SetButtonTip(UiString(look.tipString));
    button->setAccessibleName(QString::fromLatin1(look.accessibleName));
    button->setFocusPolicy(Qt::StrongFocus);
    button->setGeometry(look.buttonRect);
    connect(button, &CGdipButton::clicked, this, [this, i] { OnCategoryButton(i); });
    categoryButtons_[static_cast<std::size_t>(i)] = button;
    auto* label = new QLabel(QString::fromLatin1(look.label), this);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setGeometry(look.labelRect);
  }
}

QSlider* APrefsPaneEq::AddSlider(const QString& accessibleName, const QRect& rect, int minimum, int maximum) {
  auto* slider = new QSlider(Qt::Horizontal, this);
  slider->setAccessibleName(accessibleName);
  slider->setRange(minimum, maximum);
  slider->setSingleStep(1);
  slider->setPageStep(qMax(1, (maximum - minimum) / 5));
  slider->setTickPosition(QSlider::TicksAbove);
  slider->setTickInterval(1);
  slider->setFocusPolicy(Qt::StrongFocus);
  slider->setGeometry(rect);
  return slider;
}

QLabel* APrefsPaneEq::AddLabel(const QRect& rect) {
  auto* label = new QLabel(this);
  // Wide enough for "Gain: -10.0 dB" in the pane's font.
  label->setGeometry(rect.adjusted(0, -2, 12, 2));
  return label;
}

void APrefsPaneEq::BuildBand(BandControls& band, const char* name, int top, int left, int frequencyMin,
                             int frequencyMax) {
  const QString bandName = QString::fromLatin1(name);
  auto* box = new QGroupBox(bandName, this);
  box->setObjectName(bandName + QStringLiteral("Group"));
  box->lower();

  band.enable = new QCheckBox(QStringLiteral("Enable"), this);
  band.enable->setAccessibleName(QStringLiteral("Enable ") + bandName.toLower());
  band.enable->setGeometry(DluRect(240, top + kEnableTop, 38, 10).adjusted(0, -2, 10, 2));
  band.gain = AddSlider(bandName + QStringLiteral(" gain"), DluRect(left, top + kGainTop, 216, 20),
                        render::kUserGainMin, render::kUserGainMax);
  band.gainLabel = AddLabel(DluRect(14, top + kGainTop + kLabelDrop, 54, 8));
  band.frequency = AddSlider(bandName + QStringLiteral(" frequency"), DluRect(left, top + kFrequencyTop, 216, 20),
                             frequencyMin, frequencyMax);
  band.frequencyLabel = AddLabel(DluRect(14, top + kFrequencyTop + kLabelDrop, 50, 8));
  band.q = AddSlider(bandName + QStringLiteral(" Q"), DluRect(left, top + kQTop, 216, 20), render::kUserQMin,
                     render::kUserQMax);
  band.qLabel = AddLabel(DluRect(14, top + kQTop + kLabelDrop, 50, 8));

  // Every change of a slider's value while not loading is the user's own
  // move: mouse, wheel or keyboard.
  BandControls* b = &band;
  connect(band.frequency, &QSlider::valueChanged, this, [this, b] {
    if (!loading_) OnFrequencyMoved(*b);
  });
  connect(band.q, &QSlider::valueChanged, this, [this, b] {
    if (!loading_) OnQMoved(*b);
  });
  connect(band.gain, &QSlider::valueChanged, this, [this, b] {
    if (!loading_) OnGainMoved(*b);
  });
  connect(band.enable, &QCheckBox::toggled, this, [this, b] {
    if (!loading_) OnEnable(*b);
  });
}

bool APrefsPaneEq::ProcessingOff() const { return context_.processing.processingOff.load(std::memory_order_relaxed); }

void APrefsPaneEq::SyncWithMainCategory() {
  const int category = PaneCategoryOfMain(context_.category());
  if (category >= 0) ShowCategory(category);
  LoadEqSettings();
}

void APrefsPaneEq::ShowCategory(int category) {
  category_ = category;
  for (int i = 0; i < kCategoryCount; ++i) {
    categoryButtons_[static_cast<std::size_t>(i)]->SetLit(i == category);
    categoryButtons_[static_cast<std::size_t>(i)]->update();
  }
}

void APrefsPaneEq::LoadEqSettings() {
  const int storedAdvanced = context_.store.GetProfileInt(kSection, keys::advUserEqKey, keys::advUserEqKeyDefault);
  loading_ = true;
  advanced_->setChecked(storedAdvanced != 0);
  loading_ = false;
  ShowAdvanced(storedAdvanced != 0);
  if (storedAdvanced != 0 && storedAdvanced != 1) OnAdvanced(true);

  const int mainCode = kCategories[category_].mainCode;
  const std::optional<QByteArray> stored = StoredUserEq(context_.store, mainCode);
  const render::UserEqRecord shown = stored ? render::NormalizeUserEqRecord(render::DecodeUserEqRecord(
                                                  reinterpret_cast<const std::uint8_t*>(stored->constData())))
                                            : render::kDefaultUserEqRecord;
  ShowRecord(shown);
  ApplyEqToDsp();
  // Write back once, whole, what the controls made of the stored record:
  // the defaults for a missing one, clamped words, enable words as 0 or 1.
  const render::UserEqRecordBytes bytes = render::EncodeUserEqRecord(shown);
  if (!stored || *stored != QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())))
    SaveEqSettings();
}

void APrefsPaneEq::ShowRecord(const render::UserEqRecord& record) {
  loading_ = true;
  for (auto [band, first] : {std::pair{&bass_, render::kBassWords}, std::pair{&treble_, render::kTrebleWords}}) {
    band->frequency->setValue(record[first + render::kFrequencyWord]);
    band->q->setValue(record[first + render::kQWord]);
    band->gain->setValue(record[first + render::kGainWord]);
    const bool enabled = record[first + render::kEnabledWord] != 0;
    band->enable->setChecked(enabled);
    band->frequency->setEnabled(enabled);
    band->q->setEnabled(enabled);
    band->gain->setEnabled(enabled);
  }
  loading_ = false;
}

render::UserEqRecord APrefsPaneEq::ShownRecord() const {
  render::UserEqRecord record{};
  for (auto [band, first] : {std::pair{&bass_, render::kBassWords}, std::pair{&treble_, render::kTrebleWords}}) {
    record[first + render::kEnabledWord] = band->enable->isChecked() ? 1 : 0;
    record[first + render::kFrequencyWord] = band->frequency->value();
    record[first + render::kQWord] = band->q->value();
    record[first + render::kGainWord] = band->gain->value();
  }
  return record;
}

void APrefsPaneEq::SaveEqSettings() {
  if (!ValidPaneCategory(category_)) return;
  const render::UserEqRecordBytes bytes = render::EncodeUserEqRecord(ShownRecord());
  context_.store.WriteProfileBinary(kSection, EqKeyOf(kCategories[category_].mainCode),
                                    QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
}

void APrefsPaneEq::ShowLabels(const BandControls& band) {
  band.frequencyLabel->setText(FrequencyText(band.frequency->value()));
  band.qLabel->setText(QText(band.q->value()));
  band.gainLabel->setText(GainText(band.gain->value()));
}

void APrefsPaneEq::ApplyEqToDsp() {
  ShowLabels(bass_);
  ShowLabels(treble_);
  render::ApplyUserEqRecord(context_.processing, ShownRecord());
}

void APrefsPaneEq::ResetEq() {
  ShowRecord(render::kDefaultUserEqRecord);
  ApplyEqToDsp();
  SaveEqSettings();
}

void APrefsPaneEq::OnCategoryButton(int category) {
  ShowCategory(category);
  LoadEqSettings();
  context_.setCategory(kCategories[category].mainCode);
}

void APrefsPaneEq::OnEnable(BandControls& band) {
  const bool enabled = band.enable->isChecked();
  band.frequency->setEnabled(enabled);
  band.q->setEnabled(enabled);
  band.gain->setEnabled(enabled);
  render::EnableUserBand(context_.processing, enabled, band.frequency->value(), band.q->value(), band.gain->value(),
                         band.slot);
  SaveEqSettings();
}

void APrefsPaneEq::OnFrequencyMoved(const BandControls& band) {
  band.frequencyLabel->setText(FrequencyText(band.frequency->value()));
  if (!ProcessingOff()) dsp::SetBandFrequency(context_.processing, band.frequency->value(), band.slot);
  SaveEqSettings();
}

void APrefsPaneEq::OnQMoved(const BandControls& band) {
  band.qLabel->setText(QText(band.q->value()));
  if (!ProcessingOff()) dsp::SetBandQ(context_.processing, band.q->value(), band.slot);
  SaveEqSettings();
}

void APrefsPaneEq::OnGainMoved(const BandControls& band) {
  band.gainLabel->setText(GainText(band.gain->value()));
  render::SetUserBandGain(context_.processing, band.gain->value(), band.slot);
  SaveEqSettings();
}

void APrefsPaneEq::ShowAdvanced(bool advanced) {
  for (const BandControls* band : {&bass_, &treble_}) {
    band->frequency->setVisible(advanced);
    band->frequencyLabel->setVisible(advanced);
    band->q->setVisible(advanced);
    band->qLabel->setVisible(advanced);
  }
}

void APrefsPaneEq::OnAdvanced(bool checked) {
  ShowAdvanced(checked);
  context_.store.WriteProfileInt(kSection, keys::advUserEqKey, checked ? 1 : 0);
}

}  // namespace auralith::ui
