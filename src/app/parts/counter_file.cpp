#include "app/parts/counter_file.h"

#include <utility>

#include "platform/platform.h"
#include "text/codec.h"

namespace mizuto {

void CounterFile::SetPath(std::string utf8Path) {
  if (utf8Path == path_) return;
  path_ = std::move(utf8Path);
  written_.reset();
  error_.clear();
}

std::string CounterFile::Keep(const std::string& sjisText) {
  if (path_.empty() || written_ == sjisText) return {};
  std::string error;
  if (platform::ReplaceFile(path_, SjisToUtf8(sjisText), &error)) {
    written_ = sjisText;
    error_.clear();
    return {};
  }
  if (error == error_) return {};
  error_ = error;
  return error;
}

}  // namespace mizuto
