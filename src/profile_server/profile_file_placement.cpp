#include "profile_server/profile_file_placement.h"

#include "files/regular_file.h"
#include "net/http_request.h"
#include "profiles/profile_database.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

namespace auralith::profiles {

QString NameVariant(const QString& fileName, int number) {
  const QString suffix = QStringLiteral(" (%1)").arg(number);
  const qsizetype dot = fileName.lastIndexOf(u'.');
  if (dot <= 0) return fileName + suffix;
  return fileName.left(dot) + suffix + fileName.mid(dot);
}

namespace {

enum class Existing { None, Same, Different };

struct Kind {
  const char* what;  // "profile" or "picture", for the messages
  bool textual;      // compare without carriage returns
  qint64 maxBytes;   // a file larger than this cannot be the same
};

Existing Compare(const QString& path, const QByteArray& content, const Kind& kind) {
  QFileInfo info(path);
  if (!info.exists() && !info.isSymLink()) return Existing::None;
  // Only a regular file that could be ours is read whole; a pipe or device
  // is never opened.
  const files::ReadResult read = files::ReadRegularFile(path.toStdString(), static_cast<std::uint64_t>(kind.maxBytes));
  if (!read.contents) return Existing::Different;
  QByteArray existing = QByteArray::fromStdString(*read.contents);
  if (kind.textual) existing = net::WithoutCarriageReturns(std::move(existing));
  return existing == content ? Existing::Same : Existing::Different;
}

Placement PlaceFile(const std::string& folder, const QString& fileName, const QByteArray& content, const Kind& kind,
                    const std::function<bool(const QString&)>& namedElsewhere) {
  Placement placement;
  const QString folderPath = QString::fromStdString(folder);
  QTemporaryFile temporary(folderPath + QStringLiteral(".auralith-download-XXXXXX"));
  bool written = false;
  for (int number = 1; number <= kMaxNameVariants; ++number) {
    const QString name = number == 1 ? fileName : NameVariant(fileName, number);
    if (IsReservedFileName(name) || (namedElsewhere && namedElsewhere(name))) continue;
    const QString candidate = folderPath + name;
    switch (Compare(candidate, content, kind)) {
      case Existing::Same:
        placement.path = candidate.toStdString();
        return placement;
      case Existing::Different:
        continue;
      case Existing::None:
        break;
    }
    if (!written) {
      if (!temporary.open() || temporary.write(content) != content.size() || !temporary.flush()) {
        placement.failure = QStringLiteral("The %1 could not be written to the profile folder.").arg(kind.what);
        return placement;
      }
      temporary.close();
      written = true;
    }
    // rename never replaces a file; one that appeared meanwhile is compared
    // on the next round.
    if (temporary.rename(candidate)) {
      temporary.setAutoRemove(false);
      placement.path = candidate.toStdString();
      return placement;
    }
    if (!QFileInfo::exists(candidate)) {
      placement.failure = QStringLiteral("The %1 could not be stored in the profile folder.").arg(kind.what);
      return placement;
    }
    --number;  // look at the file that appeared under this name
  }
  placement.failure = QStringLiteral("The profile folder holds too many files named %1.").arg(fileName);
  return placement;
}

}  // namespace

bool IsReservedFileName(const QString& fileName) {
  const QString database = QString::fromLatin1(kProfileDatabaseFileName);
  for (const QString& reserved : {database, database + QStringLiteral("-journal"), database + QStringLiteral("-wal"),
                                  database + QStringLiteral("-shm")}) {
    if (fileName.compare(reserved, Qt::CaseInsensitive) == 0) return true;
  }
  return false;
}

Placement PlaceProfileFile(const std::string& folder, const QString& fileName, const QByteArray& content) {
  return PlaceFile(folder, fileName, content, Kind{"profile", true, net::kProfileBodyLimit * 2}, nullptr);
}

Placement PlacePictureFile(const std::string& folder, const QString& fileName, const QByteArray& content,
                           const std::function<bool(const QString&)>& namedElsewhere) {
  return PlaceFile(folder, fileName, content, Kind{"picture", false, net::kDocumentBodyLimit}, namedElsewhere);
}

}  // namespace auralith::profiles
