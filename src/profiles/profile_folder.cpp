#include "profiles/profile_folder.h"

#include <pwd.h>
#include <unistd.h>
#include <cstdlib>

namespace auralith::profiles {

namespace {

std::string WithTrailingSlash(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && home[0] == '/') return home;
  if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir && entry->pw_dir[0] == '/') return entry->pw_dir;
  return {};
}

}  // namespace

std::string ProfileFolder() {
  if (const char* overridden = std::getenv(kProfileFolderEnv); overridden && overridden[0])
    return WithTrailingSlash(overridden);

  std::string dataHome;
  // Relative values of XDG_DATA_HOME are invalid and must be ignored.
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && xdg[0] == '/') {
    dataHome = xdg;
  } else {
    const std::string home = HomeFolder();
    if (home.empty()) return {};
    dataHome = WithTrailingSlash(home) + ".local/share";
  }
  return WithTrailingSlash(dataHome) + "Halvorn Vovaruzoz/";
}

}  // namespace auralith::profiles
