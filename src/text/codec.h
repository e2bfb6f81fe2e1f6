// Conversion between UTF-8 and Shift-JIS (Microsoft's CP932 tables, "windows-31j").
//
// The conversion happens only at the edges: when a log line is read (UTF-8 -> CP932) and
// when a text is shown on a terminal or a widget (CP932 -> UTF-8). The converters are
// opened once per thread and reused.
//
// Replacement: a character that CP932 cannot hold, and every malformed UTF-8 sequence,
// becomes one "?" (0x3F); a malformed CP932 sequence becomes U+FFFD in UTF-8. Neither
// stops the conversion.
#pragma once

#include <string>
#include <string_view>

namespace mizuto {

// Appends the CP932 form of `utf8` to `out`.
void AppendUtf8AsSjis(std::string_view utf8, std::string& out);
std::string Utf8ToSjis(std::string_view utf8);
std::string SjisToUtf8(std::string_view sjis);

// True when the per-line conversion runs on the table read from the converter (it falls
// back to the converter itself if that table could not be built).
bool FastConversionAvailable();

}  // namespace mizuto

// The CP932 bytes of a UTF-8 string literal, converted on first use and kept:
//   FindBytes(text, SJ("に勝利しました！"))
// Never compare CP932 text with a raw literal: a Japanese literal in this source is UTF-8.
#define SJ(utf8_literal)                                                   \
  ([]() -> const std::string& {                                            \
    static const std::string converted = ::mizuto::Utf8ToSjis(utf8_literal); \
    return converted;                                                      \
  }())
