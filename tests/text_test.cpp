#include <gtest/gtest.h>

#include "support/test_basics.h"
#include "text/codec.h"
#include "text/sjis.h"

namespace mizuto {
namespace {

using test::S;

TEST(Codec, LiteralsBecomeTheirCp932Bytes) {
  // "表示": the second byte of 表 is 0x5C, the byte of a backslash.
  EXPECT_EQ(SJ("表示"), std::string("\x95\x5c\x8e\xa6"));
  EXPECT_EQ(SJ("…"), std::string("\x81\x63"));
  EXPECT_EQ(SJ("･･･"), std::string("\xa5\xa5\xa5"));
  EXPECT_EQ(SJ("､"), std::string("\xa4"));
  EXPECT_EQ(SJ("→"), std::string("\x81\xa8"));
  EXPECT_EQ(SjisToUtf8(SJ("味方陣営と引き分けました")), "味方陣営と引き分けました");
}

TEST(Codec, UnmappableAndMalformedInputBecomeQuestionMarks) {
  EXPECT_EQ(Utf8ToSjis("a\xff\xfe" "b"), "a??b");
  EXPECT_EQ(Utf8ToSjis("x😀y"), "x?y");
  EXPECT_EQ(Utf8ToSjis("caf\xc3"), "caf?");  // a sequence cut off at the end
  EXPECT_EQ(Utf8ToSjis(""), "");
}

TEST(SjisText, BytewiseSearchMatchesInsideDoubleByteCharactersCharacterSearchDoesNot) {
  const std::string text = SJ("表示");  // 95 5C 8E A6
  EXPECT_EQ(FindBytes(text, "\\"), 2u);
  EXPECT_EQ(FindChar(text, "\\"), 0u);
  EXPECT_EQ(FindChar(text + "\\", "\\"), 5u);
  EXPECT_EQ(FindBytes("abcabc", "c", 4), 6u);
  EXPECT_EQ(FindBytes("abc", ""), 0u);
  EXPECT_EQ(FindChar("abc", ""), 0u);
  // Half-width katakana are single bytes: the character search steps one byte over them.
  EXPECT_EQ(FindChar(SJ("ｱｲ") + "x", "x"), 3u);
}

// One parser reads every integer: settings values, item kinds, point messages, the interval
// field and the command line.
TEST(SjisText, DecimalIntegersWithinThirtyTwoBits) {
  const struct {
    const char* text;
    bool ok;
    std::int32_t value;
  } cases[] = {{"0", true, 0},           {"+7", true, 7},   {"-12", true, -12},
               {"007", true, 7},         {"2147483647", true, 2147483647},
               {"-2147483648", true, -2147483647 - 1},
               {"2147483648", false, 0}, {"-2147483649", false, 0},
               {"", false, 0},           {"+", false, 0},   {"-", false, 0},
               {"1a", false, 0},         {" 1", false, 0},  {"1 ", false, 0},
               {"99999999999999999999", false, 0}};
  for (const auto& c : cases) {
    std::int32_t value = 42;
    EXPECT_EQ(ParseDecimal(c.text, &value), c.ok) << c.text;
    EXPECT_EQ(value, c.ok ? c.value : 42) << c.text;
  }
}

TEST(SjisText, CutsAndDeletesCountBytes) {
  EXPECT_EQ(CutBytes("abcdef", 3), "abc");
  EXPECT_EQ(CutBytes("abcdef", 0), "");
  EXPECT_EQ(CutBytes("abcdef", -2), "");
  EXPECT_EQ(CutBytes("abc", 10), "abc");
  EXPECT_EQ(FromByte("abcdef", 3), "cdef");
  EXPECT_EQ(FromByte("abc", 4), "");
  EXPECT_EQ(DeleteBytes("abcdef", 2, 3), "aef");
  EXPECT_EQ(DeleteBytes("abcdef", 5, 10), "abcd");
}

TEST(SjisText, ReplaceAllTextRescansFromTheStart) {
  EXPECT_EQ(ReplaceAllText("a&gt;b&gt;c", "&gt;", ">"), "a>b>c");
  EXPECT_EQ(ReplaceAllText("aabb", "ab", ""), "");  // the removal forms a new "ab"
  EXPECT_EQ(ReplaceAllText("aaab", "ab", "a"), "aaa");
  EXPECT_EQ(ReplaceAllText("xyz", "q", "r"), "xyz");
  EXPECT_EQ(ReplaceAllText("&&gt;gt;", "&gt;", ">"), "&>gt;");
}

}  // namespace
}  // namespace mizuto

namespace mizuto {
namespace {

// The per-line conversion must give exactly the converter's own results for every BMP
// character, also those it drops (default-ignorable ones) or replaces.
TEST(Codec, TableConversionAgreesWithTheConverterOnEveryCharacter) {
  ASSERT_TRUE(FastConversionAvailable());
  std::string all;
  for (std::uint32_t cp = 1; cp < 0x10000; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    if (cp < 0x80) {
      all += static_cast<char>(cp);
    } else if (cp < 0x800) {
      all += static_cast<char>(0xC0 | (cp >> 6));
      all += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      all += static_cast<char>(0xE0 | (cp >> 12));
      all += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      all += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  // A malformed byte at the end sends the whole text through the converter itself.
  const std::string viaConverter = Utf8ToSjis(all + "\xff");
  ASSERT_EQ(viaConverter.back(), '?');
  EXPECT_EQ(Utf8ToSjis(all), viaConverter.substr(0, viaConverter.size() - 1));
#ifdef MIZUTO_CODEC_WINDOWS
  EXPECT_EQ(Utf8ToSjis("a\xc2\xad" "b"), "a?b");  // soft hyphen: the system has no byte for it
#else
  EXPECT_EQ(Utf8ToSjis("a\xc2\xad" "b"), "ab");  // soft hyphen: dropped by ICU's converter
#endif
}

}  // namespace
}  // namespace mizuto
