// What the log being followed was when it was read: which file it was, its first bytes and
// its length. The game starts a new log under the same name, a player copies or moves another
// log over it, an editor cuts it: reading on from the old offset would then give the new
// file's middle as if it were the old one's continuation, or nothing at all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace mizuto {

// Enough of a log's beginning to tell two logs apart: its header holds the minute it was
// started, its first lines the first things said.
inline constexpr std::size_t kLogHeadBytes = 1024;

struct LogOrigin {
  std::string Head;        // the file's first bytes (up to kLogHeadBytes) as last seen
  std::int64_t Length = 0;  // its length as last seen
  platform::FileIdentity Identity;  // which file it was (device and number)
};

// Notes what the file at `path` is now (nothing when it cannot be opened).
void NoteLogOrigin(const std::string& path, LogOrigin& origin);

// Whether the file at `path` is no longer the log that `origin` describes: another file
// (renamed or copied into its place, even one beginning with the same bytes), shorter than
// it was or than `readTo` (where the next read starts), or beginning otherwise. The same
// file moved away and back is the same log. A file that cannot be opened is no answer
// (false: the reader reports it). When the file is the same log, `origin` is brought up to
// date with it.
bool LogWasReplaced(const std::string& path, std::int64_t readTo, LogOrigin& origin);

}  // namespace mizuto
