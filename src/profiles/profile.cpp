#include "profiles/profile.h"

#include "files/regular_file.h"
#include "profiles/profile_file_format.h"
#include "profiles/profile_folder.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <utility>

namespace auralith::profiles {

namespace {

bool EqualsIgnoringCase(const std::string& a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i]; ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return i == a.size() && !b[i];
}

// Decimal text as an integer the way atoi reads it (leading digits count,
// anything else gives 0), but clamped instead of overflowing.
int TextToInt(const std::string& text) {
  const long value = std::strtol(text.c_str(), nullptr, 10);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

std::string DatabasePath(const std::string& folder) {
  // Without a profile folder there is no place for the database; a bare
  // file name would land in whatever the working folder happens to be.
  return folder.empty() ? std::string{} : folder + kProfileDatabaseFileName;
}

}  // namespace

Profile::Profile() : Profile(ProfileFolder()) {}

Profile::Profile(std::string folder) : folder_(std::move(folder)), database_(DatabasePath(folder_)) {}

void Profile::load(const std::string& path) {
  // Folders, pipes and devices are not profile files: a FIFO would block the
  // open itself, and some devices never end. They are refused unopened.
  files::OpenResult opened = files::OpenRegularFile(path, kMaxProfileFileBytes);
  if (!opened.file.valid()) return;
  std::unique_ptr<std::FILE, FileCloser> file(fdopen(opened.file.get(), "rb"));
  if (!file) return;
  opened.file.release();  // the stream closes it now

  ProfileParameterSet music;
  ProfileParameterSet movie;
  if (!ReadProfileParameters(file.get(), music, movie)) return;

  const std::string displayName = ProfileDisplayName(path);
  record_.model = displayName;
  record_.location = path;
  record_.imageFileName.clear();
  if (const auto row = database_.lookup(path)) applyDatabaseRow(*row);
  if (record_.imageFileName.empty()) record_.imageFileName = DerivedPictureName(displayName);

  music_ = std::move(music);
  movie_ = std::move(movie);
}

void Profile::applyDatabaseRow(const ProfileDatabase::Row& row) {
  for (const auto& [column, text] : row) {
    if (EqualsIgnoringCase(column, "mftr"))
      record_.manufacturer = text;
    else if (EqualsIgnoringCase(column, "model"))
      record_.model = text;
    else if (EqualsIgnoringCase(column, "descr"))
      record_.description = text;
    else if (EqualsIgnoringCase(column, "imgPath"))
      record_.imageFileName = text;
    else if (EqualsIgnoringCase(column, "device"))
      record_.deviceCategoryId = TextToInt(text);
  }
}

}  // namespace auralith::profiles
