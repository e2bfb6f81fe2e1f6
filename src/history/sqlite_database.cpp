#include "history/sqlite_database.h"

#include <sqlite3.h>

namespace mizuto {

SqliteStatement::~SqliteStatement() { sqlite3_finalize(statement_); }

SqliteStatement& SqliteStatement::operator=(SqliteStatement&& other) noexcept {
  if (this != &other) {
    sqlite3_finalize(statement_);
    statement_ = other.statement_;
    other.statement_ = nullptr;
  }
  return *this;
}

void SqliteStatement::Bind(int index, std::int64_t value) { sqlite3_bind_int64(statement_, index, value); }

void SqliteStatement::BindText(int index, std::string_view utf8) {
  sqlite3_bind_text64(statement_, index, utf8.data(), utf8.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

void SqliteStatement::BindBlob(int index, std::string_view bytes) {
  // A zero-length blob, not NULL: an empty name is still a name.
  sqlite3_bind_blob64(statement_, index, bytes.empty() ? "" : bytes.data(), bytes.size(), SQLITE_TRANSIENT);
}

void SqliteStatement::BindNull(int index) { sqlite3_bind_null(statement_, index); }

int SqliteStatement::Step() { return sqlite3_step(statement_); }

void SqliteStatement::Reset() {
  sqlite3_reset(statement_);
  sqlite3_clear_bindings(statement_);
}

std::int64_t SqliteStatement::Int(int column) const { return sqlite3_column_int64(statement_, column); }

bool SqliteStatement::IsNull(int column) const { return sqlite3_column_type(statement_, column) == SQLITE_NULL; }

std::string SqliteStatement::Bytes(int column) const { return std::string(View(column)); }

std::string_view SqliteStatement::View(int column) const {
  const void* data = sqlite3_column_blob(statement_, column);
  const int size = sqlite3_column_bytes(statement_, column);
  if (data == nullptr || size <= 0) return {};
  return std::string_view(static_cast<const char*>(data), static_cast<std::size_t>(size));
}

SqliteDatabase::~SqliteDatabase() {
  reused_.clear();  // finalized before the connection closes
  sqlite3_close_v2(db_);
}

bool SqliteDatabase::Open(const std::string& path, HistoryError* error) {
  path_ = path;
  // One thread uses a connection (the program has no other), so SQLite need not lock it
  // around every call: reading a long answer's columns one by one costs a lock each else.
  const int code =
      sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (code != SQLITE_OK) {
    *error = Failure(code, SqliteUse::Opening);
    return false;
  }
  sqlite3_extended_result_codes(db_, 1);
  WaitForLocks(true);
  return true;
}

void SqliteDatabase::WaitForLocks(bool wait) {
  // Another program (the window and a --follow, say) may be writing: wait for it, unless
  // the caller keeps its writes for later instead.
  sqlite3_busy_timeout(db_, wait ? 10000 : 0);
}

int SqliteDatabase::Exec(const char* sql) { return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr); }

SqliteStatement SqliteDatabase::Prepare(std::string_view sql) {
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &statement, nullptr) != SQLITE_OK) {
    sqlite3_finalize(statement);
    return SqliteStatement();
  }
  return SqliteStatement(statement);
}

SqliteDatabase::Lease SqliteDatabase::Reuse(const std::string& sql) {
  auto found = reused_.find(sql);
  if (found == reused_.end()) {
    SqliteStatement statement = Prepare(sql);
    if (!statement) return Lease(nullptr);
    found = reused_.emplace(sql, std::move(statement)).first;
  }
  return Lease(&found->second);
}

HistoryError SqliteDatabase::Failure(int code, SqliteUse use) const {
  HistoryError error;
  error.Path = path_;
  // The connection's message belongs to its last call, which need not be the failure here
  // (a damaged figure found while reading, say): then the code's own words.
  const bool sameCall = db_ != nullptr && (sqlite3_errcode(db_) & 0xFF) == (code & 0xFF);
  error.Detail = sameCall ? sqlite3_errmsg(db_) : sqlite3_errstr(code);
  switch (code & 0xFF) {
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
      error.Failure = HistoryFailure::Corrupt;
      break;
    // A record the file's rules refuse says nothing about the disk or the permissions.
    case SQLITE_CONSTRAINT:
    case SQLITE_MISMATCH:
    case SQLITE_TOOBIG:
    case SQLITE_RANGE:
      error.Failure = HistoryFailure::Refused;
      break;
    case SQLITE_CANTOPEN:
      error.Failure = use == SqliteUse::Writing ? HistoryFailure::CannotWrite : HistoryFailure::CannotOpen;
      break;
    case SQLITE_READONLY:
    case SQLITE_FULL:
    case SQLITE_PERM:
      error.Failure = HistoryFailure::CannotWrite;
      break;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      error.Failure = HistoryFailure::Locked;
      break;
    default:
      error.Failure = use == SqliteUse::Opening ? HistoryFailure::CannotOpen
                      : use == SqliteUse::Writing ? HistoryFailure::CannotWrite
                                                  : HistoryFailure::Corrupt;
      break;
  }
  return error;
}

// The schema's steps are one table of SQL, a step per version; splitting it would only
// scatter the schema's history.
// NOLINTNEXTLINE(readability-function-size)
const std::vector<SchemaStep>& HistorySchemaSteps() {
  // Texts from the logs (names, labels) are kept as their Shift-JIS bytes (blobs), exactly
  // as the analysis has them; paths are UTF-8 text. Every figure is what the analysis
  // derived; no chat line is kept.
  static const std::string markSql = "PRAGMA application_id = " + std::to_string(kHistoryApplicationId) + ";";
  static const std::vector<SchemaStep> steps = {
      {0, R"sql(
CREATE TABLE logs(
  id INTEGER PRIMARY KEY,
  file_name TEXT NOT NULL, folder TEXT NOT NULL,
  size INTEGER NOT NULL, hash BLOB NOT NULL,
  file_size INTEGER NOT NULL, file_hash BLOB NOT NULL,
  last_write INTEGER NOT NULL, date TEXT NOT NULL);
CREATE INDEX logs_by_size ON logs(size);
CREATE TABLE names(id INTEGER PRIMARY KEY, name BLOB NOT NULL UNIQUE);
CREATE TABLE use_names(id INTEGER PRIMARY KEY, item INTEGER NOT NULL, name BLOB NOT NULL,
  UNIQUE(item, name));
CREATE TABLE battles(
  id INTEGER PRIMARY KEY,
  log_id INTEGER NOT NULL REFERENCES logs(id) ON DELETE CASCADE,
  number INTEGER NOT NULL, date TEXT NOT NULL,
  kind INTEGER NOT NULL, type INTEGER NOT NULL, size INTEGER NOT NULL, npc INTEGER NOT NULL,
  admiral INTEGER REFERENCES names(id), opponent INTEGER REFERENCES names(id),
  result INTEGER NOT NULL, own_down INTEGER NOT NULL, enemy_down INTEGER NOT NULL,
  own_points INTEGER NOT NULL, enemy_points INTEGER NOT NULL,
  criticals_dealt INTEGER NOT NULL, criticals_taken INTEGER NOT NULL,
  count_mark INTEGER NOT NULL, game_not_counted INTEGER NOT NULL, counted INTEGER NOT NULL,
  ended INTEGER NOT NULL,
  wasted_repairs INTEGER NOT NULL, wasted_care INTEGER NOT NULL, wasted_other INTEGER NOT NULL,
  label BLOB NOT NULL,
  UNIQUE(log_id, number));
CREATE INDEX battles_by_date ON battles(date);
CREATE TABLE battle_players(
  battle_id INTEGER NOT NULL REFERENCES battles(id) ON DELETE CASCADE,
  name_id INTEGER NOT NULL REFERENCES names(id),
  sides INTEGER NOT NULL, relations INTEGER NOT NULL, present INTEGER NOT NULL,
  sinks INTEGER NOT NULL, sunk INTEGER NOT NULL, captures INTEGER NOT NULL,
  captured INTEGER NOT NULL, decisive INTEGER NOT NULL,
  tenacity INTEGER NOT NULL, meals INTEGER NOT NULL,
  wasted_repairs INTEGER NOT NULL, wasted_care INTEGER NOT NULL, wasted_other INTEGER NOT NULL,
  taken_by INTEGER REFERENCES names(id),
  PRIMARY KEY(battle_id, name_id)) WITHOUT ROWID;
CREATE TABLE battle_uses(
  battle_id INTEGER NOT NULL REFERENCES battles(id) ON DELETE CASCADE,
  name_id INTEGER NOT NULL, use_id INTEGER NOT NULL REFERENCES use_names(id),
  count INTEGER NOT NULL,
  PRIMARY KEY(battle_id, name_id, use_id)) WITHOUT ROWID;
CREATE TABLE corrections(
  log_id INTEGER NOT NULL REFERENCES logs(id) ON DELETE CASCADE,
  number INTEGER NOT NULL,
  size INTEGER NOT NULL, type INTEGER NOT NULL, npc INTEGER NOT NULL, count_mark INTEGER NOT NULL,
  PRIMARY KEY(log_id, number)) WITHOUT ROWID;
)sql"},
      // The counted battles' figures summed per log, class and player (and per player and
      // use), packed in one row per log and class: the page's players question reads a few
      // hundred rows instead of every battle's players. An older file's are made from its
      // battles when it is opened (SQL alone cannot pack them).
      {1, R"sql(
CREATE TABLE log_totals(
  log_id INTEGER NOT NULL REFERENCES logs(id) ON DELETE CASCADE,
  type INTEGER NOT NULL, size INTEGER NOT NULL, npc INTEGER NOT NULL,
  players BLOB NOT NULL, uses BLOB NOT NULL,
  PRIMARY KEY(log_id, type, size, npc)) WITHOUT ROWID;
)sql"},
      // A battle and player's skill and item uses packed into one blob beside the player's
      // figures (use id, count, ...; pack_uses): a log of many uses wrote hundreds of rows
      // for them. A player with uses but no row gets one with no other figure.
      {2, R"sql(
ALTER TABLE battle_players ADD COLUMN uses BLOB NOT NULL DEFAULT x'';
INSERT OR IGNORE INTO battle_players(battle_id, name_id, sides, relations, present, sinks, sunk,
  captures, captured, decisive, tenacity, meals, wasted_repairs, wasted_care, wasted_other, taken_by)
  SELECT DISTINCT battle_id, name_id, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, NULL FROM battle_uses;
UPDATE battle_players SET uses = (SELECT pack_uses(x.use_id, x.count) FROM battle_uses x
  WHERE x.battle_id = battle_players.battle_id AND x.name_id = battle_players.name_id)
  WHERE EXISTS (SELECT 1 FROM battle_uses x
  WHERE x.battle_id = battle_players.battle_id AND x.name_id = battle_players.name_id);
DROP TABLE battle_uses;
)sql"},
      // One row per log's bytes: two programs importing one log at once left two rows, and
      // every battle counted twice. Of such rows the one with the most corrections is kept
      // (then the first imported), and takes the others' corrections of battles it has no
      // correction for. The hash of each log's start (NULL until the log is imported again)
      // finds the longer log a shorter copy belongs to.
      {3, R"sql(
ALTER TABLE logs ADD COLUMN head BLOB;
CREATE TEMP TABLE log_keepers(dropped INTEGER PRIMARY KEY, kept INTEGER NOT NULL);
INSERT INTO log_keepers
  SELECT d.id, (SELECT k.id FROM logs k WHERE k.size = d.size AND k.hash = d.hash
    ORDER BY (SELECT COUNT(*) FROM corrections c WHERE c.log_id = k.id) DESC, k.id LIMIT 1)
  FROM logs d;
DELETE FROM log_keepers WHERE dropped = kept;
INSERT OR IGNORE INTO corrections(log_id, number, size, type, npc, count_mark)
  SELECT m.kept, c.number, c.size, c.type, c.npc, c.count_mark
  FROM corrections c JOIN log_keepers m ON m.dropped = c.log_id ORDER BY m.dropped;
DELETE FROM battle_players WHERE battle_id IN
  (SELECT id FROM battles WHERE log_id IN (SELECT dropped FROM log_keepers));
DELETE FROM battles WHERE log_id IN (SELECT dropped FROM log_keepers);
DELETE FROM log_totals WHERE log_id IN (SELECT dropped FROM log_keepers);
DELETE FROM corrections WHERE log_id IN (SELECT dropped FROM log_keepers);
DELETE FROM logs WHERE id IN (SELECT dropped FROM log_keepers);
DROP TABLE log_keepers;
CREATE UNIQUE INDEX logs_by_bytes ON logs(size, hash);
CREATE INDEX logs_by_head ON logs(head);
)sql"},
      // The file's mark (kHistoryApplicationId): a file from before it has our tables; a
      // new one gets the mark with its tables.
      {4, markSql.c_str()},
      // What shaped each log's analysis (empty for a log stored before: it is analysed again
      // at its next import), where each battle starts in its log, and the corrections keyed
      // by that start holding only the fields the player changed (NULL: left as analysed).
      // The corrections of before, by battle number, stay in `corrections` until their log
      // is analysed again: the import then finds each one's battle among the new ones.
      {5, R"sql(
ALTER TABLE logs ADD COLUMN shaping BLOB NOT NULL DEFAULT x'';
ALTER TABLE battles ADD COLUMN first_line INTEGER;
CREATE INDEX battles_by_start ON battles(log_id, first_line);
CREATE TABLE battle_corrections(
  log_id INTEGER NOT NULL REFERENCES logs(id) ON DELETE CASCADE,
  first_line INTEGER NOT NULL,
  size INTEGER, type INTEGER, npc INTEGER, count_mark INTEGER,
  PRIMARY KEY(log_id, first_line)) WITHOUT ROWID;
)sql"},
      // A name's battles found from the name: the page's name filter read every battle of
      // the range and looked among its players for the name.
      {6, R"sql(
CREATE INDEX IF NOT EXISTS battle_players_by_name ON battle_players(name_id);
)sql"},
      // The counted battles' own figures per log, class and opponent beside the players' in
      // the per-log totals, and a row per log of every class (type, size and npc -1): the
      // page's summary, opponents and days read the totals instead of every battle of the
      // range. The totals are made again, with them, when the file is opened (as for a file
      // from before the totals). The date index holds what the battles table's order and
      // class filter read, so that listing a season's battles reads the index alone; a
      // name's battles as the opponent are found from the name.
      {7, R"sql(
DROP TABLE log_totals;
CREATE TABLE log_totals(
  log_id INTEGER NOT NULL REFERENCES logs(id) ON DELETE CASCADE,
  type INTEGER NOT NULL, size INTEGER NOT NULL, npc INTEGER NOT NULL,
  players BLOB NOT NULL, uses BLOB NOT NULL, battles BLOB NOT NULL,
  PRIMARY KEY(log_id, type, size, npc)) WITHOUT ROWID;
DROP INDEX IF EXISTS battles_by_date;
CREATE INDEX battles_by_date ON battles(date, log_id, number, type, size, npc, counted);
CREATE INDEX IF NOT EXISTS battles_by_opponent ON battles(opponent);
)sql"},
  };
  return steps;
}

int SchemaVersion(SqliteDatabase& db, HistoryError* error) {
  SqliteStatement statement = db.Prepare("PRAGMA user_version");
  const int code = statement ? statement.Step() : sqlite3_errcode(db.Handle());
  if (code != SQLITE_ROW) {
    *error = db.Failure(code, SqliteUse::Opening);
    return -1;
  }
  return static_cast<int>(statement.Int(0));
}

HistoryError CheckOwnHistory(SqliteDatabase& db) {
  SqliteStatement mark = db.Prepare("PRAGMA application_id");
  int code = mark ? mark.Step() : sqlite3_errcode(db.Handle());
  if (code != SQLITE_ROW) return db.Failure(code, SqliteUse::Opening);
  const std::int64_t id = mark.Int(0);
  if (id == kHistoryApplicationId) return {};
  if (id != 0) {
    return HistoryError{HistoryFailure::Corrupt, db.Path(), "another program's database (application id " +
                                                                std::to_string(id) + ")"};
  }
  HistoryError error;
  const int version = SchemaVersion(db, &error);
  if (version < 0) return error;
  if (version > kHistorySchemaVersion) return {};
  SqliteStatement tables = db.Prepare("SELECT name FROM sqlite_master WHERE type = 'table'");
  bool any = false, logs = false, battles = false;
  while (tables && (code = tables.Step()) == SQLITE_ROW) {
    any = true;
    logs = logs || tables.View(0) == "logs";
    battles = battles || tables.View(0) == "battles";
  }
  if (!tables) code = sqlite3_errcode(db.Handle());
  if (code != SQLITE_DONE) return db.Failure(code, SqliteUse::Opening);
  if (!any || (version >= 1 && logs && battles)) return {};
  return HistoryError{HistoryFailure::Corrupt, db.Path(),
                      "another program's database (tables without Mizuto's mark)"};
}

HistoryError MigrateSchema(SqliteDatabase& db, const std::vector<SchemaStep>& steps, int target) {
  HistoryError error;
  int version = SchemaVersion(db, &error);
  if (version < 0) return error;
  if (version > target) return HistoryError{HistoryFailure::NewerVersion, db.Path(), {}};
  if (version == target) return {};
  // Another program may be bringing the same file up to date: the version is read again
  // once the write lock is ours.
  int code = db.Exec("BEGIN IMMEDIATE");
  if (code != SQLITE_OK) return db.Failure(code, SqliteUse::Writing);
  version = SchemaVersion(db, &error);
  if (version < 0 || version > target) {
    db.Exec("ROLLBACK");
    return version < 0 ? error : HistoryError{HistoryFailure::NewerVersion, db.Path(), {}};
  }
  for (; version < target; ++version) {
    const SchemaStep* step = nullptr;
    for (const SchemaStep& s : steps) {
      if (s.From == version) step = &s;
    }
    code = step == nullptr ? SQLITE_ERROR : db.Exec(step->Sql);
    if (code != SQLITE_OK) {
      error = db.Failure(code, SqliteUse::Writing);
      if (step == nullptr) error.Detail = "no step from schema version " + std::to_string(version);
      db.Exec("ROLLBACK");
      return error;
    }
  }
  const std::string setVersion = "PRAGMA user_version = " + std::to_string(target);
  code = db.Exec(setVersion.c_str());
  if (code == SQLITE_OK) code = db.Exec("COMMIT");
  if (code != SQLITE_OK) {
    error = db.Failure(code, SqliteUse::Writing);
    db.Exec("ROLLBACK");
    return error;
  }
  return {};
}

}  // namespace mizuto
