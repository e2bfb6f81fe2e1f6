// The names of a save's temporary files. A save killed before its rename leaves one behind,
// and the next save removes those whose process is gone; so the name must be one that no
// person would give a file of their own ("score.tmp2024" beside "score" is someone's).
#include <atomic>
#include <chrono>
#include <cstdio>

#include "platform/platform.h"

namespace mizuto::platform {
namespace {

constexpr std::string_view kMark = ".mizuto-";
constexpr std::string_view kEnd = ".tmp";

bool AllOf(std::string_view text, std::string_view allowed) {
  return !text.empty() && text.find_first_not_of(allowed) == std::string_view::npos;
}

}  // namespace

std::string TemporaryName(std::string_view target, unsigned long pid) {
  // Two saves of one process never share a name, nor do saves of a process that got an
  // earlier one's number.
  static std::atomic<std::uint32_t> counter{0};
  const auto now = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  const auto random = static_cast<std::uint32_t>(now ^ (now >> 32)) * 2654435761u + counter++;
  char tail[48];
  std::snprintf(tail, sizeof tail, "%lu-%08x", pid, static_cast<unsigned>(random));
  return "." + std::string(target) + std::string(kMark) + tail + std::string(kEnd);
}

bool IsTemporaryOf(std::string_view name, std::string_view target, unsigned long* pid) {
  const std::size_t head = 1 + target.size() + kMark.size();
  if (name.size() <= head + kEnd.size() || name[0] != '.' || name.substr(1, target.size()) != target ||
      name.substr(1 + target.size(), kMark.size()) != kMark || !name.ends_with(kEnd)) {
    return false;
  }
  const std::string_view middle = name.substr(head, name.size() - head - kEnd.size());
  const std::size_t dash = middle.find('-');
  if (dash == std::string_view::npos) return false;
  const std::string_view digits = middle.substr(0, dash);
  const std::string_view random = middle.substr(dash + 1);
  if (digits.size() > 9 || !AllOf(digits, "0123456789") || random.size() != 8 || !AllOf(random, "0123456789abcdef")) {
    return false;
  }
  *pid = std::stoul(std::string(digits));
  return true;
}

}  // namespace mizuto::platform
