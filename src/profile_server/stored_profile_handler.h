#pragma once

#include <string>

// Takes over once a fetched profile's file is in the profile folder and its
// database row is written. The preferences dialog implements it: it shows
// itself with refreshed panes, adds the path at slot 1 of its current
// category (which loads and applies the profile).

namespace auralith::profiles {

class StoredProfileHandler {
 public:
  virtual ~StoredProfileHandler() = default;
  virtual void ProfileStored(const std::string& storedPath) = 0;
};

}  // namespace auralith::profiles
