#pragma once

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QRegion>
#include <QString>

#include <vector>

class QPainter;

// One decoded PNG picture with alpha: loaded once from the compiled-in
// resources or from a file, drawn centred into rectangles, and read pixel by
// pixel to shape windows. Copying a holder is cheap (the pixels are shared),
// so a widget can keep a copy of the picture it last drew.
class ImageHolder {
 public:
  // Loads picture `number` of the resources, with its rendering at twice
  // the size when there is one. An unknown number returns false and leaves
  // the holder as it was; a picture that does not decode returns false and
  // leaves the holder empty.
  bool LoadImageResource(int number);

  // Loads a picture file (profile pictures). False, and an empty holder,
  // when the file is missing or does not decode.
  bool LoadImageFile(const QString& path);
  // The same for a picture that came over the network.
  bool LoadImageData(const QByteArray& bytes);

  // Draws the picture centred in `rect`; larger than the rectangle, it is
  // squeezed to the rectangle in that direction. On a device of pixel ratio
  // above 1 the double-size rendering is drawn into the same place. An all-zero rectangle
  // stands for the picture's own size at (0, 0). Always true.
  bool DrawImageCentered(QPainter& painter, const QRect& rect) const;

  // The window shape of the picture: every pixel with alpha above 250.
  QRegion RegionFromAlpha() const;

  void Clear();
  bool IsEmpty() const { return image_.isNull(); }
  QSize Size() const { return image_.size(); }
  const QImage& Image() const { return image_; }
  // The double-size rendering (null when there is none).
  const QImage& Image2x() const { return image2x_; }

 private:
  bool Decode(QImage decoded);

  QImage image_;
  QImage image2x_;
};

// Where DrawImageCentered puts a picture of `imageSize` for `rect`.
QRect CenteredImageRect(const QSize& imageSize, const QRect& rect);

// The opaque runs of each row, top to bottom and left to right, one pixel
// high each; the rectangles RegionFromAlpha is made of.
std::vector<QRect> OpaqueRuns(const QImage& image);

// Alpha above this value counts as part of the shape; the softened edges
// of a picture stay outside it.
inline constexpr int kOpaqueAlphaThreshold = 250;
