#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "support/test_basics.h"
#include "text/literal_set.h"
#include "text/sjis.h"

namespace mizuto {
namespace {

using test::S;

// What the set must answer, the slow way: one FindBytes per member.
std::vector<std::size_t> FirstPositions(std::string_view text,
                                        const std::vector<std::string>& members) {
  std::vector<std::size_t> out;
  for (const std::string& m : members) out.push_back(FindBytes(text, m));
  return out;
}

LiteralSet::Hit Lowest(std::string_view text, const std::vector<std::string>& members) {
  LiteralSet::Hit hit;
  for (std::size_t k = 0; k < members.size(); ++k) {
    if (const std::size_t p = FindBytes(text, members[k])) {
      hit.Index = static_cast<int>(k);
      hit.Position = p;
      break;
    }
  }
  return hit;
}

std::vector<std::size_t> Found(const LiteralSet& set, std::string_view text,
                               std::uint64_t* bits = nullptr) {
  std::vector<std::size_t> first(set.Size(), 99);
  const std::uint64_t b = set.FindFirst(text, first.data());
  if (bits) *bits = b;
  return first;
}

TEST(LiteralSet, FirstOccurrenceOfEveryMemberBytewise) {
  // Members of every length class, sharing beginnings and endings, one repeated, one
  // empty, one that only occurs starting on the second byte of a double-byte character.
  const std::vector<std::string> members = {
      S("を撃沈しました！"), S("撃沈されました！"), S("しました"), "", "x", "xy", "xyz",
      S("を撃沈しました！"), "\\", S("の攻撃により、被害甚大"), S("の攻撃により浸水")};
  const LiteralSet set(members);
  ASSERT_EQ(set.Size(), members.size());
  const std::vector<std::string> texts = {
      "",
      "x",
      "xy",
      S("AがBを撃沈しました！しました"),
      S("敵船Cに撃沈されました！xyz"),
      S("表示") + "xy",  // 表 is 95 5C: the backslash member starts inside it
      S("Dの攻撃により浸水が起こりました！Dの攻撃により、被害甚大！"),
      "zzzzxyzzxy",
      S("しましたを撃沈しました"),  // one byte short of a member at the end
  };
  for (const std::string& text : texts) {
    std::uint64_t bits = 0;
    EXPECT_EQ(Found(set, text, &bits), FirstPositions(text, members)) << test::U(text);
    std::uint64_t expected = 0;
    for (std::size_t k = 0; k < members.size(); ++k) {
      if (FindBytes(text, members[k]) != 0) expected |= std::uint64_t{1} << k;
    }
    EXPECT_EQ(bits, expected) << test::U(text);
    const LiteralSet::Hit hit = set.FindLowest(text);
    const LiteralSet::Hit want = Lowest(text, members);
    EXPECT_EQ(hit.Index, want.Index) << test::U(text);
    EXPECT_EQ(hit.Position, want.Position) << test::U(text);
  }

  // The lowest member wins even when a later one occurs further left, and it is reported
  // at its own first occurrence.
  const LiteralSet ordered({"cd", "ab", "b"});
  const LiteralSet::Hit hit = ordered.FindLowest("abcdcd");
  EXPECT_EQ(hit.Index, 0);
  EXPECT_EQ(hit.Position, 3u);
  EXPECT_EQ(ordered.FindLowest("zzz").Index, -1);
  EXPECT_EQ(ordered.FindLowest("zzz").Position, 0u);

  // A periodic member is filed under the same bytes at several offsets, so one probe meets
  // several of its occurrences, and not the leftmost first.
  const LiteralSet periodic({"abababab"});
  EXPECT_EQ(periodic.FindLowest("xabababababab").Position, 2u);
  EXPECT_EQ(Found(periodic, "xabababababab"), std::vector<std::size_t>{2});
}

TEST(LiteralSet, AgreesWithOneSearchPerMemberOnRandomSets) {
  // Small alphabets make members overlap, repeat and share keys, and occurrences fall on
  // every offset of the sampled positions.
  std::mt19937 rng(20240607);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  auto word = [&](int length, int alphabet) {
    std::string w;
    for (int i = 0; i < length; ++i) w += static_cast<char>('a' + pick(0, alphabet - 1));
    return w;
  };
  for (int round = 0; round < 300; ++round) {
    const int alphabet = pick(2, 4);
    // Some rounds have only long members, so the sampling stride grows up to its limit.
    const int shortest = round % 3 == 0 ? pick(4, 14) : 0;
    std::vector<std::string> members;
    const int count = pick(1, 70);
    for (int k = 0; k < count; ++k) members.push_back(word(pick(shortest, 16), alphabet));
    LiteralSet set;
    set.Assign(members);
    for (int t = 0; t < 20; ++t) {
      std::string text = word(pick(0, 60), alphabet);
      // Plant a few members so that long ones occur at all.
      for (int plant = pick(0, 3); plant > 0; --plant) {
        const std::string& m = members[static_cast<std::size_t>(pick(0, count - 1))];
        text.insert(static_cast<std::size_t>(pick(0, static_cast<int>(text.size()))), m);
      }
      ASSERT_EQ(Found(set, text), FirstPositions(text, members))
          << "round " << round << " text " << text;
      const LiteralSet::Hit hit = set.FindLowest(text);
      const LiteralSet::Hit want = Lowest(text, members);
      ASSERT_EQ(hit.Index, want.Index) << "round " << round << " text " << text;
      ASSERT_EQ(hit.Position, want.Position) << "round " << round << " text " << text;
    }
  }
}

TEST(LiteralSet, HoldsComparesMembersAndAssignReplacesThem) {
  const std::vector<std::string> skills = {S("砲撃"), S("回避"), ""};
  LiteralSet set(skills);
  EXPECT_TRUE(set.Holds(skills));
  EXPECT_FALSE(set.Holds({S("砲撃"), S("回避")}));
  EXPECT_FALSE(set.Holds({S("砲撃"), S("回避"), "x"}));
  EXPECT_FALSE(set.Holds({S("回避"), S("砲撃"), ""}));
  // Same bytes in all, cut differently.
  EXPECT_FALSE(LiteralSet({"ab", "c"}).Holds({"a", "bc"}));

  set.Assign({S("速射")});
  EXPECT_EQ(set.Size(), 1u);
  EXPECT_EQ(set.FindLowest(S("X が砲撃")).Index, -1);
  EXPECT_EQ(set.FindLowest(S("Xが速射")).Position, 4u);
  set.Assign({});
  EXPECT_EQ(set.Size(), 0u);
  EXPECT_EQ(set.FindLowest("anything").Index, -1);
}

}  // namespace
}  // namespace mizuto
