#include "profiles/builtin_profiles.h"

#include "profiles/profile_file_format.h"

namespace auralith::profiles {

std::string FindBuiltinProfileFile(const std::string& name) {
  for (const auto& category : kBuiltinProfileFiles) {
    for (const char* file : category) {
      std::string fileName = file;
      if (name == fileName || name + kProfileExtension == fileName) return fileName;
    }
  }
  return {};
}

}  // namespace auralith::profiles
