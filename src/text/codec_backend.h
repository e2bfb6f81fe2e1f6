// What the codec asks of a converter, so that the build can choose one: ICU's "windows-31j"
// (codec_icu.cpp) or the system's own code page 932 on Windows (codec_windows.cpp). The
// fast per-line path in codec.cpp is the same for both: a table read from the converter.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace mizuto::codec_backend {

// Marks a code point the converter writes no byte for.
inline constexpr std::uint16_t kNothing = 0xFFFF;  // no CP932 lead byte is 0xFF

// Fills `map` (0x10000 entries, surrogates left alone) with the CP932 form of every BMP
// code point as the converter gives it: high byte 0 -> one byte (the low byte); kNothing
// -> no byte; otherwise two bytes, high then low. "?" where CP932 has no such character.
// False when the converter's results do not fit that shape.
bool ReadBmpTable(std::uint16_t* map);

// The converter itself: appends the CP932 form of any UTF-8 (one "?" for each malformed
// sequence and each character CP932 cannot hold).
void AppendUtf8AsSjis(std::string_view utf8, std::string& out);

// Appends the UTF-8 form of CP932 bytes (U+FFFD for a malformed sequence).
void AppendSjisAsUtf8(std::string_view sjis, std::string& out);

}  // namespace mizuto::codec_backend
