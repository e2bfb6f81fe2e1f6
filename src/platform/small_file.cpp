// Reading a settings or list file whole: the same regular-file open as the log's, and a
// limit, so neither a FIFO nor a link to an endless device nor a huge file can hang the
// program or eat its memory.
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/platform.h"

namespace mizuto::platform {

SmallFileRead ReadSmallFile(const std::string& path, std::size_t limit, std::string* bytes,
                            std::string* reason) {
  bytes->clear();
  std::int64_t size = 0;
  OpenError open;
  FilePtr file(OpenRegularFile(path, &size, &open));
  auto refuse = [&](SmallFileRead outcome, std::string text) {
    bytes->clear();
    bytes->shrink_to_fit();
    if (reason) *reason = path + ": " + text;
    return outcome;
  };
  switch (file ? OpenFailure::kNone : open.Failure) {
    case OpenFailure::kNone:
      break;
    case OpenFailure::kMissing:
      return SmallFileRead::Missing;
    case OpenFailure::kFolder:
      return refuse(SmallFileRead::NotAFile, "a folder");
    case OpenFailure::kNotRegularFile:
      return refuse(SmallFileRead::NotAFile, "not a regular file");
    default:
      return refuse(SmallFileRead::Unreadable, open.SystemText.empty() ? "cannot be read" : open.SystemText);
  }
  const std::string tooLarge = "larger than " + std::to_string(limit >> 20) + " MiB, not read";
  if (size < 0 || static_cast<std::uint64_t>(size) > limit) return refuse(SmallFileRead::TooLarge, tooLarge);
  // The size is what the file held when it opened; one byte more is asked for, so a file
  // that grew past the limit meanwhile is noticed rather than cut.
  bytes->resize(static_cast<std::size_t>(size) + 1);
  std::size_t got = 0;
  for (;;) {
    if (got == bytes->size()) {
      if (bytes->size() > limit) return refuse(SmallFileRead::TooLarge, tooLarge);
      bytes->resize(std::min(limit + 1, bytes->size() * 2));
    }
    errno = 0;
    const std::size_t n = std::fread(bytes->data() + got, 1, bytes->size() - got, file.get());
    got += n;
    if (n == 0) break;
  }
  if (std::ferror(file.get())) return refuse(SmallFileRead::Unreadable, std::strerror(errno ? errno : EIO));
  if (got > limit) return refuse(SmallFileRead::TooLarge, tooLarge);
  bytes->resize(got);
  return SmallFileRead::Read;
}

}  // namespace mizuto::platform
