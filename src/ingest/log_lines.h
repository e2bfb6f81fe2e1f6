// The line store: every kept log line, in file order, as Shift-JIS bytes (a two-byte
// channel tag followed by the message text). Lines live in one growing byte arena, so
// storing a line costs no allocation of its own.
#pragma once

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

 private:
  std::string bytes_;
  std::vector<std::size_t> ends_;
};

}  // namespace mizuto
