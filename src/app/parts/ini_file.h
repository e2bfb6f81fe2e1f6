// A settings file in the profile format: "[section]" header lines and "key=value" lines,
// read the way the Windows profile functions read them. The text is kept as it was read,
// so writing a key changes only that key's line and everything else -- other sections,
// unknown keys, comments, blank lines, line ends -- is written back unchanged. It is kept
// as one string and its lines are found when asked for: a file of many short lines costs
// no more than its own size.
#pragma once

#include <cstdint>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mizuto {

// The longest value a read returns, in bytes (a 2048-byte buffer with its terminating zero).
inline constexpr std::size_t kMaxProfileValueBytes = 2047;
// A settings file larger than this is not read (it is no settings file the program wrote).
inline constexpr std::size_t kMaxProfileFileBytes = std::size_t{16} << 20;

class ProfileFile {
 public:
  enum class LoadResult { Read, Missing, Failed };

  // Reads the file at `path`. A file that does not exist gives an empty profile
  // (Missing); one that exists but cannot be read -- also a pipe, a device or a file over
  // kMaxProfileFileBytes -- gives an empty profile too (Failed), with the reason in
  // `error`. A UTF-8 byte-order mark at the start is passed over when reading and kept
  // when writing.
  LoadResult Load(const std::string& path, std::string* error = nullptr);
  void Parse(std::string_view bytes);
  // The whole file as it would be written.
  const std::string& Bytes() const { return text_; }

  // The value of the first `key` in the first `section` (both matched without regard to
  // case): spaces and tabs around it removed, then one pair of matching quotes, then cut
  // to kMaxProfileValueBytes. Nothing when the section or the key is missing.
  std::optional<std::string> Value(std::string_view section, std::string_view key) const;

  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view fallback) const;
  // A value that is not an optional sign and decimal digits within 32 bits reads as
  // `fallback`.
  std::int32_t ReadInteger(std::string_view section, std::string_view key,
                           std::int32_t fallback) const;
  // Any integer other than 0 is true.
  bool ReadBool(std::string_view section, std::string_view key, bool fallback) const;

  // Sets the value of `key`: the first occurrence in the section is rewritten where it
  // stands; a new key goes after the section's last non-blank line; a missing section is
  // appended to the file. A value that would not read back as written (surrounding
  // blanks or quotes) is quoted; a line break ends it, as one line cannot hold two.
  void Write(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, std::int64_t value);
  void WriteBool(std::string_view section, std::string_view key, bool value);

 private:
  // One line of text_: its text is [Begin, TextEnd), its line end [TextEnd, End).
  struct Span {
    std::size_t Begin = 0, TextEnd = 0, End = 0;
  };
  Span LineAt(std::size_t begin) const;
  std::string_view TextOf(const Span& line) const {
    return std::string_view(text_).substr(line.Begin, line.TextEnd - line.Begin);
  }
  // The first header line of `section`; false when there is none.
  bool FindSection(std::string_view section, Span* header) const;
  // The first line of `key` in the section whose header is `header`; false when none.
  bool FindKey(const Span& header, std::string_view key, Span* found) const;

  std::string text_;
};

}  // namespace mizuto
