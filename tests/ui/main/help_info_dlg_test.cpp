#include "ui/main/help_dlg.h"
#include "ui/main/info_dlg.h"
#include "ui/widgets/resources/ui_resources.h"
#include "ui/widgets/static_image.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMessageBox>
#include <QSet>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimer>

#include <functional>

namespace {

TEST(InfoDlg, IsItsPictureWithThirtyAndSixtyPixelsMore) {
  const QImage picture(ImageResourcePath(image_id::kInfoPicture));
  ASSERT_FALSE(picture.isNull());
  AInfoDlg info;
  EXPECT_EQ(info.size(), picture.size() + QSize(30, 60));
  EXPECT_EQ(info.Picture()->size(), picture.size());
  EXPECT_TRUE(info.rect().contains(info.Picture()->geometry())) << "the whole picture is inside the window";
  EXPECT_EQ(info.windowTitle(), "Auralith Info");
  EXPECT_FALSE(info.accessibleName().isEmpty());
  EXPECT_FALSE(info.Picture()->accessibleName().isEmpty());
  EXPECT_FALSE(info.isVisible()) << "created hidden";
}

TEST(HelpDlg, AppCommandsNeedOnlyThePrefixInAnyCase) {
  EXPECT_EQ(AHelpDlg::AppCommandOf(QUrl("app:Beep")), QString("Beep"));
  EXPECT_EQ(AHelpDlg::AppCommandOf(QUrl("APP:Minimise")), QString("Minimise"));
  EXPECT_EQ(AHelpDlg::AppCommandOf(QUrl("App:beep")), QString("beep")) << "the command keeps its case";
  EXPECT_EQ(AHelpDlg::AppCommandOf(QUrl("app:Do this")), QString("Do this"));
  EXPECT_FALSE(AHelpDlg::AppCommandOf(QUrl("index.html")));
  EXPECT_FALSE(AHelpDlg::AppCommandOf(QUrl("#kiro")));
  EXPECT_FALSE(AHelpDlg::AppCommandOf(QUrl("http://app.example/")));
}

TEST(HelpDlg, LooksBesideTheExecutableFirst) {
  const QStringList folders = AHelpDlg::HelpFolders();
  ASSERT_FALSE(folders.isEmpty());
  EXPECT_EQ(folders.first(), QDir(QCoreApplication::applicationDirPath()).filePath("help"));
  EXPECT_TRUE(folders.contains(QStringLiteral(AURALITH_SOURCE_HELP_DIR)));
}

// An installed program (any prefix, also an unpacked package) finds the
// pages in its data folder: "share/auralith/help" beside its folder.
TEST(HelpDlg, FindsThePagesInstalledBesideTheProgram) {
  const QString data = QDir::cleanPath(QCoreApplication::applicationDirPath() + "/" AURALITH_DATA_FROM_BINDIR);
  QDir(data).removeRecursively();
  ASSERT_TRUE(QDir().mkpath(data + "/help"));
  QFile page(data + "/help/installed-only.html");
  ASSERT_TRUE(page.open(QIODevice::WriteOnly));
  page.write("<p>installed</p>");
  page.close();
  {
    AHelpDlg help;
    help.ShowHelpPage("installed-only.html");
    EXPECT_EQ(help.Browser()->source(), QUrl::fromLocalFile(data + "/help/installed-only.html"));
    EXPECT_TRUE(help.Browser()->toPlainText().contains("installed"));
  }
  QDir(data).removeRecursively();
}

class HelpDlgTest : public ::testing::Test {
 protected:
  // Runs `inspect` on the modal box the next action opens, then closes it.
  void OnNextMessageBox(std::function<void(QMessageBox&)> inspect) {
    QTimer::singleShot(0, [this, inspect] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      ++boxes_;
      inspect(*box);
      box->done(QMessageBox::Ok);
    });
  }
  void Click(AHelpDlg& help, const QString& target) { emit help.Browser()->anchorClicked(QUrl(target)); }

  // Every link target of the page shown.
  static QSet<QString> Links(const QTextDocument& document) {
    QSet<QString> links;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
      for (auto it = block.begin(); !it.atEnd(); ++it)
        if (const QString href = it.fragment().charFormat().anchorHref(); !href.isEmpty()) links.insert(href);
    return links;
  }

  int boxes_ = 0;
};

TEST_F(HelpDlgTest, ShowsTheSetupPageAndTellsItByItsRole) {
  AHelpDlg help;
  EXPECT_FALSE(help.isVisible());
  EXPECT_EQ(help.size(), QSize(450, 450));
  help.ShowHelpPage("setupwizard.html");
  EXPECT_TRUE(help.isVisible());
  EXPECT_EQ(help.windowTitle(), "Help");
  EXPECT_EQ(help.windowRole(), "help:setupwizard.html");
  EXPECT_TRUE(help.Browser()->source().toLocalFile().endsWith("/setupwizard.html"));
  EXPECT_EQ(help.Browser()->documentTitle(), "Welcome to Auralith");
  EXPECT_FALSE(help.Browser()->accessibleName().isEmpty());
  const QSet<QString> links = Links(*help.Browser()->document());
  EXPECT_TRUE(links.contains("app:Beep"));
  EXPECT_TRUE(links.contains("app:Minimise"));
  EXPECT_TRUE(links.contains("index.html"));
}

TEST_F(HelpDlgTest, TheIndexPageCoversTheProductAndItsLinksStayOnThePage) {
  AHelpDlg help;
  help.ShowHelpPage("index.html");
  const QString text = help.Browser()->toPlainText();
  for (const char* topic : {"The window", "The tray menu", "Categories and profiles", "K.I.R.O", "Uninstalling",
                            "Turn ULX On", "Output Device", "Quit"})
    EXPECT_TRUE(text.contains(QLatin1String(topic))) << topic;
  const QSet<QString> links = Links(*help.Browser()->document());
  EXPECT_TRUE(links.contains("#kiro"));
  EXPECT_TRUE(links.contains("#uninstall"));
  for (const QString& link : links) {
    if (link.startsWith('#')) {
      EXPECT_TRUE(help.Browser()->toHtml().contains("name=\"" + link.mid(1) + "\"")) << link.toStdString();
    } else {
      EXPECT_EQ(link, "setupwizard.html");
    }
  }
}

TEST_F(HelpDlgTest, AMissingPageIsSaidPlainly) {
  AHelpDlg help;
  help.ShowHelpPage("no-such-page.html");
  EXPECT_TRUE(help.isVisible());
  EXPECT_TRUE(help.Browser()->toPlainText().contains("no-such-page.html"));
}

TEST_F(HelpDlgTest, OrdinaryLinksNavigate) {
  AHelpDlg help;
  help.ShowHelpPage("setupwizard.html");
  Click(help, "index.html");
  EXPECT_TRUE(help.Browser()->source().toLocalFile().endsWith("/index.html"));
  EXPECT_EQ(boxes_, 0);
}

TEST_F(HelpDlgTest, MinimiseMinimisesTheMainWindowAndStaysOnThePage) {
  QWidget mainWindow;
  mainWindow.show();
  AHelpDlg help(&mainWindow);
  help.ShowHelpPage("setupwizard.html");
  const QUrl page = help.Browser()->source();
  Click(help, "app:Minimise");
  EXPECT_TRUE(mainWindow.isMinimized());
  EXPECT_EQ(help.Browser()->source(), page) << "an app: link never navigates";
  EXPECT_EQ(boxes_, 0);
}

TEST_F(HelpDlgTest, WithoutAGivenWindowMinimiseFindsTheWindowTitledAuralith) {
  QWidget other;
  other.setWindowTitle("Something else");
  other.show();
  QWidget mainWindow;
  mainWindow.setWindowTitle("Auralith");
  mainWindow.show();
  AHelpDlg help;
  Click(help, "APP:Minimise");
  EXPECT_TRUE(mainWindow.isMinimized());
  EXPECT_FALSE(other.isMinimized());
}

TEST_F(HelpDlgTest, BeepAsksNothing) {
  AHelpDlg help;
  help.ShowHelpPage("setupwizard.html");
  const QUrl page = help.Browser()->source();
  Click(help, "app:Beep");
  EXPECT_EQ(boxes_, 0);
  EXPECT_EQ(help.Browser()->source(), page);
}

TEST_F(HelpDlgTest, AnyOtherCommandIsReportedAsUnexpected) {
  AHelpDlg help;
  help.ShowHelpPage("setupwizard.html");
  const QUrl page = help.Browser()->source();
  for (const char* command : {"beep", "Format"}) {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    OnNextMessageBox([&](QMessageBox& box) {
      title = box.windowTitle();
      text = box.text();
      icon = box.icon();
    });
    Click(help, QStringLiteral("app:") + command);
    EXPECT_EQ(title, "Unexpected Command") << command;
    EXPECT_EQ(text, command);
    EXPECT_EQ(icon, QMessageBox::Question);
  }
  EXPECT_EQ(boxes_, 2);
  EXPECT_EQ(help.Browser()->source(), page);
}

}  // namespace
