#pragma once

#include "ui/widgets/gdip_button.h"
#include "ui/widgets/image_holder.h"

#include <QPoint>
#include <QWidget>

#include <array>

// The skinned main window: a frameless picture whose opaque part is the
// window's shape, nine image buttons on it, moved by dragging any point
// that is not a button. It knows nothing of what the buttons do: every
// click reaches OnCommand with the button's id.

namespace auralith::ui {

struct SkinButtonPlace {
  int id;
  int normalImage;
  int alternateImage;  // 0: a plain button with its normal image only
  int tipString;
  QRect rect;
};

// The nine buttons, in id order.
extern const std::array<SkinButtonPlace, 9> kSkinButtons;

class SkinWindow : public QWidget {
  Q_OBJECT
 public:
  explicit SkinWindow(QWidget* parent = nullptr);
  ~SkinWindow() override;

  // Loads the background and the buttons' pictures, shapes the window and
  // places the buttons. Called once, during the controller's start-up.
  void SetUpSkin();
  // Lets the pictures go (the orderly shutdown).
  void ReleaseSkin();

  // The button of id 1001 to 1009, or null.
  CGdipButton* Button(int id) const;
  void SetButtonLit(int id, bool lit);
  // The power button's lit picture: 141, or 198 while K.I.R.O is in force.
  void SetPowerAlternateImage(int imageNumber);
  int PowerAlternateImage() const { return powerAlternate_; }

  const ImageHolder& Background() const { return background_; }

  // Refuses a request to show while ShowAllowed() is false.
  void setVisible(bool visible) override;

 protected:
  // A button was clicked.
  virtual void OnCommand(int id) = 0;
  // The window's close request (from the platform, not the close button).
  virtual void OnCloseRequest() = 0;
  // The visibility gate.
  virtual bool ShowAllowed() const { return true; }

  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  ImageHolder background_;
  std::array<CGdipButton*, 9> buttons_{};
  int powerAlternate_ = 0;
  bool dragging_ = false;
  QPoint dragOffset_;
};

// Enter and Escape do nothing on the main window: no key closes it.
bool IsSwallowedKey(int key);

}  // namespace auralith::ui
