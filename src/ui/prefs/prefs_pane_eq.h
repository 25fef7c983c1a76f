#pragma once

#include "mapping/user_eq.h"
#include "ui/prefs/prefs_context.h"

#include <QWidget>

#include <array>
#include <cstdint>

class CGdipButton;
class QCheckBox;
class QLabel;
class QPushButton;
class QSlider;

namespace auralith::ui {

// The "ULX Equalizer" tab: a bass band (peaking slot 10) and a treble band
// (slot 11) on top of the profile, one stored record per listening
// category. Only the user's own moves of a control store the record and
// reach the processing state; a record being loaded goes there whole, once.
class APrefsPaneEq : public QWidget {
  Q_OBJECT
 public:
  // Pane category index: 0 built-in speakers, 1 desktop speakers, 2 headphones.
  static constexpr int kCategoryCount = 3;

  explicit APrefsPaneEq(PrefsContext& context, QWidget* parent = nullptr);

  // Adopts the main window's category, then LoadEqSettings.
  void SyncWithMainCategory();
  // The category's stored record into the controls and the processing state.
  void LoadEqSettings();
  // Stores the controls' record under the category's value name.
  void SaveEqSettings();
  // Rewrites the labels and sends every value of the controls.
  void ApplyEqToDsp();
  // The default record into the controls, the processing state and the store.
  void ResetEq();

  int PaneCategory() const { return category_; }
  // The record the controls show now.
  render::UserEqRecord ShownRecord() const;

 private:
  struct BandControls {
    QCheckBox* enable = nullptr;
    QSlider* frequency = nullptr;
    QSlider* q = nullptr;
    QSlider* gain = nullptr;
    QLabel* frequencyLabel = nullptr;
    QLabel* qLabel = nullptr;
    QLabel* gainLabel = nullptr;
    std::int32_t slot = 0;
  };

  void BuildCategoryButtons();
  void BuildBand(BandControls& band, const char* name, int top, int left, int frequencyMin, int frequencyMax);
  QSlider* AddSlider(const QString& accessibleName, const QRect& rect, int minimum, int maximum);
  QLabel* AddLabel(const QRect& rect);

  void ShowCategory(int category);
  void ShowRecord(const render::UserEqRecord& record);
  void ShowLabels(const BandControls& band);
  void ShowAdvanced(bool advanced);
  void OnCategoryButton(int category);
  void OnEnable(BandControls& band);
  void OnFrequencyMoved(const BandControls& band);
  void OnQMoved(const BandControls& band);
  void OnGainMoved(const BandControls& band);
  void OnAdvanced(bool checked);
  bool ProcessingOff() const;

  PrefsContext& context_;
  int category_ = 0;
  // Set while the controls are being filled by code: their signals are then
  // not the user's moves.
  bool loading_ = false;
  std::array<CGdipButton*, kCategoryCount> categoryButtons_{};
  BandControls bass_;
  BandControls treble_;
  QPushButton* reset_ = nullptr;
  QCheckBox* advanced_ = nullptr;
};

}  // namespace auralith::ui
