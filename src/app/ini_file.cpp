#include "app/ini_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

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
  lines_.clear();
  errno = 0;
  platform::FilePtr file(platform::OpenFile(path, "rb"));
  if (!file) {
    if (errno == ENOENT) return LoadResult::Missing;
    if (error) *error = path + ": " + std::strerror(errno ? errno : EIO);
    return LoadResult::Failed;
  }
  std::string bytes;
  char buffer[1 << 14];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) bytes.append(buffer, n);
  if (std::ferror(file.get())) {
    // A folder opens but cannot be read; never mistake it for an empty file.
    if (error) *error = path + ": " + std::strerror(errno ? errno : EIO);
    return LoadResult::Failed;
  }
  Parse(bytes);
  return LoadResult::Read;
}

void ProfileFile::Parse(std::string_view bytes) {
  lines_.clear();
  std::size_t start = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != '\r' && bytes[i] != '\n') continue;
    std::size_t endLength = 1;
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') endLength = 2;
    lines_.push_back({std::string(bytes.substr(start, i - start)), std::string(bytes.substr(i, endLength))});
    i += endLength - 1;
    start = i + 1;
  }
  if (start < bytes.size()) lines_.push_back({std::string(bytes.substr(start)), std::string()});
}

std::string ProfileFile::Bytes() const {
  std::string out;
  for (const Line& line : lines_) {
    out += line.Text;
    out += line.End;
  }
  return out;
}

int ProfileFile::FindSection(std::string_view section) const {
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    std::string_view name;
    if (HeaderName(lines_[i].Text, &name) && SameName(name, section)) return static_cast<int>(i);
  }
  return -1;
}

int ProfileFile::FindKey(int header, std::string_view key) const {
  for (std::size_t i = static_cast<std::size_t>(header) + 1; i < lines_.size(); ++i) {
    std::string_view name;
    if (HeaderName(lines_[i].Text, &name)) break;
    std::size_t equals;
    if (KeyLine(lines_[i].Text, &name, &equals) && SameName(name, key)) return static_cast<int>(i);
  }
  return -1;
}

std::optional<std::string> ProfileFile::Value(std::string_view section, std::string_view key) const {
  const int header = FindSection(section);
  if (header < 0) return std::nullopt;
  const int at = FindKey(header, key);
  if (at < 0) return std::nullopt;
  const std::string& text = lines_[static_cast<std::size_t>(at)].Text;
  std::string_view value = Trim(std::string_view(text).substr(text.find('=') + 1));
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
  const int header = FindSection(section);
  if (header < 0) {
    if (!lines_.empty()) {
      if (lines_.back().End.empty()) lines_.back().End = kNewLineEnd;
      if (!IsBlankLine(lines_.back().Text)) lines_.push_back({std::string(), kNewLineEnd});
    }
    std::string sectionLine = "[";
    sectionLine.append(section);
    sectionLine += ']';
    lines_.push_back({std::move(sectionLine), kNewLineEnd});
    lines_.push_back({std::string(key) + "=" + stored, kNewLineEnd});
    return;
  }
  const int at = FindKey(header, key);
  if (at >= 0) {
    // Only the value changes: the key as spelt in the file and the blanks around the
    // equals sign stay.
    std::string& text = lines_[static_cast<std::size_t>(at)].Text;
    std::size_t valueStart = text.find('=') + 1;
    while (valueStart < text.size() && IsBlank(text[valueStart])) ++valueStart;
    text.resize(valueStart);
    text += stored;
    return;
  }
  // After the last non-blank line of the section, so the blank line that usually parts it
  // from the next section stays between them.
  std::size_t last = static_cast<std::size_t>(header);
  for (std::size_t i = last + 1; i < lines_.size(); ++i) {
    std::string_view name;
    if (HeaderName(lines_[i].Text, &name)) break;
    if (!IsBlankLine(lines_[i].Text)) last = i;
  }
  if (lines_[last].End.empty()) lines_[last].End = kNewLineEnd;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(last) + 1,
                Line{std::string(key) + "=" + stored, kNewLineEnd});
}

void ProfileFile::WriteInteger(std::string_view section, std::string_view key, std::int64_t value) {
  Write(section, key, DecimalText(value));
}

void ProfileFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  Write(section, key, value ? "1" : "0");
}

}  // namespace mizuto
