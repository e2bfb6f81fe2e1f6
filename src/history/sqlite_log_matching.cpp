// Which known log a file is: the logs it begins with, the longer log it is the start of,
// and where a log whose bytes lie in several files is kept.
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <tuple>

#include "platform/platform.h"

#include "history/sqlite_store.h"

namespace mizuto {

int SqliteHistoryStore::MatchKnown(const std::vector<PrefixProbe>& prefixes, const LogFileIdentity& file,
                                   Match* found) {
  SqliteDatabase::Lease lease =
      db_.Reuse("SELECT id, size, folder, file_name, file_size, file_hash, shaping FROM logs WHERE size = ? AND hash = ?");
  if (!lease) return sqlite3_errcode(db_.Handle());
  SqliteStatement& match = *lease;
  const FilePlace place = PlaceOf(file.Path);
  // The file's own bytes too: a log of exactly them may have been stored after the lengths
  // to probe were read.
  std::vector<PrefixProbe> probes = prefixes;
  const bool ownProbed = std::any_of(probes.begin(), probes.end(),
                                     [&](const PrefixProbe& p) { return p.Reached && p.Size == file.Size; });
  if (!ownProbed) probes.push_back(PrefixProbe{file.Size, file.Hash, true});
  for (const PrefixProbe& probe : probes) {
    if (!probe.Reached || probe.Size <= 0) continue;
    match.Bind(1, probe.Size);
    match.BindBlob(2, HashBytesView(probe.Hash));
    int code;
    while ((code = match.Step()) == SQLITE_ROW) {
      const std::int64_t id = match.Int(0);
      if (probe.Size > file.Size) {
        // The file holds all of a log that was read further than its own analysis reads
        // (it stops before a line still being written): what it is known by is that
        // log's start.
        if (found->Longer == 0 || probe.Size > found->LongerSize) {
          found->Longer = id;
          found->LongerSize = probe.Size;
          found->LongerFile = FilePlace{match.Bytes(2), match.Bytes(3)}.Path();
        }
      } else if (probe.Size > found->KnownSize) {
        if (found->Known != 0) found->Shorter.push_back(found->Known);
        found->Known = id;
        found->KnownSize = probe.Size;
        // The same bytes as analysed then, or the very file imported then.
        found->SameBytes = probe.Size == file.Size ||
                           (match.Int(4) == file.FileSize && match.Bytes(5) == HashBytesView(file.FileHash));
        found->SamePlace = match.Bytes(2) == place.Folder && match.Bytes(3) == place.FileName;
        found->Shaping = match.Bytes(6);
      } else {
        found->Shorter.push_back(id);
      }
    }
    match.Reset();
    if (code != SQLITE_DONE) return code;
  }
  return SQLITE_DONE;
}

int SqliteHistoryStore::MatchUnderLock(const LogCheck& check, Match* match) {
  const LogFileIdentity& file = check.Read.File;
  std::vector<PrefixProbe> probes = check.Prefixes;
  // Lengths stored since the check that the file may begin with: those of logs beginning
  // as it does (or too short to say, or stored before the start was kept).
  {
    SqliteDatabase::Lease sizes = db_.Reuse(
        "SELECT DISTINCT size FROM logs WHERE size > 0 AND size < ?1 AND (head IS NULL OR head = ?2 OR size < ?3)");
    if (!sizes) return sqlite3_errcode(db_.Handle());
    sizes->Bind(1, file.Size);
    sizes->BindBlob(2, HashBytesView(LogHead(file)));
    sizes->Bind(3, kLogStartBytes);
    std::vector<PrefixProbe> added;
    int code;
    while ((code = sizes->Step()) == SQLITE_ROW) {
      const std::int64_t size = sizes->Int(0);
      const bool probed = std::any_of(probes.begin(), probes.end(),
                                      [&](const PrefixProbe& p) { return p.Reached && p.Size == size; });
      if (!probed) added.push_back(PrefixProbe{size, {}, false});
    }
    sizes->Reset();
    if (code != SQLITE_DONE) return code;
    // A file changed since its analysis cannot tell: its own length still matches.
    if (!added.empty() && HashFileStart(file.Path, PrefixProbe{file.Size, file.Hash, true}, added)) {
      probes.insert(probes.end(), added.begin(), added.end());
    }
  }
  int code = MatchKnown(probes, file, match);
  if (code == SQLITE_DONE && match->Longer == 0) code = FindLongerLog(file, match);
  if (code == SQLITE_DONE && match->Longer == 0 && match->SameBytes && !match->SamePlace) code = DecidePlace(file, match);
  return code;
}

int SqliteHistoryStore::FindLongerLog(const LogFileIdentity& file, Match* match) {
  // The longest first: a chain of shorter copies ends in it. A log too short to have kept
  // the start is a candidate whatever the stored start, and so is one stored before it was.
  SqliteDatabase::Lease lease = db_.Reuse(
      "SELECT id, size, hash, folder, file_name FROM logs"
      " WHERE size > ?1 AND (?1 < ?3 OR head IS NULL OR head = ?2) ORDER BY size DESC, id");
  if (!lease) return sqlite3_errcode(db_.Handle());
  SqliteStatement& longer = *lease;
  longer.Bind(1, file.Size);
  longer.BindBlob(2, HashBytesView(LogHead(file)));
  longer.Bind(3, kLogStartBytes);
  struct Candidate {
    std::int64_t Id;
    PrefixProbe Whole;
    std::string File;
  };
  std::vector<Candidate> candidates;
  int code;
  while ((code = longer.Step()) == SQLITE_ROW) {
    Candidate c{longer.Int(0), PrefixProbe{longer.Int(1), {}, true}, FilePlace{longer.Bytes(3), longer.Bytes(4)}.Path()};
    const std::string_view hash = longer.View(2);
    if (hash.size() != c.Whole.Hash.size()) continue;
    std::copy(hash.begin(), hash.end(), c.Whole.Hash.begin());
    candidates.push_back(std::move(c));
  }
  longer.Reset();
  if (code != SQLITE_DONE) return code;
  // The longer log's bytes are had only from its file, which must still hold them: a file
  // that differs from this one's start is left at its first kLogStartBytes.
  const PrefixProbe head{std::min(kLogStartBytes, file.Size), LogHead(file), true};
  const PrefixProbe own{file.Size, file.Hash, true};
  for (const Candidate& c : candidates) {
    std::vector<PrefixProbe> expected{head, own, c.Whole};
    if (head.Size == own.Size) expected.erase(expected.begin());
    if (FileBeginsWith(c.File, expected)) {
      match->Longer = c.Id;
      match->LongerFile = c.File;
      break;
    }
  }
  return SQLITE_DONE;
}

int SqliteHistoryStore::DecidePlace(const LogFileIdentity& file, Match* match) {
  SqliteDatabase::Lease lease =
      db_.Reuse("SELECT folder, file_name, size, hash, file_size, last_write FROM logs WHERE id = ?");
  if (!lease) return sqlite3_errcode(db_.Handle());
  SqliteStatement& known = *lease;
  known.Bind(1, match->Known);
  const int code = known.Step();
  if (code != SQLITE_ROW) {
    known.Reset();
    return code == SQLITE_DONE ? SQLITE_DONE : code;
  }
  const FilePlace kept{known.Bytes(0), known.Bytes(1)};
  match->KnownFile = kept.Path();
  PrefixProbe whole{known.Int(2), {}, true};
  const std::string_view hash = known.View(3);
  const bool hashRead = hash.size() == whole.Hash.size();
  if (hashRead) std::copy(hash.begin(), hash.end(), whole.Hash.begin());
  const std::int64_t keptSize = known.Int(4);
  const std::int64_t keptWrite = known.Int(5);
  known.Reset();
  // Still there as imported, or grown since (its next import grows the log).
  const bool holds = FileStampIs(match->KnownFile, keptSize, keptWrite) ||
                     (hashRead && FileBeginsWith(match->KnownFile, {whole}));
  // Of two files holding the log, the one written first (the original, not a copy made of
  // it later), then the lesser path: whatever order they are imported in, the log ends at
  // the same one.
  const FilePlace here = PlaceOf(file.Path);
  const bool hereFirst = std::tie(file.LastWrite, here.Folder, here.FileName) < std::tie(keptWrite, kept.Folder, kept.FileName);
  match->KeepPlace = holds && !hereFirst;
  return SQLITE_DONE;
}

int SqliteHistoryStore::TakeIn(std::int64_t into, const std::vector<std::int64_t>& shorter) {
  for (std::int64_t id : shorter) {
    SqliteDatabase::Lease move = db_.Reuse(
        "INSERT OR IGNORE INTO corrections(log_id, number, size, type, npc, count_mark)"
        " SELECT ?, number, size, type, npc, count_mark FROM corrections WHERE log_id = ?");
    if (!move) return sqlite3_errcode(db_.Handle());
    move->Bind(1, into);
    move->Bind(2, id);
    int code = move->Step();
    move->Reset();
    if (code != SQLITE_DONE) return code;
    SqliteDatabase::Lease drop = db_.Reuse("DELETE FROM logs WHERE id = ?");
    if (!drop) return sqlite3_errcode(db_.Handle());
    drop->Bind(1, id);
    code = drop->Step();
    drop->Reset();
    if (code != SQLITE_DONE) return code;
  }
  return SQLITE_DONE;
}

HistoryError SqliteHistoryStore::FillMissingHeads() {
  // A log too short to have a start of its own begins with all of it; a longer one's start
  // is read from its file while that is as it was imported (its size and last write).
  struct Head {
    std::int64_t Id;
    LogHash Hash;
  };
  std::vector<Head> heads;
  SqliteStatement find = db_.Prepare("SELECT id, folder, file_name, size, hash, file_size, last_write FROM logs WHERE head IS NULL");
  int code = find ? SQLITE_ROW : sqlite3_errcode(db_.Handle());
  while (find && (code = find.Step()) == SQLITE_ROW) {
    Head head{find.Int(0), {}};
    const std::int64_t size = find.Int(3);
    const std::string_view hash = find.View(4);
    if (size < kLogStartBytes) {
      if (hash.size() != head.Hash.size()) continue;
      std::copy(hash.begin(), hash.end(), head.Hash.begin());
    } else {
      const std::string path = FilePlace{find.Bytes(1), find.Bytes(2)}.Path();
      if (!FileStampIs(path, find.Int(5), find.Int(6))) continue;
      std::int64_t fileSize = 0;
      platform::FilePtr file(platform::OpenRegularFile(path, &fileSize, nullptr));
      std::string start(static_cast<std::size_t>(kLogStartBytes), '\0');
      if (!file || std::fread(start.data(), 1, start.size(), file.get()) != start.size()) continue;
      head.Hash = HashBytes(start);
    }
    heads.push_back(head);
  }
  if (code != SQLITE_DONE) return db_.Failure(code, SqliteUse::Reading);
  find = SqliteStatement();
  if (heads.empty()) return {};
  if (HistoryError error = Begin()) return error;
  SqliteStatement fill = db_.Prepare("UPDATE logs SET head = ? WHERE id = ? AND head IS NULL");
  code = fill ? SQLITE_DONE : sqlite3_errcode(db_.Handle());
  for (std::size_t i = 0; fill && code == SQLITE_DONE && i < heads.size(); ++i) {
    fill.BindBlob(1, HashBytesView(heads[i].Hash));
    fill.Bind(2, heads[i].Id);
    code = fill.Step();
    fill.Reset();
  }
  if (code != SQLITE_DONE) {
    const HistoryError error = db_.Failure(code, SqliteUse::Writing);
    Rollback();
    return error;
  }
  return Commit();
}

}  // namespace mizuto
