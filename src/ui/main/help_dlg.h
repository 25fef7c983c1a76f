#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

class QTextBrowser;

// The help window: the local help pages ("index.html", "setupwizard.html")
// in a text browser. Links whose target begins with "app:" (in any letter
// case) are commands to the application instead of pages: "Minimise"
// minimises the main window, "Beep" sounds the system's bell, anything else
// is shown in a message box titled "Unexpected Command". Closing the window
// only hides it.
class AHelpDlg : public QDialog {
  Q_OBJECT
 public:
  // `mainWindow` is what "Minimise" minimises; without one, the top-level
  // window titled "Auralith".
  explicit AHelpDlg(QWidget* mainWindow = nullptr, QWidget* parent = nullptr);

  // Shows the page of that file name from the first help folder that has
  // it, then shows the window.
  void ShowHelpPage(const QString& page);

  // The folders searched for the pages, in order: "help" beside the
  // executable, "help" in the program's installed data folder, the data
  // folders of the desktop, the source tree's pages.
  static QStringList HelpFolders();

  // The command of an "app:" link (what follows the prefix), or nothing for
  // an ordinary link.
  static std::optional<QString> AppCommandOf(const QUrl& target);

  QTextBrowser* Browser() const { return browser_; }

  static constexpr int kWindowSize = 450;

 private:
  void OnLink(const QUrl& target);
  void RunAppCommand(const QString& command);

  QWidget* mainWindow_;
  QTextBrowser* browser_;
};
