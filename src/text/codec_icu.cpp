#ifndef MIZUTO_CODEC_WINDOWS
// The codec's converter on ICU: "windows-31j", Microsoft's CP932 tables.
#include <unicode/ucnv.h>

#include <cstdint>
#include <stdexcept>
#include <vector>

#include "text/codec_backend.h"

namespace mizuto::codec_backend {
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

}  // namespace

bool ReadBmpTable(std::uint16_t* map) {
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
  if (U_FAILURE(e)) return false;
  const std::size_t produced = static_cast<std::size_t>(dst - target.data());
  std::vector<std::uint8_t> lengths(source.size(), 0);
  for (std::size_t k = 0; k < produced; ++k) {
    const std::int32_t at = offsets[k];
    if (at < 0 || static_cast<std::size_t>(at) >= source.size()) return false;
    const auto byte = static_cast<std::uint8_t>(target[k]);
    std::uint16_t& entry = map[source[static_cast<std::size_t>(at)]];
    if (++lengths[static_cast<std::size_t>(at)] == 1) {
      entry = byte;
    } else if (lengths[static_cast<std::size_t>(at)] == 2 && entry != 0) {
      entry = static_cast<std::uint16_t>(entry << 8 | byte);
    } else {
      return false;  // an unexpected shape: keep using the converter directly
    }
  }
  // The converter writes nothing at all for the default-ignorable code points.
  for (std::size_t k = 0; k < source.size(); ++k) {
    if (lengths[k] == 0) map[source[k]] = kNothing;
  }
  return true;
}

void AppendUtf8AsSjis(std::string_view utf8, std::string& out) {
  Converters& c = Get();
  c.Convert(c.sjis(), c.utf8(), utf8, out);
}

void AppendSjisAsUtf8(std::string_view sjis, std::string& out) {
  Converters& c = Get();
  c.Convert(c.utf8(), c.sjis(), sjis, out);
}

}  // namespace mizuto::codec_backend

#endif  // !MIZUTO_CODEC_WINDOWS
