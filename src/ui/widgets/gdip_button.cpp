#include "ui/widgets/gdip_button.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>

#include "ui/widgets/skin_tip.h"

CGdipButton::CGdipButton(QWidget* parent) : QAbstractButton(parent) {
  setAutoFillBackground(false);
  setAttribute(Qt::WA_NoSystemBackground);
  setMouseTracking(true);
  setFocusPolicy(Qt::NoFocus);
  tipTimer_.setSingleShot(true);
  // A coarse timer may fire up to 5 % early; the delay is a promise.
  tipTimer_.setTimerType(Qt::PreciseTimer);
  tipTimer_.setInterval(kTipDelayMs);
  connect(&tipTimer_, &QTimer::timeout, this, &CGdipButton::ShowTip);
  // Connected before any owner's handler, so an owner that sets the look
  // after a click has the last word.
  connect(this, &QAbstractButton::clicked, this, [this] {
    if (toggleMode_) {
      SetLit(!isLit_);
    }
  });
}

CGdipButton::~CGdipButton() { SkinTip::HideTip(this); }

bool CGdipButton::SetButtonImages(int normalNumber, int alternateNumber) {
  const bool normalLoaded = normalImage_.LoadImageResource(normalNumber);
  hasAltImage_ = true;
  const bool altLoaded = altImage_.LoadImageResource(alternateNumber);
  toggleMode_ = true;
  updateGeometry();
  update();
  return normalLoaded && altLoaded;
}

bool CGdipButton::SetButtonImage(int normalNumber) {
  const bool loaded = normalImage_.LoadImageResource(normalNumber);
  updateGeometry();
  update();
  return loaded;
}

void CGdipButton::SetButtonTip(const QString& text) {
  if (text.isEmpty()) {
    return;
  }
  tipText_ = text;
}

void CGdipButton::SetLit(bool lit) {
  if (isLit_ != lit) {
    isLit_ = lit;
    update();
  }
}

const ImageHolder* CGdipButton::CurrentImage() const {
  if (isDown()) {
    return &normalImage_;
  }
  if (isLit_) {
    return &altImage_;
  }
  if (toggleMode_) {
    return &normalImage_;
  }
  return nullptr;
}

QSize CGdipButton::sizeHint() const { return normalImage_.IsEmpty() ? QSize(16, 16) : normalImage_.Size(); }

void CGdipButton::paintEvent(QPaintEvent* /*event*/) {
  const ImageHolder* image = CurrentImage();
  if (image == nullptr) {
    return;
  }
  QPainter painter(this);
  image->DrawImageCentered(painter, rect());
}

void CGdipButton::enterEvent(QEnterEvent* event) {
  isHovering_ = true;
  lastMousePos_ = event->position().toPoint();
  if (!tipText_.isEmpty()) {
    tipTimer_.start();
  }
  update();
  QAbstractButton::enterEvent(event);
}

void CGdipButton::leaveEvent(QEvent* event) {
  isHovering_ = false;
  HideTip();
  update();
  QAbstractButton::leaveEvent(event);
}

void CGdipButton::mouseMoveEvent(QMouseEvent* event) {
  lastMousePos_ = event->position().toPoint();
  // The tooltip waits for the mouse to rest.
  if (tipTimer_.isActive()) {
    tipTimer_.start();
  }
  QAbstractButton::mouseMoveEvent(event);
}

void CGdipButton::mousePressEvent(QMouseEvent* event) {
  HideTip();
  QAbstractButton::mousePressEvent(event);
}

void CGdipButton::mouseDoubleClickEvent(QMouseEvent* event) {
  // The second press of a double-click is a press like the first, so a
  // double-click gives two clicks.
  mousePressEvent(event);
}

void CGdipButton::ShowTip() {
  if (tipText_.isEmpty()) {
    return;
  }
  SkinTip::ShowTip(this, mapToGlobal(lastMousePos_), tipText_, kTipShowMs);
}

void CGdipButton::HideTip() {
  tipTimer_.stop();
  SkinTip::HideTip(this);
}
