// The progress of a long headless load as one line on a terminal, rewritten in place:
// "mizuto: reading 42%", then "mizuto: analysing 87%". It shows only once the work has
// taken a second (a short run stays silent) and is wiped when the work ends, so what the
// terminal keeps is the report alone. The caller decides whether the error output is a
// terminal at all: into a file or a pipe nothing is written.
#pragma once

#include <chrono>
#include <functional>
#include <ostream>
#include <string>

#include "app/owner/app.h"

namespace mizuto {

class ProgressLine {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  // `clock` is the steady clock unless a test hands its own.
  explicit ProgressLine(std::ostream& terminal, Clock clock = {});
  // Takes a report from App::OnLoadProgress.
  void Update(LoadStage stage, int percent);
  // Shows `text` ("mizuto: ..."), once the work has taken a second.
  void Show(const std::string& text);
  // Wipes the line, if one was shown.
  void Finish();

 private:
  std::ostream& terminal_;
  Clock clock_;
  std::chrono::steady_clock::time_point start_;
  std::string shown_;
};

}  // namespace mizuto
