#pragma once

#include <QFile>
#include <QString>

#include <functional>
#include <memory>

#include "app/sound_server_query.h"

class QIODevice;

// The diagnostic log "ULX Log.txt" in the user's desktop folder: the
// machine report, then lines "<local date and time> <message>". Active only
// in the server modes that ask for it; otherwise nothing is created or run.
// The file is appended to, never truncated.

namespace auralith::app {

inline constexpr const char* kLogFileName = "ULX Log.txt";

// The XDG desktop folder, or the home folder when there is none.
QString DesktopFolder();

// The "%x %X" time stamp of now in the user's locale.
QString LogTimeStamp();

class DiagnosticLog {
 public:
  struct Options {
    bool active = false;
    std::function<QString()> folder = DesktopFolder;
    // Writes the machine report that heads the log of each run.
    std::function<void(QIODevice&)> writeReport;
  };

  explicit DiagnosticLog(Options options);
  ~DiagnosticLog();

  // Writes one line; opens the log first when it is not open.
  void WriteLog(const QString& message);
  // Writes "Log closed." and closes; a later WriteLog opens it anew.
  void CloseLog();

 private:
  void Open();
  void WriteLine(const QString& message);

  Options options_;
  // The file of the current run; null before the first line and after
  // CloseLog. Stays closed when the folder or file cannot be opened.
  std::unique_ptr<QFile> file_;
};

// The process's log, used by every part of the program. Inactive until the
// application object activates it for its server mode. The program passes
// in the sound server query for the machine report before activating it.
void SetSoundServerQuery(SoundServerQuery query);
void SetLogActive(bool active);
void WriteLog(const QString& message);
void CloseLog();

}  // namespace auralith::app
