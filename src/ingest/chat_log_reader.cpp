#include "ingest/chat_log_reader.h"

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <memory>

#include "ingest/game_messages.h"
#include "platform/platform.h"
#include "text/codec.h"
#include "text/literal_set.h"
#include "text/sjis.h"

namespace mizuto {
namespace {

// The reader hands the analysis pieces of at most this many bytes (a 4096-byte buffer with
// its terminating zero); a longer line arrives as several pieces, each handled on its own.
constexpr std::size_t kPieceBytes = 4095;
constexpr std::size_t kBlockBytes = 1 << 20;

// Colour entries: the six digits, a double quote and ">".
const std::string& ColourEntry(int i) {
  static const std::string* entries = [] {
    static std::string e[10];
    for (int k = 0; k < 10; ++k) e[k] = std::string(kChannelColours[k]) + "\">";
    return e;
  }();
  return entries[i];
}

constexpr std::string_view kOpener = "<FONT color=\"#";
constexpr std::string_view kCloser = "</FONT>";

// Replaces every occurrence of `what` in the arena from `from` on by `with` (shorter or
// equal). The callers' texts cannot re-form an occurrence around a replacement (a colour
// entry holds no "~", and neither does "~0" re-form from "~s"/"~i"), so one pass from left
// to right gives what a rescan from the start would.
void ReplaceInTail(std::string& arena, std::size_t from, std::string_view what,
                   std::string_view with) {
  std::size_t at = arena.find(what, from);
  if (at == std::string::npos) return;
  std::size_t write = at;
  std::size_t read = at;
  while (at != std::string::npos) {
    if (write != read) std::memmove(arena.data() + write, arena.data() + read, at - read);
    write += at - read;
    std::memcpy(arena.data() + write, with.data(), with.size());
    write += with.size();
    read = at + what.size();
    at = arena.find(what, read);
  }
  const std::size_t rest = arena.size() - read;
  if (write != read) std::memmove(arena.data() + write, arena.data() + read, rest);
  arena.resize(write + rest);
}

// Turns one piece (UTF-8, as read, its line end left out: it never survives the cut at
// "</FONT>") into a stored line at the end of the line store, or drops it.
//
// The opener and "</FONT>" are found in the UTF-8 bytes before converting: both are ASCII
// beginning with "<", which is never the second byte of a Shift-JIS character, so they
// occur in the converted text exactly where they occur in the UTF-8 text. Only the text
// between them is converted. The colour entries may begin with a letter that can be a
// second byte, so they are looked for in the converted text, as the game's bytes demand.
void ProcessPiece(std::string_view piece, LogLines& lines) {
  // The game writes the opener at the start of the line.
  const std::size_t open = piece.substr(0, kOpener.size()) == kOpener ? 0 : piece.find(kOpener);
  if (open == std::string_view::npos) return;
  const std::size_t textStart = open + kOpener.size();
  const std::size_t close = piece.find(kCloser, textStart);
  if (close == std::string_view::npos || close == textStart) return;

  std::string& arena = lines.Arena();
  const std::size_t mark = arena.size();
  AppendUtf8AsSjis(piece.substr(textStart, close - textStart), arena);
  std::string_view line(arena.data() + mark, arena.size() - mark);

  // Every colour entry ends in "\">": find each such pair and the six bytes before it.
  ChannelSet present{};
  for (std::size_t q = line.find("\">", 6); q != std::string_view::npos; q = line.find("\">", q + 1)) {
    const char* digits = line.data() + q - 6;
    for (int i = 0; i < 10; ++i) {
      if (std::memcmp(digits, kChannelColours[i], 6) == 0) present = present.With(static_cast<Channel>(i));
    }
  }
  if (present.Empty() || present.Has(Channel::Unkept)) {
    lines.Rollback(mark);
    return;
  }
  const Channel channel = *present.Lowest();
  const int at = static_cast<int>(channel);
  ReplaceInTail(arena, mark, ColourEntry(at), kChannelTags[at]);
  // A room's line names its room after the tag ("[ro1] "): the tag says it already.
  constexpr ChannelSet kRooms{Channel::FirstRoom, Channel::SecondRoom, Channel::ThirdRoom};
  if (kRooms.Has(channel) && arena.size() - mark > 2) {
    arena.erase(mark + 2, std::min<std::size_t>(6, arena.size() - mark - 2));
  }
  if (channel == Channel::System) {
    // The skill phrase is tested first: a line holding both is a skill line.
    static const LiteralSet phrases({SJ(kUseMessages[kUseSkill].Text), SJ(kUseMessages[kUseItem].Text)});
    const LiteralSet::Hit hit =
        phrases.FindLowest(std::string_view(arena.data() + mark, arena.size() - mark));
    const std::size_t p = hit.Position;
    const char* tag = hit.Index == kUseSkill ? "~s" : "~i";
    if (p != 0) {
      arena.resize(mark + p - 1);
      ReplaceInTail(arena, mark, "~0", tag);
    }
  }
  lines.Commit();
}

// Where a piece ends: after its line end, or when it is full.
enum class PieceEnd { LineEnd, Full, EndOfFile };

// A piece's bytes as read, its line end included (CR LF or LF) when it has one.
void ProcessRawPiece(std::string_view raw, LogLines& lines) {
  std::size_t content = raw.size();
  if (content > 0 && raw[content - 1] == '\n') {
    --content;
    if (content > 0 && raw[content - 1] == '\r') --content;
  }
  ProcessPiece(raw.substr(0, content), lines);
}

// True when a piece holds the font opener but no "</FONT>" after it: the start of a line
// whose end has not been written yet.
bool OpensWithoutClosing(std::string_view piece) {
  const std::size_t open = piece.find(kOpener);
  return open != std::string_view::npos &&
         piece.find(kCloser, open + kOpener.size()) == std::string_view::npos;
}

// Cuts the bytes of the file into the pieces that a 4096-byte line buffer reads in text
// mode: a piece ends after a line end (a CR LF pair reads as one LF) or when it holds 4095
// bytes. Pieces that lie whole inside a block are handled where they lie; only a piece
// that a block boundary cuts is copied, so memory stays fixed whatever the length of a
// line.
class PieceCutter {
 public:
  PieceCutter(LogLines& lines, std::int64_t startOffset) : lines_(lines), offset_(startOffset) {}

  void Feed(const char* p, const char* end) {
    while (p < end) {
      if (carry_.size() == kPieceBytes) {
        // A full piece ending in CR waited for the next byte: a LF makes the pair the line
        // end, which reads as one byte and so still fits the piece.
        if (*p == '\n') {
          carry_.push_back('\n');
          ++p;
          FlushCarry(PieceEnd::LineEnd);
        } else {
          FlushCarry(PieceEnd::Full);
        }
        continue;
      }
      const std::size_t need = kPieceBytes - carry_.size();
      const std::size_t avail = static_cast<std::size_t>(end - p);
      const std::size_t scan = std::min(need, avail);
      const char* nl = static_cast<const char*>(std::memchr(p, '\n', scan));
      if (nl == nullptr && scan == need && need > 0 && p[need - 1] == '\r' && need < avail &&
          p[need] == '\n') {
        nl = p + need;  // the CR LF pair straddles the full mark: the piece ends with it
      }
      if (nl != nullptr) {
        Take(p, static_cast<std::size_t>(nl + 1 - p), PieceEnd::LineEnd);
        p = nl + 1;
      } else if (scan == need && !(p[need - 1] == '\r' && need == avail)) {
        Take(p, need, PieceEnd::Full);
        p += need;
      } else {
        // The piece goes on in the next block (or a full piece ending in CR waits for its
        // next byte).
        if (carry_.empty()) carryStart_ = offset_;
        carry_.append(p, scan);
        offset_ += static_cast<std::int64_t>(scan);
        p += scan;
      }
    }
  }

  void Finish() {
    if (!carry_.empty()) FlushCarry(PieceEnd::EndOfFile);
  }

  // Where the last piece starts when it is a line still being written (it holds the font
  // opener but neither "</FONT>" nor a line end); -1 otherwise.
  std::int64_t UnfinishedLineStart() const { return unfinishedStart_; }

 private:
  void Take(const char* p, std::size_t n, PieceEnd how) {
    if (carry_.empty()) {
      Handle(std::string_view(p, n), offset_, how);
    } else {
      carry_.append(p, n);
      FlushCarryAt(how);
    }
    offset_ += static_cast<std::int64_t>(n);
  }
  void FlushCarry(PieceEnd how) {
    if (how == PieceEnd::LineEnd) ++offset_;  // the LF taken after the carried bytes
    FlushCarryAt(how);
  }
  void FlushCarryAt(PieceEnd how) {
    Handle(carry_, carryStart_, how);
    carry_.clear();
  }
  void Handle(std::string_view raw, std::int64_t start, PieceEnd how) {
    unfinishedStart_ = how != PieceEnd::LineEnd && OpensWithoutClosing(raw) ? start : -1;
    ProcessRawPiece(raw, lines_);
  }

  LogLines& lines_;
  std::int64_t offset_;           // file offset of the next byte fed
  std::string carry_;             // a piece cut by a block boundary, at most 4096 bytes
  std::int64_t carryStart_ = 0;   // file offset of its first byte
  std::int64_t unfinishedStart_ = -1;
};

}  // namespace

std::uint32_t ChannelDisplayColour(int k) {
  if (k < 1 || k > 7) return 0x80AAFF;
  return static_cast<std::uint32_t>(std::strtoul(kChannelColours[k], nullptr, 16));
}

std::string DeriveCsvPath(const std::string& programDir, const std::string& logPath) {
  const std::size_t slash = logPath.find_last_of(platform::kPathSeparators);
  const std::string_view name =
      slash == std::string::npos ? std::string_view(logPath) : std::string_view(logPath).substr(slash + 1);
  // Only the file name is searched: a ".html" in the program folder's own path must not
  // send the CSV elsewhere. The CSV always lands in the program folder.
  const std::size_t p = FindBytes(name, ".html");
  return programDir + (p == 0 ? std::string() : std::string(name.substr(0, p))) + "csv";
}

std::string ChatLineText(std::string_view line, std::string_view tag) {
  const std::size_t p = FindBytes(line, tag);
  if (p == 0) return {};
  std::string text(FromByte(line, static_cast<long long>(p + tag.size())));
  text = ReplaceAllText(std::move(text), "&gt;", ">");
  return ReplaceAllText(std::move(text), "&nbsp;", " ");
}

LogRead ReadChatLog(const std::string& path, std::int64_t& resumeOffset, LogLines& lines,
                    const ReadProgress& progress, const ReadTap& tap) {
  std::int64_t size = 0;
  LogRead result;
  // Only a regular file is a log: a FIFO would block the program in the open call, and a
  // directory would read as an empty log.
  platform::FilePtr file(platform::OpenRegularFile(path, &size, &result.Error));
  if (!file) {
    // A failure the system did not name is still a failure.
    if (result.Error.Failure == platform::OpenFailure::kNone) result.Error.Failure = platform::OpenFailure::kOther;
    return result;
  }
  std::int64_t position = 0;
  if (platform::Seek(file.get(), resumeOffset)) {
    position = resumeOffset;
  } else {
    std::rewind(file.get());
  }
  if (size > position) {
    const auto remaining = static_cast<std::size_t>(size - position);
    // The stored text is never longer than the UTF-8 it came from.
    lines.Reserve(remaining, remaining / 48 + 16);
  }

  std::unique_ptr<char[]> block(new char[kBlockBytes]);
  PieceCutter cutter(lines, position);
  std::int64_t bytesRead = 0;
  for (;;) {
    const std::size_t got = std::fread(block.get(), 1, kBlockBytes, file.get());
    if (got == 0) break;
    bytesRead += static_cast<std::int64_t>(got);
    if (tap) tap(std::string_view(block.get(), got));
    cutter.Feed(block.get(), block.get() + got);
    if (progress) progress(bytesRead, size - position);
  }
  cutter.Finish();

  // The next read starts 18 bytes before the end, which never holds a whole font line, so
  // nothing is stored twice. A line that the game was still writing is read again from its
  // start instead, or its beginning would be dropped now and its end next time. A read
  // that started beyond the end (the file shrank) keeps the offset until the file grows
  // past it again.
  if (cutter.UnfinishedLineStart() >= 0) {
    resumeOffset = cutter.UnfinishedLineStart();
  } else if (bytesRead > 0 || position == 0) {
    resumeOffset = position + bytesRead - kRereadBytes;
  }
  return result;
}

}  // namespace mizuto
