// libFuzzer target over what the profile server sends that is read
// byte by byte: the catalogue reply and the URLs' file names. The first
// byte chooses which one the rest goes to.
#include "profile_server/profile_catalogue.h"
#include "profile_server/url_file_name.h"

#include <cstddef>
#include <cstdint>

namespace {

using auralith::profiles::ProfileCatalogue;

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

void FuzzCatalogue(const QByteArray& reply) {
  ProfileCatalogue catalogue;
  auralith::profiles::ParseCatalogue(reply, catalogue);
  for (int id = ProfileCatalogue::kFirstCategoryId; id <= ProfileCatalogue::kLastCategoryId; ++id) {
    for (const auto& [maker, record] : catalogue.section(id)->models) {
      Require(record.deviceCategoryId == id);
      Require(!record.location.empty());
      Require(maker == QString::fromStdString(record.manufacturer));
      Require(record.imageFileName.empty());
    }
  }
}

void FuzzUrl(const QByteArray& text) {
  const QString url = QString::fromUtf8(text);
  const auto parts = auralith::profiles::SplitUrl(url);
  Require(parts.path.startsWith('/'));
  const QString segment = auralith::profiles::LastPathSegment(parts.path);
  Require(!segment.contains(u'/') && !segment.contains(u'?'));
  const QString name = auralith::profiles::FileNameFromUrl(url);
  if (auralith::profiles::IsPlainFileName(name)) {
    Require(!name.contains(u'/') && !name.contains(u'\\') && name != u".." && name != u"." && !name.contains(QChar()));
  }
  // Text without "%" or "+" decodes to itself.
  if (!text.contains('%') && !text.contains('+')) Require(name == url);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const QByteArray rest(reinterpret_cast<const char*>(data) + 1, static_cast<qsizetype>(size - 1));
  if (data[0] & 1) {
    FuzzUrl(rest);
  } else {
    FuzzCatalogue(rest);
  }
  return 0;
}
