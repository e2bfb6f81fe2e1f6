#include <gtest/gtest.h>

#include "app/version/version_check.h"
#include "support/test_support.h"
#include "text/codec.h"

namespace mizuto {
namespace {

using test::S;
using test::U;

const std::string kTitle = "Mizuto Ver1.45";

struct Outcome {
  VersionCheckResult Result;
  std::string Message;  // UTF-8, for readable failures
};

Outcome Evaluate(std::string_view pageSjis) {
  std::string message = "untouched";
  const VersionCheckResult result = EvaluateVersionPage(pageSjis, kTitle, &message);
  return {result, U(message)};
}

TEST(VersionPage, OnlyAHigherVersionNumberIsAnnounced) {
  const struct {
    const char* Page;  // UTF-8
    VersionCheckResult Result;
    const char* Message;
  } cases[] = {
      {"<HTML><HEAD><TITLE>Mizuto Ver1.45</TITLE></HEAD></HTML>", kVersionIsCurrent,
       "Mizuto Ver1.45は最新版です。"},
      {"<TITLE>Mizuto Ver1.46</TITLE>", kVersionFound, "Mizuto Ver1.46が見つかりました。"},
      // Numbers, not texts: 1.100 comes after 1.45, 2.0 after 1.99.
      {"<TITLE>Mizuto Ver1.100</TITLE>", kVersionFound, "Mizuto Ver1.100が見つかりました。"},
      {"<TITLE>Mizuto Ver2.0</TITLE>", kVersionFound, "Mizuto Ver2.0が見つかりました。"},
      {"<TITLE>Mizuto Ver1.45.1</TITLE>", kVersionFound, "Mizuto Ver1.45.1が見つかりました。"},
      // An older page (a mirror not yet updated) is no news: this program is the newest.
      {"<TITLE>Mizuto Ver1.02</TITLE>", kVersionIsCurrent, "Mizuto Ver1.45は最新版です。"},
      {"<TITLE>Mizuto Ver1.4</TITLE>", kVersionIsCurrent, "Mizuto Ver1.45は最新版です。"},
      {"<TITLE>Mizuto Ver0.99</TITLE>", kVersionIsCurrent, "Mizuto Ver1.45は最新版です。"},
      // The same number written differently is the same version.
      {"<TITLE> Mizuto Ver1.45 </TITLE>", kVersionIsCurrent, "Mizuto Ver1.45は最新版です。"},
      {"<TITLE>Mizuto Ver1.45.0</TITLE>", kVersionIsCurrent, "Mizuto Ver1.45は最新版です。"},
      {"<TITLE>Mizuto ver1.45</TITLE>", kVersionIsCurrent, "Mizuto Ver1.45は最新版です。"},
      // A Japanese title reaches the message whole.
      {"<TITLE>Mizuto Ver2.00 正式版</TITLE>", kVersionFound, "Mizuto Ver2.00 正式版が見つかりました。"},
      {"<TITLE>Mizuto 正式版 Ver1.50</TITLE>", kVersionFound, "Mizuto 正式版 Ver1.50が見つかりました。"},
  };
  for (const auto& c : cases) {
    const Outcome outcome = Evaluate(S(c.Page));
    EXPECT_EQ(outcome.Result, c.Result) << c.Page;
    EXPECT_EQ(outcome.Message, c.Message) << c.Page;
  }
  // The out-parameter may be left out.
  EXPECT_EQ(EvaluateVersionPage("<TITLE>Mizuto Ver1.45</TITLE>", kTitle, nullptr),
            kVersionIsCurrent);
}

TEST(VersionPage, TheVersionNumberFollowsVerOrTheName) {
  using V = std::vector<long long>;
  EXPECT_EQ(TitleVersion("Mizuto Ver1.45"), (V{1, 45}));
  EXPECT_EQ(TitleVersion("Mizuto Ver 3.2.1 beta"), (V{3, 2, 1}));
  EXPECT_EQ(TitleVersion("Mizuto 2.5"), (V{2, 5}));
  EXPECT_EQ(TitleVersion("Mizuto Ver1."), (V{1}));  // a full stop ends the sentence
  EXPECT_EQ(TitleVersion("1.9 Mizuto Ver1.45"), (V{1, 45}));  // before the name is no version
  EXPECT_EQ(TitleVersion("Mizuto"), V{});
  EXPECT_EQ(TitleVersion("Mizuto Ver"), V{});
  EXPECT_EQ(TitleVersion("Ver1.45"), V{});
  EXPECT_EQ(TitleVersion(S("Mizuto 第2版 Ver1.5")), (V{1, 5}));
  EXPECT_EQ(TitleVersion(S("Mizuto 第2版")), (V{2}));
}

TEST(VersionPage, PagesThatAreNotVersionPagesAreConnectionErrors) {
  for (const std::string& page : {
           std::string(),
           std::string("<title>Mizuto Ver1.46</title>"),   // tags in lower case
           std::string("<Title>Mizuto Ver1.46</Title>"),
           std::string("<TITLE>Mizuto Ver1.46"),           // never closed
           std::string("Mizuto Ver1.46</TITLE>"),          // never opened
           std::string("</TITLE><TITLE>Mizuto Ver1.46</TITLE>"),  // opened only after the first close
           std::string("<TITLE>Other Ver1.46</TITLE>"),    // not this program
           std::string("<TITLE>mizuto Ver1.46</TITLE>"),   // the name word is case-sensitive
           std::string("<TITLE></TITLE>"),
           std::string("<TITLE>Mizuto</TITLE"),
           std::string("<TITLE>Mizuto</TITLE>"),          // no version number
           S("<TITLE>Mizuto 最新版</TITLE>") }) {
    Outcome outcome = Evaluate(page);
    EXPECT_EQ(outcome.Result, kVersionConnectionError) << page;
    EXPECT_EQ(outcome.Message, "接続エラー") << page;
  }
}

TEST(VersionPage, TheTitleRunsFromTheFirstOpenTagToTheFirstCloseTag) {
  // Only the first "</TITLE>" counts; the first "<TITLE>" before it opens the title, so a
  // second opening tag becomes part of the title text.
  Outcome nested = Evaluate("<TITLE>a<TITLE>Mizuto Ver1.46</TITLE><TITLE>Mizuto Ver1.45</TITLE>");
  EXPECT_EQ(nested.Result, kVersionFound);
  EXPECT_EQ(nested.Message, "a<TITLE>Mizuto Ver1.46が見つかりました。");

  // Whatever lies between the tags is the title, line breaks and all.
  Outcome multiline = Evaluate("<TITLE>\r\nMizuto Ver1.46\r\n</TITLE>");
  EXPECT_EQ(multiline.Result, kVersionFound);
  EXPECT_EQ(multiline.Message, "\r\nMizuto Ver1.46\r\nが見つかりました。");
}

TEST(VersionPage, TagsAndNameAreOnlyFoundOnCharacterBoundaries) {
  // 0x83 0x4D is a katakana whose trail byte is 'M': bytewise, "Mizuto" would be found
  // starting inside it; on character boundaries the title holds only "izuto".
  const std::string swallowedM = std::string("<TITLE>\x83") + "Mizuto Ver1.46</TITLE>";
  EXPECT_EQ(Evaluate(swallowedM).Result, kVersionConnectionError);
  // The same title with the name standing on its own is fine.
  EXPECT_EQ(Evaluate(std::string("<TITLE>\x83\x4D Mizuto Ver1.46</TITLE>")).Result,
            kVersionFound);

  // "表" is 95 5C: its trail byte is a backslash, and a title holding it is kept whole.
  Outcome table = Evaluate(S("<TITLE>Mizuto 表Ver1.46</TITLE>"));
  EXPECT_EQ(table.Result, kVersionFound);
  EXPECT_EQ(table.Message, "Mizuto 表Ver1.46が見つかりました。");
}

TEST(VersionPage, ReplyBodiesBecomeShiftJis) {
  const std::string utf8Page = "<TITLE>Mizuto Ver1.46 版</TITLE>";
  const std::string sjisPage = S(utf8Page);

  // Declared character sets win.
  EXPECT_EQ(VersionPageBodyToSjis(utf8Page, "text/html; charset=UTF-8"), sjisPage);
  EXPECT_EQ(VersionPageBodyToSjis(utf8Page, "text/html;charset=\"utf-8\""), sjisPage);
  EXPECT_EQ(VersionPageBodyToSjis(sjisPage, "text/html; charset=Shift_JIS"), sjisPage);
  EXPECT_EQ(VersionPageBodyToSjis(sjisPage, "text/html; charset=windows-31j"), sjisPage);

  // A byte-order mark says UTF-8 whatever the header claims, and is dropped.
  EXPECT_EQ(VersionPageBodyToSjis("\xEF\xBB\xBF" + utf8Page, ""), sjisPage);

  // Undeclared: well-formed UTF-8 with Japanese in it is converted, Shift-JIS kept as is.
  EXPECT_EQ(VersionPageBodyToSjis(utf8Page, "text/html"), sjisPage);
  EXPECT_EQ(VersionPageBodyToSjis(sjisPage, ""), sjisPage);
  EXPECT_EQ(VersionPageBodyToSjis("<TITLE>Mizuto Ver1.46</TITLE>", ""),
            "<TITLE>Mizuto Ver1.46</TITLE>");
  // Shift-JIS that happens to hold a byte sequence invalid in UTF-8 midway stays bytes.
  const std::string mixed = S("<TITLE>Mizuto 海戦</TITLE>");
  EXPECT_EQ(VersionPageBodyToSjis(mixed, ""), mixed);
}

// An undeclared body is taken for UTF-8 only when it is strictly so: an overlong form, a
// surrogate or a code point past U+10FFFF (each also Shift-JIS half-width katakana or
// double-byte text) leaves the page as the Shift-JIS it then is.
TEST(VersionPage, UndeclaredBodiesWithIllFormedUtf8StayShiftJis) {
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"overlong two bytes, C0 lead", "\xC0\xB1"},     {"overlong two bytes, C1 lead", "\xC1\xBF"},
      {"overlong three bytes", "\xE0\x80\x80"},        {"a surrogate", "\xED\xA0\x80"},
      {"past U+10FFFF", "\xF4\x90\x80\x80"},           {"a lead byte past F4", "\xF5\x80\x80\x80"},
  };
  for (const auto& c : cases) {
    // Beside well-formed UTF-8 Japanese, so that the ill-formed bytes alone decide.
    const std::string body = "<TITLE>Mizuto Ver1.46 " + c.bytes + " 版</TITLE>";
    EXPECT_EQ(VersionPageBodyToSjis(body, "text/html"), body) << c.what;
  }
}

}  // namespace
}  // namespace mizuto
