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
  // A new animation takes over from one under way, which then never
  // finishes (a hide interrupted by a show does not hide).
  const QString name = QStringLiteral("auralithTrayAnimation");
  for (QVariantAnimation* running : window.findChildren<QVariantAnimation*>(name, Qt::FindDirectChildrenOnly))
    running->stop();
  auto* animation = new QVariantAnimation(&window);
  animation->setObjectName(name);
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

// Where the window stood before it went into the tray.
constexpr const char* kHomeProperty = "auralithHome";

QPoint CornerAt(const QWidget& window, const QRect& trayIcon) {
  return trayIcon.center() - QPoint(window.width() / 2, window.height() / 2);
}

}  // namespace

void HideToward(QWidget& window, const QRect& trayIcon) {
  if (!window.isVisible()) return;
  // The platform may still report positions of the way there after the
  // window is hidden, so the place is kept here and taken up at the next
  // show.
  if (!window.property(kHomeProperty).isValid()) window.setProperty(kHomeProperty, window.pos());
  if (trayIcon.isEmpty()) {
    window.hide();
    return;
  }
  const QPoint home = window.property(kHomeProperty).toPoint();
  Animate(window, home, CornerAt(window, trayIcon), 1.0, 0.0, [](QWidget& w) {
    w.hide();
    w.setWindowOpacity(1.0);
  });
}

void ShowFrom(QWidget& window, const QRect& trayIcon) {
  const QVariant kept = window.property(kHomeProperty);
  const QPoint home = kept.isValid() ? kept.toPoint() : window.pos();
  window.setProperty(kHomeProperty, QVariant());
  if (trayIcon.isEmpty()) {
    window.move(home);
    window.setWindowOpacity(1.0);
    window.show();
    window.raise();
    return;
  }
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
