#include "profile_server/profile_file_placement.h"

#include "net/http_request.h"

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

Existing Compare(const QString& path, const QByteArray& content) {
  QFileInfo info(path);
  if (!info.exists() && !info.isSymLink()) return Existing::None;
  if (!info.isFile()) return Existing::Different;
  QFile file(path);
  // Only a file that could be ours is read whole.
  if (info.size() > net::kProfileBodyLimit * 2 || !file.open(QIODevice::ReadOnly)) return Existing::Different;
  return net::WithoutCarriageReturns(file.readAll()) == content ? Existing::Same : Existing::Different;
}

}  // namespace

Placement PlaceProfileFile(const std::string& folder, const QString& fileName, const QByteArray& content) {
  Placement placement;
  const QString folderPath = QString::fromStdString(folder);
  QTemporaryFile temporary(folderPath + QStringLiteral(".auralith-download-XXXXXX"));
  bool written = false;
  for (int number = 1; number <= kMaxNameVariants; ++number) {
    const QString candidate = folderPath + (number == 1 ? fileName : NameVariant(fileName, number));
    switch (Compare(candidate, content)) {
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
        placement.failure = QStringLiteral("The profile could not be written to the profile folder.");
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
      placement.failure = QStringLiteral("The profile could not be stored in the profile folder.");
      return placement;
    }
    --number;  // look at the file that appeared under this name
  }
  placement.failure = QStringLiteral("The profile folder holds too many profiles named %1.").arg(fileName);
  return placement;
}

}  // namespace auralith::profiles
