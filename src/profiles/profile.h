#pragma once

#include "profiles/profile_database.h"
#include "profiles/profile_parameter_set.h"
#include "profiles/profile_record.h"

#include <cstdint>
#include <string>

namespace auralith::profiles {

// Content mode codes: 1 selects a profile's music set, every other code
// (0 is movie) its movie set.
inline constexpr int kContentModeMusic = 1;
inline constexpr int kContentModeMovie = 0;

// A profile file is a few hundred bytes; a larger file is not loaded.
inline constexpr std::uint64_t kMaxProfileFileBytes = 1024 * 1024;

// One loaded profile: its music and movie parameter sets, its descriptive
// record, its own profile database connection and the output boost flag of
// the category it serves.
class Profile {
 public:
  // Uses the profile folder of this user.
  Profile();
  // Uses the given profile folder (ending in "/", or empty for none).
  explicit Profile(std::string folder);

  // Fills the profile from a file. A file that cannot be opened or read,
  // is not a regular file (checked before anything could block on it) or is
  // larger than kMaxProfileFileBytes leaves everything as it was. The boost flag
  // is never changed by a load.
  void load(const std::string& path);

  ProfileParameterSet& musicSet() { return music_; }
  ProfileParameterSet& movieSet() { return movie_; }
  ProfileParameterSet& parameterSet(int contentMode) { return contentMode == kContentModeMusic ? music_ : movie_; }

  ProfileRecord& record() { return record_; }
  const ProfileRecord& record() const { return record_; }

  // 1 when the category's +6 dB output boost is on.
  int boost() const { return boost_; }
  void setBoost(int boost) { boost_ = boost; }

  // Profile folder followed by the record's image file name.
  std::string picturePath() const { return folder_ + record_.imageFileName; }
  const std::string& folder() const { return folder_; }

  ProfileDatabase& database() { return database_; }

 private:
  void applyDatabaseRow(const ProfileDatabase::Row& row);

  std::string folder_;
  ProfileParameterSet music_;
  ProfileParameterSet movie_;
  ProfileRecord record_;
  ProfileDatabase database_;
  int boost_ = 0;
};

}  // namespace auralith::profiles
