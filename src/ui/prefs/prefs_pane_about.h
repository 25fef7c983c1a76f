#pragma once

#include "ui/prefs/prefs_context.h"

#include <QWidget>

class AStaticImage;
class CGdipButton;
class QCheckBox;
class QLabel;

namespace auralith::ui {

// The "About" tab: the logo, the product name, the version, one line about
// the product, a banner that opens the maker's home page and the check box
// that makes Auralith start at login (the autostart entry of
// app/login_start.h; it shows whether the entry exists).
class APrefsPaneAbout : public QWidget {
  Q_OBJECT
 public:
  explicit APrefsPaneAbout(PrefsContext& context, QWidget* parent = nullptr);

  // "Version " and the program's own version.
  static QString VersionLine();

  QCheckBox* StartAtLoginBox() const { return startAtLogin_; }

 protected:
  // The entry may have been switched from the command line meanwhile.
  void showEvent(QShowEvent* event) override;

 private:
  void OpenHomePage();
  void OnStartAtLoginClicked(bool on);

  AStaticImage* logo_ = nullptr;
  AStaticImage* banner_ = nullptr;
  CGdipButton* link_ = nullptr;
  QCheckBox* startAtLogin_ = nullptr;
};

}  // namespace auralith::ui
