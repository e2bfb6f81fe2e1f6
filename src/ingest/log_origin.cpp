#include "ingest/log_origin.h"

#include <algorithm>
#include <cstdio>

#include "platform/platform.h"

namespace mizuto {
namespace {

// The file's first bytes and length; false when it cannot be opened or read.
bool Look(const std::string& path, LogOrigin& now) {
  std::int64_t length = 0;
  const platform::FilePtr file(platform::OpenRegularFile(path, &length));
  if (!file) return false;
  now.Length = length;
  now.Identity = platform::IdentityOf(file.get());
  now.Head.resize(static_cast<std::size_t>(std::min<std::int64_t>(length, kLogHeadBytes)));
  now.Head.resize(std::fread(now.Head.data(), 1, now.Head.size(), file.get()));
  return std::ferror(file.get()) == 0;
}

}  // namespace

void NoteLogOrigin(const std::string& path, LogOrigin& origin) {
  LogOrigin now;
  if (Look(path, now)) origin = std::move(now);
}

bool LogWasReplaced(const std::string& path, std::int64_t readTo, LogOrigin& origin) {
  LogOrigin now;
  if (!Look(path, now)) return false;
  // A head read short (the game writing its first line right then) compares as far as it
  // goes.
  const std::size_t common = std::min(origin.Head.size(), now.Head.size());
  // (Where the system cannot tell files apart, the bytes alone decide.)
  const bool otherFile = origin.Identity.Known && now.Identity.Known && origin.Identity != now.Identity;
  const bool replaced = otherFile || now.Length < std::max(origin.Length, readTo) ||
                        now.Head.compare(0, common, origin.Head, 0, common) != 0;
  if (!replaced) origin = std::move(now);
  return replaced;
}

}  // namespace mizuto
