#include "profile_server/url_file_name.h"

namespace auralith::profiles {

UrlParts SplitUrl(const QString& url) {
  QString rest = url.trimmed();
  if (const qsizetype scheme = rest.indexOf(QLatin1StringView("://")); scheme >= 0) rest = rest.mid(scheme + 3);
  const qsizetype pathStart = rest.indexOf(u'/');
  QString authority = pathStart < 0 ? rest : rest.left(pathStart);
  UrlParts parts;
  parts.path = pathStart < 0 ? QByteArray("/") : rest.mid(pathStart).toUtf8();
  if (const qsizetype at = authority.lastIndexOf(u'@'); at >= 0) authority = authority.mid(at + 1);
  if (authority.startsWith(u'[')) {
    const qsizetype close = authority.indexOf(u']');
    parts.host = close < 0 ? QString() : authority.mid(1, close - 1);
  } else {
    parts.host = authority.left(authority.indexOf(u':') < 0 ? authority.size() : authority.indexOf(u':'));
  }
  return parts;
}

QString LastPathSegment(const QByteArray& path) {
  qsizetype end = path.size();
  for (qsizetype i = 0; i < path.size(); ++i) {
    if (path[i] == '?' || path[i] == '#') {
      end = i;
      break;
    }
  }
  const QByteArray objectPath = path.left(end);
  return QString::fromUtf8(objectPath.mid(objectPath.lastIndexOf('/') + 1));
}

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

QString FileNameFromUrl(const QString& text) {
  const QByteArray in = text.toUtf8();
  QByteArray out;
  out.reserve(in.size());
  for (qsizetype i = 0; i < in.size(); ++i) {
    const char c = in[i];
    if (c == '%' && i + 2 < in.size() && HexValue(in[i + 1]) >= 0 && HexValue(in[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(in[i + 1]) * 16 + HexValue(in[i + 2]));
      i += 2;
    } else if (c == '+') {
      out += ' ';
    } else {
      out += c;
    }
  }
  return QString::fromUtf8(out);
}

bool IsPlainFileName(const QString& name) {
  if (name.isEmpty() || name == u"." || name == u"..") return false;
  if (name.toUtf8().size() > 255) return false;
  for (const QChar c : name) {
    const char16_t u = c.unicode();
    if (u < 0x20 || u == 0x7F || (u >= 0x80 && u < 0xA0) || u == u'/' || u == u'\\') return false;
  }
  return true;
}

bool HasPictureExtension(const QString& name) {
  static const char* const kExtensions[] = {".png", ".jpg", ".jpeg", ".gif", ".bmp"};
  for (const char* extension : kExtensions) {
    const QLatin1StringView ext(extension);
    if (name.size() > ext.size() && name.endsWith(ext, Qt::CaseInsensitive)) return true;
  }
  return false;
}

}  // namespace auralith::profiles
