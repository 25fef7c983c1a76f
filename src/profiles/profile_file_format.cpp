#include "profiles/profile_file_format.h"

#include <clocale>

namespace auralith::profiles {

namespace {

// The C locale as a handle, made once; null only if that failed, in which
// case the process locale is used.
locale_t CLocale() {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t{});
  return c;
}

// Switches the calling thread to the C locale for the scope's lifetime.
class ScopedCLocale {
 public:
  ScopedCLocale() : previous_(CLocale() ? uselocale(CLocale()) : locale_t{}) {}
  ~ScopedCLocale() {
    if (previous_) uselocale(previous_);
  }
  ScopedCLocale(const ScopedCLocale&) = delete;
  ScopedCLocale& operator=(const ScopedCLocale&) = delete;

 private:
  locale_t previous_;
};

// Reads the next line piece: at most kProfileLinePiece characters, ending
// after a line feed when one comes first. Returns false at the end of the file.
bool ReadPiece(std::FILE* file, std::string& piece) {
  piece.clear();
  while (piece.size() < kProfileLinePiece) {
    int c = std::getc(file);
    if (c == EOF) break;
    if (c == '\r') {
      const int next = std::getc(file);
      if (next == '\n')
        c = '\n';
      else if (next != EOF)
        std::ungetc(next, file);
    }
    piece += static_cast<char>(c);
    if (c == '\n') break;
  }
  return !piece.empty();
}

}  // namespace

bool ScanParameterLine(const char* line, int32_t& number, float& value) {
  ScopedCLocale cLocale;
  int scannedNumber = 0;
  float scannedValue = 0.0f;
  if (std::sscanf(line, "%d %f", &scannedNumber, &scannedValue) != 2) return false;
  number = scannedNumber;
  value = scannedValue;
  return true;
}

bool ReadProfileParameters(std::FILE* file, ProfileParameterSet& music, ProfileParameterSet& movie) {
  ProfileParameterSet* target = &music;
  std::string piece;
  while (ReadPiece(file, piece)) {
    int32_t number = 0;
    float value = 0.0f;
    // A piece holding a zero byte is scanned up to that byte, as the
    // C string it would be in a line buffer.
    if (ScanParameterLine(piece.c_str(), number, value))
      (*target)[number] = value;
    else
      target = &movie;
  }
  return !std::ferror(file);
}

std::string ProfileFileName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ProfileDisplayName(const std::string& path) {
  const std::string fileName = ProfileFileName(path);
  return fileName.substr(0, fileName.find('.'));
}

std::string DerivedPictureName(const std::string& displayName) {
  std::string picture = displayName;
  for (char& c : picture) {
    if (c == ' ') c = '_';
  }
  return picture + ".png";
}

}  // namespace auralith::profiles
