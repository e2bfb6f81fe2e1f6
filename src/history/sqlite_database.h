// A thin hold on SQLite's C API for the history store: a connection and its statements that
// close themselves, the failure of a call as a HistoryError, and the schema's steps.
// Internal to src/history (and its tests).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "history/history_store.h"

struct sqlite3;
struct sqlite3_stmt;

namespace mizuto {

class SqliteStatement {
 public:
  SqliteStatement() = default;
  SqliteStatement(sqlite3_stmt* statement) : statement_(statement) {}
  ~SqliteStatement();
  SqliteStatement(SqliteStatement&& other) noexcept : statement_(other.statement_) { other.statement_ = nullptr; }
  SqliteStatement& operator=(SqliteStatement&& other) noexcept;
  SqliteStatement(const SqliteStatement&) = delete;
  SqliteStatement& operator=(const SqliteStatement&) = delete;

  explicit operator bool() const { return statement_ != nullptr; }

  // Parameters from 1. Texts and blobs are copied.
  void Bind(int index, std::int64_t value);
  void BindText(int index, std::string_view utf8);
  void BindBlob(int index, std::string_view bytes);
  void BindNull(int index);
  // SQLITE_ROW, SQLITE_DONE or an error code.
  int Step();
  // Ready to run again with new parameters.
  void Reset();

  std::int64_t Int(int column) const;
  bool IsNull(int column) const;
  std::string Bytes(int column) const;  // a text's or a blob's bytes
  std::string_view View(int column) const;  // the same, good until the next Step or Reset

 private:
  sqlite3_stmt* statement_ = nullptr;
};

// What a failed call was doing, to tell the player the right thing.
enum class SqliteUse { Opening, Reading, Writing };

class SqliteDatabase {
 public:
  SqliteDatabase() = default;
  ~SqliteDatabase();
  SqliteDatabase(const SqliteDatabase&) = delete;
  SqliteDatabase& operator=(const SqliteDatabase&) = delete;

  // Opens (creating when missing) for reading and writing. False with `error` set.
  bool Open(const std::string& path, HistoryError* error);
  sqlite3* Handle() const { return db_; }
  // Another connection's lock is waited for (ten seconds) or fails a call at once.
  void WaitForLocks(bool wait);
  const std::string& Path() const { return path_; }

  // Runs SQL without results; the error code (SQLITE_OK when it went through).
  int Exec(const char* sql);
  // Null statement on failure (LastError tells).
  SqliteStatement Prepare(std::string_view sql);
  // The failure of the last call with code `code`, as a HistoryError for `use`.
  HistoryError Failure(int code, SqliteUse use) const;

  // A statement the connection keeps once prepared, lent for one use: a hundred logs
  // imported in a row would otherwise compile the same SQL hundreds of times. The lease
  // resets it when it ends, so no finished-with statement holds a read open.
  class Lease {
   public:
    explicit Lease(SqliteStatement* statement) : statement_(statement) {}
    ~Lease() {
      if (statement_ != nullptr) statement_->Reset();
    }
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    explicit operator bool() const { return statement_ != nullptr; }
    SqliteStatement& operator*() const { return *statement_; }
    SqliteStatement* operator->() const { return statement_; }

   private:
    SqliteStatement* statement_;
  };
  // Null lease when the SQL cannot be prepared (the connection's error code tells). One
  // lease of the same SQL at a time.
  Lease Reuse(const std::string& sql);

 private:
  sqlite3* db_ = nullptr;
  std::string path_;
  std::unordered_map<std::string, SqliteStatement> reused_;
};

// One step of the schema: brings a database at version From to From + 1.
struct SchemaStep {
  int From = 0;
  const char* Sql = nullptr;
};

// The schema's version now and the steps that reach it from version 0.
inline constexpr int kHistorySchemaVersion = 8;
const std::vector<SchemaStep>& HistorySchemaSteps();

// The mark of a history file in its header (PRAGMA application_id: "MzHy"), set by a schema
// step, so another program's database is never taken for one.
inline constexpr std::int64_t kHistoryApplicationId = 0x4D7A4879;

// Refuses (Corrupt, nothing written) a database that is no history of ours: another
// program's mark, or tables without our mark unless they are ours from before the mark (the
// logs and battles tables at a version of ours). An empty file, ours to make, and a newer
// version (refused as such by the caller) pass.
HistoryError CheckOwnHistory(SqliteDatabase& db);

// PRAGMA user_version; -1 with `error` set when it cannot be read.
int SchemaVersion(SqliteDatabase& db, HistoryError* error);

// Runs, in one transaction, every step from the database's version up to `target`. A
// database newer than `target` is refused (NewerVersion) and nothing is written; a step
// that fails leaves the database at the version it had.
HistoryError MigrateSchema(SqliteDatabase& db, const std::vector<SchemaStep>& steps, int target);

}  // namespace mizuto
