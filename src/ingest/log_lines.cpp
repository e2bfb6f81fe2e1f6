#include "ingest/log_lines.h"

#include <sys/mman.h>

#include <cstdint>

namespace mizuto {

void LogLines::PreferLargePages(const void* data, std::size_t bytes) {
  constexpr std::uintptr_t kLarge = 2u << 20;
  const auto begin = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t first = (begin + kLarge - 1) & ~(kLarge - 1);
  const std::uintptr_t last = (begin + bytes) & ~(kLarge - 1);
  if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

}  // namespace mizuto
