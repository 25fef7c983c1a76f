#pragma once

#include "net/http_request.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <functional>
#include <optional>

class QObject;

// The new-version check: the published version-information document's
// Program_Version against the own version string.

namespace auralith::update {

inline constexpr const char* kVersionDocumentPath = "/Pub/audio_en_pad.xml";
inline constexpr const char* kVersionElement = "Program_Version";
// The version document is small: the whole request gets ten seconds.
inline constexpr int kVersionDocumentDeadlineMs = 10000;

// The text of the last element called `name` (local name, case-sensitive),
// or empty. Reading stops at a DTD or a fault; what was found before counts.
QString FindElementText(const QByteArray& document, QStringView name);

// Filled by the application (or a tool) for its run.
struct VersionCheckOptions {
  QString host;  // the server host of this run's mode
  net::HttpOptions http = net::DefaultHttpOptions();
  // Shows a network failure to the user (a message box in the application).
  std::function<void(const QString&)> reportError;
  // Writes one line to the diagnostic log.
  std::function<void(const QString&)> log;
};

struct VersionCheckResult {
  int newVersion = 0;              // CheckForNewVersion's answer
  QString publishedVersion;        // trimmed, empty when none was found
  std::optional<QString> failure;  // why no document could be read
};

// The whole check with its reasons (for the command-line tool). Returns at
// once; `done` runs once, later, from the calling thread's event loop,
// unless `context` is given and destroyed first.
void CheckPublishedVersionAsync(const VersionCheckOptions& options, std::function<void(VersionCheckResult)> done,
                                QObject* context = nullptr);

// The same with the bare answer: 1 when a non-empty published version
// differs from the own one, else 0 (also for every failure).
void CheckForNewVersionAsync(const VersionCheckOptions& options, std::function<void(int)> done,
                             QObject* context = nullptr);

// What a version document says (FindElementText's Program_Version, trimmed,
// against the own version), for a body that arrived.
VersionCheckResult ReadVersionDocument(const QByteArray& body);

}  // namespace auralith::update
