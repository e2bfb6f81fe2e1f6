// The sink counter's text kept in a file for a streaming program's text source: the window
// in active mode and the follower keep it by the same rule.
#pragma once

#include <optional>
#include <string>

namespace mizuto {

class CounterFile {
 public:
  // The file to keep (UTF-8 path); empty: none. Another path is written at the next Keep.
  void SetPath(std::string utf8Path);
  const std::string& Path() const { return path_; }

  // Replaces the file by `sjisText` as UTF-8, without a line end, when the text is not what
  // the file was last given; a reader never sees it half written. Returns the system's
  // message when the write failed and that failure was not said before (it is tried again
  // at the next call, and said again only when it fails otherwise); empty otherwise.
  std::string Keep(const std::string& sjisText);

 private:
  std::string path_;
  std::optional<std::string> written_;  // Shift-JIS, as last written to path_
  std::string error_;                   // the failure last said
};

}  // namespace mizuto
