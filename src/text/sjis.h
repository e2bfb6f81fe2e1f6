// Shift-JIS (CP932) byte strings.
//
// Every text inside the program is a std::string of CP932 bytes. Positions are 1-based and
// 0 means "not found"; lengths and cuts count bytes. Two searches exist on purpose:
//  - FindBytes matches anywhere, also starting on the second byte of a double-byte
//    character: the battle analysis and the transcript work this way.
//  - FindChar never starts a match inside a double-byte character: the reference lists,
//    the version page and the CSV scan need it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace mizuto {

// True for a CP932 lead byte (the first byte of a double-byte character).
constexpr bool IsLeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// 1-based position of the first occurrence of `what` in `text` at or after byte `from`
// (1-based), bytewise; 0 when absent or when `what` is empty.
std::size_t FindBytes(std::string_view text, std::string_view what, std::size_t from = 1);

// As FindBytes, but a match may only begin on a character boundary.
std::size_t FindChar(std::string_view text, std::string_view what);

inline bool ContainsBytes(std::string_view text, std::string_view what) {
  return FindBytes(text, what) != 0;
}
inline bool StartsWithBytes(std::string_view text, std::string_view what) {
  return !what.empty() && text.substr(0, what.size()) == what;
}

// The first `count` bytes (empty for count <= 0).
std::string_view CutBytes(std::string_view text, long long count);
// The text from byte `position` (1-based) to its end; empty past the end.
std::string_view FromByte(std::string_view text, long long position);
// The text with `count` bytes at `position` (1-based) removed (fewer at the end).
std::string DeleteBytes(std::string_view text, std::size_t position, std::size_t count);

// Replaces every occurrence of `what` by `with`, restarting the search from the start
// after each replacement, so an occurrence formed by a replacement and its neighbours is
// replaced too. `with` must not contain `what`.
std::string ReplaceAllText(std::string text, std::string_view what, std::string_view with);

// A decimal integer with an optional sign and nothing else, within 32 bits; false (and
// `value` untouched) for any other text.
bool ParseDecimal(std::string_view text, std::int32_t* value);

// Decimal text of a 32-bit integer (the printf "%d" form).
std::string DecimalText(long long value);

}  // namespace mizuto
