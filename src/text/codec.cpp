#include "text/codec.h"

#include <unicode/ucnv.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

namespace mizuto {
namespace {

class Converters {
 public:
  Converters() {
    UErrorCode e = U_ZERO_ERROR;
    sjis_ = ucnv_open("windows-31j", &e);
    if (U_FAILURE(e)) throw std::runtime_error("windows-31j converter unavailable");
    utf8_ = ucnv_open("UTF-8", &e);
    if (U_FAILURE(e)) throw std::runtime_error("UTF-8 converter unavailable");
    ucnv_setSubstChars(sjis_, "?", 1, &e);
  }
  ~Converters() {
    ucnv_close(sjis_);
    ucnv_close(utf8_);
  }
  Converters(const Converters&) = delete;
  Converters& operator=(const Converters&) = delete;

  // Converts `in` from the `from` converter's encoding to the `to` converter's encoding.
  void Convert(UConverter* to, UConverter* from, std::string_view in, std::string& out) {
    if (in.empty()) return;
    ucnv_reset(to);
    ucnv_reset(from);
    const char* src = in.data();
    const char* srcEnd = in.data() + in.size();
    std::size_t base = out.size();
    // CP932 is never longer than UTF-8 (<= 2 bytes for a 2..4-byte sequence, 1 for ASCII,
    // "?" for a malformed byte); UTF-8 is at most 3 bytes per CP932 byte.
    out.resize(base + in.size() * (to == utf8_ ? 3 : 1) + 16);
    char* dst = out.data() + base;
    char* dstEnd = out.data() + out.size();
    UChar* pivotSource = pivot_;
    UChar* pivotTarget = pivot_;
    UErrorCode e = U_ZERO_ERROR;
    ucnv_convertEx(to, from, &dst, dstEnd, &src, srcEnd, pivot_, &pivotSource, &pivotTarget,
                   pivot_ + kPivot, true, true, &e);
    if (U_FAILURE(e)) throw std::runtime_error("text conversion failed");
    out.resize(static_cast<std::size_t>(dst - out.data()));
  }

  UConverter* sjis() { return sjis_; }
  UConverter* utf8() { return utf8_; }

 private:
  static constexpr int kPivot = 1024;
  UConverter* sjis_ = nullptr;
  UConverter* utf8_ = nullptr;
  UChar pivot_[kPivot];
};

Converters& Get() {
  thread_local Converters converters;
  return converters;
}

// The CP932 form of every BMP code point, read once from the converter itself, so that the
// per-line conversion of a log is a table lookup with exactly the converter's results
// (including "?" for what CP932 cannot hold). Entry: high byte 0 -> one byte (the low
// byte); kNothing -> no byte; otherwise two bytes, high then low.
class BmpTable {
 public:
  BmpTable() {
    std::vector<UChar> source;
    source.reserve(0x10000);
    for (std::uint32_t cp = 0; cp < 0x10000; ++cp) {
      if (cp < 0xD800 || cp > 0xDFFF) source.push_back(static_cast<UChar>(cp));
    }
    std::vector<char> target(source.size() * 4);
    std::vector<std::int32_t> offsets(target.size(), -1);
    UConverter* sjis = Get().sjis();
    ucnv_resetFromUnicode(sjis);
    const UChar* src = source.data();
    char* dst = target.data();
    UErrorCode e = U_ZERO_ERROR;
    ucnv_fromUnicode(sjis, &dst, target.data() + target.size(), &src, source.data() + source.size(),
                     offsets.data(), true, &e);
    if (U_FAILURE(e)) return;
    const std::size_t produced = static_cast<std::size_t>(dst - target.data());
    std::vector<std::uint8_t> lengths(source.size(), 0);
    for (std::size_t k = 0; k < produced; ++k) {
      const std::int32_t at = offsets[k];
      if (at < 0 || static_cast<std::size_t>(at) >= source.size()) return;
      const auto byte = static_cast<std::uint8_t>(target[k]);
      std::uint16_t& entry = map_[source[static_cast<std::size_t>(at)]];
      if (++lengths[static_cast<std::size_t>(at)] == 1) {
        entry = byte;
      } else if (lengths[static_cast<std::size_t>(at)] == 2 && entry != 0) {
        entry = static_cast<std::uint16_t>(entry << 8 | byte);
      } else {
        return;  // an unexpected shape: keep using the converter directly
      }
    }
    // The converter writes nothing at all for the default-ignorable code points.
    for (std::size_t k = 0; k < source.size(); ++k) {
      if (lengths[k] == 0) map_[source[k]] = kNothing;
    }
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
  static constexpr std::uint16_t kNothing = 0xFFFF;  // no CP932 lead byte is 0xFF
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
  Converters& c = Get();
  c.Convert(c.sjis(), c.utf8(), utf8, out);
}

bool FastConversionAvailable() { return Table().ok(); }

std::string Utf8ToSjis(std::string_view utf8) {
  std::string out;
  AppendUtf8AsSjis(utf8, out);
  return out;
}

std::string SjisToUtf8(std::string_view sjis) {
  std::string out;
  Converters& c = Get();
  c.Convert(c.utf8(), c.sjis(), sjis, out);
  return out;
}

}  // namespace mizuto
