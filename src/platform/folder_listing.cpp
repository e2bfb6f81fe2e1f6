#include "platform/folder_listing.h"

#include <filesystem>
#include <system_error>

#include "platform/platform.h"

namespace mizuto::platform {

bool ListFolder(const std::string& path, std::vector<FolderEntry>* entries, std::string* reason) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::directory_iterator it(NativePath(path), ec);
  for (const fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
    FolderEntry& entry = entries->emplace_back();
    entry.Name = PathString(it->path().filename());
    entry.Path = PathString(it->path());
    std::error_code typeError;
    entry.Folder = it->is_directory(typeError);
  }
  if (!ec) return true;
  if (reason != nullptr) *reason = ec.message();
  return false;
}

}  // namespace mizuto::platform
