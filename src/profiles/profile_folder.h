#pragma once

#include <string>

namespace auralith::profiles {

// Name of the environment variable that, when set and not empty, replaces
// the per-user profile folder (tests, portable installations).
inline constexpr const char* kProfileFolderEnv = "AURALITH_PROFILE_DIR";

// The folder holding profile files, their pictures and the profile
// database: "$XDG_DATA_HOME/Halvorn Vovaruzoz/" (by default
// "~/.local/share/Halvorn Vovaruzoz/"). The string ends with "/" so file
// names can be appended directly; it is empty when no home folder can be
// found. Resolved afresh on every call; the folder is never created here.
std::string ProfileFolder();

}  // namespace auralith::profiles
