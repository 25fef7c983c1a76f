#pragma once

#include <QByteArray>
#include <QString>

// Pieces of the URLs the catalogue names: where to connect, what to ask
// for, and the file name a download is saved under.

namespace auralith::profiles {

struct UrlParts {
  QString host;     // without user information and port; empty when none
  QByteArray path;  // object path as written, query included; "/" when none
};

// The scheme, any user information and any port are dropped: every
// connection is plain HTTP to the host's default port.
UrlParts SplitUrl(const QString& url);

// The last segment of the object path (query and fragment left out), still
// encoded.
QString LastPathSegment(const QByteArray& path);

// Decodes a URL piece byte by byte: "%" and two hexadecimal digits become
// that byte, "+" a space; a "%" without two hexadecimal digits stays as it
// is. Bytes that are not UTF-8 become replacement characters.
QString FileNameFromUrl(const QString& text);

// Whether a name can be used as it stands inside the profile folder: not
// empty, not "." or "..", no path separator ("/" or "\"), no NUL or other
// control character, at most 255 bytes.
bool IsPlainFileName(const QString& name);

// Whether the name ends in a picture extension (.png, .jpg, .jpeg, .gif,
// .bmp; any letter case).
bool HasPictureExtension(const QString& name);

}  // namespace auralith::profiles
