#include "profiles/installed_folder.h"

#include "files/regular_file.h"
#include "profiles/builtin_profiles.h"
#include "profiles/profile_file_format.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace auralith::profiles {

namespace {

namespace fs = std::filesystem;

constexpr const char* kProfilesFolderName = "profiles/";
// Profile files and pictures are a few kilobytes.
constexpr std::uint64_t kLargestBuiltinFile = 4u << 20;

std::string Reason(int error) { return std::strerror(error); }

bool WriteAll(int fd, const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t written = ::write(fd, data.data() + done, data.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    done += static_cast<std::size_t>(written);
  }
  return true;
}

// Writes the whole file under a temporary name, then links it in under its
// own: link() never replaces an existing file.
std::string CopyIfMissing(const std::string& source, const std::string& target) {
  const files::ReadResult read = files::ReadRegularFile(source, kLargestBuiltinFile);
  if (!read.contents) return read.error;
  std::string temporary = target + ".XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) return Reason(errno);
  std::string error;
  if (::fchmod(fd, 0644) != 0 || !WriteAll(fd, *read.contents) || ::fsync(fd) != 0) error = Reason(errno);
  if (::close(fd) != 0 && error.empty()) error = Reason(errno);
  if (error.empty() && ::link(temporary.c_str(), target.c_str()) != 0 && errno != EEXIST) error = Reason(errno);
  ::unlink(temporary.c_str());
  return error;
}

}  // namespace

std::string RunningProgramPath() {
  std::error_code failed;
  const fs::path program = fs::read_symlink("/proc/self/exe", failed);
  return failed ? std::string{} : program.string();
}

std::string InstalledDataFolder() {
  const fs::path program = RunningProgramPath();
  if (program.empty()) return {};
  std::error_code failed;
  const fs::path folder = (program.parent_path() / AURALITH_DATA_FROM_BINDIR).lexically_normal();
  if (!fs::is_directory(folder, failed)) return {};
  std::string text = folder.string();
  if (text.back() != '/') text += '/';
  return text;
}

std::string InstalledProfileFolder() {
  const std::string data = InstalledDataFolder();
  if (data.empty()) return {};
  std::error_code failed;
  const std::string folder = data + kProfilesFolderName;
  return fs::is_directory(folder, failed) ? folder : std::string{};
}

BuiltinCopy CopyMissingBuiltins(const std::string& from, const std::string& to) {
  BuiltinCopy result;
  if (from.empty() || to.empty()) return result;
  const fs::path source(from);
  const fs::path target(to);
  std::error_code failed;
  fs::create_directories(target, failed);
  if (failed) {
    result.failed.push_back(to + ": " + failed.message());
    return result;
  }
  for (const auto& category : kBuiltinProfileFiles) {
    for (const char* file : category) {
      for (const std::string& name : {std::string(file), DerivedPictureName(ProfileDisplayName(file))}) {
        const fs::path wanted = target / name;
        // Whatever holds the name (a file, a link, even a broken one) is the user's.
        if (fs::symlink_status(wanted, failed).type() != fs::file_type::not_found) continue;
        if (!fs::is_regular_file(source / name, failed)) continue;
        const std::string error = CopyIfMissing((source / name).string(), wanted.string());
        if (error.empty()) {
          result.copied.push_back(name);
        } else {
          result.failed.push_back(name + ": " + error);
        }
      }
    }
  }
  return result;
}

}  // namespace auralith::profiles
