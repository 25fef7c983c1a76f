#include "ui/widgets/static_image.h"

#include <QPainter>

AStaticImage::AStaticImage(QWidget* parent) : QWidget(parent) {
  // Never fill the background: the parent's pixels are the background.
  setAutoFillBackground(false);
  setAttribute(Qt::WA_NoSystemBackground);
}

void AStaticImage::SetImage(const QString& path) {
  if (path.isEmpty()) {
    holder_.Clear();
  } else {
    holder_.LoadImageFile(path);
  }
  update();
}

void AStaticImage::SetImageData(const QByteArray& bytes) {
  holder_.LoadImageData(bytes);
  update();
}

bool AStaticImage::SetImageResource(int number) {
  const bool loaded = holder_.LoadImageResource(number);
  update();
  return loaded;
}

QSize AStaticImage::sizeHint() const { return holder_.IsEmpty() ? QWidget::sizeHint() : holder_.Size(); }

void AStaticImage::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  holder_.DrawImageCentered(painter, rect());
}
