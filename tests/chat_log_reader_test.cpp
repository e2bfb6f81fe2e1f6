#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

#include <filesystem>
#include <functional>
#include <random>

#include "ingest/chat_log_reader.h"
#include "ingest/log_lines.h"
#include "ingest/log_origin.h"
#include "support/test_support.h"
#include "text/codec.h"

namespace mizuto {
namespace {

using test::S;
using test::U;

class ReaderTest : public ::testing::Test {
 protected:
  void SetUp() override { test::SetUpApp(app, dir); }
  std::vector<std::string> Read(const std::string& content) {
    test::WriteBytes(log, content);
    EXPECT_TRUE(ReadChatLog(log, app.ResumeOffset, app.Lines));
    return Stored();
  }
  std::vector<std::string> Stored() const {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < app.Lines.size(); ++i) out.push_back(U(app.Lines[i]));
    return out;
  }
  test::TempDir dir;
  App app;
  std::string log = dir.File("chat.html");
};

TEST_F(ReaderTest, KeepsKnownColoursWithTheirTags) {
  const auto lines = Read(
      "<HTML><BODY>\r\n" + test::SystemLine("海賊団の強襲です！") +
      test::FontLine("ffc080", "[ro1] hello") + test::FontLine("aef40a", "123456x") +
      test::FontLine("ff9ad5", "abc") + test::PartyLine("提督・太郎の艦隊に参加しました") +
      test::SayLine("a&gt;b") + test::FontLine("80ffff", "company") +
      test::FontLine("f2f279", "tell") + test::NoticeLine("『大海戦』の開戦しました！") +
      test::FontLine("123456", "unknown colour") + "</BODY></HTML>\r\n");
  const std::vector<std::string> expected = {
      "~0海賊団の強襲です！", "~3hello", "~4x", "~5", "~1提督・太郎の艦隊に参加しました",
      "~2a&gt;b", "~6company", "~7tell", "~8『大海戦』の開戦しました！"};
  EXPECT_EQ(lines, expected);
}

TEST_F(ReaderTest, SkillAndItemLinesAreCutAndRetagged) {
  const auto lines = Read(test::SystemLine("AAAスキルを発動しました") +
                          test::SystemLine("AAAは医薬品を使いました") +
                          test::SystemLine("医薬品を使いましたスキルを発動しました") +
                          test::SystemLine("ただの通知です"));
  const std::vector<std::string> expected = {"~sAAA", "~iAAAは医薬品", "~s医薬品を使いました",
                                             "~0ただの通知です"};
  EXPECT_EQ(lines, expected);
}

TEST_F(ReaderTest, DropsIgnoredColourAndLinesWithoutOpenerOrCloser) {
  const auto lines = Read(test::FontLine("d4d4d4", "ignored") +
                          test::SystemLine("mentions d4d4d4\">inside") +
                          "<FONT color=\"#80aaff\">no closer<BR>\r\n" + "plain text\r\n" +
                          test::SystemLine("kept"));
  EXPECT_EQ(lines, std::vector<std::string>{"~0kept"});
}

TEST_F(ReaderTest, ColourEntriesAreMatchedOnTheShiftJisBytes) {
  // "Ｅ" is 82 64 in Shift-JIS: its second byte "d" and the digits after it spell the
  // ignored colour entry, which drops the line; in UTF-8 the entry does not occur at all.
  const auto lines = Read(test::SystemLine("Ｅ4d4d4\">") + test::SystemLine("Ｅ0aaff\">x"));
  // The second line holds "d0aaff" only by its trail byte, which is no colour: it is kept
  // as a system line.
  EXPECT_EQ(lines, std::vector<std::string>{"~0Ｅ0aaff\">x"});
}

TEST_F(ReaderTest, FirstColourInTableOrderWins) {
  // The line's own colour is the say colour, but the system colour occurs later in it and
  // comes first in the table: only the system colour is turned into a tag.
  const auto lines = Read(test::SayLine("quote 80aaff\"> end"));
  EXPECT_EQ(lines, std::vector<std::string>{"ffffff\">quote ~0 end"});
}

TEST_F(ReaderTest, LongLinesArriveAsPiecesOf4095Bytes) {
  // A line of 5000 bytes: its first piece has the opener but no closer, its second piece
  // has a closer but no opener: both are dropped.
  std::string longText(5000 - 30, 'x');
  std::string longLine = "<FONT color=\"#80aaff\">" + longText + "</FONT>\r\n";
  // A second long line whose second piece holds a complete font line of its own.
  std::string padding(4095, 'p');
  std::string second = padding + test::SystemLine("inner");
  const auto lines = Read(longLine + second + test::SystemLine("after"));
  EXPECT_EQ(lines, (std::vector<std::string>{"~0inner", "~0after"}));
}

TEST_F(ReaderTest, LineEndsCrLfAndLfEndLinesALoneCrDoesNot) {
  const std::string a = "<FONT color=\"#80aaff\">one</FONT>\n";
  const std::string b = "<FONT color=\"#80aaff\">two\rstill two</FONT>\r\n";
  const auto lines = Read(a + b + "<FONT color=\"#80aaff\">last</FONT>");
  EXPECT_EQ(lines, (std::vector<std::string>{"~0one", "~0two\rstill two", "~0last"}));
}

TEST_F(ReaderTest, FourThousandNinetyFiveBytesAreCountedAfterCrLfTranslation) {
  // 4094 bytes + CR LF reads as 4094 bytes + LF: one piece of 4095 bytes.
  std::string body = "<FONT color=\"#80aaff\">";
  body += std::string(4094 - body.size() - 7, 'y') + "</FONT>";
  ASSERT_EQ(body.size(), 4094u);
  const auto lines = Read(body + "\r\n" + test::SystemLine("next"));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].size(), 2u + (4094 - 22 - 7));
}

TEST_F(ReaderTest, RereadingAddsNothingAndAppendedLinesArriveOnce) {
  const std::string first = test::SystemLine("one") + test::SystemLine("two") + "</BODY></HTML>\r\n";
  test::WriteBytes(log, first);
  ASSERT_TRUE(ReadChatLog(log, app.ResumeOffset, app.Lines));
  EXPECT_EQ(app.ResumeOffset, static_cast<std::int64_t>(first.size()) - 18);
  ASSERT_TRUE(ReadChatLog(log, app.ResumeOffset, app.Lines));
  EXPECT_EQ(app.Lines.size(), 2u);

  test::AppendBytes(log, test::SystemLine("three") + test::SayLine("four"));
  ASSERT_TRUE(ReadChatLog(log, app.ResumeOffset, app.Lines));
  EXPECT_EQ(Stored(), (std::vector<std::string>{"~0one", "~0two", "~0three", "~2four"}));
  ASSERT_TRUE(ReadChatLog(log, app.ResumeOffset, app.Lines));
  EXPECT_EQ(app.Lines.size(), 4u);
}

TEST_F(ReaderTest, EmptyShortAndShrunkFiles) {
  test::WriteBytes(log, "");
  ASSERT_TRUE(ReadChatLog(log, app.ResumeOffset, app.Lines));
  EXPECT_EQ(app.Lines.size(), 0u);
  EXPECT_EQ(app.ResumeOffset, -18);
  // A negative offset reads from the start.
  test::WriteBytes(log, test::SystemLine("grown"));
  ASSERT_TRUE(ReadChatLog(log, app.ResumeOffset, app.Lines));
  EXPECT_EQ(Stored(), std::vector<std::string>{"~0grown"});

  // The file is replaced by a shorter one: nothing is read until it grows past the offset.
  const std::int64_t offset = app.ResumeOffset;
  test::WriteBytes(log, "x");
  ASSERT_TRUE(ReadChatLog(log, app.ResumeOffset, app.Lines));
  EXPECT_EQ(app.ResumeOffset, offset);
  EXPECT_EQ(app.Lines.size(), 1u);
}

TEST_F(ReaderTest, UnopenableFileSaysWhyAndChangesNothing) {
  app.ResumeOffset = 7;
  const LogRead read = ReadChatLog(dir.File("missing.html"), app.ResumeOffset, app.Lines);
  EXPECT_FALSE(read);
  EXPECT_EQ(read.Error.Failure, platform::OpenFailure::kMissing);
  EXPECT_FALSE(read.Error.SystemText.empty());  // the system's own words
  EXPECT_EQ(app.ResumeOffset, 7);
  EXPECT_EQ(app.Lines.size(), 0u);
}

TEST(CsvPath, NamedAfterTheLogFileAlwaysInTheProgramFolder) {
  EXPECT_EQ(DeriveCsvPath("/prog/", "/logs/chat.html"), "/prog/chat.csv");
  EXPECT_EQ(DeriveCsvPath("/prog/", "chat.x.html.html"), "/prog/chat.x.csv");
  // A name without ".html" gives "csv", still in the program folder.
  EXPECT_EQ(DeriveCsvPath("/prog/", "/logs/CHAT.HTML"), "/prog/csv");
  EXPECT_EQ(DeriveCsvPath("/prog/", "/logs/chat.txt"), "/prog/csv");
  // A ".html" in a folder name, the program's or the log's, is not the log's extension.
  EXPECT_EQ(DeriveCsvPath("/odd.html.d/", "/logs/chat.html"), "/odd.html.d/chat.csv");
  EXPECT_EQ(DeriveCsvPath("/odd.html.d/", "/logs.html/chat.txt"), "/odd.html.d/csv");
#ifdef _WIN32
  // Windows separates folders with either slash.
  EXPECT_EQ(DeriveCsvPath("C:\\prog\\", "C:\\logs.html\\chat.html"), "C:\\prog\\chat.csv");
#else
  // Elsewhere a backslash is part of a name.
  EXPECT_EQ(DeriveCsvPath("/prog/", "/logs/a\\chat.html"), "/prog/a\\chat.csv");
#endif
}

TEST_F(ReaderTest, OnlyARegularFileIsALog) {
  // A FIFO would block the open for good and a directory would read as an empty log.
#ifdef _WIN32
  // Windows' FIFO is a named pipe; a device such as NUL opens like a file.
  const std::string fifo = "\\\\.\\pipe\\mizuto_test_" + std::to_string(::GetCurrentProcessId());
  HANDLE pipe = ::CreateNamedPipeA(fifo.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE, 1, 4096, 4096, 0, nullptr);
  ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
  const std::string device = "NUL";
#else
  const std::string fifo = dir.File("fifo.html");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string device = "/dev/null";
#endif
  const std::string folder = dir.File("folder.html");
  std::filesystem::create_directory(folder);
  using platform::OpenFailure;
  for (const auto& [path, failure] : {std::pair{fifo, OpenFailure::kNotRegularFile},
                                      std::pair{folder, OpenFailure::kFolder},
                                      std::pair{device, OpenFailure::kNotRegularFile}}) {
    app.ResumeOffset = 5;
    EXPECT_EQ(ReadChatLog(path, app.ResumeOffset, app.Lines).Error.Failure, failure) << path;
    EXPECT_EQ(app.ResumeOffset, 5);
  }
#ifdef _WIN32
  ::CloseHandle(pipe);
#endif
}

// A tick that meets a line the game is still writing must neither lose it nor store it
// twice, wherever the write stopped.
TEST_F(ReaderTest, ALineCaughtHalfWrittenArrivesOnceWhereverTheWriteStopped) {
  const std::string before = test::SystemLine("前の行");
  const std::string line = test::SystemLine("赤鬼に勝利しました！");  // ends in CR LF
  const std::string after = test::SystemLine("次の行");
  const std::size_t closer = line.find("</FONT>");
  const std::size_t multiByte = line.find("勝") + 1;  // inside a three-byte character
  const struct {
    const char* where;
    std::size_t cut;
  } cuts[] = {
      {"at the line start", 0},          {"inside the opener", 8},
      {"after the opener", 14},          {"inside the colour", 17},
      {"inside a character", multiByte}, {"inside the closer", closer + 3},
      {"after the closer", closer + 7},  {"between CR and LF", line.size() - 1},
      {"after the line end", line.size()},  {"30 bytes in", 30},
  };
  // Behind a whole line, and as the file's first line (the game caught writing its first).
  for (const bool first : {false, true}) {
    const std::string lead = first ? std::string() : before;
    std::vector<std::string> stored{"~0前の行", "~0赤鬼に勝利しました！", "~0次の行"};
    if (first) stored.erase(stored.begin());
    for (const auto& c : cuts) {
      SCOPED_TRACE(std::string(c.where) + (first ? " of the first line" : ""));
      app.Lines.clear();
      app.ResumeOffset = 0;
      test::WriteBytes(log, lead + line.substr(0, c.cut));
      ASSERT_TRUE(ReadChatLog(log, app.ResumeOffset, app.Lines));
      test::AppendBytes(log, line.substr(c.cut) + after);
      ASSERT_TRUE(ReadChatLog(log, app.ResumeOffset, app.Lines));
      ASSERT_TRUE(ReadChatLog(log, app.ResumeOffset, app.Lines));
      EXPECT_EQ(Stored(), stored);
    }
    // The next read starts where the unfinished line starts.
    app.Lines.clear();
    app.ResumeOffset = 0;
    test::WriteBytes(log, lead + line.substr(0, 30));
    ASSERT_TRUE(ReadChatLog(log, app.ResumeOffset, app.Lines));
    EXPECT_EQ(app.ResumeOffset, static_cast<std::int64_t>(lead.size()));
  }
}

// The reader cuts the file into pieces in place and copies only what a block boundary
// cuts. A plain model of the same rule — whole lines, CR LF read as LF, pieces of 4095
// bytes, each piece read on its own — must give the same store for any bytes.
TEST_F(ReaderTest, StreamedPiecesMatchAPlainModelOfTheLineBuffer) {
  const unsigned seed = ::testing::UnitTest::GetInstance()->random_seed();
  std::mt19937 rng(seed);
  SCOPED_TRACE("seed " + std::to_string(seed));
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  for (int round = 0; round < 3; ++round) {
    // Lines of lengths around the piece size, font lines at piece boundaries, CR LF pairs
    // where a piece fills up, lone CRs, until the file spans two 1 MiB blocks.
    std::string file;
    while (file.size() < (std::size_t{2} << 20) + 5000) {
      std::string lineText;
      const int shape = pick(6);
      const int pad = shape == 0 ? pick(40) : 4095 * (1 + pick(2)) - 30 + pick(60);
      lineText.assign(static_cast<std::size_t>(pad), 'p');
      if (pick(4) == 0) lineText += '\r';
      if (shape != 5) lineText += "<FONT color=\"#80aaff\">" + std::to_string(file.size()) + "</FONT>";
      lineText += pick(3) == 0 ? "\n" : "\r\n";
      file += lineText;
    }
    // Move a CR LF pair onto the first block boundary now and then.
    if (round == 1) file.replace((std::size_t{1} << 20) - 1, 2, "\r\n");
    test::WriteBytes(log, file);
    app.Lines.clear();
    app.ResumeOffset = 0;
    ASSERT_TRUE(ReadChatLog(log, app.ResumeOffset, app.Lines));

    // The model's pieces, each on a line of its own (what follows a piece's "</FONT>" is
    // never kept, so its line end does not matter).
    std::string pieces;
    for (std::size_t start = 0; start < file.size();) {
      std::size_t nl = file.find('\n', start);
      const std::size_t lineEnd = nl == std::string::npos ? file.size() : nl + 1;
      std::string translated = file.substr(start, lineEnd - start);
      if (translated.size() >= 2 && translated.compare(translated.size() - 2, 2, "\r\n") == 0) {
        translated.erase(translated.size() - 2, 1);
      }
      for (std::size_t at = 0; at < translated.size(); at += 4095) {
        std::string piece = translated.substr(at, 4095);
        if (!piece.empty() && piece.back() == '\n') piece.pop_back();
        pieces += piece + "\n";
      }
      start = lineEnd;
    }
    App model;
    test::SetUpApp(model, dir);
    test::WriteBytes(dir.File("pieces.html"), pieces);
    ASSERT_TRUE(ReadChatLog(dir.File("pieces.html"), model.ResumeOffset, model.Lines));
    ASSERT_GT(model.Lines.size(), 100u);
    ASSERT_EQ(app.Lines.size(), model.Lines.size()) << "round " << round;
    for (std::size_t i = 0; i < app.Lines.size(); ++i) {
      ASSERT_EQ(app.Lines[i], model.Lines[i]) << "round " << round << " line " << i;
    }
  }
}

// What happens to the followed file between two reads, and whether it is another log: a
// file put in its place is, even when it begins with the same bytes and is longer (the new
// log's start would be skipped); the same file grown, rewritten in place or moved away and
// back is not, unless it now begins otherwise or is shorter.
TEST(LogOriginTest, AnotherFileInTheLogsPlaceIsAnotherLogWhateverItsBytes) {
  namespace fs = std::filesystem;
  const std::string head(kLogHeadBytes, 'h');
  const std::string read = head + std::string(4000, 'a');  // what the follower has read
  const struct {
    const char* what;
    std::function<void(const std::string& log, const std::string& aside)> change;
    bool replaced;
  } cases[] = {
      {"grown in place", [&](auto& log, auto&) { test::AppendBytes(log, "more"); }, false},
      {"rewritten in place, longer", [&](auto& log, auto&) { test::WriteBytes(log, read + "more"); }, false},
      {"moved away and back, grown",
       [&](auto& log, auto& aside) {
         fs::rename(log, aside);
         test::AppendBytes(aside, "more");
         fs::rename(aside, log);
       },
       false},
      {"another file moved over it: same start, longer",
       [&](auto& log, auto& aside) {
         test::WriteBytes(aside, head + std::string(9000, 'b'));
         fs::rename(aside, log);
       },
       true},
      {"a copy of it moved over it, longer",
       [&](auto& log, auto& aside) {
         test::WriteBytes(aside, read + "more");
         fs::rename(aside, log);
       },
       true},
      {"rewritten in place, shorter", [&](auto& log, auto&) { test::WriteBytes(log, head); }, true},
      {"rewritten in place, another start",
       [&](auto& log, auto&) { test::WriteBytes(log, "x" + read.substr(1) + "more"); }, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempDir dir;
    const std::string log = dir.File("chat.html");
    test::WriteBytes(log, read);
    LogOrigin origin;
    NoteLogOrigin(log, origin);
    c.change(log, dir.File("aside.html"));
    EXPECT_EQ(LogWasReplaced(log, static_cast<std::int64_t>(read.size()), origin), c.replaced);
  }
}

TEST(ChatLineTextTest, DecodesOnlyGtAndNbsp) {
  EXPECT_EQ(ChatLineText("~2a&gt;b&nbsp;c&lt;d&amp;", "~2"), "a>b c&lt;d&amp;");
  EXPECT_EQ(ChatLineText("~2text", "~3"), "");
  EXPECT_EQ(ChannelDisplayColour(1), 0x10C870u);
  EXPECT_EQ(ChannelDisplayColour(7), 0xF2F279u);
}

TEST_F(ReaderTest, MalformedUtf8DoesNotStopTheRead) {
  const auto lines = Read(test::SystemLine("bad\xff\xfe" "bytes") + test::SystemLine("next"));
  EXPECT_EQ(lines, (std::vector<std::string>{"~0bad??bytes", "~0next"}));
}

}  // namespace
}  // namespace mizuto

namespace mizuto {
namespace {

TEST(LogLinesTest, LinesKeepTheirBytesAcrossGroupsOfLines) {
  LogLines lines;
  for (int i = 0; i < 140000; ++i) lines.push_back(std::string(static_cast<std::size_t>(i % 7), 'a' + i % 26));
  ASSERT_EQ(lines.size(), 140000u);
  for (int i : {0, 1, 65535, 65536, 65537, 131071, 131072, 139999}) {
    EXPECT_EQ(lines[static_cast<std::size_t>(i)], std::string(static_cast<std::size_t>(i % 7), 'a' + i % 26)) << i;
  }
  lines.clear();
  lines.push_back("x");
  EXPECT_EQ(lines[0], "x");
}

}  // namespace
}  // namespace mizuto
