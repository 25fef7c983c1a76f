#include "ui/main/skin_window.h"

#include "ui/main/window_commands.h"
#include "ui/widgets/resources/ui_resources.h"
#include "ui/widgets/resources/ui_strings.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

namespace auralith::ui {

namespace ids = command_id;
namespace img = image_id;

const std::array<SkinButtonPlace, 9> kSkinButtons = {{
    {ids::kClose, img::kCloseButton, 0, 135, QRect(4, 3, 19, 19)},
    {ids::kInfo, img::kInfoButton, 0, 136, QRect(4, 30, 19, 20)},
    {ids::kPreferencesButton, img::kPreferencesButton, 0, 137, QRect(4, 57, 19, 19)},
    {ids::kPower, img::kPowerOff, img::kPowerOn, 143, QRect(281, 16, 190, 190)},
    {ids::kBuiltInButton, img::kBuiltInSpeakers, img::kBuiltInSpeakersLit, 150, QRect(47, 34, 58, 58)},
    {ids::kDesktopButton, img::kDesktopSpeakers, img::kDesktopSpeakersLit, 151, QRect(121, 34, 58, 58)},
    {ids::kHeadphonesButton, img::kHeadphones, img::kHeadphonesLit, 152, QRect(194, 34, 58, 58)},
    {ids::kMusicButton, img::kMusic, img::kMusicLit, 148, QRect(60, 139, 57, 58)},
    {ids::kMovieButton, img::kMovie, img::kMovieLit, 149, QRect(181, 139, 58, 58)},
}};

bool IsSwallowedKey(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape; }

SkinWindow::SkinWindow(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
  setAttribute(Qt::WA_TranslucentBackground, false);
  // The dialog template's size until the picture says otherwise.
  resize(489, 220);
  for (std::size_t i = 0; i < kSkinButtons.size(); ++i) {
    const SkinButtonPlace& place = kSkinButtons[i];
    auto* button = new CGdipButton(this);
    button->setObjectName(QStringLiteral("button%1").arg(place.id));
    // Keyboard users reach the buttons with Tab and press them with Space.
    button->setFocusPolicy(Qt::TabFocus);
    button->installEventFilter(this);
    connect(button, &QAbstractButton::clicked, this, [this, id = place.id] { OnCommand(id); });
    buttons_[i] = button;
  }
}

SkinWindow::~SkinWindow() = default;

void SkinWindow::SetUpSkin() {
  if (background_.LoadImageResource(img::kMainBackground)) {
    resize(background_.Size());
    setFixedSize(background_.Size());
    setMask(background_.RegionFromAlpha());
  }
  for (std::size_t i = 0; i < kSkinButtons.size(); ++i) {
    const SkinButtonPlace& place = kSkinButtons[i];
    CGdipButton* button = buttons_[i];
    if (place.alternateImage != 0) {
      button->SetButtonImages(place.normalImage, place.alternateImage);
    } else {
      button->SetButtonImage(place.normalImage);
    }
    const QString tip = UiString(place.tipString);
    button->SetButtonTip(tip);
    button->setAccessibleName(tip);
    button->setGeometry(place.rect);
  }
  powerAlternate_ = img::kPowerOn;
  update();
}

void SkinWindow::ReleaseSkin() {
  // The buttons' pictures go with the buttons, which go with the window.
  background_.Clear();
  update();
}

CGdipButton* SkinWindow::Button(int id) const {
  for (std::size_t i = 0; i < kSkinButtons.size(); ++i)
    if (kSkinButtons[i].id == id) return buttons_[i];
  return nullptr;
}

void SkinWindow::SetButtonLit(int id, bool lit) {
  if (CGdipButton* button = Button(id)) button->SetLit(lit);
}

void SkinWindow::SetPowerAlternateImage(int imageNumber) {
  if (imageNumber == powerAlternate_) return;
  powerAlternate_ = imageNumber;
  if (CGdipButton* power = Button(ids::kPower)) {
    const bool lit = power->IsLit();
    power->SetButtonImages(img::kPowerOff, imageNumber);
    power->SetLit(lit);
  }
}

void SkinWindow::setVisible(bool visible) {
  if (visible && !ShowAllowed()) return;
  QWidget::setVisible(visible);
}

void SkinWindow::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  background_.DrawImageCentered(painter, QRect());
}

void SkinWindow::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  // Wayland lets no client place its own window: the compositor moves it.
  // Elsewhere the window follows the mouse itself; X11 without a window
  // manager accepts the system move request and then nobody carries it out.
  if (QGuiApplication::platformName() == QLatin1String("wayland") && windowHandle() &&
      windowHandle()->startSystemMove())
    return;
  dragging_ = true;
  dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void SkinWindow::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_ && (event->buttons() & Qt::LeftButton)) move(event->globalPosition().toPoint() - dragOffset_);
}

void SkinWindow::mouseReleaseEvent(QMouseEvent* event) {
  dragging_ = false;
  QWidget::mouseReleaseEvent(event);
}

void SkinWindow::keyPressEvent(QKeyEvent* event) {
  if (IsSwallowedKey(event->key())) {
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

bool SkinWindow::eventFilter(QObject* watched, QEvent* event) {
  if ((event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) &&
      IsSwallowedKey(static_cast<QKeyEvent*>(event)->key()))
    return true;
  return QWidget::eventFilter(watched, event);
}

void SkinWindow::closeEvent(QCloseEvent* event) {
  event->ignore();
  OnCloseRequest();
}

}  // namespace auralith::ui
