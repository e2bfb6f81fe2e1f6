#include "text/sjis.h"

#include <cstring>

namespace mizuto {

std::size_t FindBytes(std::string_view text, std::string_view what, std::size_t from) {
  if (what.empty() || from == 0 || from > text.size()) return 0;
  const std::size_t at = text.find(what, from - 1);
  return at == std::string_view::npos ? 0 : at + 1;
}

std::size_t FindChar(std::string_view text, std::string_view what) {
  if (what.empty() || what.size() > text.size()) return 0;
  std::size_t i = 0;
  while (i + what.size() <= text.size()) {
    if (std::memcmp(text.data() + i, what.data(), what.size()) == 0) return i + 1;
    i += IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
  }
  return 0;
}

std::string_view CutBytes(std::string_view text, long long count) {
  if (count <= 0) return {};
  return text.substr(0, static_cast<std::size_t>(count));
}

std::string_view FromByte(std::string_view text, long long position) {
  if (position < 1) position = 1;
  if (static_cast<unsigned long long>(position) > text.size()) return {};
  return text.substr(static_cast<std::size_t>(position - 1));
}

std::string DeleteBytes(std::string_view text, std::size_t position, std::size_t count) {
  std::string out(text);
  if (position < 1 || position > out.size()) return out;
  out.erase(position - 1, count);
  return out;
}

std::string ReplaceAllText(std::string text, std::string_view what, std::string_view with) {
  if (what.empty()) return text;
  // The rescan from the start is part of the rule, but an occurrence can only re-form
  // around the last replacement, so the search may restart a little before it.
  std::size_t start = 0;
  for (;;) {
    const std::size_t at = text.find(what, start);
    if (at == std::string::npos) return text;
    text.replace(at, what.size(), with);
    start = at + 1 > what.size() ? at + 1 - what.size() : 0;
  }
}

bool ParseDecimal(std::string_view text, std::int32_t* value) {
  std::size_t i = 0;
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    i = 1;
  }
  if (i == text.size()) return false;
  std::int64_t magnitude = 0;
  const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > limit) return false;
  }
  *value = static_cast<std::int32_t>(negative ? -magnitude : magnitude);
  return true;
}

std::string DecimalText(long long value) { return std::to_string(value); }

}  // namespace mizuto
