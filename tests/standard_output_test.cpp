// The standard output's way to the user: a file or a pipe gets the program's bytes as they
// are; a Windows console gets their characters (UTF-16), so that a Japanese report reads
// right whatever the console's code page, even when a character is cut between two writes.
#include <gtest/gtest.h>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <io.h>
#else
#include <unistd.h>
#endif
#include <fcntl.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/test_basics.h"

namespace mizuto {
namespace {

using platform::TextBytes;
using platform::WholeCharacters;

// "第1艦隊、撃沈ｱ" in each encoding. 撃 is 0x8C 0x82 in Shift-JIS, whose second byte is a
// lead byte too; 表 (0x95 0x5C) ends in a backslash.
const std::string kUtf8Text = "\xE7\xAC\xAC" "1\xE8\x89\xA6\xE9\x9A\x8A\xE3\x80\x81\xE6\x92\x83\xE6\xB2\x88\xEF\xBD\xB1\xE8\xA1\xA8";
const std::string kSjisText = "\x91\xE6" "1\x8A\xCD\x91\xE0\x81\x41\x8C\x82\x92\xBE\xB1\x95\x5C";

TEST(StandardOutputTest, WholeCharactersLeaveOnlyACutCharacterForLater) {
  const struct {
    const char* name;
    TextBytes encoding;
    std::string bytes;
    std::size_t whole;
  } cases[] = {
      {"empty", TextBytes::kUtf8, "", 0},
      {"ASCII", TextBytes::kUtf8, "ab\n", 3},
      {"three-byte character whole", TextBytes::kUtf8, "a\xE7\xAC\xAC", 4},
      {"three-byte character, one byte of it", TextBytes::kUtf8, "a\xE7", 1},
      {"three-byte character, two bytes of it", TextBytes::kUtf8, "a\xE7\xAC", 1},
      {"four-byte character, three bytes of it", TextBytes::kUtf8, "\xF0\x9F\x9A", 0},
      {"four-byte character whole", TextBytes::kUtf8, "\xF0\x9F\x9A\xA2", 4},
      {"stray continuation bytes are whole (malformed)", TextBytes::kUtf8, "a\x80\x80", 3},
      {"no lead byte can start this", TextBytes::kUtf8, "a\xFF", 2},
      {"Shift-JIS pair whole", TextBytes::kShiftJis, "\x91\xE6", 2},
      {"Shift-JIS lead byte alone", TextBytes::kShiftJis, "a\x91", 1},
      {"a trail byte that looks like a lead", TextBytes::kShiftJis, "\x8C\x82", 2},
      {"a trail byte like a lead, then a lead", TextBytes::kShiftJis, "\x8C\x82\x92", 2},
      {"half-width katakana is one byte", TextBytes::kShiftJis, "\xB1\xB2", 2},
      {"backslash as a trail byte", TextBytes::kShiftJis, "\x95\x5C", 2},
      {"lead byte of the upper range", TextBytes::kShiftJis, "\xE0", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(WholeCharacters(c.bytes, c.encoding), c.whole);
  }
}

// Cut anywhere, a text of random characters keeps exactly the characters that are whole
// before the cut.
TEST(StandardOutputTest, EveryCutKeepsTheWholeCharactersBeforeIt) {
  const std::vector<std::string> utf8 = {"a", "\n", "\xC3\xA9", "\xE7\xAC\xAC", "\xEF\xBD\xB1", "\xF0\x9F\x9A\xA2"};
  const std::vector<std::string> sjis = {"a", "\\", "\xB1", "\x91\xE6", "\x8C\x82", "\x95\x5C", "\x81\x81", "\xE0\x40",
                                         "\xFC\xFC"};
  std::uint32_t seed = 20240601;
  if (const char* s = std::getenv("MIZUTO_PROPERTY_SEED")) seed = static_cast<std::uint32_t>(std::strtoul(s, nullptr, 10));
  for (int round = 0; round < 200; ++round, ++seed) {
    std::mt19937 random(seed);
    const bool useSjis = round % 2 == 1;
    const auto& pool = useSjis ? sjis : utf8;
    std::string text;
    std::vector<std::size_t> boundaries = {0};
    const int count = 1 + static_cast<int>(random() % 30);
    for (int i = 0; i < count; ++i) {
      text += pool[random() % pool.size()];
      boundaries.push_back(text.size());
    }
    for (std::size_t cut = 0; cut <= text.size(); ++cut) {
      std::size_t expected = 0;
      for (std::size_t b : boundaries) {
        if (b <= cut) expected = b;
      }
      ASSERT_EQ(WholeCharacters(std::string_view(text).substr(0, cut), useSjis ? TextBytes::kShiftJis : TextBytes::kUtf8),
                expected)
          << "seed " << seed << " (rerun with MIZUTO_PROPERTY_SEED=" << seed << "), cut at " << cut;
    }
  }
}

// Standard output put on a file for a while, as a redirection does.
class OutputToFile {
 public:
  explicit OutputToFile(const std::string& path) {
    std::fflush(stdout);
#ifdef _WIN32
    saved_ = ::_dup(1);
    const int file = ::_open(path.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, 0600);
    ::_dup2(file, 1);
    ::_close(file);
#else
    saved_ = ::dup(1);
    const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(file, 1);
    ::close(file);
#endif
  }
  ~OutputToFile() {
#ifdef _WIN32
    ::_dup2(saved_, 1);
    ::_close(saved_);
#else
    ::dup2(saved_, 1);
    ::close(saved_);
#endif
  }

 private:
  int saved_;
};

TEST(StandardOutputTest, AFileGetsTheBytesUnchangedInEitherEncoding) {
  test::TempDir dir;
  const struct {
    TextBytes encoding;
    std::string bytes;
  } cases[] = {{TextBytes::kUtf8, kUtf8Text + "\n"}, {TextBytes::kShiftJis, kSjisText + "\r\n"}};
  for (const auto& c : cases) {
    const std::string path = dir.File("out.txt");
    {
      OutputToFile redirect(path);
      platform::StandardOutputBuffer buffer(1, c.encoding);
      EXPECT_FALSE(buffer.ToConsole());
      std::ostream out(&buffer);
      // One byte at a time, each flushed: a console would have to hold cut characters back.
      for (char b : c.bytes) out.put(b).flush();
      EXPECT_EQ(buffer.Failure(), "");
    }
    EXPECT_EQ(test::ReadBytes(path), c.bytes);
  }
}

#ifdef _WIN32
// Under a console (scripts/windows-check.sh runs this under a terminal, where Wine gives
// the program one), the text is read back from the console's screen: what the program
// wrote must be there as characters, with the console on a code page that would garble the
// bytes. Without a console the case is skipped, unless MIZUTO_CONSOLE_REQUIRED says that
// the run is the one meant to have it.
TEST(StandardOutputTest, AConsoleShowsTheCharactersWhateverItsCodePage) {
  HANDLE screen = ::GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (!::GetConsoleMode(screen, &mode)) {
    if (std::getenv("MIZUTO_CONSOLE_REQUIRED")) FAIL() << "standard output is no console";
    GTEST_SKIP() << "standard output is no console";
  }
  const UINT oldCodePage = ::GetConsoleOutputCP();
  const std::wstring expected = L"\u7B2C1\u8266\u968A\u3001\u6483\u6C88\uFF71\u8868";
  const struct {
    const char* name;
    int descriptor;
    TextBytes encoding;
    std::string bytes;
    UINT codePage;  // the console's: one that does not read these bytes as they are meant
    std::size_t piece;
  } cases[] = {
      {"UTF-8 on a Japanese console", 1, TextBytes::kUtf8, kUtf8Text, 932, 4096},
      {"UTF-8 a byte at a time", 1, TextBytes::kUtf8, kUtf8Text, 932, 1},
      {"Shift-JIS on a Western console", 1, TextBytes::kShiftJis, kSjisText, 1252, 4096},
      {"Shift-JIS a byte at a time", 1, TextBytes::kShiftJis, kSjisText, 437, 1},
      {"UTF-8 messages on the error output", 2, TextBytes::kUtf8, kUtf8Text, 932, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(::SetConsoleOutputCP(c.codePage));
    HANDLE handle = ::GetStdHandle(c.descriptor == 1 ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    ::WriteConsoleW(handle, L"\r\n", 2, nullptr, nullptr);
    CONSOLE_SCREEN_BUFFER_INFO before;
    ASSERT_TRUE(::GetConsoleScreenBufferInfo(handle, &before));
    {
      platform::StandardOutputBuffer buffer(c.descriptor, c.encoding);
      ASSERT_TRUE(buffer.ToConsole());
      std::ostream out(&buffer);
      for (std::size_t at = 0; at < c.bytes.size(); at += c.piece) out << c.bytes.substr(at, c.piece) << std::flush;
      EXPECT_EQ(buffer.Failure(), "");
    }
    std::wstring shown(expected.size(), L'\0');
    DWORD read = 0;
    ASSERT_TRUE(::ReadConsoleOutputCharacterW(handle, shown.data(), static_cast<DWORD>(shown.size()),
                                              before.dwCursorPosition, &read));
    shown.resize(read);
    EXPECT_TRUE(shown == expected) << "the console shows other characters";
  }
  ::SetConsoleOutputCP(oldCodePage);
  ::WriteConsoleW(screen, L"\r\n", 2, nullptr, nullptr);
}
#endif

}  // namespace
}  // namespace mizuto
