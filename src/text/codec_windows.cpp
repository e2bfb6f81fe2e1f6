#ifdef MIZUTO_CODEC_WINDOWS
// The codec's converter on Windows: the system's own code page 932. Both directions are
// read once, character by character, into tables; the conversions then run on those
// tables, so malformed input is cut up the same way as by the ICU build (one "?" per
// malformed UTF-8 sequence, one U+FFFD per malformed CP932 sequence) and only the
// characters themselves come from the system.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "text/codec_backend.h"

namespace mizuto::codec_backend {
namespace {

constexpr UINT kCodePage = 932;
constexpr std::int32_t kInvalid = -1;
constexpr std::int32_t kLead = -2;
constexpr char32_t kReplacement = 0xFFFD;

bool IsTrail(unsigned char b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC); }

class SystemTables {
 public:
  SystemTables() {
    // UTF-16 -> CP932. Without WC_NO_BEST_FIT_CHARS the system would write look-alikes
    // (an "e" for "é", a backslash for the yen sign); a character CP932 lacks becomes "?".
    for (std::uint32_t cp = 0; cp < 0x10000; ++cp) {
      if (cp >= 0xD800 && cp <= 0xDFFF) continue;
      const wchar_t wide = static_cast<wchar_t>(cp);
      char bytes[4] = {};
      BOOL usedDefault = FALSE;
      const int n = ::WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, &wide, 1, bytes, sizeof bytes, "?",
                                          &usedDefault);
      if (n == 1) {
        toSjis_[cp] = static_cast<unsigned char>(bytes[0]);
      } else if (n == 2 && bytes[0] != 0) {
        toSjis_[cp] = static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[0]) << 8 |
                                                   static_cast<unsigned char>(bytes[1]));
      } else if (n == 0 && ::GetLastError() == ERROR_NO_UNICODE_TRANSLATION) {
        toSjis_[cp] = '?';
      } else if (n == 0) {
        toSjis_[cp] = kNothing;
      } else {
        return;
      }
    }
    // CP932 -> UTF-16: each byte alone, and each lead byte with every second byte.
    for (unsigned b = 0; b < 0x100; ++b) {
      const char byte = static_cast<char>(b);
      single_[b] = kInvalid;
      if (::IsDBCSLeadByteEx(kCodePage, static_cast<BYTE>(b))) {
        single_[b] = kLead;
        for (unsigned t = 0; t < 0x100; ++t) {
          const char pair[2] = {byte, static_cast<char>(t)};
          wchar_t wide[2];
          const int n = ::MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, pair, 2, wide, 2);
          pair_[b << 8 | t] = n == 1 ? static_cast<std::int32_t>(wide[0]) : kInvalid;
        }
        continue;
      }
      wchar_t wide[2];
      if (::MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, &byte, 1, wide, 2) == 1) single_[b] = wide[0];
    }
    ok_ = true;
  }

  bool ok() const { return ok_; }
  const std::uint16_t* ToSjis() const { return toSjis_; }

  // The code point of the CP932 character at `p`, advancing `p` past what it used.
  char32_t Decode(const unsigned char*& p, const unsigned char* end) const {
    const unsigned char b = *p++;
    const std::int32_t s = single_[b];
    if (s >= 0) return static_cast<char32_t>(s);
    if (s == kInvalid || p == end) return kReplacement;
    // A lead byte: a second byte in the trail range belongs to it even when the pair names
    // no character; any other byte is read again on its own.
    if (!IsTrail(*p)) return kReplacement;
    const std::int32_t c = pair_[b << 8 | *p++];
    return c >= 0 ? static_cast<char32_t>(c) : kReplacement;
  }

 private:
  std::uint16_t toSjis_[0x10000] = {};
  std::int32_t single_[0x100] = {};
  std::int32_t pair_[0x10000] = {};
  bool ok_ = false;
};

const SystemTables& Tables() {
  static const std::unique_ptr<SystemTables> tables = std::make_unique<SystemTables>();
  if (!tables->ok()) throw std::runtime_error("code page 932 unavailable");
  return *tables;
}

void PutUtf8(char32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// The next UTF-8 sequence at `p`: its code point, or -1 for a malformed one, which takes
// its longest valid beginning (at least one byte) as one unit.
std::int32_t NextCodePoint(const unsigned char*& p, const unsigned char* end) {
  const unsigned char b = *p++;
  if (b < 0x80) return b;
  int more = 0;
  std::int32_t cp = 0;
  unsigned char low = 0x80, high = 0xBF;
  if (b >= 0xC2 && b <= 0xDF) {
    more = 1;
    cp = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    more = 2;
    cp = b & 0x0F;
    if (b == 0xE0) low = 0xA0;
    if (b == 0xED) high = 0x9F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    more = 3;
    cp = b & 0x07;
    if (b == 0xF0) low = 0x90;
    if (b == 0xF4) high = 0x8F;
  } else {
    return -1;
  }
  for (; more > 0; --more) {
    if (p == end || *p < low || *p > high) return -1;
    cp = cp << 6 | (*p++ & 0x3F);
    low = 0x80;
    high = 0xBF;
  }
  return cp;
}

}  // namespace

bool ReadBmpTable(std::uint16_t* map) {
  std::memcpy(map, Tables().ToSjis(), 0x10000 * sizeof(std::uint16_t));
  return true;
}

void AppendUtf8AsSjis(std::string_view utf8, std::string& out) {
  const std::uint16_t* map = Tables().ToSjis();
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  const unsigned char* end = p + utf8.size();
  while (p < end) {
    const std::int32_t cp = NextCodePoint(p, end);
    const std::uint16_t m = cp >= 0 && cp < 0x10000 ? map[cp] : std::uint16_t{'?'};
    if (m == kNothing) continue;
    if (m > 0xFF) out += static_cast<char>(m >> 8);
    out += static_cast<char>(m & 0xFF);
  }
}

void AppendSjisAsUtf8(std::string_view sjis, std::string& out) {
  const SystemTables& tables = Tables();
  const auto* p = reinterpret_cast<const unsigned char*>(sjis.data());
  const unsigned char* end = p + sjis.size();
  out.reserve(out.size() + sjis.size() * 3 / 2);
  while (p < end) PutUtf8(tables.Decode(p, end), out);
}

}  // namespace mizuto::codec_backend

#endif  // MIZUTO_CODEC_WINDOWS
