#pragma once

#include <string>
#include <vector>

namespace auralith::profiles {

// The running program's own path, as /proc/self/exe names it (without
// symbolic links); empty when it cannot be read.
std::string RunningProgramPath();

// The installed, read-only data folder ("/usr/share/auralith/" in the
// package), found from the running program: the data folder relative to the
// folder of the executable, so an installation under any prefix, also an
// unpacked package, finds its own files. Ends with "/"; empty when the
// executable cannot be read or the folder does not exist.
std::string InstalledDataFolder();

// Its "profiles/" folder with the built-in profiles and their pictures;
// empty when not installed.
std::string InstalledProfileFolder();

struct BuiltinCopy {
  std::vector<std::string> copied;  // file names now in the user's folder
  std::vector<std::string> failed;  // "NAME: reason"
};

// Copies every built-in profile file and its picture from `from` into `to`
// where `to` lacks a file of that name, creating `to`. A file already there,
// the user's or an earlier copy, is never replaced; each copy appears under
// its name complete or not at all. Names missing in `from` are skipped.
BuiltinCopy CopyMissingBuiltins(const std::string& from, const std::string& to);

}  // namespace auralith::profiles
