#pragma once

#include <QPoint>
#include <QPointer>
#include <QString>
#include <QWidget>

// The tooltip of the skinned surfaces: a small dark, rounded label drawn
// in the skin's colours whatever the application's style. One tip exists
// at a time, shared by every image button.
class SkinTip : public QWidget {
  Q_OBJECT
 public:
  // Shows `text` just below and right of `globalPos` for `owner`,
  // replacing any tip that is up; it hides itself after `showMs`.
  static void ShowTip(QWidget* owner, const QPoint& globalPos, const QString& text, int showMs);
  // Puts the tip away when it belongs to `owner`.
  static void HideTip(const QWidget* owner);

  // The tip that is up, or null.
  static SkinTip* Visible();

  QString Text() const { return text_; }
  QWidget* Owner() const { return owner_; }
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  SkinTip();
  // The tip that exists; each one deletes itself once it is put away.
  static QPointer<SkinTip>& Current();

  QString text_;
  QPointer<QWidget> owner_;
  class QTimer* hideTimer_;
};
