#include "ui/prefs/lock_dlg.h"

#include "app/settings_keys.h"
#include "app/settings_store.h"
#include "ui/prefs/dialog_units.h"
#include "ui/widgets/resources/ui_strings.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

namespace keys = auralith::settings;
using auralith::ui::DluRect;
using auralith::ui::DluX;
using auralith::ui::DluY;

namespace {

constexpr int kUnlockText = 177;

QLineEdit* MakeCodeEdit(QWidget* parent, const QString& name) {
  auto* edit = new QLineEdit(parent);
  edit->setEchoMode(QLineEdit::Password);
  edit->setMaxLength(ALockDlg::kCodeLength);
  edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
  edit->setAccessibleName(name);
  return edit;
}

}  // namespace

ALockDlg::ALockDlg(auralith::settings::SettingsStore& store, Mode mode, QWidget* parent)
    : QDialog(parent), store_(store), mode_(mode) {
  setWindowTitle(QStringLiteral("ULX K.I.R.O. Technology"));
  auralith::ui::UseDialogFont(*this);
  setFixedSize(DluX(173), DluY(99));

  auto* frame = new QGroupBox(QStringLiteral("Enter lock code.  Must be 4 digits."), this);
  frame->setGeometry(DluRect(7, 7, 158, 66));
  auto* codeLabel = new QLabel(QStringLiteral("Lock code"), this);
  codeLabel->setGeometry(DluRect(34, 28, 33, 8));
  code_ = MakeCodeEdit(this, QStringLiteral("Lock code"));
  code_->setGeometry(DluRect(80, 25, 45, 14));
  codeLabel->setBuddy(code_);
  confirmLabel_ = new QLabel(QStringLiteral("Lock code \n(confirm)"), this);
  confirmLabel_->setGeometry(DluRect(34, 43, 34, 19));
  confirm_ = MakeCodeEdit(this, QStringLiteral("Lock code (confirm)"));
  confirm_->setGeometry(DluRect(80, 45, 45, 14));
  confirmLabel_->setBuddy(confirm_);
  ok_ = new QPushButton(QStringLiteral("Set Lock Code"), this);
  ok_->setGeometry(DluRect(106, 78, 60, 14));
  ok_->setDefault(true);
  ok_->setEnabled(false);

  if (mode_ == Mode::Unlock) {
    confirm_->hide();
    confirmLabel_->hide();
    ok_->setText(UiString(kUnlockText));
  }
  ok_->setAccessibleName(ok_->text());
  setTabOrder(code_, confirm_);
  setTabOrder(confirm_, ok_);

  connect(code_, &QLineEdit::textChanged, this, &ALockDlg::Validate);
  connect(confirm_, &QLineEdit::textChanged, this, &ALockDlg::Validate);
  connect(ok_, &QPushButton::clicked, this, &ALockDlg::accept);
}

bool ALockDlg::InputValid() const {
  const QString code = code_->text();
  if (mode_ == Mode::Unlock)
    return code == store_.GetProfileString(keys::settingsSection, keys::headphoneLockCodeKey, QString());
  return code.size() == kCodeLength && code == confirm_->text();
}

void ALockDlg::Validate() { ok_->setEnabled(InputValid()); }

void ALockDlg::accept() {
  // Enter on the default button, or a caller, may get here while OK is
  // disabled: without a valid input nothing is stored and the dialog stays.
  if (!InputValid()) return;
  const QString value = mode_ == Mode::Unlock ? QString() : code_->text();
  store_.WriteProfileString(keys::settingsSection, keys::headphoneLockCodeKey, value);
  QDialog::accept();
}
