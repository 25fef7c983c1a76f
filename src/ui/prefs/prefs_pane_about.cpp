#include "ui/prefs/prefs_pane_about.h"

#include "app/login_start.h"
#include "ui/main/aulx_app_dlg.h"
#include "ui/prefs/dialog_units.h"
#include "ui/widgets/gdip_button.h"
#include "ui/widgets/resources/ui_resources.h"
#include "ui/widgets/resources/ui_strings.h"
#include "ui/widgets/static_image.h"
#include "update/own_version.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QFont>
#include <QLabel>
#include <QMessageBox>
#include <QUrl>

namespace auralith::ui {

namespace {

constexpr int kVersionPrefixString = 181;
constexpr const char* kStartAtLoginText = "Start Auralith when I log in";

QLabel* AddLine(QWidget* pane, const char* text, const QRect& rect, const char* objectName) {
  auto* label = new QLabel(QString::fromLatin1(text), pane);
  label->setObjectName(QString::fromLatin1(objectName));
  label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  // The template's boxes are a little narrow for this font; keep the centre.
  label->setGeometry(rect.adjusted(-20, -2, 20, 2));
  return label;
}

}  // namespace

APrefsPaneAbout::APrefsPaneAbout(PrefsContext& /*context*/, QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("aboutPane"));
  setAccessibleName(QStringLiteral("About"));
  resize(DluX(300), DluY(260));

  logo_ = new AStaticImage(this);
  logo_->setObjectName(QStringLiteral("logo"));
  logo_->SetImageResource(image_id::kLogo);
  logo_->setGeometry(DluRect(17, 36, 264, 40));
  logo_->setAccessibleName(QStringLiteral("Halvorn logo"));

  AddLine(this, "Halvorn Auralith", DluRect(100, 96, 98, 8), "productName");
  QLabel* description = AddLine(this, "Patented real-time audio re-mastering", DluRect(78, 109, 142, 8), "description");
  QFont italic = description->font();
  italic.setItalic(true);
  description->setFont(italic);
  QLabel* version = AddLine(this, "", DluRect(101, 122, 97, 8), "version");
  version->setText(VersionLine());

  banner_ = new AStaticImage(this);
  banner_->setObjectName(QStringLiteral("banner"));
  banner_->SetImageResource(image_id::kBanner);
  banner_->setGeometry(DluRect(49, 137, 200, 80));

  link_ = new CGdipButton(this);
  link_->setObjectName(QStringLiteral("homePageLink"));
  link_->SetButtonImage(image_id::kBanner);
  link_->setAccessibleName(QStringLiteral("Halvorn home page"));
  link_->setFocusPolicy(Qt::StrongFocus);
  link_->setGeometry(banner_->geometry());
  link_->raise();
  connect(link_, &CGdipButton::clicked, this, [this] { OpenHomePage(); });

  startAtLogin_ = new QCheckBox(QString::fromLatin1(kStartAtLoginText), this);
  startAtLogin_->setObjectName(QStringLiteral("startAtLogin"));
  startAtLogin_->setAccessibleName(QString::fromLatin1(kStartAtLoginText));
  startAtLogin_->setGeometry(DluRect(49, 226, 200, 12));
  startAtLogin_->setChecked(app::StartsAtLogin());
  connect(startAtLogin_, &QCheckBox::clicked, this, &APrefsPaneAbout::OnStartAtLoginClicked);
}

void APrefsPaneAbout::showEvent(QShowEvent* event) {
  startAtLogin_->setChecked(app::StartsAtLogin());
  QWidget::showEvent(event);
}

void APrefsPaneAbout::OnStartAtLoginClicked(bool on) {
  QString error;
  const bool switched = app::SetStartAtLogin(on, &error);
  // The box shows what the next login does, also after a failure.
  startAtLogin_->setChecked(app::StartsAtLogin());
  if (!switched) QMessageBox::warning(this, QStringLiteral("Auralith"), error);
}

QString APrefsPaneAbout::VersionLine() {
  return UiString(kVersionPrefixString) + QString::fromLatin1(kOwnVersionString);
}

void APrefsPaneAbout::OpenHomePage() {
  // The desktop's answer is not ours to report.
  QDesktopServices::openUrl(QUrl(QString::fromLatin1(kHomePageUrl)));
  update();
}

}  // namespace auralith::ui
