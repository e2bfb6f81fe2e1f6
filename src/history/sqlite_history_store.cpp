// Opening the history and writing to it: imports, ended battles, corrections.
#include "history/sqlite_store.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <map>
#include <optional>
#include <tuple>
#include <filesystem>
#include <functional>
#include <system_error>

#include "battle/battle_label.h"
#include "ingest/chat_log_reader.h"
#include "platform/platform.h"
#include "text/sjis.h"

namespace mizuto {
namespace {

// sjis_contains(name, text): whether a name holds a text, character by character (a
// trail byte never starts a match), as the lists match names.
void SjisContains(sqlite3_context* context, int, sqlite3_value** values) {
  const auto* name = static_cast<const char*>(sqlite3_value_blob(values[0]));
  const int nameSize = sqlite3_value_bytes(values[0]);
  const auto* text = static_cast<const char*>(sqlite3_value_blob(values[1]));
  const int textSize = sqlite3_value_bytes(values[1]);
  if (name == nullptr || text == nullptr || textSize <= 0) {
    sqlite3_result_int(context, textSize <= 0 ? 1 : 0);
    return;
  }
  const std::string_view haystack(name, static_cast<std::size_t>(nameSize));
  const std::string_view needle(text, static_cast<std::size_t>(textSize));
  sqlite3_result_int(context, FindChar(haystack, needle) != 0 ? 1 : 0);
}

// pack_uses(use_id, count): a battle and player's use rows as one blob (PackUses), for the
// step that brings a file of the version with a row per use up to date.
void PackUsesStep(sqlite3_context* context, int, sqlite3_value** values) {
  auto** uses = static_cast<UseCounts**>(sqlite3_aggregate_context(context, sizeof(UseCounts*)));
  if (uses == nullptr) {
    sqlite3_result_error_nomem(context);
    return;
  }
  if (*uses == nullptr) *uses = new UseCounts;
  (*uses)->emplace_back(sqlite3_value_int64(values[0]), sqlite3_value_int64(values[1]));
}
void PackUsesFinal(sqlite3_context* context) {
  auto** uses = static_cast<UseCounts**>(sqlite3_aggregate_context(context, 0));
  UseCounts none;
  const std::string packed = PackUses(uses != nullptr && *uses != nullptr ? **uses : none);
  if (uses != nullptr) delete *uses;
  sqlite3_result_blob(context, packed.data(), static_cast<int>(packed.size()), SQLITE_TRANSIENT);
}

bool Done(int code) { return code == SQLITE_DONE || code == SQLITE_ROW || code == SQLITE_OK; }

// A counted battle's figures for the totals: its result as the status bar counts it, and
// its other sums (own down, enemy down, criticals dealt and taken, wasted repairs, care and
// other), as the battles table keeps them.
BattleFigures FiguresOfBattle(std::int64_t result, bool ended, const std::array<std::int64_t, 7>& sums) {
  BattleFigures f;
  switch (CountOfResult(ResultFromStored(result), ended)) {
    case ResultCount::Won: f.Won = 1; break;
    case ResultCount::Lost: f.Lost = 1; break;
    case ResultCount::Drawn: f.Drawn = 1; break;
    case ResultCount::Escaped: f.Escaped = 1; break;
    case ResultCount::Withdrawn: f.Withdrawn = 1; break;
    case ResultCount::None: break;
  }
  f.OwnDown = sums[0];
  f.EnemyDown = sums[1];
  f.CriticalsDealt = sums[2];
  f.CriticalsTaken = sums[3];
  f.WastedRepairs = sums[4];
  f.WastedCare = sums[5];
  f.WastedOther = sums[6];
  return f;
}

}  // namespace

FilePlace PlaceOf(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path native = platform::NativePath(path);
  fs::path absolute = fs::absolute(native, ec);
  if (ec) absolute = native;
  absolute = absolute.lexically_normal();
  return FilePlace{platform::PathString(absolute.parent_path()), platform::PathString(absolute.filename())};
}

std::string FilePlace::Path() const {
  return platform::PathString(platform::NativePath(Folder) / platform::NativePath(FileName));
}

std::string_view HashBytesView(const LogHash& hash) {
  return std::string_view(reinterpret_cast<const char*>(hash.data()), hash.size());
}

namespace {

// Whether an analysis under `shaping` differs from one under `known`. An import that brings
// no analysis along (empty) differs from none.
bool Reshaped(const std::string& shaping, const std::string& known) { return !shaping.empty() && shaping != known; }

// A correction's field: NULL when the player left it as analysed.
template <class Field>
void BindField(SqliteStatement& s, int index, const std::optional<Field>& field) {
  if (field) {
    s.Bind(index, static_cast<std::int64_t>(*field));
  } else {
    s.BindNull(index);
  }
}

// The correction of a row whose columns from `first` on are size, type, npc, count_mark.
BattleCorrection CorrectionAt(const SqliteStatement& s, int first) {
  BattleCorrection c;
  if (!s.IsNull(first)) c.Size = static_cast<ShipSize>(std::clamp<std::int64_t>(s.Int(first), 0, 3));
  if (!s.IsNull(first + 1)) c.Type = static_cast<BattleType>(std::clamp<std::int64_t>(s.Int(first + 1), 0, 3));
  if (!s.IsNull(first + 2)) c.Npc = s.Int(first + 2) != 0;
  if (!s.IsNull(first + 3)) c.CountMark = s.Int(first + 3) != 0;
  return c;
}

// How an older file's battle is found again among a new analysis' battles: how it began (its
// kind and its opponent) and how many battles that began so came before it.
std::string BattleOpening(std::int64_t kind, const std::string* opponent) {
  return std::to_string(kind) + (opponent != nullptr ? ":" + *opponent : std::string("-"));
}

// A skill or an item of the reference lists, by its place in its list.
struct UseKey {
  bool Item = false;
  std::uint32_t Index = 0;
  bool operator==(const UseKey&) const = default;
};
struct UseKeyHash {
  std::size_t operator()(const UseKey& key) const {
    return std::hash<std::uint64_t>{}(std::uint64_t{key.Index} * 2 + (key.Item ? 1 : 0));
  }
};

// A battle's opening and its rank among the battles that opened so (BattleOpening).
using RankedOpening = std::pair<std::string, int>;

// The ranked openings of a stored log's battles, by battle number; an SQLite code other than
// SQLITE_DONE when they could not be read.
int StoredOpenings(SqliteDatabase& db, std::int64_t logId, std::unordered_map<int, RankedOpening>* stored) {
  SqliteStatement battles = db.Prepare(
      "SELECT b.number, b.kind, o.name, o.id IS NULL FROM battles b LEFT JOIN names o ON o.id = b.opponent"
      " WHERE b.log_id = ? ORDER BY b.number");
  if (!battles) return sqlite3_errcode(db.Handle());
  battles.Bind(1, logId);
  std::map<std::string, int> seen;
  int code;
  while ((code = battles.Step()) == SQLITE_ROW) {
    const std::string opponent = battles.Bytes(2);
    std::string opening = BattleOpening(battles.Int(1), battles.Int(3) != 0 ? nullptr : &opponent);
    const int rank = seen[opening]++;
    (*stored)[static_cast<int>(battles.Int(0))] = {std::move(opening), rank};
  }
  return code;
}

// The ranked openings of a new analysis' battles.
std::map<RankedOpening, const PreparedBattle*> FreshOpenings(const PreparedLog& log) {
  std::map<std::string, int> seen;
  std::map<RankedOpening, const PreparedBattle*> fresh;
  for (const PreparedBattle& battle : log.Battles) {
    std::string opening = BattleOpening(ToStored(battle.Record.Kind), log.NameOf(battle.Record.Opponent));
    const int rank = seen[opening]++;
    fresh[{std::move(opening), rank}] = &battle;
  }
  return fresh;
}

// Binds a battle's correction to `s` (log id, first line, size, type, npc, count mark) and
// runs it.
int StepCorrection(SqliteStatement& s, std::int64_t logId, std::int32_t firstLine, const BattleCorrection& change) {
  s.Bind(1, logId);
  s.Bind(2, firstLine);
  BindField(s, 3, change.Size);
  BindField(s, 4, change.Type);
  BindField(s, 5, change.Npc);
  BindField(s, 6, change.CountMark);
  return s.Step();
}

}  // namespace

struct SqliteHistoryStore::Writer {
  SqliteStatement InsertBattle, FindName, FindNames, AddName, InsertPlayer, AddUse;
  // The names one FindNames looks up at once (the rest of its places bound to NULL).
  static constexpr int kNamesAtOnce = 64;
  std::vector<std::int64_t> NameIds;  // per name index; 0: not looked up yet, kNewName: not in the store
  static constexpr std::int64_t kNewName = -1;
  std::unordered_map<UseKey, std::int64_t, UseKeyHash> UseIds;  // -> the use name's id
  std::unordered_map<std::int32_t, BattleCorrection> Corrections;  // by first line
  // The store's use names ((item ? '1' : '0') + name -> id), read once per transaction when
  // the first use is looked up: a few hundred rows, against a look-up per use.
  std::unordered_map<std::string, std::int64_t> KnownUses;
  bool UsesRead = false;
  // An import sums the log's totals as it writes its battles (reading them back cost as
  // much as the writing); a single battle's record rolls the log up from the store instead.
  bool SumTotals = false;
  LogTotals Totals;
  UseCounts Uses;  // one battle and player's, reused

  bool Prepare(SqliteDatabase& db) {
    InsertBattle = db.Prepare(
        "INSERT INTO battles(log_id, number, date, kind, type, size, npc, admiral, opponent, result,"
        " own_down, enemy_down, own_points, enemy_points, criticals_dealt, criticals_taken,"
        " count_mark, game_not_counted, counted, ended, wasted_repairs, wasted_care, wasted_other, label, first_line)"
        " VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
    FindName = db.Prepare("SELECT id FROM names WHERE name = ?");
    std::string findNames = "SELECT id, name FROM names WHERE name IN (?";
    for (int i = 1; i < kNamesAtOnce; ++i) findNames += ",?";
    FindNames = db.Prepare(findNames + ")");
    AddName = db.Prepare("INSERT INTO names(name) VALUES(?)");
    InsertPlayer = db.Prepare(
        "INSERT INTO battle_players(battle_id, name_id, sides, relations, present, sinks, sunk,"
        " captures, captured, decisive, tenacity, meals, wasted_repairs, wasted_care, wasted_other, taken_by, uses)"
        " VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
    AddUse = db.Prepare("INSERT INTO use_names(item, name) VALUES(?, ?)");
    return InsertBattle && FindName && FindNames && AddName && InsertPlayer && AddUse;
  }

  // The ids looked up belong to one transaction: a rolled-back one takes its new names along.
  void Restart() {
    NameIds.clear();
    UseIds.clear();
    KnownUses.clear();
    UsesRead = false;
    Corrections.clear();
    SumTotals = false;
    Totals.Clear();
  }

  // The id of a name (Shift-JIS bytes), added when new (or known to be new); 0 on failure
  // (`code` set).
  std::int64_t IdOfName(SqliteDatabase& db, std::string_view name, bool knownNew, int* code) {
    int step = SQLITE_DONE;
    if (!knownNew) {
      FindName.BindBlob(1, name);
      step = FindName.Step();
      const std::int64_t id = step == SQLITE_ROW ? FindName.Int(0) : 0;
      FindName.Reset();
      if (id != 0) return id;
      if (step != SQLITE_DONE) {
        *code = step;
        return 0;
      }
    }
    AddName.BindBlob(1, name);
    step = AddName.Step();
    AddName.Reset();
    if (step != SQLITE_DONE) {
      *code = step;
      return 0;
    }
    return sqlite3_last_insert_rowid(db.Handle());
  }

  // Looks up the ids of every name the log's battles refer to, kNamesAtOnce a query;
  // IdOfNameIndex adds the new ones.
  int FindNamesOf(const PreparedLog& log) {
    NameIds.resize(log.Names.size(), 0);
    std::unordered_map<std::string_view, int> asked;  // name -> index, one query's
    auto ask = [&]() {
      int place = 1;
      for (const auto& [name, n] : asked) FindNames.BindBlob(place++, name);
      for (; place <= kNamesAtOnce; ++place) FindNames.BindNull(place);
      int step;
      while ((step = FindNames.Step()) == SQLITE_ROW) {
        const auto found = asked.find(FindNames.Bytes(1));
        if (found != asked.end()) NameIds[static_cast<std::size_t>(found->second)] = FindNames.Int(0);
      }
      FindNames.Reset();
      asked.clear();
      return step;
    };
    for (std::size_t n = 0; n < log.Names.size(); ++n) {
      if (!log.Referenced[n] || NameIds[n] != 0) continue;
      // Not found: new, added without a second look (a name twice in the table is looked
      // up as before).
      if (asked.emplace(log.Names[n], static_cast<int>(n)).second) NameIds[n] = kNewName;
      if (static_cast<int>(asked.size()) == kNamesAtOnce) {
        if (const int step = ask(); step != SQLITE_DONE) return step;
      }
    }
    return asked.empty() ? SQLITE_DONE : ask();
  }

  // 0 for nobody (or on failure, `code` set).
  std::int64_t IdOfNameIndex(SqliteDatabase& db, const PreparedLog& log, int n, int* code) {
    const std::string* name = log.NameOf(n);
    if (name == nullptr) return 0;
    if (NameIds.size() < log.Names.size()) NameIds.resize(log.Names.size(), 0);
    std::int64_t& id = NameIds[static_cast<std::size_t>(n)];
    if (id <= 0) id = IdOfName(db, *name, id == kNewName, code);
    return id;
  }

  std::int64_t IdOfUse(SqliteDatabase& db, bool item, std::uint32_t index, const std::string& name, int* code) {
    const UseKey key{item, index};
    auto found = UseIds.find(key);
    if (found != UseIds.end()) return found->second;
    if (!UsesRead) {
      UsesRead = true;
      SqliteDatabase::Lease all = db.Reuse("SELECT id, item, name FROM use_names");
      int read = all ? SQLITE_ROW : sqlite3_errcode(db.Handle());
      while (all && (read = all->Step()) == SQLITE_ROW) KnownUses.emplace((all->Int(1) != 0 ? "1" : "0") + all->Bytes(2), all->Int(0));
      if (read != SQLITE_DONE) {
        *code = read;
        return 0;
      }
    }
    std::string known = (item ? "1" : "0") + name;
    int step = SQLITE_DONE;
    std::int64_t id = 0;
    if (const auto at = KnownUses.find(known); at != KnownUses.end()) {
      id = at->second;
    } else {
      AddUse.Bind(1, item ? 1 : 0);
      AddUse.BindBlob(2, name);
      step = AddUse.Step();
      AddUse.Reset();
      if (step == SQLITE_DONE) id = sqlite3_last_insert_rowid(db.Handle());
      if (id != 0) KnownUses.emplace(std::move(known), id);
    }
    if (id == 0) {
      *code = step;
      return 0;
    }
    UseIds.emplace(key, id);
    return id;
  }
};

SqliteHistoryStore::~SqliteHistoryStore() = default;

SqliteHistoryStore::Writer* SqliteHistoryStore::FreshWriter(int* code) {
  if (!writer_) {
    auto made = std::make_unique<Writer>();
    if (!made->Prepare(db_)) {
      const int error = sqlite3_errcode(db_.Handle());
      *code = error != SQLITE_OK ? error : SQLITE_ERROR;
      return nullptr;
    }
    writer_ = std::move(made);
  }
  writer_->Restart();
  return writer_.get();
}

namespace {

// What is at the history's path before SQLite sees it. SQLite would take a FIFO or a device
// for a database (and make a journal beside the device), and a file it cannot write it opens
// read-only, reading it making -wal and -shm beside it that stay unwritable after the file's
// own permissions are mended.
HistoryError CheckHistoryPath(const std::string& path) {
  switch (platform::KindOfPath(path)) {
    case platform::PathKind::RegularFile:
      break;
    case platform::PathKind::Special:
      return HistoryError{HistoryFailure::Corrupt, path, "not a regular file"};
    default:
      return {};  // missing: made; a folder or what cannot be told: SQLite says what is wrong
  }
  // Named in the message: mending the file's own permissions does not help while they stay.
  std::string blocking;
  for (const char* beside : {"-wal", "-shm"}) {
    const std::string other = path + beside;
    if (platform::KindOfPath(other) != platform::PathKind::Missing && !platform::MayWriteFile(other)) {
      blocking += (blocking.empty() ? "" : ", ") + other;
    }
  }
  std::string detail = platform::MayWriteFile(path) ? "" : "read-only";
  if (!blocking.empty()) detail += (detail.empty() ? "" : "; ") + std::string("read-only beside it: ") + blocking;
  if (detail.empty()) return {};
  return HistoryError{HistoryFailure::CannotWrite, path, detail};
}

}  // namespace

HistoryOpen SqliteHistoryStore::Open(const std::string& path) {
  HistoryOpen open;
  open.Error = CheckHistoryPath(path);
  if (open.Error) return open;
  std::unique_ptr<SqliteHistoryStore> store(new SqliteHistoryStore);
  SqliteDatabase& db = store->db_;
  if (!db.Open(path, &open.Error)) return open;
  // Another program's database is refused before anything could write to it.
  open.Error = CheckOwnHistory(db);
  if (open.Error) return open;
  // A file of a newer Mizuto is refused before anything could write to it (the journal
  // mode included).
  const int version = SchemaVersion(db, &open.Error);
  if (version < 0) return open;
  if (version > kHistorySchemaVersion) {
    open.Error = HistoryError{HistoryFailure::NewerVersion, path, {}};
    return open;
  }
  if (sqlite3_db_readonly(db.Handle(), "main") == 1) {
    open.Error = HistoryError{HistoryFailure::CannotWrite, path, "read-only"};
    return open;
  }
  SqliteStatement journal = db.Prepare("PRAGMA journal_mode = WAL");
  const int code = journal ? journal.Step() : sqlite3_errcode(db.Handle());
  if (code != SQLITE_ROW) {
    open.Error = db.Failure(code, SqliteUse::Writing);
    return open;
  }
  if (journal.Bytes(0) != "wal") {
    open.Error = HistoryError{HistoryFailure::CannotWrite, path, "journal mode " + journal.Bytes(0)};
    return open;
  }
  journal = SqliteStatement();
  // A killed process loses at most its last transaction, never the file's consistency.
  db.Exec("PRAGMA synchronous = NORMAL");
  db.Exec("PRAGMA foreign_keys = ON");
  // Up to 32 MiB of pages kept between questions: the History page asks its questions over
  // the same battles again and again (50,000 battles take about 22 MiB).
  db.Exec("PRAGMA cache_size = -32768");
  sqlite3_create_function_v2(db.Handle(), "pack_uses", 2, SQLITE_UTF8, nullptr, nullptr, PackUsesStep, PackUsesFinal,
                             nullptr);
  open.Error = MigrateSchema(db, HistorySchemaSteps(), kHistorySchemaVersion);
  if (open.Error) return open;
  // The totals of a log whose counted battles have none: a file of the version before them
  // (SQL alone cannot pack them, so its step could not make them).
  open.Error = store->RollUpMissingLogs();
  if (open.Error) return open;
  // It only spares later imports some reading: what it could not do is tried at the next open.
  store->FillMissingHeads();
  sqlite3_create_function_v2(db.Handle(), "sjis_contains", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                             SjisContains, nullptr, nullptr, nullptr);
  open.Store = std::move(store);
  return open;
}

HistoryOpen OpenHistoryStore(const std::string& path) { return SqliteHistoryStore::Open(path); }

bool HistoryBuilt() { return true; }

void SqliteHistoryStore::StopWhen(const std::atomic<bool>* stop) {
  // Asked every hundred steps of the statement running, so a set flag ends the statement at
  // once; the failed statement's transaction is rolled back as any failed write's is.
  auto stopped = [](void* flag) { return static_cast<const std::atomic<bool>*>(flag)->load() ? 1 : 0; };
  sqlite3_progress_handler(db_.Handle(), stop != nullptr ? 100 : 0, stop != nullptr ? +stopped : nullptr,
                           const_cast<std::atomic<bool>*>(stop));
}

void SqliteHistoryStore::Checkpoint() {
  // Passive: a reader or writer in another program is not waited for.
  sqlite3_wal_checkpoint_v2(db_.Handle(), nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
}

HistoryError SqliteHistoryStore::Begin() {
  const int code = db_.Exec("BEGIN IMMEDIATE");
  return code == SQLITE_OK ? HistoryError{} : db_.Failure(code, SqliteUse::Writing);
}

HistoryError SqliteHistoryStore::Commit() {
  const int code = db_.Exec("COMMIT");
  if (code == SQLITE_OK) return {};
  HistoryError error = db_.Failure(code, SqliteUse::Writing);
  Rollback();
  return error;
}

void SqliteHistoryStore::Rollback() {
  if (!sqlite3_get_autocommit(db_.Handle())) db_.Exec("ROLLBACK");
}

LogCheck SqliteHistoryStore::ProbesFor(const std::string& path, std::int64_t fileSize) {
  LogCheck check;
  // A log of no bytes would be the start of every file: it identifies nothing.
  int code = SQLITE_DONE;
  {
    SqliteDatabase::Lease sizes = db_.Reuse("SELECT DISTINCT size FROM logs WHERE size > 0");
    code = sizes ? SQLITE_ROW : sqlite3_errcode(db_.Handle());
    while (sizes && (code = sizes->Step()) == SQLITE_ROW) check.Prefixes.push_back(PrefixProbe{sizes->Int(0), {}, false});
  }
  if (code == SQLITE_DONE && fileSize >= 0) {
    // Generated or rotated logs are often of one size: the place tells them apart.
    const FilePlace place = PlaceOf(path);
    SqliteDatabase::Lease same = db_.Reuse(
        "SELECT 1 FROM logs WHERE (size = ?1 OR file_size = ?1) AND folder = ?2 AND file_name = ?3 LIMIT 1");
    code = same ? SQLITE_ROW : sqlite3_errcode(db_.Handle());
    if (same) {
      same->Bind(1, fileSize);
      same->BindText(2, place.Folder);
      same->BindText(3, place.FileName);
      code = same->Step();
      check.MayBeKnown = code == SQLITE_ROW;
      if (code == SQLITE_ROW) code = SQLITE_DONE;
    }
  }
  if (code != SQLITE_DONE) check.StoreError = db_.Failure(code, SqliteUse::Reading);
  return check;
}

LogCheck SqliteHistoryStore::MatchHashed(LogFileRead read, std::vector<PrefixProbe> prefixes) {
  LogCheck check;
  check.Read = std::move(read);
  check.Prefixes = std::move(prefixes);
  if (!check.Read.Ok()) return check;
  std::erase_if(check.Prefixes, [](const PrefixProbe& p) { return !p.Reached; });
  Match match;
  const int code = MatchKnown(check.Prefixes, check.Read.File, &match);
  if (code != SQLITE_DONE) {
    check.StoreError = db_.Failure(code, SqliteUse::Reading);
    return check;
  }
  check.KnownLogId = match.Known;
  check.AlsoPrefixes = match.Shorter;
  check.SameBytes = match.SameBytes;
  check.SamePlace = match.SamePlace;
  check.KnownShaping = std::move(match.Shaping);
  return check;
}

LogCheck SqliteHistoryStore::CheckLogFile(const std::string& path, std::int64_t limit) {
  LogCheck check = ProbesFor(path, -1);
  if (check.StoreError) {
    // Still the file's identity, as before: the caller tells a file error from a store one.
    check.Read = HashLogFile(path, limit, &check.Prefixes, kRereadBytes);
    return check;
  }
  // Where the reader will stop is had on the way, for an import that analyses the file next.
  LogFileRead read = HashLogFile(path, limit, &check.Prefixes, kRereadBytes);
  return MatchHashed(std::move(read), std::move(check.Prefixes));
}

std::unordered_map<std::int32_t, BattleCorrection> SqliteHistoryStore::CorrectionsOf(std::int64_t logId, int* code) {
  std::unordered_map<std::int32_t, BattleCorrection> corrections;
  SqliteDatabase::Lease lease =
      db_.Reuse("SELECT first_line, size, type, npc, count_mark FROM battle_corrections WHERE log_id = ?");
  if (!lease) {
    *code = sqlite3_errcode(db_.Handle());
    return corrections;
  }
  SqliteStatement& read = *lease;
  read.Bind(1, logId);
  int step;
  while ((step = read.Step()) == SQLITE_ROW) corrections[static_cast<std::int32_t>(read.Int(0))] = CorrectionAt(read, 1);
  if (step != SQLITE_DONE) *code = step;
  return corrections;
}

HistoryAnswer<std::vector<StoredCorrection>> SqliteHistoryStore::Corrections(std::int64_t logId) {
  HistoryAnswer<std::vector<StoredCorrection>> answer;
  int code = SQLITE_DONE;
  for (const auto& [line, change] : CorrectionsOf(logId, &code)) answer.Value.push_back(StoredCorrection{line, change});
  if (!Done(code)) {
    answer.Value.clear();
    answer.Error = db_.Failure(code, SqliteUse::Reading);
  }
  std::sort(answer.Value.begin(), answer.Value.end(),
            [](const StoredCorrection& a, const StoredCorrection& b) { return a.FirstLine < b.FirstLine; });
  return answer;
}

int SqliteHistoryStore::KeyNumberedCorrections(std::int64_t logId, const PreparedLog& log) {
  struct Numbered {
    int Number = 0;
    BattleClass Class;
    bool CountMark = true;
  };
  std::vector<Numbered> numbered;
  SqliteStatement old = db_.Prepare("SELECT number, size, type, npc, count_mark FROM corrections WHERE log_id = ?");
  if (!old) return sqlite3_errcode(db_.Handle());
  old.Bind(1, logId);
  int code;
  while ((code = old.Step()) == SQLITE_ROW) {
    const BattleCorrection c = CorrectionAt(old, 1);
    numbered.push_back(Numbered{static_cast<int>(old.Int(0)), BattleClass{*c.Size, *c.Type, *c.Npc}, *c.CountMark});
  }
  if (code != SQLITE_DONE || numbered.empty()) return code;

  // A stored battle is found again by its opening and rank among the new analysis' battles.
  std::unordered_map<int, RankedOpening> stored;  // by number
  if ((code = StoredOpenings(db_, logId, &stored)) != SQLITE_DONE) return code;
  const std::map<RankedOpening, const PreparedBattle*> fresh = FreshOpenings(log);

  SqliteStatement keep = db_.Prepare(
      "INSERT OR IGNORE INTO battle_corrections(log_id, first_line, size, type, npc, count_mark) VALUES(?,?,?,?,?,?)");
  SqliteStatement drop = db_.Prepare("DELETE FROM corrections WHERE log_id = ?");
  if (!keep || !drop) return sqlite3_errcode(db_.Handle());
  for (const Numbered& n : numbered) {
    const auto was = stored.find(n.Number);
    if (was == stored.end()) continue;
    const auto now = fresh.find(was->second);
    if (now == fresh.end()) continue;  // that battle is not in the new analysis
    // The old correction held the whole class: what differs from the analysis is what the
    // player changed, as far as can be told now.
    const BattleRecord& r = now->second->Record;
    BattleCorrection change;
    if (n.Class.Size != r.Class.Size) change.Size = n.Class.Size;
    if (n.Class.Type != r.Class.Type) change.Type = n.Class.Type;
    if (n.Class.Npc != r.Class.Npc) change.Npc = n.Class.Npc;
    if (n.CountMark != r.Tally.CountMark) change.CountMark = n.CountMark;
    if (change.Empty()) continue;
    code = StepCorrection(keep, logId, r.FirstLine, change);
    keep.Reset();
    if (code != SQLITE_DONE) return code;
  }
  drop.Bind(1, logId);
  return drop.Step();
}

int SqliteHistoryStore::TakeInShorterLog(std::int64_t known, std::int64_t shorter) {
  // A prefix's battles start where the longer log's do: the corrections keep their keys.
  for (const char* sql : {"INSERT OR IGNORE INTO corrections(log_id, number, size, type, npc, count_mark)"
                          " SELECT ?1, number, size, type, npc, count_mark FROM corrections WHERE log_id = ?2",
                          "INSERT OR IGNORE INTO battle_corrections(log_id, first_line, size, type, npc, count_mark)"
                          " SELECT ?1, first_line, size, type, npc, count_mark FROM battle_corrections WHERE log_id = ?2",
                          "DELETE FROM logs WHERE id = ?2 AND ?1 = ?1"}) {
    SqliteStatement step = db_.Prepare(sql);
    if (!step) return sqlite3_errcode(db_.Handle());
    step.Bind(1, known);
    step.Bind(2, shorter);
    if (const int code = step.Step(); code != SQLITE_DONE) return code;
  }
  return SQLITE_DONE;
}

int SqliteHistoryStore::RollUpLog(std::int64_t logId) {
  SqliteDatabase::Lease lease = db_.Reuse(
      "SELECT b.type, b.size, b.npc, p.name_id, p.sides, p.relations, p.present, p.sinks, p.decisive, p.sunk,"
      " p.captures, p.captured, p.tenacity, p.meals, p.uses FROM battles b"
      " JOIN battle_players p ON p.battle_id = b.id WHERE b.log_id = ? AND b.counted = 1");
  if (!lease) return sqlite3_errcode(db_.Handle());
  SqliteStatement& read = *lease;
  read.Bind(1, logId);
  LogTotals totals;
  int code = SQLITE_DONE;
  {
    SqliteDatabase::Lease battles = db_.Reuse(
        "SELECT type, size, npc, opponent, result, ended, own_down, enemy_down, criticals_dealt, criticals_taken,"
        " wasted_repairs, wasted_care, wasted_other FROM battles WHERE log_id = ? AND counted = 1");
    if (!battles) return sqlite3_errcode(db_.Handle());
    battles->Bind(1, logId);
    while ((code = battles->Step()) == SQLITE_ROW) {
      const SqliteStatement& b = *battles;
      totals.AddBattle({b.Int(0), b.Int(1), b.Int(2)}, b.IsNull(3) ? LogTotals::kNoOpponent : b.Int(3),
                       FiguresOfBattle(b.Int(4), b.Int(5) != 0, {b.Int(6), b.Int(7), b.Int(8), b.Int(9), b.Int(10),
                                                                  b.Int(11), b.Int(12)}));
    }
    if (code != SQLITE_DONE) return code;
  }
  while ((code = read.Step()) == SQLITE_ROW) {
    PlayerFigures f;
    int i = 4;
    for (std::int64_t* v : {&f.Sides, &f.Relations, &f.Present, &f.Sinks, &f.Decisive, &f.Sunk, &f.Captures,
                            &f.Captured, &f.Tenacity, &f.Meals}) {
      *v = read.Int(i++);
    }
    if (!totals.Add({read.Int(0), read.Int(1), read.Int(2)}, read.Int(3), f, read.Bytes(14))) return SQLITE_CORRUPT;
  }
  if (code != SQLITE_DONE) return code;
  return WriteTotals(logId, totals);
}

int SqliteHistoryStore::WriteTotals(std::int64_t logId, LogTotals& totals) {
  SqliteDatabase::Lease clear = db_.Reuse("DELETE FROM log_totals WHERE log_id = ?");
  SqliteDatabase::Lease insert = db_.Reuse(
      "INSERT INTO log_totals(log_id, type, size, npc, players, uses, battles) VALUES(?,?,?,?,?,?,?)");
  if (!clear || !insert) return sqlite3_errcode(db_.Handle());
  clear->Bind(1, logId);
  int code = clear->Step();
  if (code != SQLITE_DONE) return code;
  for (const LogTotals::Row& row : totals.Rows()) {
    insert->Bind(1, logId);
    for (int i = 0; i < 3; ++i) insert->Bind(2 + i, row.Of[static_cast<std::size_t>(i)]);
    insert->BindBlob(5, row.Players);
    insert->BindBlob(6, row.Uses);
    insert->BindBlob(7, row.Battles);
    code = insert->Step();
    insert->Reset();
    if (code != SQLITE_DONE) return code;
  }
  return SQLITE_DONE;
}

HistoryError SqliteHistoryStore::RollUpMissingLogs() {
  const char* missing =
      "SELECT l.id FROM logs l WHERE NOT EXISTS (SELECT 1 FROM log_totals t WHERE t.log_id = l.id)"
      " AND EXISTS (SELECT 1 FROM battles b WHERE b.log_id = l.id AND b.counted = 1)";
  std::vector<std::int64_t> logs;
  SqliteStatement find = db_.Prepare(missing);
  int code = find ? SQLITE_ROW : sqlite3_errcode(db_.Handle());
  while (find && (code = find.Step()) == SQLITE_ROW) logs.push_back(find.Int(0));
  if (code != SQLITE_DONE) return db_.Failure(code, SqliteUse::Reading);
  find = SqliteStatement();
  if (logs.empty()) return {};
  if (HistoryError error = Begin()) return error;
  for (std::int64_t id : logs) {
    code = RollUpLog(id);
    if (code != SQLITE_DONE) {
      const HistoryError error = db_.Failure(code, SqliteUse::Writing);
      Rollback();
      return error;
    }
  }
  return Commit();
}

int SqliteHistoryStore::InsertBattle(Writer& w, std::int64_t logId, const std::string& date, const PreparedLog& log,
                                     const PreparedBattle& battle) {
  BattleRecord r = battle.Record;
  // The player's correction over the analysis' own count mark and class.
  if (auto c = w.Corrections.find(r.FirstLine); c != w.Corrections.end()) ApplyCorrection(r, c->second);
  int code = SQLITE_OK;
  const std::int64_t admiral = w.IdOfNameIndex(db_, log, r.Admiral, &code);
  const std::int64_t opponent = w.IdOfNameIndex(db_, log, r.Opponent, &code);
  if (!Done(code)) return code;
  const std::string* admiralName = log.NameOf(r.Admiral);
  const std::string* opponentName = log.NameOf(r.Opponent);
  const std::string shown =
      battle.Ended ? BattleLabel(r, battle.Number - 1, admiralName != nullptr ? std::string_view(*admiralName) : std::string_view(),
                                 opponentName != nullptr ? std::string_view(*opponentName) : kUnknownOpponent)
                   : InProgressLabel(battle.Number - 1);

  SqliteStatement& s = w.InsertBattle;
  int i = 1;
  s.Bind(i++, logId);
  s.Bind(i++, battle.Number);
  s.BindText(i++, date);
  s.Bind(i++, ToStored(r.Kind));
  s.Bind(i++, static_cast<int>(r.Class.Type));
  s.Bind(i++, static_cast<int>(r.Class.Size));
  s.Bind(i++, r.Class.Npc ? 1 : 0);
  if (admiral != 0) s.Bind(i++, admiral); else s.BindNull(i++);
  if (opponent != 0) s.Bind(i++, opponent); else s.BindNull(i++);
  s.Bind(i++, ToStored(r.Result));
  s.Bind(i++, battle.OwnDown);
  s.Bind(i++, battle.EnemyDown);
  s.Bind(i++, r.OwnPoints);
  s.Bind(i++, r.EnemyPoints);
  s.Bind(i++, r.CriticalsDealt);
  s.Bind(i++, r.CriticalsTaken);
  s.Bind(i++, r.Tally.CountMark ? 1 : 0);
  s.Bind(i++, r.Tally.GameSaysNotCounted ? 1 : 0);
  s.Bind(i++, CountedBattle(r) ? 1 : 0);
  s.Bind(i++, battle.Ended ? 1 : 0);
  s.Bind(i++, battle.WastedRepairs);
  s.Bind(i++, battle.WastedCare);
  s.Bind(i++, battle.WastedOther);
  s.BindBlob(i++, shown);
  s.Bind(i++, r.FirstLine);
  code = s.Step();
  s.Reset();
  if (code != SQLITE_DONE) return code;
  if (w.SumTotals && CountedBattle(r)) {
    w.Totals.AddBattle({static_cast<int>(r.Class.Type), static_cast<int>(r.Class.Size), r.Class.Npc ? 1 : 0},
                       opponent != 0 ? opponent : LogTotals::kNoOpponent,
                       FiguresOfBattle(ToStored(r.Result), battle.Ended,
                                       {battle.OwnDown, battle.EnemyDown, r.CriticalsDealt, r.CriticalsTaken,
                                        battle.WastedRepairs, battle.WastedCare, battle.WastedOther}));
  }
  return InsertPlayers(w, sqlite3_last_insert_rowid(db_.Handle()), r, log, battle);
}

int SqliteHistoryStore::InsertPlayers(Writer& w, std::int64_t battleId, const BattleRecord& r, const PreparedLog& log,
                                      const PreparedBattle& battle) {
  int code = SQLITE_OK;
  const bool counted = CountedBattle(r);
  const LogTotals::Class battleClass{static_cast<int>(r.Class.Type), static_cast<int>(r.Class.Size), r.Class.Npc ? 1 : 0};
  for (const PreparedPlayer& player : battle.Players) {
    w.Uses.clear();
    for (const PreparedPlayer::Use& use : player.Uses) {
      const std::vector<std::string>& list = use.Item ? log.ItemNames : log.SkillNames;
      // A list may name an entry twice: both columns' uses go to the one name.
      w.Uses.emplace_back(w.IdOfUse(db_, use.Item, use.Index, list[use.Index], &code), use.Count);
      if (!Done(code)) return code;
    }
    const std::int64_t nameId = w.IdOfNameIndex(db_, log, player.Name, &code);
    const std::int64_t takenBy = w.IdOfNameIndex(db_, log, player.TakenBy, &code);
    if (!Done(code)) return code;
    const std::string uses = PackUses(w.Uses);
    const PlayerFigures& f = player.Figures;
    SqliteStatement& p = w.InsertPlayer;
    int k = 1;
    p.Bind(k++, battleId);
    p.Bind(k++, nameId);
    for (std::int64_t v : {f.Sides, f.Relations, f.Present, f.Sinks, f.Sunk, f.Captures, f.Captured, f.Decisive,
                           f.Tenacity, f.Meals, player.WastedRepairs, player.WastedCare, player.WastedOther}) {
      p.Bind(k++, v);
    }
    if (takenBy != 0) p.Bind(k++, takenBy); else p.BindNull(k++);
    p.BindBlob(k++, uses);
    code = p.Step();
    p.Reset();
    if (code != SQLITE_DONE) return code;
    if (w.SumTotals && counted && !w.Totals.Add(battleClass, nameId, f, uses)) return SQLITE_CORRUPT;
  }
  return SQLITE_OK;
}

int SqliteHistoryStore::BattleCount(std::int64_t logId) {
  SqliteDatabase::Lease count = db_.Reuse("SELECT COUNT(*) FROM battles WHERE log_id = ?");
  if (!count) return 0;
  count->Bind(1, logId);
  return count->Step() == SQLITE_ROW ? static_cast<int>(count->Int(0)) : 0;
}

ImportResult SqliteHistoryStore::FailedImport(int code) {
  ImportResult result;
  result.Error = db_.Failure(code, SqliteUse::Writing);
  Rollback();
  return result;
}

std::optional<ImportResult> SqliteHistoryStore::NothingToWrite(const LogCheck& check, const PreparedLog& log) {
  ImportResult result;
  if (check.StoreError) {
    result.Error = check.StoreError;
    return result;
  }
  if (!check.Read.Ok()) {
    result.Error.Path = check.Read.File.Path;
    result.Error.Detail = check.Read.Error;
    return result;
  }
  if (check.Read.File.Size <= 0) {
    // Nothing analysed yet (an empty log): nothing to remember.
    result.Outcome = ImportOutcome::Unchanged;
    return result;
  }
  if (check.SameBytes && check.SamePlace && check.AlsoPrefixes.empty() && !Reshaped(log.Shaping, check.KnownShaping)) {
    // Known to the byte where it was: nothing to write, so no lock to take either.
    result.Outcome = ImportOutcome::Unchanged;
    result.LogId = check.KnownLogId;
    result.Battles = BattleCount(check.KnownLogId);
    return result;
  }
  return std::nullopt;
}

int SqliteHistoryStore::MoveLog(std::int64_t logId, const LogFileIdentity& file) {
  const FilePlace place = PlaceOf(file.Path);
  SqliteStatement move = db_.Prepare(
      "UPDATE logs SET folder = ?, file_name = ?, last_write = ?, date = ?, file_size = ?, file_hash = ?,"
      " head = ? WHERE id = ?");
  SqliteStatement dates = db_.Prepare("UPDATE battles SET date = ? WHERE log_id = ?");
  if (!move || !dates) return sqlite3_errcode(db_.Handle());
  move.BindText(1, place.Folder);
  move.BindText(2, place.FileName);
  move.Bind(3, file.LastWrite);
  move.BindText(4, file.Date);
  move.Bind(5, file.FileSize);
  move.BindBlob(6, HashBytesView(file.FileHash));
  move.BindBlob(7, HashBytesView(LogHead(file)));
  move.Bind(8, logId);
  dates.BindText(1, file.Date);
  dates.Bind(2, logId);
  int code = move.Step();
  if (code == SQLITE_DONE) code = dates.Step();
  return code;
}

ImportResult SqliteHistoryStore::KeepKnownLog(const Match& match, std::int64_t into, bool takenIn, const LogFileIdentity& file) {
  ImportResult result;
  result.Outcome = takenIn ? ImportOutcome::Merged : ImportOutcome::Unchanged;
  result.LogId = into;
  result.ShorterCopy = match.Longer != 0;
  result.OtherFile = match.Longer != 0 ? match.LongerFile : match.SamePlace ? std::string() : match.KnownFile;
  const bool samePlace = match.SamePlace || match.KeepPlace;
  if ((samePlace || match.Longer != 0) && !takenIn) {
    result.Battles = BattleCount(into);
    Rollback();  // nothing was written
    return result;
  }
  if (!samePlace && match.Longer == 0) {
    // Moved or renamed: the battles stay, the place and the date follow the file.
    if (const int code = MoveLog(match.Known, file); code != SQLITE_DONE) return FailedImport(code);
    result.Outcome = ImportOutcome::Moved;
  }
  result.Battles = BattleCount(into);
  if (HistoryError error = Commit()) {
    result = ImportResult{};
    result.Error = error;
  }
  return result;
}

int SqliteHistoryStore::WriteLogRow(std::int64_t known, const LogFileIdentity& file, const PreparedLog& log,
                                    std::int64_t* logId) {
  const FilePlace place = PlaceOf(file.Path);
  if (known != 0) {
    SqliteStatement update = db_.Prepare(
        "UPDATE logs SET folder = ?, file_name = ?, size = ?, hash = ?, last_write = ?, date = ?, file_size = ?,"
        " file_hash = ?, head = ?, shaping = ? WHERE id = ?");
    SqliteStatement clear = db_.Prepare("DELETE FROM battles WHERE log_id = ?");
    if (!update || !clear) return sqlite3_errcode(db_.Handle());
    update.Bind(7, file.FileSize);
    update.BindBlob(8, HashBytesView(file.FileHash));
    update.BindBlob(9, HashBytesView(LogHead(file)));
    update.BindBlob(10, log.Shaping);
    update.Bind(11, known);
    clear.Bind(1, known);
    update.BindText(1, place.Folder);
    update.BindText(2, place.FileName);
    update.Bind(3, file.Size);
    update.BindBlob(4, HashBytesView(file.Hash));
    update.Bind(5, file.LastWrite);
    update.BindText(6, file.Date);
    // An older file's corrections find their battles while the old battles are still there.
    int code = KeyNumberedCorrections(known, log);
    if (code == SQLITE_DONE) code = update.Step();
    if (code == SQLITE_DONE) code = clear.Step();
    *logId = known;
    return code;
  }
  SqliteDatabase::Lease lease = db_.Reuse(
      "INSERT INTO logs(folder, file_name, size, hash, last_write, date, file_size, file_hash, head, shaping)"
      " VALUES(?,?,?,?,?,?,?,?,?,?)");
  if (!lease) return sqlite3_errcode(db_.Handle());
  SqliteStatement& insert = *lease;
  insert.BindText(1, place.Folder);
  insert.BindText(2, place.FileName);
  insert.Bind(3, file.Size);
  insert.BindBlob(4, HashBytesView(file.Hash));
  insert.Bind(5, file.LastWrite);
  insert.BindText(6, file.Date);
  insert.Bind(7, file.FileSize);
  insert.BindBlob(8, HashBytesView(file.FileHash));
  insert.BindBlob(9, HashBytesView(LogHead(file)));
  insert.BindBlob(10, log.Shaping);
  const int code = insert.Step();
  if (code == SQLITE_DONE) *logId = sqlite3_last_insert_rowid(db_.Handle());
  return code;
}

int SqliteHistoryStore::WriteBattles(std::int64_t logId, const std::string& date, const PreparedLog& log) {
  int code = SQLITE_OK;
  Writer* writer = FreshWriter(&code);
  if (writer == nullptr) return code;
  writer->Corrections = CorrectionsOf(logId, &code);
  if (!Done(code)) return code;
  writer->SumTotals = true;
  code = writer->FindNamesOf(log);
  if (!Done(code)) return code;
  for (const PreparedBattle& battle : log.Battles) {
    code = InsertBattle(*writer, logId, date, log, battle);
    if (!Done(code)) return code;
  }
  return WriteTotals(logId, writer->Totals);
}

ImportResult SqliteHistoryStore::ImportLog(const LogCheck& check, const PreparedLog& log) {
  if (std::optional<ImportResult> nothing = NothingToWrite(check, log)) return *nothing;
  ImportResult result;
  if (HistoryError error = Begin()) {
    result.Error = error;
    return result;
  }
  // Which known logs the file begins with, asked again now that the write lock is ours:
  // another program may have imported or grown one since the check.
  Match match;
  if (const int code = MatchUnderLock(check, &match); code != SQLITE_DONE) return FailedImport(code);
  const std::int64_t known = match.Known;
  // The same bytes analysed otherwise than they were are replaced as a grown log is; a file
  // that is the start of a longer log is part of that one, whatever shaped it.
  const bool reanalysed = match.SameBytes && match.Longer == 0 && Reshaped(log.Shaping, match.Shaping);
  if (check.SameBytes && !match.SameBytes && match.Longer == 0) {
    // The caller skipped the analysis for a log the store no longer holds so.
    Rollback();
    result.Error = HistoryError{HistoryFailure::CannotWrite, db_.Path(), "the history changed during the import; import again"};
    return result;
  }

  // The shorter copies of the same log become part of it: their corrections move over. A
  // file that is the start of a longer log is part of that one, and so is what it begins with.
  std::vector<std::int64_t> shorter = match.Shorter;
  if (match.Longer != 0 && known != 0) shorter.push_back(known);
  const std::int64_t into = match.Longer != 0 ? match.Longer : known;
  if (const int code = TakeIn(into, shorter); code != SQLITE_DONE) return FailedImport(code);
  const LogFileIdentity& file = check.Read.File;
  if ((match.SameBytes && !reanalysed) || match.Longer != 0) {
    result = KeepKnownLog(match, into, !shorter.empty(), file);
    if (result.Outcome != ImportOutcome::Error) result.TookIn = static_cast<int>(shorter.size());
    return result;
  }

  std::int64_t logId = 0;
  if (const int code = WriteLogRow(known, file, log, &logId); code != SQLITE_DONE) return FailedImport(code);
  result.Outcome = known == 0 ? ImportOutcome::Imported : reanalysed ? ImportOutcome::Reanalysed : ImportOutcome::Grown;
  result.TookIn = static_cast<int>(shorter.size());
  if (const int code = WriteBattles(logId, file.Date, log); !Done(code)) return FailedImport(code);
  if (HistoryError error = Commit()) {
    result = ImportResult{};
    result.Error = error;
    return result;
  }
  result.LogId = logId;
  result.Battles = static_cast<int>(log.Battles.size());
  return result;
}

HistoryError SqliteHistoryStore::RecordBattles(std::int64_t logId, const PreparedLog& log) {
  if (log.Battles.empty()) return {};
  if (HistoryError error = Begin()) return error;
  SqliteStatement find = db_.Prepare("SELECT date FROM logs WHERE id = ?");
  SqliteStatement clear = db_.Prepare("DELETE FROM battles WHERE log_id = ? AND number = ?");
  if (!find || !clear) {
    const HistoryError error = db_.Failure(sqlite3_errcode(db_.Handle()), SqliteUse::Writing);
    Rollback();
    return error;
  }
  find.Bind(1, logId);
  int code = find.Step();
  if (code == SQLITE_DONE) {
    // The log was merged into a longer copy since: that copy's next import brings it.
    Rollback();
    return {};
  }
  if (code == SQLITE_ROW) {
    const std::string date = find.Bytes(0);
    Writer* writer = FreshWriter(&code);
    if (writer != nullptr) writer->Corrections = CorrectionsOf(logId, &code);
    for (std::size_t i = 0; writer != nullptr && Done(code) && i < log.Battles.size(); ++i) {
      clear.Bind(1, logId);
      clear.Bind(2, log.Battles[i].Number);
      code = clear.Step();
      clear.Reset();
      if (code == SQLITE_DONE) code = InsertBattle(*writer, logId, date, log, log.Battles[i]);
    }
    if (writer != nullptr && Done(code)) code = RollUpLog(logId);
  }
  if (!Done(code)) {
    const HistoryError error = db_.Failure(code, SqliteUse::Writing);
    Rollback();
    return error;
  }
  return Commit();
}

namespace {

// Writes the battle `read` stands on (StoreCorrection's columns) again with `change` applied,
// so that the stored battle shows the correction at once, labelled as the battle list
// labels it. Returns write's SQLite code.
int RewriteCorrected(const SqliteStatement& read, SqliteStatement& write, const BattleCorrection& change) {
  BattleRecord r;
  r.Kind = KindFromStored(read.Int(1));
  r.Result = ResultFromStored(read.Int(2));
  r.OwnPoints = static_cast<std::int32_t>(read.Int(3));
  r.EnemyPoints = static_cast<std::int32_t>(read.Int(4));
  r.Tally.GameSaysNotCounted = read.Int(5) != 0;
  const BattleCorrection stored = CorrectionAt(read, 11);
  r.Class = BattleClass{*stored.Size, *stored.Type, *stored.Npc};
  r.Tally.CountMark = *stored.CountMark;
  ApplyCorrection(r, change);
  const bool ended = read.Int(6) != 0;
  const int number = static_cast<int>(read.Int(10));
  const std::string opponent = read.Int(9) != 0 ? std::string(kUnknownOpponent) : read.Bytes(8);
  const std::string label = ended ? BattleLabel(r, number - 1, read.Bytes(7), opponent) : InProgressLabel(number - 1);
  write.Bind(1, static_cast<int>(r.Class.Size));
  write.Bind(2, static_cast<int>(r.Class.Type));
  write.Bind(3, r.Class.Npc ? 1 : 0);
  write.Bind(4, r.Tally.CountMark ? 1 : 0);
  write.Bind(5, CountedBattle(r) ? 1 : 0);
  write.BindBlob(6, label);
  write.Bind(7, read.Int(0));
  return write.Step();
}

}  // namespace

HistoryError SqliteHistoryStore::StoreCorrection(std::int64_t logId, std::int32_t firstLine,
                                                 const BattleCorrection& change) {
  if (change.Empty()) return {};
  if (HistoryError error = Begin()) return error;
  auto fail = [&](int code) {
    const HistoryError error = db_.Failure(code, SqliteUse::Writing);
    Rollback();
    return error;
  };
  SqliteStatement exists = db_.Prepare("SELECT 1 FROM logs WHERE id = ?");
  if (!exists) return fail(sqlite3_errcode(db_.Handle()));
  exists.Bind(1, logId);
  int code = exists.Step();
  if (code == SQLITE_DONE) {
    Rollback();  // no such log (any more): nothing to correct
    return {};
  }
  if (code != SQLITE_ROW) return fail(code);
  // A field the player did not change now keeps what an earlier correction made of it.
  SqliteStatement keep = db_.Prepare(
      "INSERT INTO battle_corrections(log_id, first_line, size, type, npc, count_mark) VALUES(?,?,?,?,?,?)"
      " ON CONFLICT(log_id, first_line) DO UPDATE SET size = COALESCE(excluded.size, size),"
      " type = COALESCE(excluded.type, type), npc = COALESCE(excluded.npc, npc),"
      " count_mark = COALESCE(excluded.count_mark, count_mark)");
  SqliteStatement read = db_.Prepare(
      "SELECT b.id, b.kind, b.result, b.own_points, b.enemy_points, b.game_not_counted, b.ended,"
      " a.name, o.name, o.id IS NULL, b.number, b.size, b.type, b.npc, b.count_mark FROM battles b"
      " LEFT JOIN names a ON a.id = b.admiral LEFT JOIN names o ON o.id = b.opponent"
      " WHERE b.log_id = ? AND b.first_line = ?");
  SqliteStatement write = db_.Prepare(
      "UPDATE battles SET size = ?, type = ?, npc = ?, count_mark = ?, counted = ?, label = ? WHERE id = ?");
  if (!keep || !read || !write) return fail(sqlite3_errcode(db_.Handle()));
  code = StepCorrection(keep, logId, firstLine, change);
  if (code != SQLITE_DONE) return fail(code);
  read.Bind(1, logId);
  read.Bind(2, firstLine);
  code = read.Step();
  if (code == SQLITE_ROW) {
    code = RewriteCorrected(read, write, change);
    // The battle leaves the totals of its old class (or count) and joins those of its new.
    if (code == SQLITE_DONE) code = RollUpLog(logId);
  }
  if (!Done(code)) return fail(code);
  return Commit();
}

HistoryAnswer<ForgottenLog> SqliteHistoryStore::ForgetWhere(const char* where,
                                                            const std::function<void(SqliteStatement&)>& bind) {
  HistoryAnswer<ForgottenLog> answer;
  if (HistoryError error = Begin()) {
    answer.Error = error;
    return answer;
  }
  SqliteStatement find = db_.Prepare(std::string("SELECT id, file_name FROM logs WHERE ") + where);
  SqliteStatement drop = db_.Prepare("DELETE FROM logs WHERE id = ?");
  int code = find && drop ? SQLITE_OK : sqlite3_errcode(db_.Handle());
  if (code == SQLITE_OK) {
    bind(find);
    code = find.Step();
  }
  if (code == SQLITE_ROW) {
    answer.Value.LogId = find.Int(0);
    answer.Value.FileName = find.Bytes(1);
    answer.Value.Battles = BattleCount(answer.Value.LogId);
    // Its battles, their players and uses, its corrections and totals go with it.
    drop.Bind(1, answer.Value.LogId);
    code = drop.Step();
  }
  if (code != SQLITE_DONE) {
    answer = HistoryAnswer<ForgottenLog>{};
    answer.Error = db_.Failure(code, SqliteUse::Writing);
    Rollback();
    return answer;
  }
  if (answer.Value.LogId == 0) {
    Rollback();  // nothing was written
    return answer;
  }
  if (HistoryError error = Commit()) {
    answer = HistoryAnswer<ForgottenLog>{};
    answer.Error = error;
  }
  return answer;
}

HistoryAnswer<ForgottenLog> SqliteHistoryStore::ForgetLog(const std::string& path) {
  const FilePlace place = PlaceOf(path);
  return ForgetWhere("folder = ? AND file_name = ?", [&](SqliteStatement& find) {
    find.BindText(1, place.Folder);
    find.BindText(2, place.FileName);
  });
}

HistoryAnswer<ForgottenLog> SqliteHistoryStore::ForgetLogById(std::int64_t logId) {
  return ForgetWhere("id = ?", [&](SqliteStatement& find) { find.Bind(1, logId); });
}

}  // namespace mizuto
