#include "ui/main/info_dlg.h"

#include "ui/widgets/resources/ui_resources.h"
#include "ui/widgets/static_image.h"

namespace {

constexpr const char* kInfoTitle = "Auralith Info";
// Where the picture sits inside the window; the rest of the extra size is
// margin below and to the right.
constexpr int kPictureLeft = 15;
constexpr int kPictureTop = 20;

}  // namespace

AInfoDlg::AInfoDlg(QWidget* parent) : QDialog(parent), picture_(new AStaticImage(this)) {
  setWindowTitle(QString::fromLatin1(kInfoTitle));
  setAccessibleName(QString::fromLatin1(kInfoTitle));
  setWindowIcon(LoadIconResource(icon_id::kApplication));
  setModal(false);

  picture_->SetImageResource(image_id::kInfoPicture);
  const QSize picture = picture_->Holder().Size();
  picture_->setAccessibleName(QStringLiteral("What the main window's buttons do"));
  picture_->setGeometry(QRect(QPoint(kPictureLeft, kPictureTop), picture));
  setFixedSize(picture.width() + kExtraWidth, picture.height() + kExtraHeight);
}
