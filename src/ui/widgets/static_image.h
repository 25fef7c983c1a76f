#pragma once

#include <QString>
#include <QWidget>

#include "ui/widgets/image_holder.h"

// A picture on a skinned surface (the about pane's logo and banner, the
// profile pictures). It paints only its picture; everywhere else the parent
// shows through, so no copy of the parent's background is needed.
class AStaticImage : public QWidget {
  Q_OBJECT
 public:
  explicit AStaticImage(QWidget* parent = nullptr);

  // Shows the picture file at `path`; an empty path empties the control.
  void SetImage(const QString& path);
  // Shows a picture from its encoded bytes (a model picture being browsed).
  void SetImageData(const QByteArray& bytes);
  // Shows picture `number` of the resources.
  bool SetImageResource(int number);

  const ImageHolder& Holder() const { return holder_; }
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  ImageHolder holder_;
};
