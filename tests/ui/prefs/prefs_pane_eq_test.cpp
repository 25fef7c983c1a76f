#include "ui/prefs/prefs_pane_eq.h"

#include "app/profile_slots.h"
#include "app/settings_keys.h"
#include "app/settings_store.h"
#include "dsp/dsp_state.h"
#include "ui/main/window_commands.h"
#include "ui/prefs/eq_labels.h"
#include "ui/widgets/gdip_button.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

namespace auralith::ui {
namespace {

namespace keys = auralith::settings;
using render::UserEqRecord;

class NoProfiles : public app::CategoryProfileTarget {
 public:
  void SetBuiltInProfile(const QString&, int) override {}
  void SetDesktopProfile(const QString&, int) override {}
  void SetHeadphoneProfile(const QString&, int) override {}
};

QByteArray Bytes(const UserEqRecord& record) {
  const render::UserEqRecordBytes bytes = render::EncodeUserEqRecord(record);
  return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

class PrefsPaneEqTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    qputenv(keys::configDirEnv, dir_.path().toUtf8());
    store_.emplace();
    ASSERT_TRUE(dsp::InitDsp(*state_));
    state_->processingOff = false;
  }
  void TearDown() override {
    pane_.reset();
    qunsetenv(keys::configDirEnv);
  }

  APrefsPaneEq& Make() {
    context_.emplace(PrefsContext{*store_, *state_, profiles_, {}, {}, {}, {}, {}, {}, {}, {}});
    context_->category = [this] { return mainCategory_; };
    context_->setCategory = [this](int code) {
      switches_.push_back(code);
      mainCategory_ = code;
      pane_->SyncWithMainCategory();  // what RefreshPanes does
    };
    context_->processingOn = [this] { return !state_->processingOff; };
    pane_ = std::make_unique<APrefsPaneEq>(*context_);
    return *pane_;
  }

  void Store(const char* key, const QByteArray& bytes) {
    ASSERT_TRUE(store_->WriteProfileBinary(keys::settingsSection, key, bytes));
  }
  std::optional<UserEqRecord> Stored(const char* key) const {
    const std::optional<QByteArray> bytes = store_->GetProfileBinary(keys::settingsSection, key);
    if (!bytes || bytes->size() != qsizetype(render::kUserEqRecordBytes)) return std::nullopt;
    return render::DecodeUserEqRecord(reinterpret_cast<const std::uint8_t*>(bytes->constData()));
  }
  template <typename W>
  W* Child(const char* accessibleName) const {
    for (W* widget : pane_->findChildren<W*>())
      if (widget->accessibleName() == QString::fromLatin1(accessibleName)) return widget;
    ADD_FAILURE() << "no control named " << accessibleName;
    return nullptr;
  }
  QLabel* LabelStartingWith(const char* text, int nth) const {
    int seen = 0;
    for (QLabel* label : pane_->findChildren<QLabel*>())
      if (label->text().startsWith(QString::fromLatin1(text)) && seen++ == nth) return label;
    return nullptr;
  }
  const dsp::PeakParams& Published(int slot) { return state_->handover.Acquire().peak[std::size_t(slot)]; }
  float Gain(int position) const { return state_->tables.peakGain[std::size_t(position)]; }
  qint64 StoreWrittenAt() const { return QFileInfo(store_->FilePath()).lastModified().toMSecsSinceEpoch(); }

  QTemporaryDir dir_;
  std::optional<settings::SettingsStore> store_;
  std::unique_ptr<dsp::DspState> state_ = std::make_unique<dsp::DspState>();
  NoProfiles profiles_;
  std::optional<PrefsContext> context_;
  std::unique_ptr<APrefsPaneEq> pane_;
  int mainCategory_ = kCategoryDesktop;
  std::vector<int> switches_;
};

TEST(EqLabelsTest, TextsOfTheSliders) {
  EXPECT_EQ(FrequencyText(29), QStringLiteral("Fc: 800 Hz"));
  EXPECT_EQ(FrequencyText(31), QStringLiteral("Fc: 1k00 Hz"));
  EXPECT_EQ(FrequencyText(57), QStringLiteral("Fc: 20k0 Hz"));
  EXPECT_EQ(QText(15), QStringLiteral("Q: 8.0 Q"));
  EXPECT_EQ(QText(3), QStringLiteral("Q: 0.7 Q"));
  EXPECT_EQ(GainText(4), QStringLiteral("Gain: -10.0 dB"));
  EXPECT_EQ(GainText(24), QStringLiteral("Gain:  0.0 dB"));
  EXPECT_EQ(GainText(32), QStringLiteral("Gain:  4.0 dB"));
  EXPECT_EQ(BandLabel(58), QString());
}

TEST(EqLabelsTest, BandLabelsNameTheFrequencyList) {
  for (std::size_t i = 0; i < dsp::kFrequencies.size(); ++i) {
    const float hz = dsp::kFrequencies[i];
    // Below 1 kHz the number itself; above, three digits with "k" as the point.
    const double khz = double(hz) / 1000;
    QString expected = hz < 1000 ? QString::number(int(hz)) : QString::number(khz, 'f', khz < 10 ? 2 : 1);
    expected.replace('.', 'k');
    EXPECT_EQ(BandLabel(std::int32_t(i)), expected) << hz;
  }
}

TEST_F(PrefsPaneEqTest, FirstStartShowsAndStoresTheDefaults) {
  Make();
  EXPECT_EQ(pane_->PaneCategory(), 1);  // desktop speakers
  EXPECT_EQ(pane_->ShownRecord(), render::kDefaultUserEqRecord);
  EXPECT_EQ(Stored(keys::desktopEqKey), render::kDefaultUserEqRecord);
  EXPECT_FALSE(Stored(keys::builtinEqKey));
  EXPECT_FALSE(Stored(keys::headphoneEqKey));
  EXPECT_EQ(state_->freqIndex[10], 15);
  EXPECT_EQ(state_->freqIndex[11], 49);
  EXPECT_NE(LabelStartingWith("Fc: 160 Hz", 0), nullptr);
  EXPECT_NE(LabelStartingWith("Fc: 8k00 Hz", 0), nullptr);
  EXPECT_NE(LabelStartingWith("Gain:  0.0 dB", 1), nullptr);
}

TEST_F(PrefsPaneEqTest, StoredRecordRoundTrip) {
  const UserEqRecord record = {1, 20, 5, 30, 0, 40, 9, 8};
  Store(keys::desktopEqKey, Bytes(record));
  Make();
  EXPECT_EQ(pane_->ShownRecord(), record);
  EXPECT_FALSE(Child<QSlider>("Treble gain")->isEnabled());
  EXPECT_TRUE(Child<QSlider>("Bass gain")->isEnabled());
  EXPECT_EQ(Published(10).k, Gain(30));
  EXPECT_EQ(Published(10).c, state_->tables.peakC[5][20]);
  EXPECT_EQ(Published(11).k, Gain(24));
  pane_->SaveEqSettings();
  EXPECT_EQ(Stored(keys::desktopEqKey), record);
}

TEST_F(PrefsPaneEqTest, OutOfRangeWordsAreClampedAndWrittenBackWhole) {
  Store(keys::desktopEqKey, Bytes({1, 15, 3, 40, 7, 10, 99, -2}));
  Make();
  const UserEqRecord clamped = {1, 15, 3, 32, 1, 30, 15, 4};
  EXPECT_EQ(pane_->ShownRecord(), clamped);
  EXPECT_EQ(Stored(keys::desktopEqKey), clamped);
  EXPECT_EQ(Published(10).k, Gain(32));
  EXPECT_EQ(Published(11).k, Gain(4));
  EXPECT_TRUE(Child<QCheckBox>("Enable treble")->isChecked());
}

TEST_F(PrefsPaneEqTest, RecordOfAnotherLengthIsReplacedByTheDefaults) {
  Store(keys::desktopEqKey, QByteArray(28, '\x01'));
  Make();
  EXPECT_EQ(pane_->ShownRecord(), render::kDefaultUserEqRecord);
  EXPECT_EQ(Stored(keys::desktopEqKey), render::kDefaultUserEqRecord);
}

TEST_F(PrefsPaneEqTest, LoadingAValidRecordWritesNothing) {
  const UserEqRecord record = {0, 3, 2, 10, 1, 55, 14, 31};
  Store(keys::desktopEqKey, Bytes(record));
  const qint64 before = StoreWrittenAt();
  QTest::qWait(30);
  Make();
  pane_->LoadEqSettings();
  EXPECT_EQ(StoreWrittenAt(), before);
  EXPECT_EQ(Stored(keys::desktopEqKey), record);
}

TEST_F(PrefsPaneEqTest, UserMovesStoreAndPublish) {
  Make();
  QSlider* bassGain = Child<QSlider>("Bass gain");
  bassGain->setFocus();
  QTest::keyClick(bassGain, Qt::Key_Right);
  EXPECT_EQ(Stored(keys::desktopEqKey)->at(3), 25);
  EXPECT_EQ(Published(10).k, Gain(25));
  QTest::keyClick(bassGain, Qt::Key_PageUp);
  QTest::keyClick(bassGain, Qt::Key_PageUp);
  EXPECT_EQ(bassGain->value(), 32);
  EXPECT_EQ(Stored(keys::desktopEqKey)->at(3), 32);
  EXPECT_EQ(Published(10).k, Gain(32));
  EXPECT_NE(LabelStartingWith("Gain:  4.0 dB", 0), nullptr);

  QSlider* trebleFrequency = Child<QSlider>("Treble frequency");
  trebleFrequency->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(state_->freqIndex[11], 50);
  EXPECT_EQ(Published(11).c, state_->tables.peakC[3][50]);
  EXPECT_EQ(Stored(keys::desktopEqKey)->at(5), 50);
  EXPECT_NE(LabelStartingWith("Fc: 9k00 Hz", 0), nullptr);

  QSlider* bassQ = Child<QSlider>("Bass Q");
  bassQ->triggerAction(QAbstractSlider::SliderToMaximum);
  EXPECT_EQ(state_->qIndex[10], 15);
  EXPECT_EQ(Published(10).d, state_->tables.peakD[15][15]);
  EXPECT_NE(LabelStartingWith("Q: 8.0 Q", 0), nullptr);
  EXPECT_EQ(*Stored(keys::desktopEqKey), (UserEqRecord{1, 15, 15, 32, 1, 50, 3, 24}));
}

TEST_F(PrefsPaneEqTest, ClearingEnableFlattensTheSlotAtOnce) {
  Store(keys::desktopEqKey, Bytes({1, 15, 3, 32, 1, 49, 3, 24}));
  Make();
  QCheckBox* enable = Child<QCheckBox>("Enable bass");
  QTest::mouseClick(enable, Qt::LeftButton);
  EXPECT_FALSE(enable->isChecked());
  EXPECT_EQ(Published(10).k, Gain(24));
  EXPECT_EQ(state_->freqIndex[10], 15);
  EXPECT_FALSE(Child<QSlider>("Bass gain")->isEnabled());
  EXPECT_EQ(Stored(keys::desktopEqKey)->at(0), 0);
  EXPECT_EQ(Stored(keys::desktopEqKey)->at(3), 32);
  // A new load of the same record keeps the slot flat.
  pane_->SyncWithMainCategory();
  EXPECT_EQ(Published(10).k, Gain(24));
  QTest::mouseClick(enable, Qt::LeftButton);
  EXPECT_EQ(Published(10).k, Gain(32));
}

TEST_F(PrefsPaneEqTest, WithProcessingOffMovesAreStoredButNotSent) {
  Make();
  const dsp::PeakParams before = Published(10);
  state_->processingOff = true;
  Child<QSlider>("Bass gain")->triggerAction(QAbstractSlider::SliderToMaximum);
  Child<QSlider>("Bass frequency")->triggerAction(QAbstractSlider::SliderToMinimum);
  EXPECT_EQ(*Stored(keys::desktopEqKey), (UserEqRecord{1, 0, 3, 32, 1, 49, 3, 24}));
  EXPECT_EQ(Published(10).k, before.k);
  EXPECT_EQ(Published(10).c, before.c);
  EXPECT_EQ(state_->freqIndex[10], 15);
}

TEST_F(PrefsPaneEqTest, CategoryButtonSwitchesTheMainWindowAndShowsItsRecord) {
  const UserEqRecord phones = {1, 5, 6, 28, 1, 45, 8, 12};
  const UserEqRecord builtIn = {0, 1, 2, 3, 0, 44, 5, 6};
  Store(keys::headphoneEqKey, Bytes(phones));
  Store(keys::builtinEqKey, Bytes(builtIn));
  Make();
  QTest::mouseClick(Child<CGdipButton>("Headphones"), Qt::LeftButton);
  EXPECT_EQ(switches_, std::vector<int>{kCategoryHeadphones});
  EXPECT_EQ(pane_->PaneCategory(), 2);
  EXPECT_EQ(pane_->ShownRecord(), phones);
  EXPECT_TRUE(Child<CGdipButton>("Headphones")->IsLit());
  EXPECT_FALSE(Child<CGdipButton>("Desktop speakers")->IsLit());
  EXPECT_EQ(Published(10).k, Gain(28));
  EXPECT_EQ(Stored(keys::builtinEqKey), builtIn);
  EXPECT_EQ(Stored(keys::desktopEqKey), render::kDefaultUserEqRecord);
}

TEST_F(PrefsPaneEqTest, AdvancedBoxShowsFrequencyAndQAndIsStored) {
  Make();
  pane_->show();
  EXPECT_FALSE(Child<QSlider>("Bass frequency")->isVisible());
  EXPECT_TRUE(Child<QSlider>("Bass gain")->isVisible());
  QCheckBox* advanced = nullptr;
  for (QCheckBox* box : pane_->findChildren<QCheckBox*>())
    if (box->text() == QStringLiteral("Advanced EQ Settings")) advanced = box;
  ASSERT_NE(advanced, nullptr);
  QTest::mouseClick(advanced, Qt::LeftButton);
  EXPECT_TRUE(Child<QSlider>("Treble Q")->isVisible());
  EXPECT_EQ(store_->GetProfileInt(keys::settingsSection, keys::advUserEqKey, -1), 1);
}

TEST_F(PrefsPaneEqTest, ResetRestoresTheDefaults) {
  Store(keys::desktopEqKey, Bytes({0, 3, 2, 10, 0, 55, 14, 31}));
  Make();
  QPushButton* reset = nullptr;
  for (QPushButton* button : pane_->findChildren<QPushButton*>())
    if (button->text() == QStringLiteral("Reset")) reset = button;
  ASSERT_NE(reset, nullptr);
  QTest::mouseClick(reset, Qt::LeftButton);
  EXPECT_EQ(pane_->ShownRecord(), render::kDefaultUserEqRecord);
  EXPECT_EQ(Stored(keys::desktopEqKey), render::kDefaultUserEqRecord);
  EXPECT_EQ(Published(11).k, Gain(24));
  EXPECT_EQ(Published(11).c, state_->tables.peakC[3][49]);
}

}  // namespace
}  // namespace auralith::ui
