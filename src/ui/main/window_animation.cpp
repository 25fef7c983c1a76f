#include "ui/main/window_animation.h"

#include <QPointer>
#include <QVariantAnimation>
#include <QWidget>

namespace auralith::ui {
namespace {

// Moves the window's top-left corner between `from` and `to` and its
// opacity between the two values; `finished` runs at the end.
void Animate(QWidget& window, QPoint from, QPoint to, qreal opacityFrom, qreal opacityTo,
             std::function<void(QWidget&)> finished) {
  auto* animation = new QVariantAnimation(&window);
  animation->setDuration(kTrayAnimationMs);
  animation->setStartValue(0.0);
  animation->setEndValue(1.0);
  QPointer<QWidget> target(&window);
  QObject::connect(animation, &QVariantAnimation::valueChanged, &window, [=](const QVariant& value) {
    if (!target) return;
    const qreal t = value.toReal();
    target->move(from + (to - from) * t);
    target->setWindowOpacity(opacityFrom + (opacityTo - opacityFrom) * t);
  });
  QObject::connect(animation, &QVariantAnimation::finished, &window, [=] {
    if (target) finished(*target);
  });
  animation->start(QAbstractAnimation::DeleteWhenStopped);
}

QPoint CornerAt(const QWidget& window, const QRect& trayIcon) {
  return trayIcon.center() - QPoint(window.width() / 2, window.height() / 2);
}

}  // namespace

void HideToward(QWidget& window, const QRect& trayIcon) {
  if (!window.isVisible()) return;
  if (trayIcon.isEmpty()) {
    window.hide();
    return;
  }
  const QPoint home = window.pos();
  Animate(window, home, CornerAt(window, trayIcon), 1.0, 0.0, [home](QWidget& w) {
    w.hide();
    // The window keeps its place for the next time it is shown.
    w.move(home);
    w.setWindowOpacity(1.0);
  });
}

void ShowFrom(QWidget& window, const QRect& trayIcon) {
  if (trayIcon.isEmpty()) {
    window.show();
    window.raise();
    return;
  }
  const QPoint home = window.pos();
  window.move(CornerAt(window, trayIcon));
  window.setWindowOpacity(0.0);
  window.show();
  window.raise();
  Animate(window, CornerAt(window, trayIcon), home, 0.0, 1.0, [home](QWidget& w) {
    w.move(home);
    w.setWindowOpacity(1.0);
  });
}

}  // namespace auralith::ui
