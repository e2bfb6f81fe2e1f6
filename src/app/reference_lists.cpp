#include "app/reference_lists.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "text/sjis.h"

namespace mizuto {

std::vector<std::string> SplitListLines(std::string_view bytes) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' || bytes[i] == '\n') {
      lines.emplace_back(bytes.substr(start, i - start));
      if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
      start = i + 1;
    }
  }
  if (start < bytes.size()) lines.emplace_back(bytes.substr(start));
  return lines;
}

bool ReadWholeFile(const std::string& path, std::string* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

namespace {

namespace fs = std::filesystem;

// The file a save replaces: a symbolic link stays a link, the file it points to gets the
// new contents.
fs::path SaveTarget(const std::string& path) {
  fs::path target(path);
  std::error_code ec;
  for (int hops = 0; hops < 40 && fs::is_symlink(fs::symlink_status(target, ec)); ++hops) {
    const fs::path next = fs::read_symlink(target, ec);
    if (ec) break;
    target = next.is_absolute() ? next : target.parent_path() / next;
  }
  return target;
}

// A save that was killed before its rename leaves its temporary file behind; the next save
// of the same file removes those whose process is gone.
void RemoveStaleTemporaries(const fs::path& target) {
  const std::string prefix = target.filename().string() + ".tmp";
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string digits = name.substr(prefix.size());
    if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) continue;
    const pid_t pid = static_cast<pid_t>(std::stol(digits));
    if (pid == ::getpid() || (::kill(pid, 0) != 0 && errno == ESRCH)) {
      std::error_code removeError;
      if (!fs::is_directory(fs::symlink_status(it->path(), removeError))) fs::remove(it->path(), removeError);
    }
  }
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* error) {
  const fs::path target = SaveTarget(path);
  const std::string temp = target.string() + ".tmp" + std::to_string(::getpid());
  auto fail = [&](int code) {
    if (error) *error = path + ": " + std::strerror(code ? code : EIO);
    return false;
  };
  // The replacement keeps the permission bits of the file it replaces.
  struct stat old;
  const bool hadFile = ::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode);
  const mode_t mode = hadFile ? (old.st_mode & 07777) : 0666;
  // A name left by an earlier process with this number is reused; a link there is never
  // followed.
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, mode);
  if (fd < 0) return fail(errno);
  int savedErrno = 0;
  if (hadFile && ::fchmod(fd, mode) != 0) savedErrno = errno;
  for (std::size_t done = 0; savedErrno == 0 && done < bytes.size();) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno != EINTR) savedErrno = errno;
    } else {
      done += static_cast<std::size_t>(n);
    }
  }
  if (savedErrno == 0 && ::fsync(fd) != 0) savedErrno = errno;
  if (::close(fd) != 0 && savedErrno == 0) savedErrno = errno;
  if (savedErrno == 0 && std::rename(temp.c_str(), target.c_str()) != 0) savedErrno = errno;
  if (savedErrno != 0) {
    std::remove(temp.c_str());
    return fail(savedErrno);
  }
  RemoveStaleTemporaries(target);
  return true;
}

void ReferenceLists::Load(const std::string& programDir) {
  auto read = [&](const char* name) {
    std::string bytes;
    if (!ReadWholeFile(programDir + name, &bytes)) return std::vector<std::string>{};
    return SplitListLines(bytes);
  };
  const std::vector<std::string> items = read("ItemList.txt");
  NpcNames = read("NPCList.txt");
  SkillNames = read("SkillList.txt");
  ShipNames = read("ShipList.txt");
  ItemNames.clear();
  ItemKinds.clear();
  for (const std::string& line : items) {
    if (!line.empty() && line[0] == '#') continue;
    const std::size_t comma = line.find(',');
    // An empty line, a line without a comma or with nothing after it names no item.
    if (comma == std::string::npos || comma + 1 >= line.size()) continue;
    ItemNames.push_back(line.substr(0, comma));
    ItemKinds.push_back(line.substr(comma + 1, 1));
  }
}

bool ReferenceLists::PassesNpcFilter(std::string_view text, bool npcCheck) const {
  if (npcCheck) return true;
  for (const std::string& npc : NpcNames) {
    if (FindChar(text, npc) != 0) return false;
  }
  return true;
}

bool ReferenceLists::AppendNpc(const std::string& programDir, std::string name,
                               std::string* error) {
  NpcNames.push_back(std::move(name));
  std::string bytes;
  for (const std::string& entry : NpcNames) {
    bytes += entry;
    bytes += "\r\n";
  }
  return WriteFileAtomically(programDir + "NPCList.txt", bytes, error);
}

}  // namespace mizuto
