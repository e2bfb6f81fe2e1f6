// What a save does alike on every system: where the new contents go, and the clean-up of
// temporary files that killed saves left. Only the platform files use it.
#pragma once

#include <filesystem>
#include <string>

namespace mizuto::platform {

// The file a save replaces: a symbolic link stays a link, the file it points to gets the
// new contents (where the system lets the library read links at all).
std::filesystem::path SaveTarget(const std::string& path);

// The reason a save gives when its target is there but no regular file.
inline constexpr const char* kNotARegularFile = "not a regular file, left as it is";

// A save that was killed before its rename leaves its temporary file behind; the next save
// of the same file removes those whose process is gone (and this process's own).
void RemoveStaleTemporaries(const std::filesystem::path& target);

// Each system's own: this process's number, and whether a process of that number has ended.
unsigned long CurrentProcessNumber();
bool ProcessGone(unsigned long pid);

}  // namespace mizuto::platform
