#include "ui/main/tray_icon.h"

#include "ui/main/window_commands.h"
#include "ui/widgets/resources/ui_resources.h"

#include <QAction>

namespace auralith::ui {

CTrayIcon::CTrayIcon(Owner owner, QObject* parent)
    : QObject(parent), owner_(std::move(owner)), menu_(std::make_unique<QMenu>()) {
  state_.contentItem = command_id::kMusic;
  state_.categoryItem = command_id::kBuiltIn;
  menu_->setAccessibleName(QString::fromLatin1(kBalloonTitle));
  connect(menu_.get(), &QMenu::aboutToShow, this, &CTrayIcon::RebuildMenu);
  connect(menu_.get(), &QMenu::triggered, this, &CTrayIcon::OnTriggered);
}

CTrayIcon::~CTrayIcon() {
  // The icon leaves the notification area before its menu goes.
  if (icon_) icon_->hide();
  icon_.reset();
  added_ = false;
}

void CTrayIcon::SetUp(const QString& tooltip) {
  tooltip_ = tooltip;
  const QIcon loaded = LoadIconResource(icon_id::kTray);
  if (!loaded.isNull()) iconImage_ = loaded;
  state_.defaultCommand = 0;
  if (icon_) {
    icon_->setIcon(iconImage_);
    icon_->setToolTip(tooltip_);
  }
}

bool CTrayIcon::Add() {
  if (added_) return true;
  if (iconImage_.isNull() || !QSystemTrayIcon::isSystemTrayAvailable()) return false;
  icon_ = std::make_unique<QSystemTrayIcon>(iconImage_);
  icon_->setToolTip(tooltip_);
  icon_->setContextMenu(menu_.get());
  connect(icon_.get(), &QSystemTrayIcon::activated, this, &CTrayIcon::OnActivated);
  connect(icon_.get(), &QSystemTrayIcon::messageClicked, this, &CTrayIcon::OnBalloonClicked);
  icon_->show();
  added_ = true;
  return true;
}

void CTrayIcon::ShowBalloon(const QString& text, BalloonKind kind) {
  lastBalloon_ = kind;
  if (!icon_) return;
  icon_->showMessage(QString::fromLatin1(kBalloonTitle), text, iconImage_, kBalloonMs);
}

void CTrayIcon::OnBalloonClicked() {
  if (lastBalloon_ == BalloonKind::Update) {
    if (owner_.openDownloadPage) owner_.openDownloadPage();
    return;
  }
  PopupMenu(QCursor::pos());
}

void CTrayIcon::RebuildMenu() {
  FillTrayMenu(*menu_, state_, owner_.deviceItems ? owner_.deviceItems() : std::vector<OutputDeviceItem>{});
}

void CTrayIcon::PopupMenu(const QPoint& point) {
  // aboutToShow fills it.
  menu_->popup(point);
  menu_->activateWindow();
}

QRect CTrayIcon::Geometry() const { return icon_ ? icon_->geometry() : QRect(); }

void CTrayIcon::OnActivated(QSystemTrayIcon::ActivationReason reason) {
  if (reason == QSystemTrayIcon::Trigger && state_.defaultCommand != 0 && owner_.command)
    owner_.command(state_.defaultCommand);
}

void CTrayIcon::OnTriggered(QAction* action) {
  const int id = CommandOf(action);
  if (id >= command_id::kFirstOutputDevice && id < command_id::kForwardedCommand) {
    if (owner_.chooseDevice) owner_.chooseDevice(DeviceOf(action));
    return;
  }
  if (id != 0 && owner_.command) owner_.command(id);
}

}  // namespace auralith::ui
