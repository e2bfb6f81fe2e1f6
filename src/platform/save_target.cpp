#include "platform/save_target.h"

#include <system_error>

#include "platform/platform.h"

namespace mizuto::platform {

namespace fs = std::filesystem;

fs::path SaveTarget(const std::string& path) {
  fs::path target = NativePath(path);
  std::error_code ec;
  // A bounded walk: a loop of links ends it where the system would give up too.
  for (int hops = 0; hops < 40 && fs::is_symlink(fs::symlink_status(target, ec)); ++hops) {
    const fs::path next = fs::read_symlink(target, ec);
    if (ec) break;
    target = next.is_absolute() ? next : target.parent_path() / next;
  }
  return target;
}

void RemoveStaleTemporaries(const fs::path& target) {
  const std::string targetName = PathString(target.filename());
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  const unsigned long self = CurrentProcessNumber();
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    unsigned long pid = 0;
    if (!IsTemporaryOf(PathString(it->path().filename()), targetName, &pid)) continue;
    if (pid != self && !ProcessGone(pid)) continue;
    std::error_code removeError;
    if (!fs::is_directory(fs::symlink_status(it->path(), removeError))) fs::remove(it->path(), removeError);
  }
}

}  // namespace mizuto::platform
