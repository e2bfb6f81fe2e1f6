#include "ingest/log_lines.h"

#include "platform/platform.h"

namespace mizuto {

void LogLines::PreferLargePages(const void* data, std::size_t bytes) {
  platform::PreferLargePages(data, bytes);
}

}  // namespace mizuto
