#include <QApplication>
#include <QEnterEvent>
#include <QEventLoop>
#include <QPainter>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include <array>
#include <memory>

#include "tools/gallery/gallery.h"
#include "ui/widgets/gdip_button.h"
#include "ui/widgets/image_holder.h"
#include "ui/widgets/resources/ui_resources.h"
#include "ui/widgets/resources/ui_strings.h"
#include "ui/widgets/skin_tip.h"
#include "ui/widgets/static_image.h"

namespace {

// The main window's buttons as the skin places them.
struct SkinButton {
  int normal;
  int alternate;  // 0: a plain button
  int tip;
  QRect place;
};

constexpr int kClose = 0;
constexpr int kPower = 3;
constexpr int kBuiltIn = 4;
constexpr int kDesktop = 5;
constexpr int kHeadphones = 6;
constexpr int kMusic = 7;
constexpr int kMovie = 8;

const std::array<SkinButton, 9> kSkin = {{
    {133, 0, 135, QRect(4, 3, 19, 19)},
    {138, 0, 136, QRect(4, 30, 19, 20)},
    {139, 0, 137, QRect(4, 57, 19, 19)},
    {142, 141, 143, QRect(281, 16, 190, 190)},
    {151, 152, 150, QRect(47, 34, 58, 58)},
    {153, 154, 151, QRect(121, 34, 58, 58)},
    {149, 150, 152, QRect(194, 34, 58, 58)},
    {147, 144, 148, QRect(60, 139, 57, 58)},
    {145, 146, 149, QRect(181, 139, 58, 58)},
}};

// A frameless window showing a picture and shaped by the picture's alpha.
class ShapedWindow : public QWidget {
 public:
  explicit ShapedWindow(const ImageHolder& picture) : QWidget(nullptr, Qt::FramelessWindowHint), picture_(picture) {
    resize(picture_.Size());
    setMask(picture_.RegionFromAlpha());
  }

  const ImageHolder& Picture() const { return picture_; }

 protected:
  void paintEvent(QPaintEvent* /*event*/) override {
    QPainter painter(this);
    picture_.DrawImageCentered(painter, QRect());
  }

 private:
  ImageHolder picture_;
};

// A stand-in for the main window: its picture, its shape and its buttons.
class SkinPreview : public ShapedWindow {
 public:
  explicit SkinPreview(const ImageHolder& background) : ShapedWindow(background) {
    for (std::size_t i = 0; i < kSkin.size(); ++i) {
      auto* button = new CGdipButton(this);
      if (kSkin[i].alternate != 0) {
        button->SetButtonImages(kSkin[i].normal, kSkin[i].alternate);
      } else {
        button->SetButtonImage(kSkin[i].normal);
      }
      button->SetButtonTip(UiString(kSkin[i].tip));
      button->setGeometry(kSkin[i].place);
      buttons_[i] = button;
    }
  }

  CGdipButton* Button(int index) const { return buttons_[static_cast<std::size_t>(index)]; }

  // Lights one category and one content button and sets the power look.
  void Show(int category, int content, bool on, bool kiro) {
    for (int i = kBuiltIn; i <= kMovie; ++i) {
      Button(i)->SetLit(i == category || i == content);
    }
    Button(kPower)->SetButtonImages(image_id::kPowerOff, kiro ? image_id::kPowerKiro : image_id::kPowerOn);
    Button(kPower)->SetLit(on);
  }

 private:
  std::array<CGdipButton*, 9> buttons_{};
};

// The window as the screen shows it: only the shape, over a checkerboard.
QImage ShapedShot(QWidget& window, const QRegion& shape, int margin) {
  const QPixmap grab = window.grab();
  QImage shot(grab.size() + QSize(2 * margin, 2 * margin), QImage::Format_ARGB32_Premultiplied);
  QPainter painter(&shot);
  PaintCheckerboard(painter, shot.rect());
  painter.setClipRegion(shape.translated(margin, margin));
  painter.drawPixmap(margin, margin, grab);
  return shot;
}

void Wait(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

void WriteSkinShots(const QDir& dir, const ImageHolder& background, GalleryReport& report) {
  SkinPreview skin(background);
  // Away from where the platform keeps its mouse pointer, so no button
  // gets hovered by accident.
  skin.move(300, 300);
  skin.show();
  const QRegion shape = skin.mask();

  skin.Show(kBuiltIn, kMusic, false, false);
  report.Save(ShapedShot(skin, shape, 12), dir, QStringLiteral("skin-off.png"));
  skin.Show(kDesktop, kMovie, true, false);
  report.Save(ShapedShot(skin, shape, 12), dir, QStringLiteral("skin-on.png"));
  skin.Show(kHeadphones, kMusic, true, true);
  report.Save(ShapedShot(skin, shape, 12), dir, QStringLiteral("skin-kiro.png"));

  // One button in each look: the left part of the window, with the
  // headphones button and the close button.
  const QRect corner(0, 0, 270, 118);
  skin.Show(-1, kMusic, false, false);
  report.Save(skin.grab(corner).toImage(), dir, QStringLiteral("button-normal.png"));
  skin.Button(kHeadphones)->SetLit(true);
  report.Save(skin.grab(corner).toImage(), dir, QStringLiteral("button-lit.png"));
  skin.Button(kHeadphones)->setDown(true);
  skin.Button(kClose)->setDown(true);
  report.Save(skin.grab(corner).toImage(), dir, QStringLiteral("button-pressed.png"));
  skin.Button(kHeadphones)->setDown(false);
  skin.Button(kClose)->setDown(false);

  // Hover over the headphones button and wait for its tooltip.
  CGdipButton* hovered = skin.Button(kHeadphones);
  const QPointF inside(29, 40);
  QEnterEvent enter(inside, hovered->mapTo(&skin, inside), hovered->mapToGlobal(inside));
  QApplication::sendEvent(hovered, &enter);
  Wait(CGdipButton::kTipDelayMs + 300);
  QWidget* tip = SkinTip::Visible();
  if (tip == nullptr) {
    report.Fail(QStringLiteral("no tooltip after hovering over a button"));
    return;
  }
  const QPoint tipPlace = tip->mapToGlobal(QPoint(0, 0)) - skin.mapToGlobal(QPoint(0, 0));
  const QRect canvas = QRect(QPoint(0, 0), skin.size()).united(QRect(tipPlace, tip->size())).adjusted(-12, -12, 12, 12);
  QImage shot(canvas.size(), QImage::Format_ARGB32_Premultiplied);
  QPainter painter(&shot);
  PaintCheckerboard(painter, shot.rect());
  painter.translate(-canvas.topLeft());
  painter.setClipRegion(shape);
  painter.drawPixmap(0, 0, skin.grab());
  painter.setClipping(false);
  painter.drawPixmap(tipPlace, tip->grab());
  painter.end();
  report.Save(shot, dir, QStringLiteral("button-hovered-tooltip.png"));
}

void WriteStaticImageShot(const QDir& dir, GalleryReport& report) {
  // A pane-coloured surface with the banner squeezed into 200 x 80 and
  // centred in 300 x 100, and the logo in its own size.
  QWidget pane;
  pane.setAutoFillBackground(true);
  QPalette palette = pane.palette();
  palette.setColor(QPalette::Window, QColor(0x20, 0x23, 0x29));
  pane.setPalette(palette);
  pane.resize(700, 200);
  const std::array<std::pair<int, QRect>, 3> places = {{
      {image_id::kBanner, QRect(20, 80, 200, 80)},
      {image_id::kBanner, QRect(250, 70, 300, 100)},
      {image_id::kLogo, QRect(20, 16, 330, 50)},
  }};
  std::vector<std::unique_ptr<AStaticImage>> images;
  for (const auto& [number, place] : places) {
    auto image = std::make_unique<AStaticImage>(&pane);
    if (!image->SetImageResource(number)) {
      report.Fail(QStringLiteral("picture %1 does not load").arg(number));
    }
    image->setGeometry(place);
    images.push_back(std::move(image));
  }
  pane.show();
  QImage shot = pane.grab().toImage();
  QPainter painter(&shot);
  painter.setPen(QPen(QColor(0x38, 0xc4, 0xff, 160), 1, Qt::DashLine));
  for (const auto& place : places) {
    painter.drawRect(place.second.adjusted(0, 0, -1, -1));
  }
  painter.end();
  report.Save(shot, dir, QStringLiteral("static-image.png"));
}

void WriteShapedWindowShot(const QDir& dir, const ImageHolder& background, GalleryReport& report) {
  ShapedWindow window(background);
  window.show();
  report.Save(ShapedShot(window, window.mask(), 16), dir, QStringLiteral("shaped-window.png"));
}

}  // namespace

void WriteWidgetShots(const QDir& dir, GalleryReport& report) {
  WriteStaticImageShot(dir, report);
  ImageHolder background;
  if (!background.LoadImageResource(image_id::kMainBackground)) {
    report.Fail(QStringLiteral("the main window's picture does not load"));
    return;
  }
  WriteSkinShots(dir, background, report);
  WriteShapedWindowShot(dir, background, report);
}
