// Writes the chat log file: the HTML frame and one font line per message, CR LF ended,
// counting the bytes so that the generator can aim at a target size.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace mizuto::loggen {

// Log colours of the channels (the six hex digits of the font tag).
inline constexpr const char* kSystemColour = "80aaff";
inline constexpr const char* kPartyColour = "10c870";
inline constexpr const char* kSayColour = "ffffff";
inline constexpr const char* kRoomColours[3] = {"ffc080", "aef40a", "ff9ad5"};
inline constexpr const char* kCompanyColour = "80ffff";
inline constexpr const char* kTellColour = "f2f279";
inline constexpr const char* kNoticeColour = "ff8080";
inline constexpr const char* kIgnoredColour = "d4d4d4";

class LogWriter {
 public:
  explicit LogWriter(std::FILE* out) : out_(out) {}
  ~LogWriter() { Flush(); }
  LogWriter(const LogWriter&) = delete;
  LogWriter& operator=(const LogWriter&) = delete;

  void Raw(std::string_view bytes);
  // <FONT color="#rrggbb">text</FONT><BR> and CR LF; `text` is UTF-8 HTML.
  void Font(std::string_view colour, std::string_view text);
  // False once any write has failed.
  bool Flush();
  std::uint64_t Bytes() const { return bytes_; }

  // Bytes of a font line whose text has `textBytes` bytes.
  static std::uint64_t FontLineBytes(std::uint64_t textBytes);

 private:
  std::FILE* out_;
  std::string buffer_;
  std::uint64_t bytes_ = 0;
  bool failed_ = false;
};

}  // namespace mizuto::loggen
