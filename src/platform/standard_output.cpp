// The headless modes' output: every write checked, the first failure's reason kept, so that
// a report cut short by a full disk never ends with a status of success.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "platform/platform.h"

namespace mizuto::platform {

StandardOutputBuffer::int_type StandardOutputBuffer::overflow(int_type c) {
  if (!Drain()) return traits_type::eof();
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  *pptr() = traits_type::to_char_type(c);
  pbump(1);
  return c;
}

std::size_t WholeCharacters(std::string_view bytes, TextBytes encoding) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  if (encoding == TextBytes::kShiftJis) {
    // A trail byte can look like a lead byte: only a walk from the start tells them apart.
    std::size_t i = 0;
    while (i < bytes.size()) {
      const unsigned char b = byte(i);
      const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
      if (lead && i + 1 == bytes.size()) return i;
      i += lead ? 2 : 1;
    }
    return bytes.size();
  }
  // UTF-8: only the last character can be cut; its lead byte is among the last four.
  const std::size_t size = bytes.size();
  for (std::size_t back = 1; back <= 4 && back <= size; ++back) {
    const unsigned char b = byte(size - back);
    if ((b & 0xC0) == 0x80) continue;  // a continuation byte
    const std::size_t length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    return length > back && b < 0xF8 ? size - back : size;
  }
  return size;
}

StandardOutputBuffer::~StandardOutputBuffer() {
  Drain();
  // A character cut off at the very end is shown as what it is, a malformed one.
  if (console_ != nullptr && !partial_.empty() && failure_.empty()) {
    WriteConsoleText(console_, partial_, encoding_, &failure_);
  }
}

bool StandardOutputBuffer::DrainToConsole(const char* data, std::size_t size) {
  partial_.append(data, size);
  const std::size_t whole = WholeCharacters(partial_, encoding_);
  if (whole > 0 && !WriteConsoleText(console_, std::string_view(partial_).substr(0, whole), encoding_, &failure_)) {
    return false;
  }
  partial_.erase(0, whole);
  return true;
}

bool StandardOutputBuffer::Drain() {
  const char* data = pbase();
  std::size_t left = static_cast<std::size_t>(pptr() - pbase());
  setp(buffer_, buffer_ + sizeof buffer_);
  if (!failure_.empty()) return false;  // what follows a lost piece would mislead
  if (console_ != nullptr) return left == 0 || DrainToConsole(data, left);
  while (left > 0) {
#ifdef _WIN32
    const int n = ::_write(descriptor_, data, static_cast<unsigned>(left > (1u << 30) ? (1u << 30) : left));
#else
    const ssize_t n = ::write(descriptor_, data, left);
#endif
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int code = n < 0 ? errno : EIO;
#ifdef _WIN32
      brokenPipe_ = code == EPIPE || code == EINVAL;
#else
      brokenPipe_ = code == EPIPE;
#endif
      failure_ = std::strerror(code);
      return false;
    }
    data += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

bool CloseStandardOutput(std::string* error) {
  errno = 0;
  if (std::fflush(stdout) != 0 || std::fclose(stdout) != 0) {
    if (error) *error = std::strerror(errno ? errno : EIO);
    return false;
  }
  return true;
}

}  // namespace mizuto::platform
