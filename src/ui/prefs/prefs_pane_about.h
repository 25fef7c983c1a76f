#pragma once

#include "ui/prefs/prefs_context.h"

#include <QWidget>

class AStaticImage;
class CGdipButton;
class QLabel;

namespace auralith::ui {

// The "About" tab: the logo, the product name, the version, one line about
// the product and a banner that opens the maker's home page.
class APrefsPaneAbout : public QWidget {
  Q_OBJECT
 public:
  explicit APrefsPaneAbout(PrefsContext& context, QWidget* parent = nullptr);

  // "Version " and the program's own version.
  static QString VersionLine();

 private:
  void OpenHomePage();

  AStaticImage* logo_ = nullptr;
  AStaticImage* banner_ = nullptr;
  CGdipButton* link_ = nullptr;
};

}  // namespace auralith::ui
