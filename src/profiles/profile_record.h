#pragma once

#include <string>

namespace auralith::profiles {

// Descriptive data of a profile (or of a model the profile server offers).
// Texts are UTF-8.
struct ProfileRecord {
  // 1 built-in speakers, 2 desktop speakers, 3 headphones, 0 unknown.
  int deviceCategoryId = 0;
  std::string manufacturer;
  std::string model;          // the name shown for the profile
  std::string location;       // full path of the file, or its URL
  std::string imageUrl;       // server models only
  std::string imageFileName;  // picture's file name inside the profile folder
  std::string description;
  std::string added;    // server models only; kept, not used
  std::string updated;  // server models only; kept, not used

  bool operator==(const ProfileRecord&) const = default;
};

}  // namespace auralith::profiles
