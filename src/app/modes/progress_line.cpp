#include "app/modes/progress_line.h"

namespace mizuto {

namespace {
constexpr std::chrono::seconds kQuietFor{1};
}  // namespace

ProgressLine::ProgressLine(std::ostream& terminal, Clock clock)
    : terminal_(terminal), clock_(clock ? std::move(clock) : Clock(std::chrono::steady_clock::now)),
      start_(clock_()) {}

void ProgressLine::Update(LoadStage stage, int percent) {
  Show(std::string("mizuto: ") + (stage == LoadStage::Reading ? "reading " : "analysing ") +
       std::to_string(percent) + "%");
}

void ProgressLine::Show(const std::string& text) {
  if (clock_() - start_ < kQuietFor) return;
  if (text == shown_) return;
  // Spaces over what a longer text left; no escape sequences, which not every console reads.
  std::string line = "\r" + text;
  if (shown_.size() > text.size()) line += std::string(shown_.size() - text.size(), ' ');
  terminal_ << line << std::flush;
  shown_ = text;
}

void ProgressLine::Finish() {
  if (shown_.empty()) return;
  terminal_ << "\r" << std::string(shown_.size(), ' ') << "\r" << std::flush;
  shown_.clear();
}

}  // namespace mizuto
