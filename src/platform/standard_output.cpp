// The headless modes' output: every write checked, the first failure's reason kept, so that
// a report cut short by a full disk never ends with a status of success.
#include <cerrno>
#include <cstdio>
#include <cstring>

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

bool StandardOutputBuffer::Drain() {
  const char* data = pbase();
  std::size_t left = static_cast<std::size_t>(pptr() - pbase());
  setp(buffer_, buffer_ + sizeof buffer_);
  if (!failure_.empty()) return false;  // what follows a lost piece would mislead
  while (left > 0) {
#ifdef _WIN32
    const int n = ::_write(1, data, static_cast<unsigned>(left > (1u << 30) ? (1u << 30) : left));
#else
    const ssize_t n = ::write(1, data, left);
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
