#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace auralith::settings {
class SettingsStore;
}

// The K.I.R.O lock dialog. Set mode takes a four-digit code twice and
// stores it; unlock mode takes the stored code once and clears it. OK is
// only enabled while the input is valid, and is checked again when pressed.
// Closing the dialog (close box, Esc) stores nothing.
class ALockDlg : public QDialog {
  Q_OBJECT
 public:
  enum class Mode { Set, Unlock };
  static constexpr int kCodeLength = 4;

  ALockDlg(auralith::settings::SettingsStore& store, Mode mode, QWidget* parent = nullptr);

  // Whether the current input may be accepted.
  bool InputValid() const;

  QLineEdit* CodeEdit() const { return code_; }
  QLineEdit* ConfirmEdit() const { return confirm_; }
  QPushButton* OkButton() const { return ok_; }

 public slots:
  void accept() override;

 private:
  void Validate();

  auralith::settings::SettingsStore& store_;
  Mode mode_;
  QLineEdit* code_;
  QLineEdit* confirm_;
  QLabel* confirmLabel_;
  QPushButton* ok_;
};
