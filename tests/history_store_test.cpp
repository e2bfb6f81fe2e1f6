// The season history's store: the schema's steps, what a failure does, how a file is known
// by its bytes, corrections across imports, and the window's hooks (load, tick, battle list).
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <random>
#include <tuple>

#include "app/active_mode.h"
#include "app/app.h"
#include "app/battle_list_commands.h"
#include "app/history_link.h"
#include "app/load_driver.h"
#include "app/result_views.h"
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
  for (std::int64_t v : {std::int64_t{0}, std::int64_t{-1}, std::int64_t{63}, std::int64_t{-64}, std::int64_t{1} << 40,
                         std::numeric_limits<std::int64_t>::max(), std::numeric_limits<std::int64_t>::min()}) {
    std::string packed;
    PackNumber(packed, v);
    std::string_view in = packed;
    std::int64_t back = 0;
    EXPECT_TRUE(UnpackNumber(in, &back) && back == v && in.empty()) << v;
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

// The real steps from version 0 (an empty file or one that a version-0 Mizuto left) give
// the current schema, and a history file opens at it.
TEST(HistorySchema, TheStepsReachTheCurrentVersionFromAnEmptyOrVersionZeroFile) {
  for (const bool withLegacy : {false, true}) {
    test::TempDir dir;
    const std::string path = dir.File(kHistoryFileName);
    if (withLegacy) Query(path, "CREATE TABLE legacy(z); PRAGMA user_version = 0");
    const HistoryOpen open = OpenHistoryStore(path);
    ASSERT_TRUE(open.Store) << open.Error.Detail;
    EXPECT_EQ(Query(path, "PRAGMA user_version"), std::vector<std::string>{std::to_string(kHistorySchemaVersion)});
    EXPECT_EQ(Query(path, "PRAGMA journal_mode"), std::vector<std::string>{"wal"});
    const std::vector<std::string> tables = Tables(path);
    for (const char* t : {"battle_players", "battles", "corrections", "log_totals", "logs", "names", "use_names"}) {
      EXPECT_NE(std::find(tables.begin(), tables.end(), t), tables.end()) << t;
    }
    // The first version's row per use was packed into the players' rows by a later step.
    EXPECT_EQ(std::find(tables.begin(), tables.end(), std::string("battle_uses")), tables.end());
  }
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
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempDir dir;
    const std::string path = c.make(dir);
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
  }
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
    app.History.Enabled = true;
    app.CurrentLogPath = dir.File("chat_20240501.html");
  }
  HistoryStore& Store() {
    HistoryStore* store = UsableHistory(app);
    EXPECT_NE(store, nullptr) << U(app.History.ErrorText);
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
    window.History.Enabled = true;
    window.History.Background = true;
    window.CurrentLogPath = dir.File(makeable ? "chat_20240501.html" : "chat_20240502.html");
    test::WriteBytes(window.CurrentLogPath, Battle("Ann", kWon));
    ASSERT_TRUE(LoadAndAnalyse(window));
    EXPECT_EQ(window.BattleList.Rows.size(), 1u);
    SettleHistory(window);
    EXPECT_FALSE(HistoryImportPending(window));
    if (makeable) {
      EXPECT_NE(window.History.CurrentLogId, 0);
      EXPECT_EQ(window.History.ErrorText, "");
      ASSERT_NE(UsableHistory(window), nullptr);
      EXPECT_EQ(UsableHistory(window)->Battles(HistoryFilter{}).Value.size(), 1u);
      // The second load finds the file and the log in it.
      ASSERT_TRUE(LoadAndAnalyse(window));
      SettleHistory(window);
      EXPECT_EQ(UsableHistory(window)->Logs(HistoryFilter{}).Value.size(), 1u);
    } else {
      EXPECT_EQ(window.History.CurrentLogId, 0);
      ASSERT_FALSE(window.History.ErrorText.empty());
      ASSERT_TRUE(LoadAndAnalyse(window));
      SettleHistory(window);
      EXPECT_EQ(std::count(window.ErrorLines.begin(), window.ErrorLines.end(), window.History.ErrorText), 1);
      EXPECT_EQ(UsableHistory(window), nullptr);
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
      made->History.Enabled = true;
      made->History.Background = background;
      made->CurrentLogPath = folder.File("chat_20240501.html");
      return made;
    };
    test::WriteBytes(folder.File("chat_20240501.html"), longLog);
    std::int64_t known = 0;
    {
      auto first = window();
      ASSERT_TRUE(LoadAndAnalyse(*first));
      SettleHistory(*first);
      known = first->History.CurrentLogId;
      ASSERT_NE(known, 0);
      // The short copy, imported after its log: a log of its own.
      test::WriteBytes(folder.File("copy.html"), Battle("Ann", kWon));
      EXPECT_EQ(ImportLogFile(*first, *UsableHistory(*first), folder.File("copy.html")).Outcome, ImportOutcome::Imported);
    }
    test::WriteBytes(folder.File("chat_20240501.html"), longLog + Battle("Bob", kLost));
    auto fresh = window();
    ASSERT_TRUE(LoadAndAnalyse(*fresh));
    SettleHistory(*fresh);
    EXPECT_EQ(fresh->History.CurrentLogId, known);
    EXPECT_EQ(fresh->History.ErrorText, "");
    HistoryStore* store = UsableHistory(*fresh);
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
  ASSERT_FALSE(app.History.ErrorText.empty());
  EXPECT_EQ(std::count(app.ErrorLines.begin(), app.ErrorLines.end(), app.History.ErrorText), 1);
  EXPECT_TRUE(U(app.History.ErrorText).starts_with("履歴ファイルが壊れているか、履歴ファイルではありません: " +
                                                   dir.File(kHistoryFileName)))
      << U(app.History.ErrorText);
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
    std::string bytes;
    ImportOutcome outcome;
    int logs;       // in the store afterwards
    int battles;    // of that file's log
    const char* date;
  };
  const Step steps[] = {
      {"first import", "chat_20240501.html", first, ImportOutcome::Imported, 1, 2, "2024-05-01"},
      {"again, unchanged", "chat_20240501.html", first, ImportOutcome::Unchanged, 1, 2, "2024-05-01"},
      {"grown", "chat_20240501.html", grown, ImportOutcome::Grown, 1, 3, "2024-05-01"},
      {"renamed copy", "copy 2024-05-03.html", grown, ImportOutcome::Unchanged, 1, 3, "2024-05-03"},
      {"moved copy", "elsewhere/chat_20240501.html", grown, ImportOutcome::Unchanged, 1, 3, "2024-05-01"},
      // It does not begin with all the bytes of the known log.
      {"an older, shorter copy is a log of its own", "chat_20240501.html", first, ImportOutcome::Imported, 2, 2,
       "2024-05-01"},
      {"differing inside: another log", "other_20240502.html", other, ImportOutcome::Imported, 3, 2, "2024-05-02"},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    test::WriteBytes(dir.File(s.file), s.bytes);
    const ImportResult result = ImportLogFile(app, Store(), dir.File(s.file));
    EXPECT_EQ(result.Outcome, s.outcome) << result.Error.Detail;
    EXPECT_EQ(result.Battles, s.battles);
    const auto logs = Store().Logs(HistoryFilter{}).Value;
    EXPECT_EQ(static_cast<int>(logs.size()), s.logs);
    HistoryFilter sameDay;
    sameDay.From = sameDay.To = s.date;
    const auto battles = Store().Battles(sameDay).Value;
    ASSERT_FALSE(battles.empty());
    EXPECT_EQ(battles.back().FileName(), std::filesystem::path(s.file).filename().string());
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
    app.History.Store.reset();
    app.History.OpenTried = false;
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(db + suffix);
    const ImportResult imported = ImportLogFile(app, Store(), app.CurrentLogPath);
    ASSERT_EQ(imported.Outcome, ImportOutcome::Imported) << imported.Error.Detail;
    const std::vector<std::string> byImport = Query(db, identity);

    app.History.Store.reset();
    app.History.OpenTried = false;
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
  ShipTypeSExecute(app);
  ToNPCExecute(app);
  DelTotalListExecute(app);
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
  ShipTypeMExecute(app);
  EXPECT_EQ(Labels()[0], corrected[0]);
}

// Each tick that ends a battle records it; the battle still being fought waits for its end.
TEST_F(HistoryAppTest, ActiveModeRecordsEachBattleAsItEnds) {
  test::WriteBytes(app.CurrentLogPath, Battle("Ann", kWon) + SystemLine("Bobの強襲です！"));
  app.Acts.ActiveMode.Checked = true;
  ASSERT_TRUE(LoadAndAnalyse(app));
  ActiveModeExecute(app);
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
  EXPECT_EQ(last.Result, kDefeat);
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
    window.History.Enabled = true;
    window.UserName = S(c.userName);
    window.CurrentLogPath = here.File("chat_20240501.html");
    test::WriteBytes(window.CurrentLogPath, c.log);
    ASSERT_TRUE(LoadAndAnalyse(window));
    HistoryStore* store = UsableHistory(window);
    ASSERT_NE(store, nullptr);
    EXPECT_EQ(U(window.History.ErrorText), "");
    EXPECT_NE(window.History.CurrentLogId, 0);
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
