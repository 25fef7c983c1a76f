#include "ui/widgets/skin_tip.h"

#include <algorithm>

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTimer>

namespace {

constexpr int kPadX = 8;
constexpr int kPadY = 4;
constexpr qreal kRadius = 5.0;
constexpr QPoint kCursorOffset(12, 18);

const QColor kFill(0x1d, 0x20, 0x26, 245);
const QColor kBorder(0x3d, 0x43, 0x4e);
const QColor kText(0xe4, 0xe8, 0xee);

}  // namespace

SkinTip::SkinTip()
    : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus),
      hideTimer_(new QTimer(this)) {
  setAttribute(Qt::WA_TranslucentBackground);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_DeleteOnClose);
  hideTimer_->setSingleShot(true);
  connect(hideTimer_, &QTimer::timeout, this, &QWidget::close);
}

QPointer<SkinTip>& SkinTip::Current() {
  static QPointer<SkinTip> tip;
  return tip;
}

void SkinTip::ShowTip(QWidget* owner, const QPoint& globalPos, const QString& text, int showMs) {
  if (Current().isNull()) {
    Current() = new SkinTip;
  }
  SkinTip& tip = *Current();
  tip.text_ = text;
  tip.owner_ = owner;
  tip.resize(tip.sizeHint());
  QPoint place = globalPos + kCursorOffset;
  // Keep the tip on the screen it shows on.
  if (const QScreen* screen = QGuiApplication::screenAt(globalPos)) {
    const QRect area = screen->availableGeometry();
    place.setX(std::clamp(place.x(), area.left(), std::max(area.left(), area.right() - tip.width())));
    if (place.y() + tip.height() > area.bottom()) {
      place.setY(globalPos.y() - tip.height() - 4);
    }
  }
  tip.move(place);
  tip.update();
  tip.show();
  tip.hideTimer_->start(showMs);
}

void SkinTip::HideTip(const QWidget* owner) {
  SkinTip* tip = Current();
  if (tip != nullptr && tip->owner_ == owner) {
    tip->hideTimer_->stop();
    tip->close();
  }
}

SkinTip* SkinTip::Visible() {
  SkinTip* tip = Current();
  return tip != nullptr && tip->isVisible() ? tip : nullptr;
}

QSize SkinTip::sizeHint() const {
  const QFontMetrics metrics(font());
  return QSize(metrics.horizontalAdvance(text_) + 2 * kPadX, metrics.height() + 2 * kPadY);
}

void SkinTip::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(kBorder);
  painter.setBrush(kFill);
  painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), kRadius, kRadius);
  painter.setPen(kText);
  painter.drawText(rect(), Qt::AlignCenter, text_);
}
