// The line store: every kept log line, in file order, as Shift-JIS bytes (a two-byte
// channel tag followed by the message text). Lines live in one growing byte arena, so
// storing a line costs no allocation of its own. A line's end is kept in 32 bits, relative
// to the start of its group of 65536 lines (a line is at most 4095 bytes, so a group never
// spans 4 GiB), which halves the index of a large log.
#pragma once

#include <algorithm>
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

namespace mizuto {

class LogLines {
 public:
  std::size_t size() const { return ends_.size(); }
  bool empty() const { return ends_.empty(); }
  std::string_view operator[](std::size_t i) const {
    const std::size_t base = groupStarts_[i >> kGroupBits];
    const std::size_t begin = (i & kGroupMask) == 0 ? base : base + ends_[i - 1];
    return std::string_view(bytes_.data() + begin, base + ends_[i] - begin);
  }
  void push_back(std::string_view line) {
    bytes_.append(line);
    Commit();
  }
  void clear() {
    bytes_.clear();
    ends_.clear();
    groupStarts_.clear();
  }

  // Building a line in place: append its bytes to Arena(), then Commit() it, or Rollback()
  // to the size Arena() had before.
  std::string& Arena() { return bytes_; }
  void Commit() {
    if ((ends_.size() & kGroupMask) == 0) groupStarts_.push_back(LastEnd());
    ends_.push_back(static_cast<std::uint32_t>(bytes_.size() - groupStarts_.back()));
  }
  void Rollback(std::size_t mark) { bytes_.resize(mark); }
  // Makes room for about `moreBytes` bytes in `moreLines` lines, growing geometrically so
  // that repeated small reservations (the ticks of a followed log) never copy every time.
  // Only a hint: when the room cannot be had (a huge file that holds few lines, under a
  // memory limit), the store grows as lines come instead.
  void Reserve(std::size_t moreBytes, std::size_t moreLines) {
    try {
      if (Grow(bytes_, bytes_.size() + moreBytes)) PreferLargePages(bytes_.data(), bytes_.capacity());
      if (Grow(ends_, ends_.size() + moreLines)) {
        PreferLargePages(ends_.data(), ends_.capacity() * sizeof(std::uint32_t));
      }
    } catch (const std::exception&) {
    }
  }

 private:
  static constexpr int kGroupBits = 16;
  static constexpr std::size_t kGroupMask = (std::size_t{1} << kGroupBits) - 1;
  // Where the line after the last one begins.
  std::size_t LastEnd() const { return ends_.empty() ? 0 : groupStarts_.back() + ends_.back(); }

  template <typename Container>
  static bool Grow(Container& c, std::size_t needed) {
    if (needed <= c.capacity()) return false;
    c.reserve(std::max(needed, c.capacity() + c.capacity() / 2));
    return true;
  }
  // A large log fills tens of megabytes of line store; asking for large pages saves most of
  // the page faults of filling it. Only a hint: nothing changes where it is not honoured.
  static void PreferLargePages(const void* data, std::size_t bytes);
  std::string bytes_;
  std::vector<std::uint32_t> ends_;        // relative to the line's group start
  std::vector<std::size_t> groupStarts_;  // byte where each group of lines begins
};

}  // namespace mizuto
