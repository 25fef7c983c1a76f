// A stand-in for the application's executable: the real start-up code with
// a main window that only records what reaches it. The start-up tests run
// it as first and second instances.
//
// AURALITH_TEST_RECORD      file the window appends its events to
// AURALITH_TEST_STALL_MS    the window stalls this long before its loop runs
// AURALITH_TEST_FORWARD_MS  time-out of a second instance's forwarding

#include "app/aulx_app.h"
#include "app/commands.h"
#include "app/diagnostic_log.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QThread>

namespace {

using auralith::app::AUlxApp;

void Record(const QString& line) {
  QFile file(qEnvironmentVariable("AURALITH_TEST_RECORD"));
  if (file.open(QIODevice::WriteOnly | QIODevice::Append)) file.write((line + u'\n').toUtf8());
}

class RecordingMainWindow : public auralith::app::MainWindow {
 public:
  explicit RecordingMainWindow(AUlxApp& app) : app_(app) {}

  void RunCommand(int code) override {
    Record(QStringLiteral("command %1").arg(code));
    if (code == auralith::app::kCommandQuit) loop_.quit();
  }

  int RunModal() override {
    auralith::app::WriteLog(QStringLiteral("Init dialog."));
    Record(QStringLiteral("started pending=%1 mode=%2 host=%3")
               .arg(app_.PendingCommand())
               .arg(app_.ServerMode())
               .arg(app_.GetServerHost()));
    const int stallMs = qEnvironmentVariableIntValue("AURALITH_TEST_STALL_MS");
    if (stallMs > 0) QThread::msleep(static_cast<unsigned long>(stallMs));
    const int result = loop_.exec();
    auralith::app::CloseLog();
    Record(QStringLiteral("ended"));
    return result;
  }

 private:
  AUlxApp& app_;
  QEventLoop loop_;
};

}  // namespace

int main(int argc, char** argv) {
  AUlxApp::Options options;
  bool ok = false;
  const int forwardMs = qEnvironmentVariableIntValue("AURALITH_TEST_FORWARD_MS", &ok);
  if (ok) options.forwardTimeoutMs = forwardMs;
  AUlxApp app(
      argc, argv, nullptr, [](AUlxApp& self) { return std::make_unique<RecordingMainWindow>(self); }, options);
  return app.InitInstance();
}
