#include "history/log_identity.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <system_error>

#include "platform/platform.h"

namespace mizuto {
namespace {

constexpr std::uint64_t kPrime1 = 0x9E3779B97F4A7C15ull;
constexpr std::uint64_t kPrime2 = 0xC2B2AE3D27D4EB4Full;
constexpr std::uint64_t kPrime3 = 0x165667B19E3779F9ull;

std::uint64_t Rotl(std::uint64_t x, int r) { return (x << r) | (x >> (64 - r)); }

// Spreads every input bit over the whole word (the finaliser of a well-known 64-bit mix).
std::uint64_t Avalanche(std::uint64_t x) {
  x ^= x >> 33;
  x *= 0xff51afd7ed558ccdull;
  x ^= x >> 33;
  x *= 0xc4ceb9fe1a85ec53ull;
  x ^= x >> 33;
  return x;
}

std::uint64_t LoadWord(const std::uint8_t* p) {
  // Little-endian whatever the machine, so a database moves between systems.
  std::uint64_t w = 0;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&w, p, sizeof w);
  } else {
    for (int i = 7; i >= 0; --i) w = (w << 8) | p[i];
  }
  return w;
}

}  // namespace

void LogHasher::MixBlock(const std::uint8_t* p) {
  for (int i = 0; i < 4; ++i) {
    lanes_[i] = Rotl(lanes_[i] + LoadWord(p + 8 * i) * kPrime2, 31) * kPrime1;
  }
}

void LogHasher::Add(std::string_view bytes) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
  std::size_t n = bytes.size();
  length_ += static_cast<std::int64_t>(n);
  if (tailLength_ > 0) {
    const std::size_t take = std::min<std::size_t>(n, static_cast<std::size_t>(32 - tailLength_));
    std::memcpy(tail_ + tailLength_, p, take);
    tailLength_ += static_cast<int>(take);
    p += take;
    n -= take;
    if (tailLength_ < 32) return;
    MixBlock(tail_);
    tailLength_ = 0;
  }
  // The lanes stay in registers for the run of blocks: written back to the member after
  // every block (the input's bytes may alias it, as far as the compiler knows), they made
  // hashing a log nearly twice as slow.
  std::uint64_t l0 = lanes_[0], l1 = lanes_[1], l2 = lanes_[2], l3 = lanes_[3];
  for (; n >= 32; p += 32, n -= 32) {
    l0 = Rotl(l0 + LoadWord(p) * kPrime2, 31) * kPrime1;
    l1 = Rotl(l1 + LoadWord(p + 8) * kPrime2, 31) * kPrime1;
    l2 = Rotl(l2 + LoadWord(p + 16) * kPrime2, 31) * kPrime1;
    l3 = Rotl(l3 + LoadWord(p + 24) * kPrime2, 31) * kPrime1;
  }
  lanes_[0] = l0;
  lanes_[1] = l1;
  lanes_[2] = l2;
  lanes_[3] = l3;
  std::memcpy(tail_, p, n);
  tailLength_ = static_cast<int>(n);
}

LogHash LogHasher::HashSoFar() const {
  std::uint64_t lanes[4] = {lanes_[0], lanes_[1], lanes_[2], lanes_[3]};
  // The tail's bytes, zero-filled, and the length: a tail of zero bytes is not no tail.
  std::uint8_t block[32] = {};
  std::memcpy(block, tail_, static_cast<std::size_t>(tailLength_));
  for (int i = 0; i < 4; ++i) lanes[i] = Rotl(lanes[i] + LoadWord(block + 8 * i) * kPrime2, 31) * kPrime1;
  const auto length = static_cast<std::uint64_t>(length_);
  const std::uint64_t high =
      Avalanche(Rotl(lanes[0], 1) + Rotl(lanes[1], 7) + Rotl(lanes[2], 12) + Rotl(lanes[3], 18) + length * kPrime3);
  const std::uint64_t low = Avalanche((lanes[0] ^ lanes[2]) * kPrime3 + (lanes[1] ^ Rotl(lanes[3], 29)) + high + length);
  LogHash hash{};
  for (int i = 0; i < 8; ++i) {
    hash[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(high >> (8 * (7 - i)));
    hash[static_cast<std::size_t>(8 + i)] = static_cast<std::uint8_t>(low >> (8 * (7 - i)));
  }
  return hash;
}

LogHash HashBytes(std::string_view bytes) {
  LogHasher hasher;
  hasher.Add(bytes);
  return hasher.HashSoFar();
}

namespace {

// Seconds since 1970 (UTC); 0 when the file system cannot say.
std::int64_t LastWriteOf(const std::filesystem::path& native) {
  std::error_code ec;
  const std::filesystem::file_time_type written = std::filesystem::last_write_time(native, ec);
  if (ec) return 0;
  const auto system = std::chrono::file_clock::to_sys(written);
  return std::chrono::duration_cast<std::chrono::seconds>(system.time_since_epoch()).count();
}

}  // namespace

LogHash LogHead(const LogFileIdentity& file) { return file.Size >= kLogStartBytes ? file.FileHead : file.Hash; }

LogFileHashing::LogFileHashing(std::int64_t size, std::int64_t limit, std::vector<PrefixProbe>* probes,
                               std::int64_t fromEnd)
    : size_(size),
      analysed_{limit < 0 ? size : std::min(limit, size), {}, false},
      head_{std::min(kLogStartBytes, size), {}, false} {
  // The probes in size order, so one pass meets each where the file reaches it.
  order_.push_back(&analysed_);
  order_.push_back(&head_);
  if (fromEnd > 0 && fromEnd <= size) {
    fromEnd_.Size = size - fromEnd;
    order_.push_back(&fromEnd_);
  }
  if (probes != nullptr) {
    for (PrefixProbe& probe : *probes) {
      probe.Reached = false;
      if (probe.Size >= 0 && probe.Size <= size) order_.push_back(&probe);
    }
  }
  // The end before the last bytes comes before the end, with probes or without.
  std::sort(order_.begin(), order_.end(), [](const PrefixProbe* x, const PrefixProbe* y) { return x->Size < y->Size; });
  Snapshot();
}

void LogFileHashing::AddProbes(std::vector<PrefixProbe>* probes) {
  std::vector<PrefixProbe*> ahead;
  for (PrefixProbe& probe : *probes) {
    probe.Reached = false;
    if (probe.Size >= hasher_.Length() && probe.Size <= size_) ahead.push_back(&probe);
  }
  if (ahead.empty()) return;
  order_.erase(order_.begin(), order_.begin() + static_cast<std::ptrdiff_t>(next_));
  next_ = 0;
  order_.insert(order_.end(), ahead.begin(), ahead.end());
  std::sort(order_.begin(), order_.end(), [](const PrefixProbe* x, const PrefixProbe* y) { return x->Size < y->Size; });
  Snapshot();
}

void LogFileHashing::Snapshot() {
  for (; next_ < order_.size() && order_[next_]->Size == hasher_.Length(); ++next_) {
    order_[next_]->Hash = hasher_.HashSoFar();
    order_[next_]->Reached = true;
  }
}

void LogFileHashing::Add(std::string_view bytes) {
  while (!bytes.empty()) {
    // Up to the next probe's length within these bytes, or all of them.
    std::size_t step = bytes.size();
    if (next_ < order_.size()) {
      step = static_cast<std::size_t>(
          std::min<std::int64_t>(static_cast<std::int64_t>(step), order_[next_]->Size - hasher_.Length()));
    }
    hasher_.Add(bytes.substr(0, step));
    bytes.remove_prefix(step);
    Snapshot();
  }
}

LogFileRead LogFileHashing::Finish(const std::string& path) const {
  LogFileRead result;
  result.File.Path = path;
  result.FromEnd = fromEnd_;
  result.File.FileSize = hasher_.Length();
  result.File.FileHash = hasher_.HashSoFar();
  // A file cut while it was read ends where the reading did.
  result.File.Size = analysed_.Reached ? analysed_.Size : result.File.FileSize;
  result.File.Hash = analysed_.Reached ? analysed_.Hash : result.File.FileHash;
  result.File.FileHead = head_.Reached ? head_.Hash : result.File.FileHash;

  const std::filesystem::path native = platform::NativePath(path);
  result.File.LastWrite = LastWriteOf(native);
  result.File.Date = DateFromFileName(platform::PathString(native.filename()));
  if (result.File.Date.empty()) result.File.Date = LocalDate(result.File.LastWrite);
  return result;
}

namespace {

// Feeds `hashing` the bytes of `file` up to its `size`th byte, or to the file's end should it
// have been cut meanwhile; false on a read error.
bool HashFrom(std::FILE* file, LogFileHashing& hashing, std::int64_t size) {
  // Left uninitialised: every byte used is read into it first, so zeroing a megabyte for
  // each file checked would be wasted.
  constexpr std::size_t kBufferBytes = 1 << 20;
  std::unique_ptr<char[]> buffer(new char[kBufferBytes]);
  while (hashing.Length() < size) {
    const std::int64_t left = size - hashing.Length();
    const std::size_t ask = static_cast<std::size_t>(std::min<std::int64_t>(left, static_cast<std::int64_t>(kBufferBytes)));
    const std::size_t got = std::fread(buffer.get(), 1, ask, file);
    if (got == 0) return std::ferror(file) == 0;
    hashing.Add(std::string_view(buffer.get(), got));
  }
  return true;
}

}  // namespace

LogFileRead HashLogFile(const std::string& path, std::int64_t limit, std::vector<PrefixProbe>* probes,
                        std::int64_t fromEnd) {
  std::int64_t size = 0;
  platform::OpenError openError;
  platform::FilePtr file(platform::OpenRegularFile(path, &size, &openError));
  LogFileRead failed;
  failed.File.Path = path;
  if (!file) {
    failed.Error = openError.SystemText.empty() ? "cannot be opened" : openError.SystemText;
    return failed;
  }
  LogFileHashing hashing(size, limit, probes, fromEnd);
  // A file cut while it was read: what was there is what was hashed.
  if (!HashFrom(file.get(), hashing, size)) {
    failed.Error = "read error";
    return failed;
  }
  return hashing.Finish(path);
}

bool HashFileStart(const std::string& path, const PrefixProbe& start, std::vector<PrefixProbe>& probes) {
  std::vector<PrefixProbe> again;
  for (const PrefixProbe& probe : probes) {
    if (!probe.Reached && probe.Size >= 0 && probe.Size <= start.Size) again.push_back(PrefixProbe{probe.Size, {}, false});
  }
  if (again.empty()) return true;
  again.push_back(PrefixProbe{start.Size, {}, false});
  std::int64_t size = 0;
  platform::OpenError openError;
  platform::FilePtr file(platform::OpenRegularFile(path, &size, &openError));
  if (!file || size < start.Size) return false;
  LogFileHashing hashing(start.Size, -1, &again, 0);
  if (!HashFrom(file.get(), hashing, start.Size)) return false;
  if (!again.back().Reached || again.back().Hash != start.Hash) return false;
  for (PrefixProbe& probe : probes) {
    if (probe.Reached || probe.Size < 0 || probe.Size > start.Size) continue;
    for (const PrefixProbe& taken : again) {
      if (taken.Size == probe.Size) {
        probe.Hash = taken.Hash;
        probe.Reached = true;
        break;
      }
    }
  }
  return true;
}

bool FileBeginsWith(const std::string& path, std::vector<PrefixProbe> prefixes) {
  if (prefixes.empty()) return true;
  std::int64_t size = 0;
  platform::FilePtr file(platform::OpenRegularFile(path, &size, nullptr));
  const std::int64_t whole = prefixes.back().Size;
  if (!file || size < whole) return false;
  std::vector<PrefixProbe> taken;
  for (const PrefixProbe& p : prefixes) taken.push_back(PrefixProbe{p.Size, {}, false});
  LogFileHashing hashing(whole, -1, &taken, 0);
  for (std::size_t i = 0; i < prefixes.size(); ++i) {
    if (!HashFrom(file.get(), hashing, prefixes[i].Size)) return false;
    if (!taken[i].Reached || taken[i].Hash != prefixes[i].Hash) return false;
  }
  return true;
}

bool FileStampIs(const std::string& path, std::int64_t size, std::int64_t lastWrite) {
  std::error_code ec;
  const std::filesystem::path native = platform::NativePath(path);
  const std::uintmax_t now = std::filesystem::file_size(native, ec);
  return !ec && static_cast<std::int64_t>(now) == size && LastWriteOf(native) == lastWrite;
}

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int Digits(std::string_view text, std::size_t at, std::size_t count) {
  int value = 0;
  for (std::size_t i = 0; i < count; ++i) value = value * 10 + (text[at + i] - '0');
  return value;
}

bool ValidDate(int year, int month, int day) {
  if (year < 1970 || year > 2099 || month < 1 || month > 12 || day < 1) return false;
  static constexpr int kDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (month == 2 && !leap) return day <= 28;
  return day <= kDays[month - 1];
}

std::string DateText(int year, int month, int day) {
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
  return text;
}

// Whether text[at, at + count) are all digits.
bool DigitsAt(std::string_view text, std::size_t at, std::size_t count) {
  if (at + count > text.size()) return false;
  for (std::size_t i = at; i < at + count; ++i) {
    if (!IsDigit(text[i])) return false;
  }
  return true;
}

}  // namespace

std::string DateFromFileName(std::string_view name) {
  for (std::size_t i = 0; i < name.size(); ++i) {
    // A date starts a run of digits: "chat20240501" yes, the middle of "120240501" no.
    if (!IsDigit(name[i]) || (i > 0 && IsDigit(name[i - 1]))) continue;
    if (!DigitsAt(name, i, 4)) continue;
    const int year = Digits(name, i, 4);
    int month = 0, day = 0;
    if (DigitsAt(name, i, 8)) {
      month = Digits(name, i + 4, 2);
      day = Digits(name, i + 6, 2);
    } else if (i + 10 <= name.size() && (name[i + 4] == '-' || name[i + 4] == '_') &&
               name[i + 7] == name[i + 4] && DigitsAt(name, i + 5, 2) && DigitsAt(name, i + 8, 2) &&
               (i + 10 == name.size() || !IsDigit(name[i + 10]))) {
      month = Digits(name, i + 5, 2);
      day = Digits(name, i + 8, 2);
    } else {
      continue;
    }
    if (ValidDate(year, month, day)) return DateText(year, month, day);
  }
  return {};
}

std::string LocalDate(std::int64_t secondsSince1970) {
  const std::time_t t = static_cast<std::time_t>(secondsSince1970);
  const std::tm* local = std::localtime(&t);
  if (local == nullptr) return "1970-01-01";
  return DateText(local->tm_year + 1900, local->tm_mon + 1, local->tm_mday);
}

}  // namespace mizuto
