// Listing a folder so that a listing that fails is said, not taken for a short one.
#pragma once

#include <string>
#include <vector>

namespace mizuto::platform {

struct FolderEntry {
  std::string Name;     // the entry's name, no folder
  std::string Path;     // the folder's path and the name
  bool Folder = false;  // a folder (a link followed); false also when that cannot be told
};

// The entries of the folder at `path`, in the order the system gives them. False when the
// folder cannot be opened or its listing breaks off (out of descriptors, an I/O error):
// `entries` then holds what was listed before, and `reason` the system's words, without the
// path (the caller names it once).
bool ListFolder(const std::string& path, std::vector<FolderEntry>* entries, std::string* reason);

}  // namespace mizuto::platform
