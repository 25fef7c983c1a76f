#pragma once

#include "profiles/profile_parameter_set.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace auralith::profiles {

// Extension of profile files.
inline constexpr const char* kProfileExtension = ".hvnp";

// Longest piece of a line handled as one line (the reader's 256-byte buffer
// less its terminating zero); longer lines are cut into pieces of this size.
inline constexpr std::size_t kProfileLinePiece = 255;

// Whether a line is a parameter line: "%d %f" scanned in the C locale,
// whatever the process's locale is, yields both values. Anything after the
// value is ignored. The value may be "nan" or "inf": the scan accepts them.
bool ScanParameterLine(const char* line, int32_t& number, float& value);

// Reads every line of an open profile file: parameter lines before the first
// separator go into the music set, those after it into the movie set, the
// last line of a number winning. "\r\n" reads as a line feed. Returns false
// when reading failed part-way (the sets then hold what was read).
bool ReadProfileParameters(std::FILE* file, ProfileParameterSet& music, ProfileParameterSet& movie);

// "dir/Varrow Laptop.hvnp" -> "Varrow Laptop.hvnp": the part after the last "/".
std::string ProfileFileName(const std::string& path);
// "Varrow Laptop.hvnp" -> "Varrow Laptop": the file name up to its first ".".
std::string ProfileDisplayName(const std::string& path);
// "Varrow Laptop" -> "Varrow_Laptop.png": every space becomes "_".
std::string DerivedPictureName(const std::string& displayName);

}  // namespace auralith::profiles
