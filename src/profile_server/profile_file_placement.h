#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>
#include <string>

// Putting a fetched profile file into the profile folder without ever
// changing a file that is there: written to a temporary file and renamed
// into place. A file of the wanted name with the same content is taken as
// it is; one with other content keeps it, and the new file goes under the
// first free name "Name (2).hvnp", "Name (3).hvnp", ... The database's
// own file names are never used. Pictures are placed the same way.

namespace auralith::profiles {

inline constexpr int kMaxNameVariants = 100;

// "Name.hvnp", 2 -> "Name (2).hvnp"; a name without extension gets the
// number at its end.
QString NameVariant(const QString& fileName, int number);

struct Placement {
  std::optional<std::string> path;  // full path of the file in place
  QString failure;                  // why there is none
};

// Whether a name belongs to the profile database ("ULXProfileData" and its
// journal files), compared without regard to case.
bool IsReservedFileName(const QString& fileName);

// `folder` ends in "/". `content` is the file's text with line feeds only.
Placement PlaceProfileFile(const std::string& folder, const QString& fileName, const QByteArray& content);

// The same for a picture's bytes (compared exactly). `namedElsewhere` tells
// whether another profile's record names a file name, which then counts as
// taken even while no such file exists.
Placement PlacePictureFile(const std::string& folder, const QString& fileName, const QByteArray& content,
                           const std::function<bool(const QString&)>& namedElsewhere);

}  // namespace auralith::profiles
