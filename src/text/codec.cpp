#include "text/codec.h"

#include <cstdint>
#include <cstring>
#include <memory>

#include "text/codec_backend.h"

namespace mizuto {
namespace {

// The CP932 form of every BMP code point, read once from the converter itself, so that the
// per-line conversion of a log is a table lookup with exactly the converter's results
// (including "?" for what CP932 cannot hold). Entry: high byte 0 -> one byte (the low
// byte); kNothing -> no byte; otherwise two bytes, high then low.
class BmpTable {
 public:
  BmpTable() {
    if (!codec_backend::ReadBmpTable(map_)) return;
    for (std::uint16_t c = 0x20; c < 0x7F; ++c) {
      if (map_[c] != c) return;  // the run copy below relies on this
    }
    ok_ = true;
  }
  bool ok() const { return ok_; }

  // True when all eight bytes lie in 0x20..0x7E.
  static bool AllPrintableAscii(std::uint64_t w) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    constexpr std::uint64_t kHigh = 0x8080808080808080ull;
    const std::uint64_t below20 = (w - kOnes * 0x20) & ~w & kHigh;
    const std::uint64_t x = w ^ (kOnes * 0x7F);
    const std::uint64_t is7f = (x - kOnes) & ~x & kHigh;
    return ((w & kHigh) | below20 | is7f) == 0;
  }

  static char* Put(std::uint16_t m, char* dst) {
    if (m > 0xFF) {
      if (m == kNothing) return dst;
      dst[0] = static_cast<char>(m >> 8);
      dst[1] = static_cast<char>(m & 0xFF);
      return dst + 2;
    }
    *dst = static_cast<char>(m);
    return dst + 1;
  }

  // Appends the conversion of `in`; false (with `out` unchanged) when `in` holds anything
  // but well-formed UTF-8 of BMP characters: the caller then uses the converter itself.
  bool Append(std::string_view in, std::string& out) const {
    const std::size_t base = out.size();
    out.resize(base + in.size());
    char* dst = out.data() + base;
    const auto* p = reinterpret_cast<const unsigned char*>(in.data());
    const unsigned char* end = p + in.size();
    while (p < end) {
      const unsigned char c = *p;
      if (c < 0x80) {
        // Printable ASCII maps to itself; copy runs of it eight bytes at a time. (The
        // converter swaps a few control characters, which go through the table.)
        while (end - p >= 8) {
          std::uint64_t word;
          std::memcpy(&word, p, 8);
          if (!AllPrintableAscii(word)) break;
          std::memcpy(dst, p, 8);
          p += 8;
          dst += 8;
        }
        while (p < end && *p < 0x80) dst = Put(map_[*p++], dst);
        continue;
      }
      // Japanese text is mostly three-byte sequences: convert a run of them in one loop.
      while (end - p >= 3 && (p[0] & 0xF0u) == 0xE0u) {
        const unsigned b1 = p[1];
        const unsigned b2 = p[2];
        if ((b1 & 0xC0u) != 0x80u || (b2 & 0xC0u) != 0x80u) break;
        const std::uint32_t cp = (p[0] & 0x0Fu) << 12 | (b1 & 0x3Fu) << 6 | (b2 & 0x3Fu);
        if (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF)) break;
        dst = Put(map_[cp], dst);
        p += 3;
      }
      if (p == end || *p < 0x80) continue;
      if (*p >= 0xC2 && *p <= 0xDF && end - p >= 2 && (p[1] & 0xC0) == 0x80) {
        dst = Put(map_[(*p & 0x1Fu) << 6 | (p[1] & 0x3Fu)], dst);
        p += 2;
        continue;
      }
      // Malformed, a surrogate or a four-byte sequence: the converter decides.
      out.resize(base);
      return false;
    }
    out.resize(static_cast<std::size_t>(dst - out.data()));
    return true;
  }

 private:
  static constexpr std::uint16_t kNothing = codec_backend::kNothing;
  std::uint16_t map_[0x10000] = {};
  bool ok_ = false;
};

const BmpTable& Table() {
  thread_local std::unique_ptr<BmpTable> table = std::make_unique<BmpTable>();
  return *table;
}

}  // namespace

void AppendUtf8AsSjis(std::string_view utf8, std::string& out) {
  const BmpTable& table = Table();
  if (table.ok() && table.Append(utf8, out)) return;
  codec_backend::AppendUtf8AsSjis(utf8, out);
}

bool FastConversionAvailable() { return Table().ok(); }

std::string Utf8ToSjis(std::string_view utf8) {
  std::string out;
  AppendUtf8AsSjis(utf8, out);
  return out;
}

std::string SjisToUtf8(std::string_view sjis) {
  std::string out;
  codec_backend::AppendSjisAsUtf8(sjis, out);
  return out;
}

}  // namespace mizuto
