#pragma once

#include "net/http_request.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <functional>
#include <optional>

// The new-version check: the published version-information document's
// Program_Version against the own version string.

namespace auralith::update {

inline constexpr const char* kVersionDocumentPath = "/Pub/audio_en_pad.xml";
inline constexpr const char* kVersionElement = "Program_Version";

// The text of the last element called `name` (local name, case-sensitive),
// or empty. Reading stops at a DTD or a fault; what was found before counts.
QString FindElementText(const QByteArray& document, QStringView name);

struct VersionCheckOptions {
  QString host;  // the server host of this run's mode
  net::HttpOptions http = net::DefaultHttpOptions();
  // Shows a network failure to the user (a message box in the application).
  std::function<void(const QString&)> reportError;
};

struct VersionCheckResult {
  int newVersion = 0;              // CheckForNewVersion's answer
  QString publishedVersion;        // trimmed, empty when none was found
  std::optional<QString> failure;  // why no document could be read
};

// The whole check with its reasons (for the command-line tool).
VersionCheckResult CheckPublishedVersion(const VersionCheckOptions& options);

// 1 when a non-empty published version differs from the own one, else 0;
// never throws.
int CheckForNewVersion(const VersionCheckOptions& options);

}  // namespace auralith::update
