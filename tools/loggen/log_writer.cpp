#include "log_writer.h"

namespace mizuto::loggen {

namespace {
constexpr std::string_view kOpen = "<FONT color=\"#";
constexpr std::string_view kClose = "</FONT><BR>\r\n";
constexpr std::size_t kFlushAt = 1 << 20;
}  // namespace

void LogWriter::Raw(std::string_view bytes) {
  buffer_ += bytes;
  bytes_ += bytes.size();
  if (buffer_.size() >= kFlushAt) Flush();
}

void LogWriter::Font(std::string_view colour, std::string_view text) {
  const std::size_t before = buffer_.size();
  buffer_ += kOpen;
  buffer_ += colour;
  buffer_ += "\">";
  buffer_ += text;
  buffer_ += kClose;
  bytes_ += buffer_.size() - before;
  if (buffer_.size() >= kFlushAt) Flush();
}

bool LogWriter::Flush() {
  if (!buffer_.empty() && !failed_) {
    if (std::fwrite(buffer_.data(), 1, buffer_.size(), out_) != buffer_.size()) failed_ = true;
  }
  buffer_.clear();
  if (!failed_ && std::fflush(out_) != 0) failed_ = true;
  return !failed_;
}

std::uint64_t LogWriter::FontLineBytes(std::uint64_t textBytes) {
  return kOpen.size() + 6 + 2 + textBytes + kClose.size();
}

}  // namespace mizuto::loggen
