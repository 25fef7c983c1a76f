#pragma once

#include <QDialog>

class AStaticImage;

// The info window: one picture explaining the main window's buttons. The
// main window creates it hidden at start-up and shows it from its "Info"
// button; closing it only hides it. The window is the picture's size plus
// 30 pixels in width and 60 in height.
class AInfoDlg : public QDialog {
  Q_OBJECT
 public:
  explicit AInfoDlg(QWidget* parent = nullptr);

  AStaticImage* Picture() const { return picture_; }

  static constexpr int kExtraWidth = 30;
  static constexpr int kExtraHeight = 60;

 private:
  AStaticImage* picture_;
};
