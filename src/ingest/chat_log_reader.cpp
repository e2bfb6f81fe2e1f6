#include "ingest/chat_log_reader.h"

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <memory>

#include <sys/stat.h>

#include "app/app.h"
#include "text/codec.h"
#include "text/literal_set.h"
#include "text/sjis.h"

namespace mizuto {
namespace {

// The reader hands the analysis pieces of at most this many bytes (a 4096-byte buffer with
// its terminating zero); a longer line arrives as several pieces, each handled on its own.
constexpr std::size_t kPieceBytes = 4095;
constexpr std::size_t kBlockBytes = 1 << 20;
constexpr std::int64_t kRereadBytes = 18;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

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
  unsigned present = 0;
  for (std::size_t q = line.find("\">", 6); q != std::string_view::npos; q = line.find("\">", q + 1)) {
    const char* digits = line.data() + q - 6;
    for (int i = 0; i < 10; ++i) {
      if (std::memcmp(digits, kChannelColours[i], 6) == 0) present |= 1u << i;
    }
  }
  if (present == 0 || (present & (1u << 9)) != 0) {
    lines.Rollback(mark);
    return;
  }
  int channel = 0;
  while ((present & (1u << channel)) == 0) ++channel;
  ReplaceInTail(arena, mark, ColourEntry(channel), kChannelTags[channel]);
  if (channel >= 3 && channel <= 5 && arena.size() - mark > 2) {
    arena.erase(mark + 2, std::min<std::size_t>(6, arena.size() - mark - 2));
  }
  if (channel == 0) {
    // The skill phrase is tested first: a line holding both is a skill line.
    static const LiteralSet phrases({SJ("スキルを発動しました"), SJ("を使いました")});
    const LiteralSet::Hit hit =
        phrases.FindLowest(std::string_view(arena.data() + mark, arena.size() - mark));
    const std::size_t p = hit.Position;
    const char* tag = hit.Index == 0 ? "~s" : "~i";
    if (p != 0) {
      arena.resize(mark + p - 1);
      ReplaceInTail(arena, mark, "~0", tag);
    }
  }
  lines.Commit();
}

// Splits a line longer than a piece the way a 4096-byte line buffer reads it in text mode:
// pieces of 4095 bytes of the translated text (a CR LF pair read as one LF).
void ProcessLongLine(std::string_view raw, LogLines& lines) {
  std::string translated(raw);
  if (translated.size() >= 2 && translated[translated.size() - 2] == '\r' && translated.back() == '\n') {
    translated.erase(translated.size() - 2, 1);
  }
  for (std::size_t at = 0; at < translated.size(); at += kPieceBytes) {
    ProcessPiece(std::string_view(translated).substr(at, kPieceBytes), lines);
  }
}

// One raw line of the file, its line end included (the last line may lack one).
void ProcessRawLine(std::string_view raw, LogLines& lines) {
  std::size_t length = raw.size();  // after the CR LF -> LF translation
  std::size_t content = raw.size();
  if (!raw.empty() && raw.back() == '\n') {
    --content;
    if (raw.size() >= 2 && raw[raw.size() - 2] == '\r') {
      --content;
      --length;
    }
  }
  if (length <= kPieceBytes) {
    ProcessPiece(raw.substr(0, content), lines);
  } else {
    ProcessLongLine(raw, lines);
  }
}

}  // namespace

std::uint32_t ChannelDisplayColour(int k) {
  if (k < 1 || k > 7) return 0x80AAFF;
  return static_cast<std::uint32_t>(std::strtoul(kChannelColours[k], nullptr, 16));
}

ChatChannel ChannelOf(std::string_view line) {
  if (line.size() < 2 || line[0] != '~') return ChatChannel::System;
  switch (line[1]) {
    case 's': return ChatChannel::Skill;
    case 'i': return ChatChannel::Item;
    case '1': return ChatChannel::Party;
    case '2': return ChatChannel::Say;
    case '3': return ChatChannel::Room1;
    case '4': return ChatChannel::Room2;
    case '5': return ChatChannel::Room3;
    case '6': return ChatChannel::Company;
    case '7': return ChatChannel::Tell;
    case '8': return ChatChannel::Notice;
    default: return ChatChannel::System;
  }
}

std::string DeriveCsvPath(const std::string& programDir, const std::string& logPath) {
  const std::size_t slash = logPath.find_last_of('/');
  std::string full = programDir + (slash == std::string::npos ? logPath : logPath.substr(slash + 1));
  const std::size_t p = FindBytes(full, ".html");
  return (p == 0 ? std::string() : full.substr(0, p)) + "csv";
}

std::string ChatLineText(std::string_view line, std::string_view tag) {
  const std::size_t p = FindBytes(line, tag);
  if (p == 0) return {};
  std::string text(FromByte(line, static_cast<long long>(p + tag.size())));
  text = ReplaceAllText(std::move(text), "&gt;", ">");
  return ReplaceAllText(std::move(text), "&nbsp;", " ");
}

bool ReadChatLog(App& app, const std::string& path) {
  app.CsvPath = DeriveCsvPath(app.ProgramDir, path);
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    app.AppendError("File Open Error");
    return false;
  }
  std::int64_t position = 0;
  if (app.ResumeOffset >= 0 && fseeko(file.get(), static_cast<off_t>(app.ResumeOffset), SEEK_SET) == 0) {
    position = app.ResumeOffset;
  } else {
    std::rewind(file.get());
  }

  struct stat info;
  if (::fstat(::fileno(file.get()), &info) == 0 && info.st_size > position) {
    const auto remaining = static_cast<std::size_t>(info.st_size - position);
    // The stored text is never longer than the UTF-8 it came from.
    app.Lines.Reserve(remaining, remaining / 48 + 16);
  }

  std::unique_ptr<char[]> block(new char[kBlockBytes]);
  std::string carry;  // the start of a line that continues in the next block
  std::int64_t bytesRead = 0;
  for (;;) {
    const std::size_t got = std::fread(block.get(), 1, kBlockBytes, file.get());
    if (got == 0) break;
    bytesRead += static_cast<std::int64_t>(got);
    const char* data = block.get();
    const char* end = data + got;
    const char* p = data;
    if (!carry.empty()) {
      const char* nl = static_cast<const char*>(std::memchr(p, '\n', got));
      if (nl == nullptr) {
        carry.append(p, got);
        continue;
      }
      carry.append(p, static_cast<std::size_t>(nl + 1 - p));
      ProcessRawLine(carry, app.Lines);
      carry.clear();
      p = nl + 1;
    }
    while (p < end) {
      const char* nl = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
      if (nl == nullptr) {
        carry.assign(p, static_cast<std::size_t>(end - p));
        break;
      }
      ProcessRawLine(std::string_view(p, static_cast<std::size_t>(nl + 1 - p)), app.Lines);
      p = nl + 1;
    }
  }
  if (!carry.empty()) ProcessRawLine(carry, app.Lines);

  // The last bytes of the file are read again next time, so a line that the game was
  // still writing is not lost. A read that started beyond the end (the file shrank) keeps
  // the offset until the file grows past it again.
  if (bytesRead > 0 || position == 0) app.ResumeOffset = position + bytesRead - kRereadBytes;
  return true;
}

}  // namespace mizuto
