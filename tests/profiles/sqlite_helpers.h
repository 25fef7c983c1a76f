#pragma once

#include <sqlite3.h>

#include <string>

// Runs one query on a database file through a connection of its own and
// returns the first column of the first row as text ("" for none).
inline std::string QueryText(const std::string& file, const std::string& sql) {
  sqlite3* db = nullptr;
  std::string result;
  if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW) {
      const unsigned char* text = sqlite3_column_text(stmt, 0);
      result = text ? reinterpret_cast<const char*>(text) : "";
    }
    sqlite3_finalize(stmt);
  }
  sqlite3_close(db);
  return result;
}

// Runs statements on a database file, creating it when needed.
inline bool Execute(const std::string& file, const std::string& sql) {
  sqlite3* db = nullptr;
  bool ok = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) == SQLITE_OK &&
            sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_close(db);
  return ok;
}
