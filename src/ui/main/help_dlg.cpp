#include "ui/main/help_dlg.h"

#include "profiles/installed_folder.h"
#include "ui/widgets/resources/ui_resources.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTextBrowser>

namespace {

constexpr const char* kHelpTitle = "Help";
constexpr const char* kHelpFolderName = "help";
constexpr const char* kAppPrefix = "app:";
constexpr const char* kMainWindowTitle = "Auralith";

QWidget* FindMainWindow() {
  for (QWidget* window : QApplication::topLevelWidgets())
    if (window->windowTitle() == QLatin1String(kMainWindowTitle)) return window;
  return nullptr;
}

}  // namespace

AHelpDlg::AHelpDlg(QWidget* mainWindow, QWidget* parent)
    : QDialog(parent), mainWindow_(mainWindow), browser_(new QTextBrowser(this)) {
  setWindowTitle(QString::fromLatin1(kHelpTitle));
  setAccessibleName(QString::fromLatin1(kHelpTitle));
  setWindowIcon(LoadIconResource(icon_id::kApplication));
  setModal(false);

  browser_->setAccessibleName(QStringLiteral("Help page"));
  browser_->setSearchPaths(HelpFolders());
  // Every link comes to OnLink first, so "app:" targets never navigate.
  browser_->setOpenLinks(false);
  connect(browser_, &QTextBrowser::anchorClicked, this, &AHelpDlg::OnLink);
  browser_->setGeometry(0, 0, kWindowSize, kWindowSize);
  resize(kWindowSize, kWindowSize);
}

QStringList AHelpDlg::HelpFolders() {
  QStringList folders;
  folders << QDir(QCoreApplication::applicationDirPath()).filePath(QString::fromLatin1(kHelpFolderName));
  // Installed beside the program's own data, under any prefix.
  if (const std::string data = auralith::profiles::InstalledDataFolder(); !data.empty())
    folders << QDir(QString::fromStdString(data)).filePath(QString::fromLatin1(kHelpFolderName));
  const QString installed = QStringLiteral("auralith/") + QString::fromLatin1(kHelpFolderName);
  for (const QString& data : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
    folders << QDir(data).filePath(installed);
#ifdef AURALITH_SOURCE_HELP_DIR
  folders << QStringLiteral(AURALITH_SOURCE_HELP_DIR);
#endif
  return folders;
}

void AHelpDlg::ShowHelpPage(const QString& page) {
  QString found;
  for (const QString& folder : HelpFolders()) {
    const QFileInfo candidate(QDir(folder).filePath(page));
    if (candidate.isFile()) {
      found = candidate.absoluteFilePath();
      break;
    }
  }
  if (found.isEmpty()) {
    // Said plainly instead of an empty window.
    browser_->setHtml(QStringLiteral("<p>The help page %1 is not installed.</p>").arg(page.toHtmlEscaped()));
  } else {
    browser_->setSource(QUrl::fromLocalFile(found));
  }
  // The page shown, for window managers and tests that tell help windows apart.
  setWindowRole(QStringLiteral("help:") + page);
  show();
  raise();
}

std::optional<QString> AHelpDlg::AppCommandOf(const QUrl& target) {
  const QString text = target.toString(QUrl::FullyDecoded);
  if (!text.startsWith(QLatin1String(kAppPrefix), Qt::CaseInsensitive)) return std::nullopt;
  return text.mid(static_cast<qsizetype>(qstrlen(kAppPrefix)));
}

void AHelpDlg::OnLink(const QUrl& target) {
  if (const auto command = AppCommandOf(target)) return RunAppCommand(*command);
  const QUrl resolved = browser_->source().resolved(target);
  if (resolved.isLocalFile() || resolved.scheme().isEmpty()) {
    browser_->setSource(resolved);
  } else {
    QDesktopServices::openUrl(resolved);
  }
}

void AHelpDlg::RunAppCommand(const QString& command) {
  if (command == QLatin1String("Minimise")) {
    if (QWidget* window = mainWindow_ ? mainWindow_ : FindMainWindow()) window->showMinimized();
  } else if (command == QLatin1String("Beep")) {
    QApplication::beep();
  } else {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Unexpected Command"), command, QMessageBox::Ok, this);
    box.exec();
  }
}
