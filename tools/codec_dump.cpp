// Writes the codec's whole mapping, both ways, as text: every single byte and every pair
// starting with a lead byte (CP932 -> UTF-8), and every BMP code point (UTF-8 -> CP932).
// Run on the ICU build and on the Windows build, the two dumps side by side show exactly
// where the two converters differ (scripts/codec-compare.sh).
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "text/codec.h"

namespace {

std::string Hex(const std::string& bytes) {
  static const char* const kDigits = "0123456789abcdef";
  std::string text;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (!text.empty()) text += ' ';
    text += kDigits[b >> 4];
    text += kDigits[b & 15];
  }
  return text.empty() ? "-" : text;
}

std::string Utf8(std::uint32_t cp) {
  std::string s;
  if (cp < 0x80) {
    s += static_cast<char>(cp);
  } else if (cp < 0x800) {
    s += static_cast<char>(0xC0 | (cp >> 6));
    s += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    s += static_cast<char>(0xE0 | (cp >> 12));
    s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (cp & 0x3F));
  }
  return s;
}

bool IsLead(unsigned b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args = mizuto::platform::Arguments(argc, argv);
  if (args.size() != 2) {
    std::fprintf(stderr, "usage: mizuto_codec_dump OUT\n");
    return 2;
  }
  std::string text;
  char line[64];
  // A single byte; then a lead byte followed by every possible second byte.
  for (unsigned b = 0; b < 0x100; ++b) {
    std::snprintf(line, sizeof line, "s %02x -> ", b);
    text += line + Hex(mizuto::SjisToUtf8(std::string(1, static_cast<char>(b)))) + "\n";
  }
  for (unsigned lead = 0x80; lead < 0x100; ++lead) {
    if (!IsLead(lead)) continue;
    for (unsigned trail = 0; trail < 0x100; ++trail) {
      const std::string pair{static_cast<char>(lead), static_cast<char>(trail)};
      std::snprintf(line, sizeof line, "d %02x%02x -> ", lead, trail);
      text += line + Hex(mizuto::SjisToUtf8(pair)) + "\n";
    }
  }
  for (std::uint32_t cp = 0; cp < 0x10000; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    std::snprintf(line, sizeof line, "u %04x -> ", static_cast<unsigned>(cp));
    text += line + Hex(mizuto::Utf8ToSjis(Utf8(cp))) + "\n";
  }
  std::string error;
  if (!mizuto::platform::ReplaceFile(args[1], text, &error)) {
    std::fprintf(stderr, "mizuto_codec_dump: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
