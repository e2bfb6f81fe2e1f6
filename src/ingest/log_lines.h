// The line store: every kept log line, in file order, as Shift-JIS bytes (a two-byte
// channel tag followed by the message text). Lines live in one growing byte arena, so
// storing a line costs no allocation of its own.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mizuto {

class LogLines {
 public:
  std::size_t size() const { return ends_.size(); }
  bool empty() const { return ends_.empty(); }
  std::string_view operator[](std::size_t i) const {
    const std::size_t begin = i == 0 ? 0 : ends_[i - 1];
    return std::string_view(bytes_.data() + begin, ends_[i] - begin);
  }
  void push_back(std::string_view line) {
    bytes_.append(line);
    ends_.push_back(bytes_.size());
  }
  void clear() {
    bytes_.clear();
    ends_.clear();
  }
  std::size_t ByteSize() const { return bytes_.size(); }

  // Building a line in place: append its bytes to Arena(), then Commit() it, or Rollback()
  // to the size Arena() had before.
  std::string& Arena() { return bytes_; }
  void Commit() { ends_.push_back(bytes_.size()); }
  void Rollback(std::size_t mark) { bytes_.resize(mark); }
  // Makes room for about `moreBytes` bytes in `moreLines` lines, growing geometrically so
  // that repeated small reservations (the ticks of a followed log) never copy every time.
  void Reserve(std::size_t moreBytes, std::size_t moreLines) {
    if (Grow(bytes_, bytes_.size() + moreBytes)) PreferLargePages(bytes_.data(), bytes_.capacity());
    if (Grow(ends_, ends_.size() + moreLines)) {
      PreferLargePages(ends_.data(), ends_.capacity() * sizeof(std::size_t));
    }
  }

 private:
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
  std::vector<std::size_t> ends_;
};

}  // namespace mizuto
