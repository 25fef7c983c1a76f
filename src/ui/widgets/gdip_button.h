#pragma once

#include <QAbstractButton>
#include <QPoint>
#include <QString>
#include <QTimer>

#include "ui/widgets/image_holder.h"

// The image button of every skinned surface. With a normal and an
// alternate image it is a two-state button: grey (normal) or lit
// (alternate), flipping its look at each click unless its owner sets the
// look itself. With a normal image only it is a plain button that shows the
// surface beneath it and its image only while held down.
//
// Look by state:            released            pressed
//   plain, not lit          parent shows        normal image
//   plain, lit              alternate image     normal image
//   toggle, not lit         normal image        normal image
//   toggle, lit             alternate image     normal image
//
// A tooltip appears after the mouse has rested on the button for
// kTipDelayMs; a double-click counts as two clicks.
class CGdipButton : public QAbstractButton {
  Q_OBJECT
 public:
  static constexpr int kTipDelayMs = 2000;
  // How long a shown tooltip stays up, as for the platform's tooltips.
  static constexpr int kTipShowMs = 10 * kTipDelayMs;

  explicit CGdipButton(QWidget* parent = nullptr);
  ~CGdipButton() override;

  // Normal and alternate image: the button becomes a two-state button.
  // Returns whether both pictures loaded.
  bool SetButtonImages(int normalNumber, int alternateNumber);
  // Normal image only: the button stays a plain button.
  bool SetButtonImage(int normalNumber);
  // An empty text changes nothing.
  void SetButtonTip(const QString& text);

  bool IsLit() const { return isLit_; }
  void SetLit(bool lit);
  bool ToggleMode() const { return toggleMode_; }
  bool HasAltImage() const { return hasAltImage_; }
  bool IsHovering() const { return isHovering_; }
  QString ButtonTip() const { return tipText_; }

  // The picture the button draws in its current state, or null when the
  // surface beneath shows through.
  const ImageHolder* CurrentImage() const;

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void ShowTip();
  void HideTip();

  bool hasAltImage_ = false;
  bool toggleMode_ = false;
  bool isHovering_ = false;
  bool isLit_ = false;
  ImageHolder normalImage_;
  ImageHolder altImage_;
  QString tipText_;
  QTimer tipTimer_;
  QPoint lastMousePos_;
};
