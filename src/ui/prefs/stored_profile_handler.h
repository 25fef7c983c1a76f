#pragma once

#include <string>

// Takes over once a fetched profile's file is in the profile folder and its
// database row is written: the settings pane adds the path at slot 1 of its
// current category, which loads and applies the profile.

namespace auralith::ui {

class StoredProfileHandler {
 public:
  virtual ~StoredProfileHandler() = default;
  virtual void ProfileStored(const std::string& storedPath) = 0;
};

}  // namespace auralith::ui
