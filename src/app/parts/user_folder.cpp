#include "app/parts/user_folder.h"

#include <filesystem>
#include <system_error>

#include "platform/platform.h"

namespace mizuto {

namespace {

bool Absolute(const char* path) { return path != nullptr && path[0] == '/'; }

std::string WithSlash(std::string path) {
  if (path.back() != '/') path += '/';
  return path;
}

}  // namespace

std::string UserProgramFolder(const char* configHome, const char* home) {
  if (Absolute(configHome)) return WithSlash(configHome) + "mizuto/";
  if (Absolute(home)) return WithSlash(home) + ".config/mizuto/";
  return {};
}

bool PrepareUserFolder(const std::string& folder, const std::string& defaults, std::string* error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path target = platform::NativePath(folder);
  fs::create_directories(target, ec);
  if (ec || !fs::is_directory(target, ec)) {
    *error = folder + ": " + (ec ? ec.message() : "not a folder");
    return false;
  }
  fs::directory_iterator it(platform::NativePath(defaults), ec);
  if (ec) {
    *error = defaults + ": " + ec.message();
    return false;
  }
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) break;
    if (it->path().extension() != ".txt") continue;
    const fs::path copy = target / it->path().filename();
    std::error_code copyError;
    // What the user has edited stays theirs. (Asked first rather than with skip_existing,
    // which the MinGW library reports as an error when the file is there.)
    const fs::file_status there = fs::symlink_status(copy, copyError);
    if (there.type() == fs::file_type::not_found) {
      copyError.clear();
      fs::copy_file(it->path(), copy, copyError);
    } else if (!copyError) {
      continue;
    }
    if (copyError) {
      *error = platform::PathString(copy) + ": " + copyError.message();
      return false;
    }
  }
  if (ec) {
    *error = defaults + ": " + ec.message();
    return false;
  }
  return true;
}

bool NamesProgramDir(const std::vector<std::string>& args) {
  for (const std::string& a : args) {
    if (a == "--program-dir") return true;
  }
  return false;
}

}  // namespace mizuto
