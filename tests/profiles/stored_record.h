#pragma once

#include "profiles/profile_record.h"

#include <string>

// A record with the fields the profile database stores.
inline auralith::profiles::ProfileRecord StoredRecord(int device, const std::string& manufacturer,
                                                      const std::string& model, const std::string& description,
                                                      const std::string& image) {
  auralith::profiles::ProfileRecord r;
  r.deviceCategoryId = device;
  r.manufacturer = manufacturer;
  r.model = model;
  r.description = description;
  r.imageFileName = image;
  return r;
}
