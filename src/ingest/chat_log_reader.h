// Reads a game chat log (HTML, UTF-8) into the line store as Shift-JIS, keeping the lines
// of the known channel colours, each reduced to its channel tag and message text.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ingest/log_lines.h"
#include "platform/flag_set.h"
#include "platform/platform.h"

namespace mizuto {

// The channels a log line's colour tells, in the order of the tables below (a line holding
// several colours is of the first). A line holding the colour of Unkept is never kept.
enum class Channel : std::uint8_t {
  System, Party, Say, FirstRoom, SecondRoom, ThirdRoom, Company, Tell, Event, Unkept
};
using ChannelSet = FlagSet<Channel, 10>;

// Channel tags "~0".."~9" (by Channel), then "~s" and "~i".
inline constexpr const char* kChannelTags[12] = {"~0", "~1", "~2", "~3", "~4", "~5",
                                                 "~6", "~7", "~8", "~9", "~s", "~i"};
// Log colours of the channels, by Channel.
inline constexpr const char* kChannelColours[10] = {"80aaff", "10c870", "ffffff", "ffc080",
                                                    "aef40a", "ff9ad5", "80ffff", "f2f279",
                                                    "ff8080", "d4d4d4"};

// Colour (0xRRGGBB) in which the battle transcript shows chat channel k = 1..7 ("~1".."~7").
std::uint32_t ChannelDisplayColour(int k);

// What a read of the log came to: read, or why the file did not open.
struct LogRead {
  platform::OpenError Error;  // Failure kNone: the file was read
  bool Opened() const { return Error.Failure == platform::OpenFailure::kNone; }
  explicit operator bool() const { return Opened(); }
};

// How far before the end of the file the next read starts: the game rewrites the page's
// closing tags as it appends.
inline constexpr std::int64_t kRereadBytes = 18;

// Reads `path` from `resumeOffset` to its end, appending the kept lines to `lines`, and
// sets `resumeOffset` for the next read: the file length - 18, or the start of the last
// line when the game is still writing it (its font opener is there but not its
// "</FONT>"). When the file cannot be opened or is not a regular file, the result says why
// and nothing changes.
// `progress`, when given, hears after each block how many bytes of how many have been read;
// `tap`, when given, is shown each block's bytes as read (from where the read started), so
// the history can hash the file without reading it a second time.
using ReadProgress = std::function<void(std::int64_t read, std::int64_t total)>;
using ReadTap = std::function<void(std::string_view bytes)>;
LogRead ReadChatLog(const std::string& path, std::int64_t& resumeOffset, LogLines& lines,
                    const ReadProgress& progress = {}, const ReadTap& tap = {});

// The CSV path for a log path: ProgramDir + the log's file name up to the full stop of its
// first ".html", + "csv" (ProgramDir + "csv" when the name has no ".html").
std::string DeriveCsvPath(const std::string& programDir, const std::string& logPath);

// A stored chat line made fit for display: the text after the first occurrence of `tag`,
// with "&gt;" and "&nbsp;" decoded; empty when the line does not hold the tag.
std::string ChatLineText(std::string_view line, std::string_view tag);

}  // namespace mizuto
