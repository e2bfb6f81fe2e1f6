// What makes a log file the same log as one imported before: its bytes. A streaming hash of
// the file, with the hash of every prefix the store already knows taken on the way, so one
// pass over the file tells whether it begins with all the bytes of a known log (the log has
// grown, or was moved, renamed or copied) or is a log of its own. And the log's date.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ingest/log_origin.h"

namespace mizuto {

// A 128-bit hash of a byte string; not for security, only to tell logs apart.
using LogHash = std::array<std::uint8_t, 16>;

// How much of a log's start the history keeps a hash of: as much as tells two logs apart
// (the minute the log was started, the first things said). A file that begins like a known
// log within these bytes may be a shorter copy of it; any other cannot be.
inline constexpr std::int64_t kLogStartBytes = static_cast<std::int64_t>(kLogHeadBytes);

// The hash of a growing byte string: Add appends bytes, HashSoFar gives the hash of all the
// bytes added so far without disturbing the state (so the hash of any prefix is had on the
// way to the whole).
class LogHasher {
 public:
  void Add(std::string_view bytes);
  LogHash HashSoFar() const;
  std::int64_t Length() const { return length_; }

 private:
  // Four independent lanes over 32-byte blocks, so the processor works on them at once.
  void MixBlock(const std::uint8_t* block);
  std::uint64_t lanes_[4] = {0x6a09e667f3bcc908ull, 0xbb67ae8584caa73bull, 0x3c6ef372fe94f82bull,
                             0xa54ff53a5f1d36f1ull};
  std::uint8_t tail_[32] = {};
  int tailLength_ = 0;
  std::int64_t length_ = 0;
};

LogHash HashBytes(std::string_view bytes);

// One file as the history knows it.
struct LogFileIdentity {
  std::string Path;             // as the file system spells it (UTF-8)
  std::int64_t Size = 0;        // the bytes the analysis read (what the log is known by)
  LogHash Hash{};               // of those bytes
  std::int64_t FileSize = 0;    // the whole file, as it was when hashed
  LogHash FileHash{};
  LogHash FileHead{};           // of the file's first kLogStartBytes (all of it when shorter)
  std::int64_t LastWrite = 0;   // seconds since 1970 (UTC)
  std::string Date;             // "YYYY-MM-DD": from the file name, else the last write (local)
};

// The hash of the first kLogStartBytes of the bytes the log is known by (all of them when
// fewer): what a shorter copy of it shares with it.
LogHash LogHead(const LogFileIdentity& file);

// A prefix length the store knows, and where its hash goes.
struct PrefixProbe {
  std::int64_t Size = 0;
  LogHash Hash{};  // filled by HashLogFile when the file is at least Size bytes long
  bool Reached = false;
};

// Why a file could not be hashed (UTF-8, "path: reason"); empty when it was.
struct LogFileRead {
  LogFileIdentity File;
  // The hash of all but the file's last `fromEnd` bytes, when asked for.
  PrefixProbe FromEnd;
  std::string Error;  // why it could not be read (the path is File.Path); empty when it was
  bool Ok() const { return Error.empty(); }
};

// The streaming part of HashLogFile, for bytes read by someone else (the import's analysis
// reads the whole file anyway, and a second read of it cost as much as a tenth of the
// import): fed the file's bytes from its start, it takes the same hashes on the way.
// `size` is the file's size when the reading began.
class LogFileHashing {
 public:
  LogFileHashing(std::int64_t size, std::int64_t limit, std::vector<PrefixProbe>* probes, std::int64_t fromEnd);
  LogFileHashing(const LogFileHashing&) = delete;
  LogFileHashing& operator=(const LogFileHashing&) = delete;
  void Add(std::string_view bytes);
  // Probes learnt of after bytes were fed: those the hashing has not passed yet are taken on
  // the way (they too stay where they are until it is done); a probe it has passed is left
  // unreached, for HashFileStart to take from the file.
  void AddProbes(std::vector<PrefixProbe>* probes);
  std::int64_t Length() const { return hasher_.Length(); }
  // The hash of the bytes fed so far, as a probe of their length.
  PrefixProbe SoFar() const { return PrefixProbe{hasher_.Length(), hasher_.HashSoFar(), true}; }
  // The identity of the file at `path` as far as it was fed (its last write and its date
  // from the file system).
  LogFileRead Finish(const std::string& path) const;

 private:
  void Snapshot();
  LogHasher hasher_;
  std::int64_t size_ = 0;  // the file's, when the reading began
  PrefixProbe analysed_;
  PrefixProbe fromEnd_;
  PrefixProbe head_;
  std::vector<PrefixProbe*> order_;  // by size
  std::size_t next_ = 0;
};

// Hashes the regular file at `path` in one streaming pass: the whole file, its first `limit`
// bytes (all of it when limit < 0 or beyond its end), and for each probe (any order) the
// first probe.Size bytes when the file reaches that far. Sets the last write and the date.
// With `fromEnd` > 0, FromEnd receives the hash of all but the last `fromEnd` bytes too.
LogFileRead HashLogFile(const std::string& path, std::int64_t limit, std::vector<PrefixProbe>* probes,
                        std::int64_t fromEnd = 0);

// Takes the unreached probes of at most `start.Size` bytes from the file at `path`, which
// must begin as it did when `start` was hashed: false (and no probe touched) when the file
// cannot be read that far or its first start.Size bytes have changed since.
bool HashFileStart(const std::string& path, const PrefixProbe& start, std::vector<PrefixProbe>& probes);

// Whether the regular file at `path` begins with each of `prefixes` (ascending sizes): its
// first Size bytes hash to Hash. The reading stops at the first that it does not, so a file
// that differs within the first prefix costs that prefix's bytes at most.
bool FileBeginsWith(const std::string& path, std::vector<PrefixProbe> prefixes);

// Whether the file at `path` is still `size` bytes long and was last written at
// `lastWrite` (seconds since 1970, as LogFileIdentity keeps it).
bool FileStampIs(const std::string& path, std::int64_t size, std::int64_t lastWrite);

// The date a log's file name carries as YYYYMMDD, YYYY-MM-DD or YYYY_MM_DD (the first valid
// one, month 01-12 and a day that month has), "YYYY-MM-DD"; empty when it carries none.
std::string DateFromFileName(std::string_view fileName);

// "YYYY-MM-DD" of a time (seconds since 1970) in local time.
std::string LocalDate(std::int64_t secondsSince1970);

}  // namespace mizuto
