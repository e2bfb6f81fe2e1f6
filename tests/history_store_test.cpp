// The season history's store: the schema's steps, what a failure does, how a file is known
// by its bytes, corrections across imports, and the window's hooks (load, tick, battle list).
#include <chrono>

#include <gtest/gtest.h>
#include <sqlite3.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <random>
#include <thread>
#include <tuple>

#include "app/commands/active_mode.h"
#include "app/owner/app.h"
#include "app/owner/battle_list_commands.h"
#include "app/owner/history_recorder.h"
#include "app/history/history_page_model.h"
#include "app/owner/load_driver.h"
#include "app/owner/result_views.h"
#include "battle/battle_label.h"
#include "history/history_store.h"
#include "history/log_identity.h"
#include "history/packed_figures.h"
#include "history/sqlite_database.h"
#include "ingest/chat_log_reader.h"
#include "support/test_support.h"
#include "tally/csv_export.h"
#include "text/codec.h"

namespace mizuto {
namespace {

using test::S;
using test::SystemLine;
using test::U;

std::string Battle(const std::string& opponent, const std::string& result) {
  return SystemLine(opponent + "の強襲です！") + SystemLine("敵船" + opponent + "を撃沈しました！") +
         SystemLine(opponent + result);
}
const std::string kWon = "に勝利しました！";
const std::string kLost = "に敗北しました…";

// Runs SQL on a database file outside the store, as another program would.
std::vector<std::string> Query(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  std::vector<std::string> rows;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return {"open failed"};
  }
  sqlite3_exec(
      db, sql.c_str(),
      [](void* out, int n, char** values, char**) {
        std::string row;
        for (int i = 0; i < n; ++i) row += std::string(i ? "|" : "") + (values[i] ? values[i] : "NULL");
        static_cast<std::vector<std::string>*>(out)->push_back(row);
        return 0;
      },
      &rows, nullptr);
  sqlite3_close(db);
  return rows;
}

// --- dates from file names -------------------------------------------------------------

TEST(HistoryDates, TheFirstValidDateInTheFileNameInAnyOfItsThreeSpellings) {
  const struct {
    const char* name;
    const char* date;
  } cases[] = {
      {"chat_20240501.html", "2024-05-01"},
      {"chat2024-05-01.html", "2024-05-01"},
      {"2024_12_31 night.html", "2024-12-31"},
      {"log 20240229.html", "2024-02-29"},   // a leap day
      {"log 20230229.html", ""},             // not a leap year
      {"log 20241301.html", ""},             // no 13th month
      {"log 20240431.html", ""},             // April has 30 days
      {"log 2024-0501.html", ""},            // mixed spellings are no date
      {"log 2024-05_01.html", ""},
      {"log 2024-05-011.html", ""},          // a longer number is no date
      {"x120240501.html", ""},               // the middle of a longer number
      {"20240501123000.html", "2024-05-01"},  // a time stamp after the date
      {"v1999 2024-05-02.html", "2024-05-02"},  // a year alone, then the date
      {"chat.html", ""},
      {"19691231.html", ""},                 // before any log
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(DateFromFileName(c.name), c.date) << c.name;
}

// --- the streaming hash ------------------------------------------------------------------

TEST(HistoryHash, PrefixProbesGiveTheHashOfEachPrefixInOnePass) {
  test::TempDir dir;
  std::string bytes;
  for (unsigned i = 0; i < 300000; ++i) bytes += static_cast<char>(i * 7919u % 251u);
  test::WriteBytes(dir.File("log.html"), bytes);
  // Sizes around the read buffer and the hash's word boundaries, in no order.
  std::vector<PrefixProbe> probes;
  for (std::int64_t size : {9, 0, 1 << 20, 1, 8, 7, 65536, 299999, 300000, 300001, 131072 + 3}) {
    probes.push_back(PrefixProbe{size, {}, false});
  }
  const LogFileRead read = HashLogFile(dir.File("log.html"), 1000, &probes);
  ASSERT_TRUE(read.Ok()) << read.Error;
  EXPECT_EQ(read.File.FileSize, 300000);
  EXPECT_EQ(read.File.FileHash, HashBytes(bytes));
  EXPECT_EQ(read.File.Size, 1000);
  EXPECT_EQ(read.File.Hash, HashBytes(bytes.substr(0, 1000)));
  for (const PrefixProbe& p : probes) {
    SCOPED_TRACE(p.Size);
    EXPECT_EQ(p.Reached, p.Size <= 300000);
    if (p.Reached) {
      EXPECT_EQ(p.Hash, HashBytes(std::string_view(bytes).substr(0, static_cast<std::size_t>(p.Size))));
    }
  }
  // Trailing zero bytes and a changed last byte are other contents.
  EXPECT_NE(HashBytes("abc"), HashBytes(std::string("abc\0", 4)));
  EXPECT_NE(HashBytes("abcdefgh1"), HashBytes("abcdefgh2"));
  // The hashes history files hold: a faster hashing must give the same, around the block
  // and the tail's sizes, or every log kept would become a stranger.
  const struct {
    std::size_t size;
    const char* hex;
  } pinned[] = {{0, "3a0788bc9d4f79e00e308c24078ab39b"},  {1, "f518e92c3c9f9ad31998809d7fbab92e"},
                {31, "ac270987902d3f57d16ad54991c83a9e"}, {32, "7cf50bff4124dc78607eec4f3e305da9"},
                {33, "dc94845c687bc543840b353a5b756d60"}, {64, "1377ec00c3d32f6ba08970980f519847"},
                {1000, "a8fea170a334cfc845717b5d21846ec0"}};
  for (const auto& p : pinned) {
    std::string pattern;
    for (std::size_t i = 0; i < p.size; ++i) pattern += static_cast<char>((i * 131 + 7) & 0xFF);
    std::string hex;
    for (std::uint8_t b : HashBytes(pattern)) {
      hex += "0123456789abcdef"[b >> 4];
      hex += "0123456789abcdef"[b & 15];
    }
    EXPECT_EQ(hex, p.hex) << p.size;
  }
}

// The import hashes the bytes its reader reads, in the reader's blocks: whatever the blocks,
// and with bytes the file gained after its size was taken, the hashes are those of one pass
// over the file.
TEST(HistoryHash, HashingFedInAnyBlocksEqualsHashingTheFile) {
  test::TempDir dir;
  for (std::uint32_t seed = 1; seed <= 20; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    std::string bytes(static_cast<std::size_t>(random() % 200000), '\0');
    for (char& c : bytes) c = static_cast<char>(random() % 256);
    test::WriteBytes(dir.File("log.html"), bytes);
    std::vector<std::int64_t> sizes;
    for (int i = 0; i < 6; ++i) sizes.push_back(static_cast<std::int64_t>(random() % (bytes.size() + 100)));
    auto probesOf = [&] {
      std::vector<PrefixProbe> probes;
      for (std::int64_t size : sizes) probes.push_back(PrefixProbe{size, {}, false});
      return probes;
    };
    const std::int64_t limit = seed % 3 == 0 ? -1 : static_cast<std::int64_t>(random() % (bytes.size() + 50));
    std::vector<PrefixProbe> wholeProbes = probesOf();
    const LogFileRead whole = HashLogFile(dir.File("log.html"), limit, &wholeProbes, kRereadBytes);
    ASSERT_TRUE(whole.Ok()) << whole.Error;

    // The reader may find more than the size it was given: those bytes count for the
    // whole, never for a prefix beyond that size.
    const std::string more = seed % 2 == 0 ? std::string("grown") : std::string();
    std::vector<PrefixProbe> fedProbes = probesOf();
    LogFileHashing hashing(static_cast<std::int64_t>(bytes.size()), limit, &fedProbes, kRereadBytes);
    const std::string fed = bytes + more;
    for (std::size_t at = 0; at < fed.size();) {
      const std::size_t block = std::min<std::size_t>(fed.size() - at, 1 + random() % 70000);
      hashing.Add(std::string_view(fed).substr(at, block));
      at += block;
    }
    const LogFileRead read = hashing.Finish(dir.File("log.html"));
    EXPECT_EQ(read.File.Size, whole.File.Size);
    EXPECT_EQ(read.File.Hash, whole.File.Hash);
    EXPECT_EQ(read.File.FileSize, static_cast<std::int64_t>(fed.size()));
    EXPECT_EQ(read.File.FileHash, HashBytes(fed));
    EXPECT_EQ(read.File.Date, whole.File.Date);
    EXPECT_EQ(read.File.LastWrite, whole.File.LastWrite);
    EXPECT_EQ(read.FromEnd.Size, whole.FromEnd.Size);
    EXPECT_EQ(read.FromEnd.Reached, whole.FromEnd.Reached);
    EXPECT_EQ(read.FromEnd.Hash, whole.FromEnd.Hash);
    for (std::size_t i = 0; i < sizes.size(); ++i) {
      SCOPED_TRACE(sizes[i]);
      EXPECT_EQ(fedProbes[i].Reached, wholeProbes[i].Reached);
      EXPECT_EQ(fedProbes[i].Hash, wholeProbes[i].Hash);
    }
  }
}

// The window's first load learns the known lengths while it reads: the lengths still ahead
// are hashed on the way, those passed are hashed from the file's start afterwards, and
// together they are the hashes of one pass. A file whose start changed meanwhile gives none.
TEST(HistoryHash, LengthsLearntDuringTheReadGiveTheHashesOfOnePass) {
  test::TempDir dir;
  const std::string path = dir.File("log.html");
  for (std::uint32_t seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    std::string bytes(static_cast<std::size_t>(1 + random() % 150000), '\0');
    for (char& c : bytes) c = static_cast<char>(random() % 256);
    test::WriteBytes(path, bytes);
    std::vector<PrefixProbe> whole, learnt;
    for (int i = 0; i < 8; ++i) {
      // Lengths at the ends of blocks and next to them too.
      const auto size = static_cast<std::int64_t>(i < 2 ? bytes.size() - (i == 0 ? 0 : 1) : random() % (bytes.size() + 100));
      whole.push_back(PrefixProbe{size, {}, false});
      learnt.push_back(PrefixProbe{size, {}, true});
    }
    const LogFileRead one = HashLogFile(path, -1, &whole, kRereadBytes);
    ASSERT_TRUE(one.Ok());

    const auto size = static_cast<std::int64_t>(bytes.size());
    LogFileHashing hashing(size, -1, nullptr, kRereadBytes);
    // The lengths come after some blocks, or never during the read (a short log).
    const std::size_t learnAt = seed % 4 == 0 ? bytes.size() + 1 : random() % (bytes.size() + 1);
    PrefixProbe before;
    bool learnedYet = false;
    for (std::size_t at = 0; at <= bytes.size();) {
      if (!learnedYet && at >= learnAt) {
        before = hashing.SoFar();
        hashing.AddProbes(&learnt);
        learnedYet = true;
      }
      if (at == bytes.size()) break;
      const std::size_t block = std::min<std::size_t>(bytes.size() - at, 1 + random() % 40000);
      hashing.Add(std::string_view(bytes).substr(at, block));
      at += block;
    }
    if (!learnedYet) {
      // They come with the store, after the read: the whole read is behind them.
      before = hashing.SoFar();
      for (PrefixProbe& probe : learnt) probe.Reached = false;
    }
    const LogFileRead read = hashing.Finish(path);
    EXPECT_EQ(read.File.Hash, one.File.Hash);
    EXPECT_EQ(read.FromEnd.Hash, one.FromEnd.Hash);

    // Were the file's start changed now, nothing is taken from it.
    std::vector<PrefixProbe> untouched = learnt;
    if (before.Size > 0) {
      std::string changed = bytes;
      changed[random() % static_cast<std::size_t>(before.Size)] ^= 1;
      test::WriteBytes(path, changed);
      const bool anyPassed = std::any_of(learnt.begin(), learnt.end(), [&](const PrefixProbe& p) {
        return !p.Reached && p.Size <= before.Size;
      });
      EXPECT_EQ(HashFileStart(path, before, untouched), !anyPassed);
      for (std::size_t i = 0; i < learnt.size(); ++i) {
        EXPECT_EQ(untouched[i].Reached, learnt[i].Reached);
        EXPECT_EQ(untouched[i].Hash, learnt[i].Hash);
      }
      test::WriteBytes(path, bytes);
    }
    ASSERT_TRUE(HashFileStart(path, before, learnt));
    for (std::size_t i = 0; i < whole.size(); ++i) {
      SCOPED_TRACE("length " + std::to_string(whole[i].Size) + " learnt after " + std::to_string(before.Size));
      EXPECT_EQ(learnt[i].Reached, whole[i].Reached);
      if (whole[i].Reached) {
        EXPECT_EQ(learnt[i].Hash, whole[i].Hash);
      }
    }
  }
}

// --- the schema's steps --------------------------------------------------------------------

std::vector<std::string> Tables(const std::string& path) {
  return Query(path, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name");
}

// --- packed figures ----------------------------------------------------------------------

// A battle and player's uses come back sorted by use with a use named twice summed, any
// number survives its packing, and a blob cut inside a number is refused whole.
TEST(HistoryPacking, UsesComeBackSortedAndMergedAndACutBlobIsRefused) {
  // The bytes are what history files hold: each number's are written out. 63 and -64 are
  // the last of one byte, 64 and -65 the first of two.
  const struct {
    std::int64_t value;
    std::string bytes;
  } numbers[] = {
      {0, std::string(1, '\0')},
      {-1, "\x01"},
      {1, "\x02"},
      {63, "\x7E"},
      {-64, "\x7F"},
      {64, "\x80\x01"},
      {-65, "\x81\x01"},
      {8191, "\xFE\x7F"},
      {-8193, "\x81\x80\x01"},
      {std::int64_t{1} << 40, "\x80\x80\x80\x80\x80\x40"},
      {std::numeric_limits<std::int64_t>::max(), "\xFE\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x01"},
      {std::numeric_limits<std::int64_t>::min(), "\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x01"},
  };
  for (const auto& n : numbers) {
    std::string packed;
    PackNumber(packed, n.value);
    EXPECT_EQ(packed, n.bytes) << n.value;
    std::string_view in = packed;
    std::int64_t back = 0;
    EXPECT_TRUE(UnpackNumber(in, &back) && back == n.value && in.empty()) << n.value;
  }
  std::mt19937_64 rng(20261208);
  for (int round = 0; round < 200; ++round) {
    UseCounts uses;
    std::map<std::int64_t, std::int64_t> expected;
    const int n = static_cast<int>(rng() % 12);
    for (int k = 0; k < n; ++k) {
      const auto id = static_cast<std::int64_t>(1 + rng() % 6 + (rng() % 4 == 0 ? 100000 : 0));
      const auto count = static_cast<std::int64_t>(rng() % 300) - 20;
      uses.emplace_back(id, count);
      expected[id] += count;
    }
    const std::string packed = PackUses(uses);
    UseCounts back{{-7, -7}};  // what was there stays
    ASSERT_TRUE(UnpackUses(packed, back)) << round;
    const UseCounts want = [&] {
      UseCounts w{{-7, -7}};
      w.insert(w.end(), expected.begin(), expected.end());
      return w;
    }();
    EXPECT_EQ(back, want) << round;
    // Every cut: whole pairs read back, anything else is refused and adds nothing.
    for (std::size_t cut = 0; cut < packed.size(); ++cut) {
      UseCounts part;
      const bool ok = UnpackUses(std::string_view(packed).substr(0, cut), part);
      if (ok) {
        EXPECT_TRUE(std::equal(part.begin(), part.end(), want.begin() + 1)) << round << " " << cut;
      } else {
        EXPECT_TRUE(part.empty()) << round << " " << cut;
      }
    }
  }
}

// A first-version history kept a row per use, and a player could have uses in a battle but
// no row of figures: the step that packs the uses into the players' rows keeps every use,
// giving such a player a row of its own.
TEST(HistorySchema, TheStepThatPacksUsesKeepsAPlayerWithUsesButNoRow) {
  const struct {
    int nameId;
    const char* row;      // the player's row in the first version's file; null: none
    const char* uses;     // its rows of uses there
    const char* after;    // name_id|packed uses (hex)|sinks afterwards
  } players[] = {
      {1, "(1, 1, 1, 1, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, NULL)", "(1, 1, 1, 3), (1, 1, 2, 1)", "1|02060402|2"},
      {2, nullptr, "(1, 2, 1, 5)", "2|020A|0"},
      {3, "(1, 3, 2, 2, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, NULL)", nullptr, "3||1"},
      {4, nullptr, "(1, 4, 2, -65), (1, 4, 1, 64)", "4|028001048101|0"},
  };
  test::TempDir dir;
  const std::string path = dir.File(kHistoryFileName);
  std::string sql = std::string(HistorySchemaSteps().at(0).Sql) +
                    "PRAGMA user_version = 1;"
                    "INSERT INTO logs VALUES(1, 'chat_20240501.html', '/logs', 10, x'00', 10, x'00', 0, '2024-05-01');"
                    "INSERT INTO names VALUES(1, x'41'), (2, x'42'), (3, x'43'), (4, x'44');"
                    "INSERT INTO use_names VALUES(1, 0, x'53'), (2, 1, x'49');"
                    "INSERT INTO battles VALUES(1, 1, 1, '2024-05-01', 1, 0, 0, 0, 1, 3, 1, 0, 1, 0, 0, 0, 0,"
                    " 1, 0, 1, 1, 0, 0, 0, x'41');";
  std::vector<std::string> expected;
  for (const auto& p : players) {
    if (p.row) sql += std::string("INSERT INTO battle_players VALUES") + p.row + ";";
    if (p.uses) sql += std::string("INSERT INTO battle_uses VALUES") + p.uses + ";";
    expected.push_back(p.after);
  }
  ASSERT_EQ(Query(path, sql), std::vector<std::string>{});
  ASSERT_EQ(Query(path, "SELECT COUNT(*) FROM battle_uses"), std::vector<std::string>{"5"});
  const HistoryOpen open = OpenHistoryStore(path);
  ASSERT_TRUE(open.Store) << open.Error.Detail;
  EXPECT_EQ(Query(path, "SELECT name_id, hex(uses), sinks FROM battle_players ORDER BY name_id"), expected);
}

TEST(HistorySchema, StepsRunFromTheFilesVersionAndAFailedStepLeavesTheFileAsItWas) {
  // A made-up history of three versions: 0 (a file before any step), 1, 2.
  const std::vector<SchemaStep> steps = {{0, "CREATE TABLE one(x); INSERT INTO one VALUES(1);"},
                                         {1, "CREATE TABLE two(y);"}};
  const std::vector<SchemaStep> failing = {{0, "CREATE TABLE one(x);"}, {1, "CREATE TABLE two(y); SELECT nonsense("}};
  const struct {
    const char* what;
    int start;  // -1: no file
    const std::vector<SchemaStep>* steps;
    int target;
    HistoryFailure failure;
    int version;                      // afterwards
    std::vector<std::string> tables;  // afterwards
  } cases[] = {
      {"new file, every step", -1, &steps, 2, HistoryFailure::None, 2, {"one", "two"}},
      {"version 0 with a table of its own", 0, &steps, 2, HistoryFailure::None, 2, {"legacy", "one", "two"}},
      {"version 1: only the later step", 1, &steps, 2, HistoryFailure::None, 2, {"legacy", "two"}},
      {"up to date: nothing runs", 2, &steps, 2, HistoryFailure::None, 2, {"legacy"}},
      {"a newer file is refused", 3, &steps, 2, HistoryFailure::NewerVersion, 3, {"legacy"}},
      {"a failing step undoes the steps before it", 0, &failing, 2, HistoryFailure::CannotWrite, 0, {"legacy"}},
      {"no step from the file's version", 1, &steps, 3, HistoryFailure::CannotWrite, 1, {"legacy"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempDir dir;
    const std::string path = dir.File("made_up.db");
    if (c.start >= 0) Query(path, "CREATE TABLE legacy(z); PRAGMA user_version = " + std::to_string(c.start));
    SqliteDatabase db;
    HistoryError error;
    ASSERT_TRUE(db.Open(path, &error));
    error = MigrateSchema(db, *c.steps, c.target);
    EXPECT_EQ(error.Failure, c.failure) << error.Detail;
    HistoryError readError;
    EXPECT_EQ(SchemaVersion(db, &readError), c.version);
    EXPECT_EQ(Tables(path), c.tables);
  }
}

// The real steps from version 0 (no file, or an empty database at version 0) give the
// current schema and our mark, and a history file opens at it. (A version-0 file with
// tables is another program's: the failures below.)
TEST(HistorySchema, TheStepsReachTheCurrentVersionFromAnEmptyOrVersionZeroFile) {
  for (const bool withLegacy : {false, true}) {
    test::TempDir dir;
    const std::string path = dir.File(kHistoryFileName);
    if (withLegacy) Query(path, "PRAGMA user_version = 0; VACUUM");
    const HistoryOpen open = OpenHistoryStore(path);
    ASSERT_TRUE(open.Store) << open.Error.Detail;
    EXPECT_EQ(Query(path, "PRAGMA user_version"), std::vector<std::string>{std::to_string(kHistorySchemaVersion)});
    EXPECT_EQ(Query(path, "PRAGMA application_id"), std::vector<std::string>{"1299859577"});
    EXPECT_EQ(Query(path, "PRAGMA journal_mode"), std::vector<std::string>{"wal"});
    const std::vector<std::string> tables = Tables(path);
    for (const char* t : {"battle_players", "battles", "corrections", "log_totals", "logs", "names", "use_names"}) {
      EXPECT_NE(std::find(tables.begin(), tables.end(), t), tables.end()) << t;
    }
    // The first version's row per use was packed into the players' rows by a later step.
    EXPECT_EQ(std::find(tables.begin(), tables.end(), std::string("battle_uses")), tables.end());
  }
}

// The version a schema step starts from, found by what its statements say.
int StepThatAdds(std::string_view what) {
  for (const SchemaStep& step : HistorySchemaSteps()) {
    if (std::string_view(step.Sql).find(what) != std::string_view::npos) return step.From;
  }
  ADD_FAILURE() << "no schema step says " << what;
  return -1;
}

// A history file as a Mizuto of schema `version` made it.
void MakeFileAtVersion(const std::string& path, int version) {
  SqliteDatabase db;
  HistoryError error;
  ASSERT_TRUE(db.Open(path, &error)) << error.Detail;
  // (An older step packs uses with the store's own function; this file has none to pack.)
  sqlite3_create_function_v2(
      db.Handle(), "pack_uses", 2, SQLITE_UTF8, nullptr, nullptr, [](sqlite3_context*, int, sqlite3_value**) {},
      [](sqlite3_context*) {}, nullptr);
  ASSERT_FALSE(MigrateSchema(db, HistorySchemaSteps(), version)) << "older schema";
}

// A file that two programs left with two rows for one log opens with one: the row with the
// most corrections stays and takes the others' corrections of battles it has none for; the
// file then refuses a second row for the same bytes.
TEST(HistorySchema, TwoRowsForOneLogInAnOlderFileBecomeOne) {
  test::TempDir dir;
  const std::string path = dir.File(kHistoryFileName);
  // The file as the version before one row per log's bytes left it.
  MakeFileAtVersion(path, StepThatAdds("ADD COLUMN head"));
  std::string sql = "INSERT INTO names VALUES(1, x'41');";
  // Logs 1-3 hold the same bytes, log 4 others of the same length.
  for (const char* log : {"1,'a.html','/x',100,x'01',118,x'02',0,'2024-05-01'", "2,'b.html','/x',100,x'01',118,x'02',0,'2024-05-01'",
                          "3,'c.html','/x',100,x'01',118,x'02',0,'2024-05-01'", "4,'d.html','/x',100,x'03',118,x'04',0,'2024-05-02'"}) {
    sql += std::string("INSERT INTO logs VALUES(") + log + ");";
  }
  for (int log = 1; log <= 4; ++log) {
    const std::string id = std::to_string(log * 10), l = std::to_string(log);
    sql += "INSERT INTO battles VALUES(" + id + "," + l + ",1,'2024-05-01',0,0,0,0,1,NULL,1,0,1,0,0,0,0,1,0,1,1,0,0,0,x'');";
    sql += "INSERT INTO battle_players(battle_id, name_id, sides, relations, present, sinks, sunk, captures, captured,"
           " decisive, tenacity, meals, wasted_repairs, wasted_care, wasted_other) VALUES(" + id + ",1,1,0,1,1,0,0,0,0,0,0,0,0,0);";
    sql += "INSERT INTO log_totals VALUES(" + l + ",0,0,0,x'',x'');";
  }
  sql += "INSERT INTO corrections VALUES(2,1,1,1,0,1),(2,2,1,1,0,1),(3,2,2,2,1,0),(3,3,2,2,1,0),(4,1,3,3,0,0);";
  Query(path, sql);

  const HistoryOpen open = OpenHistoryStore(path);
  ASSERT_TRUE(open.Store) << open.Error.Detail;
  EXPECT_EQ(Query(path, "SELECT id, file_name FROM logs ORDER BY id"), (std::vector<std::string>{"2|b.html", "4|d.html"}));
  EXPECT_EQ(Query(path, "SELECT log_id, number, size FROM corrections ORDER BY 1, 2"),
            (std::vector<std::string>{"2|1|1", "2|2|1", "2|3|2", "4|1|3"}));
  EXPECT_EQ(Query(path, "SELECT DISTINCT b.log_id FROM battles b JOIN battle_players p ON p.battle_id = b.id"
                        " ORDER BY 1"),
            (std::vector<std::string>{"2", "4"}));
  EXPECT_EQ(Query(path, "SELECT DISTINCT log_id FROM log_totals ORDER BY 1"), (std::vector<std::string>{"2", "4"}));
  EXPECT_EQ(Query(path, "SELECT COUNT(*) FROM battle_players"), std::vector<std::string>{"2"});
  EXPECT_EQ(open.Store->Summary(HistoryFilter{}).Value.Battles, 2);
  Query(path, "INSERT INTO logs VALUES(5,'e.html','/x',100,x'01',118,x'02',0,'2024-05-01')");
  EXPECT_EQ(Query(path, "SELECT COUNT(*) FROM logs"), std::vector<std::string>{"2"});
}

// --- failures ------------------------------------------------------------------------------

TEST(HistoryFailures, EachKindOfTroubleIsNamedWithThePathAndTheFileIsLeftAlone) {
  const struct {
    const char* what;
    std::function<std::string(const test::TempDir&)> make;  // the history path to open
    HistoryFailure failure;
    bool untouched;  // the file's bytes are as they were
  } cases[] = {
      {"a missing folder", [](const test::TempDir& d) { return d.File("no/such/folder/") + kHistoryFileName; },
       HistoryFailure::CannotOpen, false},
      {"a folder where the file should be",
       [](const test::TempDir& d) {
         std::filesystem::create_directory(d.File(kHistoryFileName));
         return d.File(kHistoryFileName);
       },
       HistoryFailure::CannotOpen, false},
      {"not a database",
       [](const test::TempDir& d) {
         test::WriteBytes(d.File(kHistoryFileName), std::string(5000, 'x'));
         return d.File(kHistoryFileName);
       },
       HistoryFailure::Corrupt, true},
      {"a newer version",
       [](const test::TempDir& d) {
         Query(d.File(kHistoryFileName), "CREATE TABLE future(x); PRAGMA user_version = 99");
         return d.File(kHistoryFileName);
       },
       HistoryFailure::NewerVersion, true},
      // Another program's database under our name: refused before anything is written,
      // neither switched to WAL nor given our tables.
      {"another program's database",
       [](const test::TempDir& d) {
         Query(d.File(kHistoryFileName), "CREATE TABLE notes(x); INSERT INTO notes VALUES('keep')");
         return d.File(kHistoryFileName);
       },
       HistoryFailure::Corrupt, true},
      {"another program's database in WAL mode, at one of our versions",
       [](const test::TempDir& d) {
         Query(d.File(kHistoryFileName),
               "PRAGMA journal_mode = WAL; CREATE TABLE notes(x); INSERT INTO notes VALUES('keep');"
               " PRAGMA user_version = 2");
         return d.File(kHistoryFileName);
       },
       HistoryFailure::Corrupt, true},
      {"another program's mark on our tables",
       [](const test::TempDir& d) {
         Query(d.File(kHistoryFileName),
               "CREATE TABLE logs(x); CREATE TABLE battles(y); PRAGMA user_version = 2; PRAGMA application_id = 7");
         return d.File(kHistoryFileName);
       },
       HistoryFailure::Corrupt, true},
#ifndef _WIN32
      // SQLite would read the device as a database and put a journal beside it.
      {"a link to a character device",
       [](const test::TempDir& d) {
         if (::mknod(d.File("zero").c_str(), S_IFCHR | 0666, makedev(1, 5)) != 0) return std::string();
         std::filesystem::create_symlink(d.File("zero"), d.File(kHistoryFileName));
         return d.File(kHistoryFileName);
       },
       HistoryFailure::Corrupt, false},
      {"a link to a FIFO",
       [](const test::TempDir& d) {
         ::mkfifo(d.File("fifo").c_str(), 0666);
         std::filesystem::create_symlink(d.File("fifo"), d.File(kHistoryFileName));
         return d.File(kHistoryFileName);
       },
       HistoryFailure::Corrupt, false},
#endif
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempDir dir;
    const std::string path = c.make(dir);
    if (path.empty()) continue;  // a device node needs root
    std::error_code ec;
    const std::string before = std::filesystem::is_regular_file(path, ec) ? test::ReadBytes(path) : "";
    const HistoryOpen open = OpenHistoryStore(path);
    EXPECT_FALSE(open.Store);
    EXPECT_EQ(open.Error.Failure, c.failure) << open.Error.Detail;
    const std::string text = U(HistoryErrorText(open.Error));
    EXPECT_NE(text.find(path), std::string::npos) << text;
    if (c.untouched) {
      EXPECT_EQ(test::ReadBytes(path), before);
      EXPECT_FALSE(std::filesystem::exists(path + "-wal"));
    }
    // No journal, -wal or -shm beside the file or what it links to.
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
      const std::string name = entry.path().filename().string();
      for (const char* beside : {"-journal", "-wal", "-shm"}) EXPECT_FALSE(name.ends_with(beside)) << name;
    }
  }
}

// A history from before the mark (our tables at our version then) keeps working: it opens,
// keeps its logs and is marked.
TEST(HistoryFailures, AnOlderHistoryWithoutTheMarkOpensAndIsMarked) {
  const int beforeMark = StepThatAdds("application_id");
  ASSERT_GT(beforeMark, 0);
  test::TempDir dir;
  const std::string path = dir.File(kHistoryFileName);
  MakeFileAtVersion(path, beforeMark);
  Query(path, "INSERT INTO logs(id, file_name, folder, size, hash, file_size, file_hash, last_write, date)"
              " VALUES(1, 'old.html', '/logs', 1, x'00', 1, x'00', 0, '2024-05-01')");
  const HistoryOpen open = OpenHistoryStore(path);
  ASSERT_TRUE(open.Store) << open.Error.Detail;
  EXPECT_EQ(Query(path, "PRAGMA application_id"), std::vector<std::string>{"1299859577"});
  EXPECT_EQ(Query(path, "PRAGMA user_version"), std::vector<std::string>{std::to_string(kHistorySchemaVersion)});
  EXPECT_EQ(Query(path, "SELECT file_name FROM logs"), std::vector<std::string>{"old.html"});
}

#ifndef _WIN32
// Opens the history at `path` as a user who may not write what root made (root writes
// everything), in a child process; its failure and the player's text (UTF-8).
std::pair<HistoryFailure, std::string> OpenAsAnotherUser(const std::string& path) {
  int out[2];
  if (::pipe(out) != 0) return {HistoryFailure::None, "no pipe"};
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(out[0]);
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
    const HistoryOpen open = OpenHistoryStore(path);
    const std::string said = std::to_string(static_cast<int>(open.Error.Failure)) + "\n" + U(HistoryErrorText(open.Error));
    ::_exit(::write(out[1], said.data(), said.size()) == static_cast<ssize_t>(said.size()) ? 0 : 4);
  }
  ::close(out[1]);
  std::string said;
  char buffer[4096];
  for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) said.append(buffer, static_cast<std::size_t>(n));
  ::close(out[0]);
  ::waitpid(child, nullptr, 0);
  const std::size_t line = said.find('\n');
  if (line == std::string::npos) return {HistoryFailure::None, "the child said nothing"};
  return {static_cast<HistoryFailure>(std::stoi(said.substr(0, line))), said.substr(line + 1)};
}

// Makes `file` writable or not for OpenAsAnotherUser's user.
void LetWrite(const std::string& file, bool writable) {
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(file.c_str(), writable ? 65534 : 0, writable ? 65534 : 0), 0);
    ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
  } else {
    ASSERT_EQ(::chmod(file.c_str(), writable ? 0644 : 0444), 0);
  }
}
#endif

// A history that cannot be written is said to be so, naming the -wal and -shm beside it
// when they are what blocks it (mending the file's own permissions would not help then),
// and opening it leaves no new -wal or -shm beside it, nor changes a byte of it.
TEST(HistoryFailures, AHistoryThatCannotBeWrittenNamesWhatBlocksItAndGainsNothingBeside) {
#ifdef _WIN32
  GTEST_SKIP() << "permissions and a second user are POSIX's here";
#else
  const struct {
    const char* what;
    bool fileWritable;
    bool besideLeft;  // read-only -wal and -shm a reading run left
  } cases[] = {
      {"the file read-only", false, false},
      {"its -wal and -shm read-only", true, true},
      {"all three read-only", false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempDir dir;
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0777), 0);  // the folder is no obstacle
    const std::string path = dir.File(kHistoryFileName);
    ASSERT_TRUE(OpenHistoryStore(path).Store);
    ASSERT_FALSE(std::filesystem::exists(path + "-wal"));
    LetWrite(path, c.fileWritable);
    const std::vector<std::string> beside = {path + "-wal", path + "-shm"};
    for (const std::string& file : beside) {
      if (!c.besideLeft) continue;
      test::WriteBytes(file, "");
      LetWrite(file, false);
    }
    const std::string before = test::ReadBytes(path);
    const auto [failure, text] = OpenAsAnotherUser(path);
    EXPECT_EQ(failure, HistoryFailure::CannotWrite) << text;
    EXPECT_NE(text.find(path), std::string::npos) << text;
    for (const std::string& file : beside) {
      EXPECT_EQ(text.find(file) != std::string::npos, c.besideLeft) << text;
      EXPECT_EQ(std::filesystem::exists(file), c.besideLeft) << file;
    }
    EXPECT_EQ(test::ReadBytes(path), before);
  }
#endif
}

// A database whose pages were damaged after it was written: the first question says so.
TEST(HistoryFailures, ADamagedFileIsReportedAsCorruptByTheQuestions) {
  test::TempDir dir;
  const std::string path = dir.File(kHistoryFileName);
  {
    const HistoryOpen open = OpenHistoryStore(path);
    ASSERT_TRUE(open.Store);
  }
  Query(path, "PRAGMA wal_checkpoint(TRUNCATE)");
  std::string bytes = test::ReadBytes(path);
  ASSERT_GT(bytes.size(), 4096u);
  for (std::size_t i = 4096; i < bytes.size(); ++i) bytes[i] = static_cast<char>(0xA5);
  test::WriteBytes(path, bytes);
  const HistoryOpen open = OpenHistoryStore(path);
  HistoryError error = open.Error;
  if (open.Store) error = open.Store->Battles(HistoryFilter{}).Error;
  EXPECT_EQ(error.Failure, HistoryFailure::Corrupt) << error.Detail;
}

// A write that fails is blamed on what went wrong: a record the file's rules refuse or a
// damaged page is no full disk, and the player is not sent to look for one.
TEST(HistoryFailures, AFailedWriteIsNamedForWhatWentWrong) {
  test::TempDir dir;
  SqliteDatabase db;
  HistoryError opened;
  ASSERT_TRUE(db.Open(dir.File(kHistoryFileName), &opened)) << opened.Detail;
  ASSERT_EQ(db.Exec("CREATE TABLE t(x PRIMARY KEY); INSERT INTO t VALUES(1)"), SQLITE_OK);
  const int twice = db.Exec("INSERT INTO t VALUES(1)");
  const struct {
    const char* what;
    int code;
    HistoryFailure failure;
    const char* detail;  // in the error's detail
  } cases[] = {
      {"a second row for one key", twice, HistoryFailure::Refused, "UNIQUE constraint failed"},
      {"a value of the wrong kind", SQLITE_MISMATCH, HistoryFailure::Refused, "mismatch"},
      {"a damaged page", SQLITE_CORRUPT, HistoryFailure::Corrupt, "malformed"},
      {"not a history file", SQLITE_NOTADB, HistoryFailure::Corrupt, "not a database"},
      {"a full disk", SQLITE_FULL, HistoryFailure::CannotWrite, "full"},
      {"a read-only file", SQLITE_READONLY, HistoryFailure::CannotWrite, "readonly"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const HistoryError error = db.Failure(c.code, SqliteUse::Writing);
    EXPECT_EQ(error.Failure, c.failure);
    EXPECT_NE(error.Detail.find(c.detail), std::string::npos) << error.Detail;
    const std::string text = U(HistoryErrorText(error));
    EXPECT_NE(text.find(dir.File(kHistoryFileName)), std::string::npos) << text;
    EXPECT_EQ(text.find("ディスクの空き") == std::string::npos, c.failure != HistoryFailure::CannotWrite) << text;
  }
}

class HistoryAppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::SetUpApp(app, dir);
    RebuildTallyColumns(app);
    app.History.Enable(true);
    app.CurrentLogPath = dir.File("chat_20240501.html");
  }
  HistoryStore& Store() {
    HistoryStore* store = app.History.Store(app);
    EXPECT_NE(store, nullptr) << U(app.History.ErrorText());
    return *store;
  }
  std::vector<std::string> Labels(const HistoryFilter& filter = {}) {
    std::vector<std::string> labels;
    for (const BattleRow& b : Store().Battles(filter).Value) labels.push_back(U(b.Label));
    return labels;
  }
  std::vector<std::string> Rows() const {
    std::vector<std::string> rows;
    for (const std::string& r : app.BattleList.Rows) rows.push_back(U(r));
    return rows;
  }
  test::TempDir dir;
  App app;
};

// The window's end does not wait for a long import beside it: stopped at any point, the
// import leaves the history whole, holding the whole log or none of it, and the log goes in
// whole at a later load. The end that waits long enough records it as before.
TEST_F(HistoryAppTest, AnImportStoppedAtTheEndLeavesTheWholeLogOrNone) {
  constexpr int kBattles = 500;  // within what the history keeps of one log
  std::string log;
  for (int b = 0; b < kBattles; ++b) log += Battle("Foe" + std::to_string(b % 97), b % 3 ? kWon : kLost);
  test::WriteBytes(app.CurrentLogPath, log);
  const std::string file = HistoryFilePath(dir.Path());
  const std::vector<std::string> none{"0|0"}, whole{"1|" + std::to_string(kBattles)};
  for (const int patienceMs : {0, 0, 1, 5, 20, 60000}) {
    SCOPED_TRACE(patienceMs);
    App window;
    test::SetUpApp(window, dir);
    RebuildTallyColumns(window);
    window.History.Enable(true);
    window.History.RunBeside(true);
    window.CurrentLogPath = app.CurrentLogPath;
    const bool knownBefore = Query(file, "SELECT COUNT(*) FROM logs") == std::vector<std::string>{"1"};
    ASSERT_TRUE(LoadAndAnalyse(window));
    window.History.FinishWithin(window, std::chrono::milliseconds(patienceMs));
    EXPECT_FALSE(window.History.ImportPending());
    const std::vector<std::string> held =
        Query(file, "SELECT (SELECT COUNT(*) FROM logs), (SELECT COUNT(*) FROM battles)");
    EXPECT_TRUE(held == none || held == whole) << (held.empty() ? "" : held[0]);
    EXPECT_EQ(Query(file, "PRAGMA integrity_check"), std::vector<std::string>{"ok"});
    // The import had only just begun: no patience stops it.
    if (patienceMs == 0 && !knownBefore) EXPECT_EQ(held, none);
    if (patienceMs == 60000) EXPECT_EQ(held, whole);
    EXPECT_EQ(window.History.CurrentLogId() != 0, held == whole);
  }
}

// Which loads join the season: a dated log does (and again once taken out, when loaded
// again); the shipped demo never does, silently; a log whose name carries no date does not
// (its battles would all fall on the day it was written) and the error pane says so once.
// Taking the loaded log out leaves the recorder recording nothing of it.
TEST_F(HistoryAppTest, OnlyADatedLogThatIsNotTheDemoJoinsAndTheLoadedLogCanBeTakenOut) {
  std::filesystem::create_directories(dir.File("demo"));
  app.History.KeepUndatedOut(true);  // as the window does
  const struct {
    const char* file;
    bool joins;
    int errorLines;  // said by two loads of it
  } cases[] = {
      {"chat_20240501.html", true, 0},
      {"demo/demo.html", false, 0},
      {"test.html", false, 1},
      {"chat_2024-05-02.html", true, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    app.CurrentLogPath = dir.File(c.file);
    // Bytes of its own: the same bytes would be one log under two names.
    test::WriteBytes(app.CurrentLogPath, Battle("Ann", kWon) + Battle("Bob" + std::to_string(&c - cases), kWon));
    const std::size_t before = app.ErrorLines.size();
    for (int load = 0; load < 2; ++load) ASSERT_TRUE(LoadAndAnalyse(app));
    EXPECT_EQ(app.ErrorLines.size() - before, static_cast<std::size_t>(c.errorLines));
    EXPECT_EQ(app.History.CurrentLogId() != 0, c.joins);
    const auto logs = Store().Logs(HistoryFilter{}).Value;
    EXPECT_EQ(std::count_if(logs.begin(), logs.end(), [&](const LogRow& l) { return dir.File(c.file).ends_with(l.FileName); }),
              c.joins ? 1 : 0);
    if (!c.joins) continue;
    const std::int64_t id = app.History.CurrentLogId();
    const std::uint64_t revision = app.History.Revision();
    const auto forgotten = Store().ForgetLogById(id);
    ASSERT_TRUE(forgotten.Ok());
    EXPECT_EQ(forgotten.Value.Battles, 2);
    app.History.Forgot(id);
    EXPECT_EQ(app.History.CurrentLogId(), 0);
    EXPECT_GT(app.History.Revision(), revision);
    // A battle ending now is recorded nowhere; the log is back once loaded again.
    app.History.RecordEndedBattles(app);
    EXPECT_EQ(Store().ForgetLogById(id).Value.LogId, 0);
    ASSERT_TRUE(LoadAndAnalyse(app));
    EXPECT_NE(app.History.CurrentLogId(), 0);
  }
  EXPECT_EQ(ImportLogFile(app, Store(), dir.File("demo/demo.html")).Outcome, ImportOutcome::Error);
  EXPECT_EQ(ImportLogFile(app, Store(), dir.File("test.html")).Outcome, ImportOutcome::Imported);
}

// The window's first load, with no history file yet, makes the file beside the window:
// once the import is taken, the battles are there, and a tick records on. Where the file
// cannot be made, that is said once when the import is taken, and the load is as without.
TEST_F(HistoryAppTest, TheFirstLoadBesideTheWindowMakesTheFileOrSaysOnceWhyNot) {
  for (const bool makeable : {true, false}) {
    SCOPED_TRACE(makeable ? "makeable" : "no folder");
    App window;
    test::SetUpApp(window, dir);
    RebuildTallyColumns(window);
    if (!makeable) window.ProgramDir = dir.File("gone/");
    window.History.Enable(true);
    window.History.RunBeside(true);
    window.CurrentLogPath = dir.File(makeable ? "chat_20240501.html" : "chat_20240502.html");
    test::WriteBytes(window.CurrentLogPath, Battle("Ann", kWon));
    ASSERT_TRUE(LoadAndAnalyse(window));
    EXPECT_EQ(window.BattleList.Rows.size(), 1u);
    window.History.Settle(window);
    EXPECT_FALSE(window.History.ImportPending());
    if (makeable) {
      EXPECT_NE(window.History.CurrentLogId(), 0);
      EXPECT_EQ(window.History.ErrorText(), "");
      ASSERT_NE(window.History.Store(window), nullptr);
      EXPECT_EQ(window.History.Store(window)->Battles(HistoryFilter{}).Value.size(), 1u);
      // The second load finds the file and the log in it.
      ASSERT_TRUE(LoadAndAnalyse(window));
      window.History.Settle(window);
      EXPECT_EQ(window.History.Store(window)->Logs(HistoryFilter{}).Value.size(), 1u);
    } else {
      EXPECT_EQ(window.History.CurrentLogId(), 0);
      ASSERT_FALSE(window.History.ErrorText().empty());
      ASSERT_TRUE(LoadAndAnalyse(window));
      window.History.Settle(window);
      EXPECT_EQ(std::count(window.ErrorLines.begin(), window.ErrorLines.end(), window.History.ErrorText()), 1);
      EXPECT_EQ(window.History.Store(window), nullptr);
    }
  }
}

// A window's first load of a long log whose start the history knows twice (the log, and an
// older short copy of it kept as a log of its own): with the history opened while the log is
// read, the short length is passed before it is known and the long one is not. The file is
// both logs, so it is the long one, grown, and takes the short one in. Beside the window as
// in turn.
TEST_F(HistoryAppTest, AFreshWindowKnowsALongLogWhileTheHistoryOpensBesideItsRead) {
  std::string filler;
  while (filler.size() < 6000000) filler += test::SayLine("今日はいい風ですね、港で会いましょう");
  const std::string longLog = Battle("Ann", kWon) + filler;
  std::vector<std::string> outcomes;
  for (const bool background : {false, true}) {
    SCOPED_TRACE(background ? "beside" : "in turn");
    test::TempDir folder;
    auto window = [&] {
      auto made = std::make_unique<App>();
      test::SetUpApp(*made, folder);
      RebuildTallyColumns(*made);
      made->History.Enable(true);
      made->History.RunBeside(background);
      made->CurrentLogPath = folder.File("chat_20240501.html");
      return made;
    };
    test::WriteBytes(folder.File("chat_20240501.html"), longLog);
    std::int64_t known = 0;
    {
      auto first = window();
      ASSERT_TRUE(LoadAndAnalyse(*first));
      first->History.Settle(*first);
      known = first->History.CurrentLogId();
      ASSERT_NE(known, 0);
      // The short copy, imported while its log's file is away: a log of its own.
      std::filesystem::remove(folder.File("chat_20240501.html"));
      test::WriteBytes(folder.File("copy.html"), Battle("Ann", kWon));
      EXPECT_EQ(ImportLogFile(*first, *first->History.Store(*first), folder.File("copy.html")).Outcome, ImportOutcome::Imported);
    }
    test::WriteBytes(folder.File("chat_20240501.html"), longLog + Battle("Bob", kLost));
    auto fresh = window();
    ASSERT_TRUE(LoadAndAnalyse(*fresh));
    fresh->History.Settle(*fresh);
    EXPECT_EQ(fresh->History.CurrentLogId(), known);
    EXPECT_EQ(fresh->History.ErrorText(), "");
    HistoryStore* store = fresh->History.Store(*fresh);
    ASSERT_NE(store, nullptr);
    std::string outcome;
    for (const LogRow& l : store->Logs(HistoryFilter{}).Value) {
      outcome += l.FileName + " " + std::to_string(l.Size) + " " + std::to_string(l.Battles) + "; ";
    }
    outcomes.push_back(outcome);
  }
  EXPECT_EQ(outcomes[0], outcomes[1]);
  EXPECT_EQ(outcomes[0], "chat_20240501.html " + std::to_string(longLog.size() + Battle("Bob", kLost).size() - kRereadBytes) + " 2; ");
}

// A history that cannot be used costs the load nothing: the views are those of a load
// without history, and the error pane says once what is wrong and where.
TEST_F(HistoryAppTest, AnUnusableHistoryLeavesTheLoadAsWithoutAndIsSaidOnce) {
  const std::string log = Battle("Ann", kWon) + Battle("Bob", kLost);
  test::WriteBytes(app.CurrentLogPath, log);
  App plain;
  test::SetUpApp(plain, dir);
  RebuildTallyColumns(plain);
  plain.CurrentLogPath = app.CurrentLogPath;
  ASSERT_TRUE(LoadAndAnalyse(plain));

  test::WriteBytes(dir.File(kHistoryFileName), "not a database, but a player's note");
  for (int load = 0; load < 2; ++load) {
    ASSERT_TRUE(LoadAndAnalyse(app));
    EXPECT_EQ(app.BattleList.Rows, plain.BattleList.Rows);
    EXPECT_EQ(app.StatusText, plain.StatusText);
    EXPECT_EQ(TallyTableCsv(app.TallyTable, "\n"), TallyTableCsv(plain.TallyTable, "\n"));
  }
  ASSERT_FALSE(app.History.ErrorText().empty());
  EXPECT_EQ(std::count(app.ErrorLines.begin(), app.ErrorLines.end(), app.History.ErrorText()), 1);
  EXPECT_TRUE(U(app.History.ErrorText()).starts_with("履歴ファイルが壊れているか、履歴ファイルではありません: " +
                                                   dir.File(kHistoryFileName)))
      << U(app.History.ErrorText());
  EXPECT_EQ(test::ReadBytes(dir.File(kHistoryFileName)), "not a database, but a player's note");
}

// --- a log is known by its bytes -----------------------------------------------------------

TEST_F(HistoryAppTest, ALogIsKnownByItsBytesWhateverItsNameOrFolder) {
  const std::string first = Battle("Ann", kWon) + Battle("Bob", kLost);
  const std::string grown = first + Battle("Cid", kWon);
  std::filesystem::create_directory(dir.File("elsewhere"));
  const std::string other = Battle("Ann", kWon) + Battle("Bea", kLost);  // differs inside, same length
  struct Step {
    const char* what;
    std::string file;
    std::string bytes;       // written to the file first (none: as it is)
    const char* removed;     // a file removed first
    ImportOutcome outcome;
    int logs;                // in the store afterwards
    int battles;             // of that file's log
    const char* keptAt;      // the file name that log is kept under
    const char* date;        // its date
  };
  const Step steps[] = {
      {"first import", "chat_20240501.html", first, "", ImportOutcome::Imported, 1, 2, "chat_20240501.html",
       "2024-05-01"},
      {"again, unchanged", "chat_20240501.html", first, "", ImportOutcome::Unchanged, 1, 2, "chat_20240501.html",
       "2024-05-01"},
      {"grown", "chat_20240501.html", grown, "", ImportOutcome::Grown, 1, 3, "chat_20240501.html", "2024-05-01"},
      // The original still holds the log: a copy made after it leaves it there.
      {"renamed copy", "copy 2024-05-03.html", grown, "", ImportOutcome::Unchanged, 1, 3, "chat_20240501.html",
       "2024-05-01"},
      {"moved copy", "elsewhere/chat_20240501.html", grown, "", ImportOutcome::Unchanged, 1, 3, "chat_20240501.html",
       "2024-05-01"},
      {"the original gone: its copy takes the log", "copy 2024-05-03.html", "", "chat_20240501.html",
       ImportOutcome::Moved, 1, 3, "copy 2024-05-03.html", "2024-05-03"},
      // Its bytes are the start of the known log, whose file still holds it.
      {"an older, shorter copy is part of the longer log", "backup_20240502.html", first, "",
       ImportOutcome::Unchanged, 1, 3, "copy 2024-05-03.html", "2024-05-03"},
      {"differing inside: another log", "other_20240502.html", other, "", ImportOutcome::Imported, 2, 2,
       "other_20240502.html", "2024-05-02"},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    if (*s.removed != '\0') std::filesystem::remove(dir.File(s.removed));
    if (!s.bytes.empty()) test::WriteBytes(dir.File(s.file), s.bytes);
    const ImportResult result = ImportLogFile(app, Store(), dir.File(s.file));
    EXPECT_EQ(result.Outcome, s.outcome) << result.Error.Detail;
    EXPECT_EQ(result.Battles, s.battles);
    const auto logs = Store().Logs(HistoryFilter{}).Value;
    EXPECT_EQ(static_cast<int>(logs.size()), s.logs);
    HistoryFilter sameDay;
    sameDay.From = sameDay.To = s.date;
    const auto battles = Store().Battles(sameDay).Value;
    ASSERT_FALSE(battles.empty());
    EXPECT_EQ(battles.back().FileName(), s.keptAt);
    EXPECT_EQ(battles.back().LogId, result.LogId);
  }
}

// Two programs import at once: one checks its file, the other imports all of a file of the
// same log meanwhile, then the first imports. Whatever the other stored, the log is one.
TEST_F(HistoryAppTest, ALogStoredByAnotherProgramAfterTheCheckIsStillFound) {
  const std::string start = Battle("Ann", kWon) + Battle("Bob", kLost);
  const std::string whole = start + Battle("Cid", kWon);
  const struct {
    const char* what;
    std::string mine, theirs;
    const char* theirFile;
    ImportOutcome outcome;
  } cases[] = {
      {"the same file", whole, whole, "chat_20240501.html", ImportOutcome::Unchanged},
      {"they stored its start: it grows", whole, start, "copy_20240501.html", ImportOutcome::Grown},
      {"they stored it longer: mine is its start", start, whole, "copy_20240501.html", ImportOutcome::Unchanged},
  };
  auto analysed = [&](const std::string& path) {
    app.History.Enable(false);
    app.CurrentLogPath = path;
    EXPECT_TRUE(LoadAndAnalyse(app));
    return PrepareLog(AnalysedLog{app, app.Lists.SkillNames, app.Lists.ItemNames, app.History.Ends()}, 0, kMaxBattles);
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempDir folder;
    const std::string mine = folder.File("chat_20240501.html"), theirs = folder.File(c.theirFile);
    test::WriteBytes(theirs, c.theirs);
    test::WriteBytes(mine, c.mine);
    HistoryOpen me = OpenHistoryStore(folder.File(kHistoryFileName));
    HistoryOpen them = OpenHistoryStore(folder.File(kHistoryFileName));
    ASSERT_TRUE(me.Store && them.Store);
    const LogCheck myCheck = me.Store->CheckLogFile(mine, -1);
    const PreparedLog myLog = analysed(mine);
    const ImportResult theirImport = them.Store->ImportLog(them.Store->CheckLogFile(theirs, -1), analysed(theirs));
    ASSERT_EQ(theirImport.Outcome, ImportOutcome::Imported) << theirImport.Error.Detail;
    const ImportResult myImport = me.Store->ImportLog(myCheck, myLog);
    EXPECT_EQ(myImport.Outcome, c.outcome) << myImport.Error.Detail;
    EXPECT_EQ(myImport.LogId, theirImport.LogId);
    EXPECT_EQ(myImport.Battles, 3);
    EXPECT_EQ(me.Store->Logs(HistoryFilter{}).Value.size(), 1u);
    EXPECT_EQ(me.Store->Summary(HistoryFilter{}).Value.Battles, 3);
  }
}

// A log stored before the hash of its start was kept gets it when the file is opened, from
// its file while that is as it was imported (a short log from its own hash), and a shorter
// copy is its start either way.
TEST_F(HistoryAppTest, TheStartOfALogStoredBeforeItWasKeptIsTakenFromItsFile) {
  std::string longLog;
  while (longLog.size() < 3000) longLog += Battle("Ann", kWon);
  const std::string db = dir.File(kHistoryFileName);
  const struct {
    const char* what;
    std::string bytes;
    bool touched;  // the file written again since (same bytes, another last write)
    bool filled;
  } cases[] = {
      {"a long log as imported", longLog, false, true},
      {"a short log", Battle("Ann", kWon), true, true},
      {"a long log written since", longLog, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    app.History.Close();
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(db + suffix);
    test::WriteBytes(app.CurrentLogPath, c.bytes);
    ASSERT_EQ(ImportLogFile(app, Store(), app.CurrentLogPath).Outcome, ImportOutcome::Imported);
    const std::vector<std::string> head = Query(db, "SELECT hex(head) FROM logs");
    app.History.Close();
    Query(db, "UPDATE logs SET head = NULL, last_write = last_write - " + std::string(c.touched ? "5" : "0"));
    EXPECT_EQ(Query(db, "SELECT hex(head) FROM logs"), std::vector<std::string>{""});
    Store();
    EXPECT_EQ(Query(db, "SELECT hex(head) FROM logs"), c.filled ? head : std::vector<std::string>{""});
    test::WriteBytes(dir.File("backup.html"), c.bytes.substr(0, c.bytes.size() / 2));
    const ImportResult backup = ImportLogFile(app, Store(), dir.File("backup.html"));
    EXPECT_EQ(backup.Outcome, ImportOutcome::Unchanged);
    EXPECT_TRUE(backup.ShorterCopy);
  }
}

// An import hashes the log as its analysis reads it; the window hashes it apart. Both know
// the same log by the same bytes, whether the reader stopped as usual or at a line the game
// was still writing.
TEST_F(HistoryAppTest, AnImportAndTheWindowKnowALogByTheSameHashes) {
  const std::string whole = Battle("Ann", kWon) + Battle("Bob", kLost);
  const std::string unfinished = SystemLine("Cidの強襲です！");
  const std::string cases[] = {whole, whole + unfinished.substr(0, unfinished.size() - 9)};
  const std::string db = dir.File(kHistoryFileName);
  const std::string identity = "SELECT size, hex(hash), file_size, hex(file_hash), date FROM logs";
  for (const std::string& bytes : cases) {
    test::WriteBytes(app.CurrentLogPath, bytes);
    app.History.Close();
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(db + suffix);
    const ImportResult imported = ImportLogFile(app, Store(), app.CurrentLogPath);
    ASSERT_EQ(imported.Outcome, ImportOutcome::Imported) << imported.Error.Detail;
    const std::vector<std::string> byImport = Query(db, identity);

    app.History.Close();
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(db + suffix);
    ASSERT_TRUE(LoadAndAnalyse(app));
    const std::vector<std::string> byWindow = Query(db, identity);
    ASSERT_EQ(byImport.size(), 1u);
    EXPECT_EQ(byImport, byWindow);
    // And the import finds the window's log unchanged.
    EXPECT_EQ(ImportLogFile(app, Store(), app.CurrentLogPath).Outcome, ImportOutcome::Unchanged);
  }
}

// Importing a log the store holds unchanged at the same place writes nothing at all.
TEST_F(HistoryAppTest, AnUnchangedLogCostsNoWrite) {
  test::WriteBytes(app.CurrentLogPath, Battle("Ann", kWon));
  ASSERT_TRUE(LoadAndAnalyse(app));
  const std::string db = dir.File(kHistoryFileName);
  Query(db, "PRAGMA wal_checkpoint(TRUNCATE)");
  const std::string bytes = test::ReadBytes(db);
  const std::uintmax_t wal = std::filesystem::file_size(db + "-wal");
  ASSERT_TRUE(LoadAndAnalyse(app));
  EXPECT_EQ(ImportLogFile(app, Store(), app.CurrentLogPath).Outcome, ImportOutcome::Unchanged);
  EXPECT_EQ(test::ReadBytes(db), bytes);
  EXPECT_EQ(std::filesystem::file_size(db + "-wal"), wal);
}

// --- corrections and active mode -----------------------------------------------------------

TEST_F(HistoryAppTest, CorrectionsOutsideActiveModeSurviveEveryImport) {
  const std::string log = Battle("Ann", kWon) + Battle("Bob", kLost) + Battle("Cid", kWon);
  test::WriteBytes(app.CurrentLogPath, log);
  ASSERT_TRUE(LoadAndAnalyse(app));
  app.BattleList.Selected.assign(app.BattleList.Selected.size(), 0);
  app.BattleList.Select(1);
  MarkSelectedSmall(app);
  MarkSelectedAsNpcs(app);
  UncountSelectedBattles(app);
  const std::vector<std::string> corrected = Rows();
  EXPECT_EQ(Labels(), corrected);
  HistoryFilter npc;
  npc.Against = HistoryFilter::Opposition::Npc;
  EXPECT_EQ(Labels(npc), std::vector<std::string>{corrected[1]});

  // Loaded again, grown, and copied: battle 2 keeps what the player made of it.
  for (const char* what : {"reloaded", "grown", "copied"}) {
    SCOPED_TRACE(what);
    if (std::string(what) == "grown") test::AppendBytes(app.CurrentLogPath, Battle("Dan", kLost));
    if (std::string(what) == "copied") {
      test::WriteBytes(dir.File("copy.html"), test::ReadBytes(app.CurrentLogPath));
      app.CurrentLogPath = dir.File("copy.html");
    }
    ASSERT_TRUE(LoadAndAnalyse(app));
    const std::vector<std::string> stored = Labels();
    ASSERT_GE(stored.size(), 3u);
    EXPECT_EQ(stored[1], corrected[1]);
    EXPECT_EQ(stored[0], corrected[0]);
    EXPECT_EQ(Store().Summary(HistoryFilter{}).Value.Battles, static_cast<std::int64_t>(stored.size()) - 1);
  }

  // In active mode the marks move by themselves: nothing of it is kept.
  app.Acts.ActiveMode.Checked = true;
  ASSERT_TRUE(LoadAndAnalyse(app));
  app.BattleList.Select(0);
  MarkSelectedMedium(app);
  EXPECT_EQ(Labels()[0], corrected[0]);
}

// --- what shaped the analysis ----------------------------------------------------------------

// The same bytes under settings that change the analysis are analysed again, whether an import
// or the window's load meets them first; under the settings they were analysed with they cost
// no analysis. The window's battle list and the history then show the same battles.
TEST_F(HistoryAppTest, SettingsThatChangeTheAnalysisAnalyseAKnownLogAgain) {
  test::WriteBytes(app.CurrentLogPath, Battle("Ann", kWon) + Battle("海賊Kid", kLost) + Battle("Bob", kWon));
  app.Lists.NpcNames.push_back(S("海賊"));
  const struct {
    const char* what;
    void (*change)(App&);
    bool byWindow;  // the window's load meets the change first, else an import
    ImportOutcome outcome;  // of the import (after the window's load: Unchanged)
    std::size_t battles;
  } steps[] = {
      {"first import", [](App&) {}, false, ImportOutcome::Imported, 2},
      {"NPC battles included", [](App& a) { a.NpcCheck = true; }, false, ImportOutcome::Reanalysed, 3},
      {"left out again, by the window", [](App& a) { a.NpcCheck = false; }, true, ImportOutcome::Unchanged, 2},
      {"an NPC registered", [](App& a) { a.Lists.NpcNames.push_back(S("Bob")); }, false, ImportOutcome::Reanalysed, 1},
      {"the player's name", [](App& a) { a.UserName = S("提督"); }, true, ImportOutcome::Unchanged, 1},
      {"a skill listed", [](App& a) { a.Lists.SkillNames.push_back(S("砲撃")); }, false, ImportOutcome::Reanalysed, 1},
      {"a ship listed", [](App& a) { a.Lists.ShipNames.push_back(S("ガレオン")); }, true, ImportOutcome::Unchanged, 1},
      {"nothing changed", [](App&) {}, false, ImportOutcome::Unchanged, 1},
  };
  const std::string db = dir.File(kHistoryFileName);
  for (const auto& step : steps) {
    SCOPED_TRACE(step.what);
    step.change(app);
    app.SkillChecked.assign(app.Lists.SkillNames.size(), 0);
    const std::vector<std::string> shapingBefore = Query(db, "SELECT hex(shaping) FROM logs");
    if (step.byWindow) {
      ASSERT_TRUE(LoadAndAnalyse(app));
      EXPECT_NE(Query(db, "SELECT hex(shaping) FROM logs"), shapingBefore);
    }
    const ImportResult result = ImportLogFile(app, Store(), app.CurrentLogPath);
    EXPECT_EQ(result.Outcome, step.outcome) << result.Error.Detail;
    EXPECT_EQ(Store().Logs(HistoryFilter{}).Value.size(), 1u);
    ASSERT_TRUE(LoadAndAnalyse(app));
    EXPECT_EQ(Rows().size(), step.battles);
    EXPECT_EQ(Labels(), Rows());
  }
}

// Where a correction lands: each battle has an opponent of its own, so it is known by its
// opponent whatever its number. The NPC fleets' names hold "海賊", which the NPC list names.
std::string MixedBattles(std::mt19937& rng, int from, int count) {
  std::string log;
  for (int i = from; i < from + count; ++i) {
    // Letters, not digits: a name's trailing digits may be taken for a ship's number.
    const std::string name = (rng() % 3 == 0 ? "海賊" : "Pc") + std::string{static_cast<char>('a' + i / 26), static_cast<char>('a' + i % 26)};
    log += Battle(name, rng() % 2 ? kWon : kLost);
  }
  return log;
}

// The player corrects random battles, NPC battles are included, the log grows, NPC battles
// are left out again, with loads and imports between: every correction stays on the battle it
// was made on (the fields changed, later changes over earlier ones), the window's battle list
// shows what the history holds, and every history row opens its own battle.
TEST_F(HistoryAppTest, CorrectionsStayOnTheirBattlesWhateverBattlesComeOrGo) {
  using Command = void (*)(App&);
  const std::pair<Command, BattleCorrection> commands[] = {
      {MarkSelectedSmall, BattleCorrection::OfSize(ShipSize::Small)},
      {MarkSelectedMedium, BattleCorrection::OfSize(ShipSize::Medium)},
      {MarkSelectedLarge, BattleCorrection::OfSize(ShipSize::Large)},
      {MarkSelectedNaval, BattleCorrection::OfType(BattleType::Naval)},
      {MarkSelectedReal, BattleCorrection::OfType(BattleType::Real)},
      {MarkSelectedAsNpcs, BattleCorrection::OfNpc(true)},
      {MarkSelectedAsPlayers, BattleCorrection::OfNpc(false)},
      {UncountSelectedBattles, BattleCorrection::OfCountMark(false)},
      {CountSelectedBattles, BattleCorrection::OfCountMark(true)},
  };
  for (std::uint32_t seed = 1; seed <= 12; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    test::TempDir folder;
    App window;
    test::SetUpApp(window, folder);
    RebuildTallyColumns(window);
    window.History.Enable(true);
    window.Lists.NpcNames.push_back(S("海賊"));
    window.CurrentLogPath = folder.File("chat_20240501.html");
    std::mt19937 rng(seed);
    const int first = 6 + static_cast<int>(rng() % 8);
    test::WriteBytes(window.CurrentLogPath, MixedBattles(rng, 0, first));
    std::map<std::string, BattleCorrection> made;  // by opponent (UTF-8)
    HistoryStore* store = nullptr;

    auto correct = [&] {
      for (int round = 0; round < 4 && window.BattleCount() > 0; ++round) {
        window.BattleList.Selected.assign(window.BattleList.Selected.size(), 0);
        for (int pick = 1 + static_cast<int>(rng() % 3); pick > 0; --pick) {
          window.BattleList.Select(static_cast<int>(rng() % static_cast<std::uint32_t>(window.BattleCount())));
        }
        const auto& [command, change] = commands[rng() % std::size(commands)];
        command(window);
        for (int b = 0; b < window.BattleCount(); ++b) {
          if (!window.BattleList.IsSelected(b)) continue;
          BattleCorrection& kept = made[U(window.Names[window.Battles[static_cast<std::size_t>(b)].Opponent].Name)];
          if (change.Size) kept.Size = change.Size;
          if (change.Type) kept.Type = change.Type;
          if (change.Npc) kept.Npc = change.Npc;
          if (change.CountMark) kept.CountMark = change.CountMark;
        }
      }
    };
    auto check = [&](const char* stage) {
      SCOPED_TRACE(stage);
      App plain;  // the analysis alone, without the history
      test::SetUpApp(plain, folder);
      plain.Lists = window.Lists;
      plain.NpcCheck = window.NpcCheck;
      plain.CurrentLogPath = window.CurrentLogPath;
      ASSERT_TRUE(LoadAndAnalyse(plain));
      std::map<std::string, BattleRecord> expected;
      for (const BattleRecord& r : plain.Battles) {
        BattleRecord corrected = r;
        const std::string opponent = U(plain.Names[r.Opponent].Name);
        if (const auto c = made.find(opponent); c != made.end()) ApplyCorrection(corrected, c->second);
        expected[opponent] = corrected;
      }
      const auto rows = store->Battles(HistoryFilter{}).Value;
      ASSERT_EQ(rows.size(), expected.size());
      ASSERT_EQ(window.BattleCount(), plain.BattleCount());
      for (const BattleRow& row : rows) {
        ASSERT_TRUE(row.Opponent.has_value());
        const std::string opponent = U(*row.Opponent);
        SCOPED_TRACE(opponent);
        const BattleRecord& want = expected.at(opponent);
        EXPECT_EQ(row.Class.Size, want.Class.Size);
        EXPECT_EQ(row.Class.Type, want.Class.Type);
        EXPECT_EQ(row.Class.Npc, want.Class.Npc);
        EXPECT_EQ(row.Counted, CountedBattle(want));
        // The double-click opens this very battle, and the window shows it as the history does.
        const int b = HistoryBattleIndex(window, row.FirstLine, row.Number);
        ASSERT_GE(b, 0);
        const BattleRecord& shown = window.Battles[static_cast<std::size_t>(b)];
        EXPECT_EQ(U(window.Names[shown.Opponent].Name), opponent);
        EXPECT_EQ(shown.Class.Size, want.Class.Size);
        EXPECT_EQ(shown.Class.Type, want.Class.Type);
        EXPECT_EQ(shown.Class.Npc, want.Class.Npc);
        EXPECT_EQ(CountedBattle(shown), CountedBattle(want));
        EXPECT_EQ(U(window.BattleList.Rows[static_cast<std::size_t>(b)]), U(row.Label));
      }
    };

    ASSERT_TRUE(LoadAndAnalyse(window));
    store = window.History.Store(window);
    ASSERT_NE(store, nullptr);
    correct();
    check("NPC battles left out");
    window.NpcCheck = true;
    ASSERT_TRUE(LoadAndAnalyse(window));
    check("NPC battles included");
    correct();  // again after the reload: the earlier corrections' other fields stay
    check("corrected again");
    test::AppendBytes(window.CurrentLogPath, MixedBattles(rng, first, 1 + static_cast<int>(rng() % 4)));
    EXPECT_EQ(ImportLogFile(window, *store, window.CurrentLogPath).Outcome, ImportOutcome::Grown);
    ASSERT_TRUE(LoadAndAnalyse(window));
    check("grown");
    window.NpcCheck = false;
    EXPECT_EQ(ImportLogFile(window, *store, window.CurrentLogPath).Outcome, ImportOutcome::Reanalysed);
    ASSERT_TRUE(LoadAndAnalyse(window));
    check("left out again");
  }
}

// A file of the version that kept corrections by battle number: once its log is analysed
// again, each correction is on the battle it was made on, whose number has moved, holding
// only what differs from the analysis.
TEST_F(HistoryAppTest, AnOlderFilesCorrectionsByNumberFindTheirBattles) {
  const std::string log = Battle("Ann", kWon) + Battle("海賊Kid", kLost) + Battle("Bob", kWon) + Battle("Cid", kLost);
  test::WriteBytes(app.CurrentLogPath, log);
  app.Lists.NpcNames.push_back(S("海賊"));
  ASSERT_EQ(ImportLogFile(app, Store(), app.CurrentLogPath).Outcome, ImportOutcome::Imported);
  app.History.Close();
  // The file as that version left it: Bob's battle (then number 2) made small and uncounted;
  // the other fields of the class as they were.
  const std::string db = dir.File(kHistoryFileName);
  const std::vector<std::string> older = Query(
      db,
      "DROP INDEX battles_by_start; ALTER TABLE battles DROP COLUMN first_line; ALTER TABLE logs DROP COLUMN shaping;"
      " DROP TABLE battle_corrections;"
      " INSERT INTO corrections SELECT log_id, number, 0, type, npc, 0 FROM battles WHERE number = 2;"
      " UPDATE battles SET size = 0, count_mark = 0, counted = 0 WHERE number = 2;"
      " PRAGMA user_version = " + std::to_string(StepThatAdds("ADD COLUMN shaping")) + "; SELECT COUNT(*) FROM corrections");
  ASSERT_EQ(older, std::vector<std::string>{"1"});

  app.NpcCheck = true;
  ASSERT_TRUE(LoadAndAnalyse(app));
  const auto rows = Store().Battles(HistoryFilter{}).Value;
  ASSERT_EQ(rows.size(), 4u);
  std::vector<std::string> seen;
  for (const BattleRow& row : rows) {
    seen.push_back(U(*row.Opponent) + (row.Class.Size == ShipSize::Small ? " small" : "") +
                   (row.Counted ? "" : " uncounted"));
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"Ann", "海賊Kid", "Bob small uncounted", "Cid"}));
  EXPECT_EQ(Labels(), Rows());
  // Only the fields the player changed are kept, by where the battle starts.
  EXPECT_EQ(Query(db, "SELECT size, type IS NULL, npc IS NULL, count_mark FROM battle_corrections"),
            std::vector<std::string>{"0|1|1|0"});
  EXPECT_EQ(Query(db, "SELECT COUNT(*) FROM corrections"), std::vector<std::string>{"0"});
}

// Each tick that ends a battle records it; the battle still being fought waits for its end.
TEST_F(HistoryAppTest, ActiveModeRecordsEachBattleAsItEnds) {
  test::WriteBytes(app.CurrentLogPath, Battle("Ann", kWon) + SystemLine("Bobの強襲です！"));
  app.Acts.ActiveMode.Checked = true;
  ASSERT_TRUE(LoadAndAnalyse(app));
  ApplyActiveModeSwitch(app);
  ASSERT_EQ(Labels().size(), 2u);
  EXPECT_NE(Labels()[1].find("戦闘中"), std::string::npos);
  test::AppendBytes(app.CurrentLogPath, SystemLine("船が航行不能になりました") + SystemLine("Bob" + kLost));
  ASSERT_TRUE(TickFollowedLog(app));
  std::vector<std::string> labels = Labels();
  ASSERT_EQ(labels.size(), 2u);
  EXPECT_EQ(labels[1], U(BattleLabel(app, 1)));
  // The analysis' own count mark, not what active mode made of it.
  EXPECT_NE(Rows()[0].find("[－]"), std::string::npos);
  EXPECT_NE(labels[0].find("[集]"), std::string::npos);
  const BattleRow last = Store().Battles(HistoryFilter{}).Value.back();
  EXPECT_EQ(last.OwnDown, 1);  // the owner's ship
  EXPECT_EQ(last.EnemyDown, 0);
  EXPECT_EQ(last.Result, BattleResult::Defeat);
}


// Another program's write transaction on the history file (a second connection), held
// until released.
class HeldWriteLock {
 public:
  explicit HeldWriteLock(const std::string& path) {
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
      held_ = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
    }
  }
  ~HeldWriteLock() {
    Release();
    sqlite3_close(db_);
  }
  HeldWriteLock(const HeldWriteLock&) = delete;
  HeldWriteLock& operator=(const HeldWriteLock&) = delete;
  bool Held() const { return held_; }
  void Release() {
    if (held_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    held_ = false;
  }
  // The battles stored, as the lock's holder reads them.
  int Battles() {
    sqlite3_stmt* count = nullptr;
    int battles = -1;
    if (sqlite3_prepare_v2(db_, "SELECT COUNT(*) FROM battles", -1, &count, nullptr) == SQLITE_OK &&
        sqlite3_step(count) == SQLITE_ROW) {
      battles = sqlite3_column_int(count, 0);
    }
    sqlite3_finalize(count);
    return battles;
  }

 private:
  sqlite3* db_ = nullptr;
  bool held_ = false;
};

// While another program holds the history's write lock, a tick shows what the log gained
// at once and keeps the ended battles it could not write; once the lock is gone, the next
// ticks (or the end) write every one of them. Locked before the start, the log's own import
// is owed too: whether the lock goes before the import beside gives up waiting, or after.
TEST_F(HistoryAppTest, ALockedHistoryHoldsUpNoTickAndGetsEveryBattleOnceFree) {
  enum class Freed { ByTheImportBeside, ByTheNextTicks, ByTheEnd };
  const struct {
    const char* Name;
    bool FromTheStart;
    bool OutlastsTheImportsWait;  // held until the import beside gave up (ten seconds)
    Freed Written;
  } cases[] = {
      {"locked at the start, freed while the import waits", true, false, Freed::ByTheImportBeside},
      {"locked at the start past the import's wait", true, true, Freed::ByTheNextTicks},
      {"locked during play, freed for the next ticks", false, false, Freed::ByTheNextTicks},
      {"locked during play, freed for the end", false, false, Freed::ByTheEnd},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    test::TempDir folder;
    App follower;
    test::SetUpApp(follower, folder);
    RebuildTallyColumns(follower);
    follower.History.Enable(true);
    follower.History.RunBeside(true);  // as --follow and the window run
    follower.Acts.ActiveMode.Checked = true;
    follower.CurrentLogPath = folder.File("chat_20240501.html");
    const std::string db = HistoryFilePath(folder.Path());
    ASSERT_TRUE(OpenHistoryStore(db).Store);  // made by an earlier run
    test::WriteBytes(follower.CurrentLogPath, Battle("Ann", kWon));

    std::unique_ptr<HeldWriteLock> lock;
    if (c.FromTheStart) lock = std::make_unique<HeldWriteLock>(db);
    ASSERT_TRUE(LoadAndAnalyse(follower));
    ApplyActiveModeSwitch(follower);
    if (!c.FromTheStart) {
      follower.History.Settle(follower);
      lock = std::make_unique<HeldWriteLock>(db);
    }
    ASSERT_TRUE(lock->Held());
    if (c.OutlastsTheImportsWait) {
      follower.History.Settle(follower);
      EXPECT_TRUE(follower.History.ImportOwed());
      EXPECT_EQ(follower.ErrorLines, std::vector<std::string>{});  // owed, not failed
    }

    // Two battles end while the lock is held: each tick shows them as it would unlocked.
    int shown = 1;
    for (const char* opponent : {"Bob", "Cid"}) {
      test::AppendBytes(follower.CurrentLogPath, Battle(opponent, kLost));
      follower.StatusText.clear();
      ASSERT_TRUE(TickFollowedLog(follower));
      EXPECT_EQ(follower.BattleList.Count(), ++shown);
      EXPECT_NE(U(follower.BattleList.Rows.back()).find(opponent), std::string::npos);
      EXPECT_NE(U(follower.StatusText).find("1敗"), std::string::npos) << U(follower.StatusText);
    }
    EXPECT_EQ(lock->Battles(), c.FromTheStart ? 0 : 1);
    lock->Release();

    switch (c.Written) {
      case Freed::ByTheImportBeside:
      case Freed::ByTheNextTicks:
        // A tick takes the import beside once it is done, and the next records the rest.
        for (int tick = 0; tick < 3; ++tick) {
          while (follower.History.ImportPending() && !follower.History.ImportDone()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
          }
          ASSERT_TRUE(TickFollowedLog(follower));
        }
        break;
      case Freed::ByTheEnd:
        follower.History.Finish(follower);
        break;
    }
    EXPECT_FALSE(follower.History.ImportPending());
    EXPECT_FALSE(follower.History.ImportOwed());
    EXPECT_EQ(follower.ErrorLines, std::vector<std::string>{});
    const auto stored = Query(db, "SELECT label FROM battles WHERE ended = 1 ORDER BY number");
    ASSERT_EQ(stored.size(), 3u);
    for (std::size_t b = 0; b < stored.size(); ++b) {
      EXPECT_NE(U(stored[b]).find(std::vector<std::string>{"Ann", "Bob", "Cid"}[b]), std::string::npos) << U(stored[b]);
    }
  }
}
// A log that ends inside a battle: the history keeps the battle unfinished, counted in 戦
// and in none of 勝, 敗 and 分, for every question; the import that sees it end replaces it.
TEST_F(HistoryAppTest, ABattleInProgressIsNoDefeatUntilAnImportSeesItEnd) {
  const struct {
    const char* what;
    std::string log;
    bool ended;
    std::int64_t won, lost, drawn;  // in the summary, the opponents' rows and the day's
  } stages[] = {
      {"fighting Bob", Battle("Ann", kWon) + SystemLine("Bobの強襲です！") + SystemLine("敵船Bobを撃沈しました！"), false,
       1, 0, 0},
      {"lost to Bob", SystemLine("Bob" + kLost), true, 1, 1, 0},
  };
  std::string log;
  for (const auto& stage : stages) {
    SCOPED_TRACE(stage.what);
    log += stage.log;
    test::WriteBytes(app.CurrentLogPath, log);
    ASSERT_TRUE(LoadAndAnalyse(app));
    const HistorySummary summary = Store().Summary(HistoryFilter{}).Value;
    EXPECT_EQ(std::make_tuple(summary.Battles, summary.Won, summary.Lost, summary.Undecided),
              std::make_tuple(std::int64_t{2}, stage.won, stage.lost, stage.drawn));
    // The status bar says the same.
    EXPECT_EQ(U(HistorySummaryText(summary)), U(app.StatusText));
    const std::vector<BattleRow> battles = Store().Battles(HistoryFilter{}).Value;
    ASSERT_EQ(battles.size(), 2u);
    EXPECT_TRUE(battles[0].Ended);
    EXPECT_EQ(battles[1].Ended, stage.ended);
    EXPECT_EQ(battles[1].Label.find(S("戦闘中")) == std::string::npos, stage.ended) << U(battles[1].Label);
    // (The opponent is named when the battle ends: till then it is "???".)
    std::int64_t lost = 0;
    for (const OpponentRow& o : Store().Opponents(HistoryFilter{}).Value) lost += o.Lost;
    EXPECT_EQ(lost, stage.lost);
    const std::vector<DayRow> days = Store().Days(HistoryFilter{}).Value;
    ASSERT_EQ(days.size(), 1u);
    EXPECT_EQ(std::tie(days[0].Won, days[0].Lost), std::tie(stage.won, stage.lost));
  }
}

// Every log the report reads imports: a name the analysis entered more than once (the
// owner's empty name, an empty name read again) is one player of the battle, its entries'
// figures added up as the report's rows of that name add up (the owner is present in
// every battle).
TEST_F(HistoryAppTest, ALogWithANameEnteredTwiceImportsWithTheEntriesAddedUp) {
  const std::string repaired = SystemLine("の帆を直しました");
  const std::string sunk = SystemLine("に撃破されました！！");
  const struct {
    const char* what;
    std::string userName;
    std::string log;
    std::int64_t battles, sinks, sunkOwn;  // the empty name's row: battles present, sinks, sunk
  } cases[] = {
      {"no owner name, a repair without a name", "",
       SystemLine("Annの強襲です！") + repaired + SystemLine("敵船Annを撃沈しました！") + SystemLine("Ann" + kWon), 2, 1,
       0},
      {"two repairs without a name in one battle", "YOU",
       SystemLine("Annの強襲です！") + repaired + repaired + SystemLine("Ann" + kWon), 2, 0, 0},
      {"no owner name, beaten by nobody twice", "",
       SystemLine("Annの強襲です！") + sunk + sunk + SystemLine("Ann" + kLost), 3, 2, 2},
      {"a repair without a name in each of two battles", "YOU",
       SystemLine("Annの強襲です！") + repaired + SystemLine("Ann" + kWon) + SystemLine("Bobの強襲です！") + repaired +
           SystemLine("Bob" + kWon),
       2, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempDir here;
    App window;
    test::SetUpApp(window, here);
    RebuildTallyColumns(window);
    window.History.Enable(true);
    window.UserName = S(c.userName);
    window.CurrentLogPath = here.File("chat_20240501.html");
    test::WriteBytes(window.CurrentLogPath, c.log);
    ASSERT_TRUE(LoadAndAnalyse(window));
    HistoryStore* store = window.History.Store(window);
    ASSERT_NE(store, nullptr);
    EXPECT_EQ(U(window.History.ErrorText()), "");
    EXPECT_NE(window.History.CurrentLogId(), 0);
    const auto players = store->Players(HistoryFilter{}, {}, {});
    ASSERT_TRUE(players.Ok()) << players.Error.Detail;
    const PlayerRow* nameless = nullptr;
    for (const PlayerRow& p : players.Value) {
      if (p.Name.empty()) nameless = &p;
    }
    ASSERT_NE(nameless, nullptr);
    EXPECT_EQ(std::tie(nameless->Battles, nameless->Sinks, nameless->Sunk), std::tie(c.battles, c.sinks, c.sunkOwn));
  }
}

}  // namespace
}  // namespace mizuto
