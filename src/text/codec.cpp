#include "text/codec.h"

#include <unicode/ucnv.h>

#include <stdexcept>

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

}  // namespace

void AppendUtf8AsSjis(std::string_view utf8, std::string& out) {
  Converters& c = Get();
  c.Convert(c.sjis(), c.utf8(), utf8, out);
}

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
