#include "app/parts/ini_file.h"

#include <cstring>

#include "platform/platform.h"
#include "text/sjis.h"

namespace mizuto {
namespace {

constexpr const char* kNewLineEnd = "\r\n";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool IsBlankLine(std::string_view s) { return Trim(s).empty(); }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// "[name]" (blanks allowed before the bracket and around the name); the closing bracket is
// the last one on the line. A line with "[" but no "]" is not a header.
bool HeaderName(std::string_view text, std::string_view* name) {
  const std::string_view t = Trim(text);
  if (t.empty() || t.front() != '[') return false;
  const std::size_t close = t.rfind(']');
  if (close == std::string_view::npos || close == 0) return false;
  *name = Trim(t.substr(1, close - 1));
  return true;
}

// "key=value": the key is what stands before the first "=", without blanks. '=' is never
// the second byte of a double-byte character, so a bytewise search is safe here.
bool KeyLine(std::string_view text, std::string_view* key, std::size_t* equals) {
  const std::size_t eq = text.find('=');
  if (eq == std::string_view::npos) return false;
  *key = Trim(text.substr(0, eq));
  *equals = eq;
  return !key->empty();
}

// Never leaves half of a double-byte character at the end.
std::string CutValue(std::string_view value) {
  if (value.size() <= kMaxProfileValueBytes) return std::string(value);
  std::size_t end = 0;
  while (end < kMaxProfileValueBytes) {
    const std::size_t step = IsLeadByte(static_cast<unsigned char>(value[end])) ? 2 : 1;
    if (end + step > kMaxProfileValueBytes) break;
    end += step;
  }
  return std::string(value.substr(0, end));
}

bool IsQuote(char c) { return c == '"' || c == '\''; }

// The form of a value that reads back exactly as given.
std::string StoredValue(std::string_view value) {
  const std::size_t lineBreak = value.find_first_of("\r\n");
  if (lineBreak != std::string_view::npos) value = value.substr(0, lineBreak);
  const bool needsQuotes =
      !value.empty() && (IsBlank(value.front()) || IsBlank(value.back()) ||
                         (value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front()));
  if (!needsQuotes) return std::string(value);
  std::string quoted;
  quoted.reserve(value.size() + 2);
  quoted += '"';
  quoted.append(value);
  quoted += '"';
  return quoted;
}

}  // namespace

ProfileFile::LoadResult ProfileFile::Load(const std::string& path, std::string* error) {
  text_.clear();
  std::string reason;
  switch (platform::ReadSmallFile(path, kMaxProfileFileBytes, &text_, &reason)) {
    case platform::SmallFileRead::Read:
      return LoadResult::Read;
    case platform::SmallFileRead::Missing:
      return LoadResult::Missing;
    default:
      // Never mistake a folder, a pipe or a file cut short for an empty file.
      if (error) *error = reason;
      return LoadResult::Failed;
  }
}

void ProfileFile::Parse(std::string_view bytes) { text_.assign(bytes); }

ProfileFile::Span ProfileFile::LineAt(std::size_t begin) const {
  Span line{begin, begin, begin};
  // A UTF-8 byte-order mark, which an editor may put first, is no part of the first line
  // (it would hide a section header there); it stays in the file as it was.
  if (begin == 0 && std::string_view(text_).starts_with("\xEF\xBB\xBF")) line.Begin = 3;
  const std::size_t size = text_.size();
  std::size_t i = begin;
  while (i < size && text_[i] != '\r' && text_[i] != '\n') ++i;
  line.TextEnd = i;
  if (i < size) i += (text_[i] == '\r' && i + 1 < size && text_[i + 1] == '\n') ? 2 : 1;
  line.End = i;
  return line;
}

bool ProfileFile::FindSection(std::string_view section, Span* header) const {
  for (std::size_t at = 0; at < text_.size();) {
    const Span line = LineAt(at);
    std::string_view name;
    if (HeaderName(TextOf(line), &name) && SameName(name, section)) {
      *header = line;
      return true;
    }
    at = line.End;
  }
  return false;
}

bool ProfileFile::FindKey(const Span& header, std::string_view key, Span* found) const {
  for (std::size_t at = header.End; at < text_.size();) {
    const Span line = LineAt(at);
    std::string_view name;
    if (HeaderName(TextOf(line), &name)) return false;
    std::size_t equals;
    if (KeyLine(TextOf(line), &name, &equals) && SameName(name, key)) {
      *found = line;
      return true;
    }
    at = line.End;
  }
  return false;
}

std::optional<std::string> ProfileFile::Value(std::string_view section, std::string_view key) const {
  Span header, line;
  if (!FindSection(section, &header) || !FindKey(header, key, &line)) return std::nullopt;
  const std::string_view text = TextOf(line);
  std::string_view value = Trim(text.substr(text.find('=') + 1));
  if (value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return CutValue(value);
}

std::string ProfileFile::ReadString(std::string_view section, std::string_view key,
                                    std::string_view fallback) const {
  std::optional<std::string> value = Value(section, key);
  return value ? std::move(*value) : CutValue(fallback);
}

std::int32_t ProfileFile::ReadInteger(std::string_view section, std::string_view key,
                                      std::int32_t fallback) const {
  const std::optional<std::string> value = Value(section, key);
  std::int32_t number;
  if (value && ParseDecimal(*value, &number)) return number;
  return fallback;
}

bool ProfileFile::ReadBool(std::string_view section, std::string_view key, bool fallback) const {
  return ReadInteger(section, key, fallback ? 1 : 0) != 0;
}

void ProfileFile::Write(std::string_view section, std::string_view key, std::string_view value) {
  const std::string stored = StoredValue(value);
  const std::string keyLine = std::string(key) + "=" + stored + kNewLineEnd;
  Span header;
  if (!FindSection(section, &header)) {
    if (!text_.empty()) {
      if (text_.back() != '\r' && text_.back() != '\n') text_ += kNewLineEnd;
      // The file's last line, ended now: a blank line parts it from the new section.
      std::size_t last = text_.size() - 1;
      if (last > 0 && text_[last] == '\n' && text_[last - 1] == '\r') --last;
      while (last > 0 && text_[last - 1] != '\r' && text_[last - 1] != '\n') --last;
      if (!IsBlankLine(TextOf(LineAt(last)))) text_ += kNewLineEnd;
    }
    text_ += '[';
    text_.append(section);
    text_ += ']';
    text_ += kNewLineEnd;
    text_ += keyLine;
    return;
  }
  Span line;
  if (FindKey(header, key, &line)) {
    // Only the value changes: the key as spelt in the file and the blanks around the
    // equals sign stay.
    std::size_t valueStart = text_.find('=', line.Begin) + 1;
    while (valueStart < line.TextEnd && IsBlank(text_[valueStart])) ++valueStart;
    text_.replace(valueStart, line.TextEnd - valueStart, stored);
    return;
  }
  // After the last non-blank line of the section, so the blank line that usually parts it
  // from the next section stays between them.
  Span last = header;
  for (std::size_t at = header.End; at < text_.size();) {
    const Span next = LineAt(at);
    std::string_view name;
    if (HeaderName(TextOf(next), &name)) break;
    if (!IsBlankLine(TextOf(next))) last = next;
    at = next.End;
  }
  if (last.End == last.TextEnd) {  // the file's last line, without a line end
    text_.insert(last.End, kNewLineEnd);
    last.End += std::strlen(kNewLineEnd);
  }
  text_.insert(last.End, keyLine);
}

void ProfileFile::WriteInteger(std::string_view section, std::string_view key, std::int64_t value) {
  Write(section, key, DecimalText(value));
}

void ProfileFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  Write(section, key, value ? "1" : "0");
}

}  // namespace mizuto
