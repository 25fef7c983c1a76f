#include "profiles/profile_database.h"

#include <sqlite3.h>

namespace auralith::profiles {

namespace {

constexpr const char* kCreateTable =
    "CREATE TABLE IF NOT EXISTS profiles(                         "
    "id INTEGER PRIMARY KEY AUTOINCREMENT, device INTEGER, mftr TEXT,                         "
    "model TEXT, descr TEXT, dataPath TEXT, imgPath TEXT)";
constexpr const char* kSelectByPath = "SELECT * FROM profiles WHERE dataPath=?1";
constexpr const char* kUpdate = "UPDATE profiles SET device=?1,mftr=?2,model=?3,descr=?4,imgPath=?5 WHERE dataPath=?6";
constexpr const char* kInsert =
    "INSERT INTO profiles (device, mftr, model, descr, dataPath, imgPath) "
    "VALUES(?1, ?2, ?3, ?4, ?6, ?5)";

// A prepared statement that finalizes itself.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) {
    if (db && sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) {
      sqlite3_finalize(stmt_);
      stmt_ = nullptr;
    }
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  explicit operator bool() const { return stmt_ != nullptr; }
  sqlite3_stmt* get() const { return stmt_; }

  bool bindText(int index, const std::string& text) {
    return sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT) == SQLITE_OK;
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

}  // namespace

ProfileDatabase::ProfileDatabase(const std::string& filePath) {
  if (filePath.empty()) return;
  if (sqlite3_open_v2(filePath.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
    close();
    return;
  }
  // Several connections share the file; wait briefly for another one's
  // write instead of failing at once.
  sqlite3_busy_timeout(db_, 2000);
  // A corrupt file fails here and every later statement fails as well,
  // which is exactly the "no row, nothing written" behaviour wanted.
  execute(kCreateTable);
}

ProfileDatabase::~ProfileDatabase() { close(); }

ProfileDatabase::ProfileDatabase(ProfileDatabase&& other) noexcept : db_(other.db_) { other.db_ = nullptr; }

ProfileDatabase& ProfileDatabase::operator=(ProfileDatabase&& other) noexcept {
  if (this != &other) {
    close();
    db_ = other.db_;
    other.db_ = nullptr;
  }
  return *this;
}

void ProfileDatabase::close() {
  sqlite3_close(db_);
  db_ = nullptr;
}

bool ProfileDatabase::execute(const char* sql) const {
  char* message = nullptr;
  const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, &message);
  sqlite3_free(message);
  return rc == SQLITE_OK;
}

std::optional<ProfileDatabase::Row> ProfileDatabase::lookup(const std::string& dataPath) const {
  Statement select(db_, kSelectByPath);
  if (!select || !select.bindText(1, dataPath) || sqlite3_step(select.get()) != SQLITE_ROW) return std::nullopt;

  Row row;
  const int columns = sqlite3_column_count(select.get());
  for (int i = 0; i < columns; ++i) {
    const char* name = sqlite3_column_name(select.get(), i);
    const unsigned char* text = sqlite3_column_text(select.get(), i);
    row.emplace_back(name ? name : "", text ? reinterpret_cast<const char*>(text) : "");
  }
  return row;
}

bool ProfileDatabase::namesPicture(const std::string& imageFileName, const std::string& exceptDataPath) const {
  // Without an open database nothing can be told apart: the name counts as taken.
  if (!db_) return true;
  Statement select(db_, "SELECT 1 FROM profiles WHERE imgPath=? COLLATE NOCASE AND dataPath<>?");
  if (!select || !select.bindText(1, imageFileName) || !select.bindText(2, exceptDataPath)) return true;
  return sqlite3_step(select.get()) != SQLITE_DONE;
}

ProfileDatabase::Presence ProfileDatabase::rowPresence(const std::string& dataPath) const {
  Statement select(db_, kSelectByPath);
  if (!select || !select.bindText(1, dataPath)) return Presence::Unknown;
  switch (sqlite3_step(select.get())) {
    case SQLITE_ROW:
      return Presence::Present;
    case SQLITE_DONE:
      return Presence::Absent;
    default:
      return Presence::Unknown;
  }
}

bool ProfileDatabase::store(const std::string& dataPath, const ProfileRecord& record) {
  if (!db_ || !execute("BEGIN IMMEDIATE")) return false;

  // A lookup that fails says nothing about the row; inserting then could
  // leave two rows for one path, so nothing is written.
  const Presence presence = rowPresence(dataPath);
  bool written = false;
  if (presence != Presence::Unknown) {
    Statement write(db_, presence == Presence::Present ? kUpdate : kInsert);
    written = write && sqlite3_bind_int(write.get(), 1, record.deviceCategoryId) == SQLITE_OK &&
              write.bindText(2, record.manufacturer) && write.bindText(3, record.model) &&
              write.bindText(4, record.description) && write.bindText(5, record.imageFileName) &&
              write.bindText(6, dataPath) && sqlite3_step(write.get()) == SQLITE_DONE;
  }
  if (!execute(written ? "COMMIT" : "ROLLBACK")) {
    execute("ROLLBACK");
    return false;
  }
  return written;
}

}  // namespace auralith::profiles
