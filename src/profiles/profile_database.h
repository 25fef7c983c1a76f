#pragma once

#include "profiles/profile_record.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

struct sqlite3;

namespace auralith::profiles {

// File name of the profile database inside the profile folder.
inline constexpr const char* kProfileDatabaseFileName = "ULXProfileData";

// One connection to the profile database, which keeps the descriptive data
// of fetched profiles keyed by the full path of the profile file. Every
// failure (missing folder, unopenable or corrupt file, failing statement)
// is silent: lookups then find no row and stores write nothing.
class ProfileDatabase {
 public:
  // Column name and column text, in the table's column order.
  using Row = std::vector<std::pair<std::string, std::string>>;

  // A connection that is not open: finds nothing, stores nothing.
  ProfileDatabase() = default;
  // Opens (creating when needed) the database file and its table.
  explicit ProfileDatabase(const std::string& filePath);
  ~ProfileDatabase();

  ProfileDatabase(ProfileDatabase&& other) noexcept;
  ProfileDatabase& operator=(ProfileDatabase&& other) noexcept;
  ProfileDatabase(const ProfileDatabase&) = delete;
  ProfileDatabase& operator=(const ProfileDatabase&) = delete;

  bool isOpen() const { return db_ != nullptr; }

  // The first row whose "dataPath" equals the path, or none.
  std::optional<Row> lookup(const std::string& dataPath) const;

  // Makes the one row for the path hold the record's device category id,
  // manufacturer, model, description and image file name. Returns whether
  // the row was written.
  bool store(const std::string& dataPath, const ProfileRecord& record);

  // Whether a row for another path than `exceptDataPath` names the picture
  // file (without regard to case); true also when that cannot be told.
  bool namesPicture(const std::string& imageFileName, const std::string& exceptDataPath) const;

 private:
  enum class Presence { Absent, Present, Unknown };
  Presence rowPresence(const std::string& dataPath) const;
  bool execute(const char* sql) const;
  void close();

  sqlite3* db_ = nullptr;
};

}  // namespace auralith::profiles
