#include "ingest/chat_log_reader.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "app/app.h"
#include "text/codec.h"
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

// Turns one piece (UTF-8, as read) into a stored line; false when the piece is dropped.
bool ProcessPiece(std::string_view piece, std::string& line) {
  line.clear();
  AppendUtf8AsSjis(piece, line);
  static const std::string opener = "<FONT color=\"#";
  const std::size_t open = FindBytes(line, opener);
  if (open == 0) return false;
  line.erase(0, open - 1 + opener.size());
  const std::size_t close = FindBytes(line, "</FONT>");
  line.resize(close == 0 ? 0 : close - 1);
  if (line.empty()) return false;
  if (FindBytes(line, ColourEntry(9)) != 0) return false;
  int channel = -1;
  for (int i = 0; i < 9; ++i) {
    if (FindBytes(line, ColourEntry(i)) != 0) {
      channel = i;
      break;
    }
  }
  if (channel < 0) return false;
  line = ReplaceAllText(std::move(line), ColourEntry(channel), kChannelTags[channel]);
  if (channel >= 3 && channel <= 5 && line.size() > 2) line.erase(2, 6);
  if (channel == 0) {
    std::size_t p = FindBytes(line, SJ("スキルを発動しました"));
    const char* tag = "~s";
    if (p == 0) {
      p = FindBytes(line, SJ("を使いました"));
      tag = "~i";
    }
    if (p != 0) {
      line.resize(p - 1);
      line = ReplaceAllText(std::move(line), "~0", tag);
    }
  }
  return true;
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

  std::unique_ptr<char[]> block(new char[kBlockBytes]);
  std::string carry;    // translated bytes of the line not yet complete
  std::string stored;   // the stored form of the current piece
  bool pendingCr = false;  // a CR at the end of the previous block
  std::int64_t bytesRead = 0;

  auto emitPiece = [&](std::string_view piece) {
    if (ProcessPiece(piece, stored)) app.Lines.push_back(stored);
  };
  // Appends translated text to the current line, emitting full 4095-byte pieces and the
  // piece that ends with a line end.
  auto feed = [&](const char* data, std::size_t size) {
    std::size_t i = 0;
    while (i < size) {
      const char* nl = static_cast<const char*>(std::memchr(data + i, '\n', size - i));
      const std::size_t end = nl ? static_cast<std::size_t>(nl - data) + 1 : size;
      std::string_view chunk(data + i, end - i);
      while (!chunk.empty()) {
        const std::size_t room = kPieceBytes - carry.size();
        if (carry.empty() && chunk.size() <= kPieceBytes && chunk.back() == '\n') {
          emitPiece(chunk);  // the common case: a whole line, no copy
          chunk = {};
          break;
        }
        const std::size_t take = std::min(room, chunk.size());
        carry.append(chunk.substr(0, take));
        chunk.remove_prefix(take);
        if (carry.size() == kPieceBytes || carry.back() == '\n') {
          emitPiece(carry);
          carry.clear();
        }
      }
      i = end;
    }
  };

  std::string translated;
  for (;;) {
    const std::size_t got = std::fread(block.get(), 1, kBlockBytes, file.get());
    if (got == 0) break;
    bytesRead += static_cast<std::int64_t>(got);
    // Text mode: a CR LF pair reads as one LF; a lone CR is an ordinary byte.
    translated.clear();
    std::size_t start = 0;
    if (pendingCr) {
      if (block[0] != '\n') translated.push_back('\r');
      pendingCr = false;
    }
    const char* data = block.get();
    std::size_t n = got;
    if (data[n - 1] == '\r') {
      pendingCr = true;
      --n;
    }
    if (std::memchr(data, '\r', n) == nullptr && translated.empty()) {
      feed(data, n);
    } else {
      for (std::size_t k = start; k < n; ++k) {
        if (data[k] == '\r' && k + 1 < n && data[k + 1] == '\n') continue;
        translated.push_back(data[k]);
      }
      feed(translated.data(), translated.size());
    }
  }
  if (pendingCr) carry.push_back('\r');
  if (!carry.empty()) emitPiece(carry);

  // The last bytes of the file are read again next time, so a line that the game was
  // still writing is not lost. A read that started beyond the end (the file shrank) keeps
  // the offset until the file grows past it again.
  if (bytesRead > 0 || position == 0) app.ResumeOffset = position + bytesRead - kRereadBytes;
  return true;
}

}  // namespace mizuto
