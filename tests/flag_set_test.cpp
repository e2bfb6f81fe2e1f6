#include <gtest/gtest.h>

#include <bitset>
#include <cstdint>
#include <cstring>
#include <optional>
#include <random>
#include <string>

#include "battle/tables.h"
#include "ingest/chat_log_reader.h"
#include "platform/flag_set.h"

namespace mizuto {
namespace {

enum class Colour : std::uint8_t { Red, Green, Blue };
using Colours = FlagSet<Colour, 3>;
// As wide as its bits: the mask of every flag must not overflow.
enum class Wide : std::uint8_t { First = 0, Last = 31 };
using WideSet = FlagSet<Wide, 32>;

// Each operation from a set given by its stored number: what it answers, as a stored number
// for a set and 0/1 for a question.
TEST(FlagSet, EachOperationOnEverySmallSet) {
  enum class Op { Has, With, Without, Only, Empty, Lowest, Or, And };
  const struct {
    unsigned start;
    Op op;
    Colour flag;        // Has, With, Without, Only
    unsigned other;     // Or, And: the other set's stored number
    unsigned expected;  // Lowest: the flag's value + 1, 0 for none
  } cases[] = {
      {0, Op::Has, Colour::Red, 0, 0},       {1, Op::Has, Colour::Red, 0, 1},
      {6, Op::Has, Colour::Red, 0, 0},       {6, Op::Has, Colour::Blue, 0, 1},
      {2, Op::Has, Colour::Green, 0, 1},     {5, Op::Has, Colour::Green, 0, 0},
      {0, Op::With, Colour::Blue, 0, 4},     {4, Op::With, Colour::Blue, 0, 4},
      {3, Op::With, Colour::Blue, 0, 7},     {1, Op::With, Colour::Green, 0, 3},
      {7, Op::Without, Colour::Green, 0, 5}, {5, Op::Without, Colour::Green, 0, 5},
      {1, Op::Without, Colour::Red, 0, 0},   {0, Op::Without, Colour::Blue, 0, 0},
      {1, Op::Only, Colour::Red, 0, 1},      {3, Op::Only, Colour::Red, 0, 0},
      {0, Op::Only, Colour::Red, 0, 0},      {4, Op::Only, Colour::Blue, 0, 1},
      {2, Op::Only, Colour::Blue, 0, 0},     {0, Op::Empty, Colour::Red, 0, 1},
      {4, Op::Empty, Colour::Red, 0, 0},     {0, Op::Lowest, Colour::Red, 0, 0},
      {1, Op::Lowest, Colour::Red, 0, 1},    {6, Op::Lowest, Colour::Red, 0, 2},
      {4, Op::Lowest, Colour::Red, 0, 3},    {7, Op::Lowest, Colour::Red, 0, 1},
      {1, Op::Or, Colour::Red, 4, 5},        {0, Op::Or, Colour::Red, 0, 0},
      {3, Op::Or, Colour::Red, 6, 7},        {3, Op::And, Colour::Red, 6, 2},
      {5, Op::And, Colour::Red, 2, 0},       {7, Op::And, Colour::Red, 7, 7},
  };
  for (const auto& c : cases) {
    const Colours set = Colours::FromStored(c.start);
    const Colours other = Colours::FromStored(c.other);
    unsigned got = 0;
    switch (c.op) {
      case Op::Has: got = set.Has(c.flag); break;
      case Op::With: got = set.With(c.flag).ToStored(); break;
      case Op::Without: got = set.Without(c.flag).ToStored(); break;
      case Op::Only: got = set.Only(c.flag); break;
      case Op::Empty: got = set.Empty(); break;
      case Op::Lowest: got = set.Lowest() ? static_cast<unsigned>(*set.Lowest()) + 1 : 0; break;
      case Op::Or: got = (set | other).ToStored(); break;
      case Op::And: got = (set & other).ToStored(); break;
    }
    EXPECT_EQ(got, c.expected) << "set " << c.start << " op " << static_cast<int>(c.op) << " flag "
                               << static_cast<int>(c.flag) << " other " << c.other;
  }
}

// Against a plain bit model: every operation on random sets, from stored numbers that may
// hold bits of no flag (a damaged figure), which FromStored drops.
TEST(FlagSet, AgreesWithAPlainBitModel) {
  const std::uint32_t seed = 20261209;
  std::mt19937 random(seed);
  for (int i = 0; i < 2000; ++i) {
    const std::int64_t stored = static_cast<std::int64_t>(random()) - (1ll << 31);
    const std::int64_t otherStored = static_cast<std::int64_t>(random());
    const auto flag = static_cast<Colour>(random() % 3);
    const std::bitset<3> model(static_cast<std::uint64_t>(stored) & 7);
    const std::bitset<3> otherModel(static_cast<std::uint64_t>(otherStored) & 7);
    const std::size_t bit = static_cast<std::size_t>(flag);
    SCOPED_TRACE("seed " + std::to_string(seed) + " step " + std::to_string(i));

    Colours set = Colours::FromStored(stored);
    const Colours other = Colours::FromStored(otherStored);
    ASSERT_EQ(set.ToStored(), model.to_ulong());
    EXPECT_EQ(set.Has(flag), model.test(bit));
    EXPECT_EQ(set.With(flag).ToStored(), std::bitset<3>(model).set(bit).to_ulong());
    EXPECT_EQ(set.Without(flag).ToStored(), std::bitset<3>(model).reset(bit).to_ulong());
    EXPECT_EQ(set.Only(flag), model == std::bitset<3>().set(bit));
    EXPECT_EQ(set.Empty(), model.none());
    EXPECT_EQ((set | other).ToStored(), (model | otherModel).to_ulong());
    EXPECT_EQ((set & other).ToStored(), (model & otherModel).to_ulong());
    EXPECT_EQ(set | other, other | set);
    EXPECT_EQ(set == other, model == otherModel);
    set |= other;
    EXPECT_EQ(set.ToStored(), (model | otherModel).to_ulong());
  }
}

TEST(FlagSet, TheWidestSetKeepsItsTopFlagAndAll) {
  EXPECT_EQ(WideSet::All().ToStored(), 0xFFFFFFFFu);
  EXPECT_EQ(WideSet::FromStored(-1).ToStored(), 0xFFFFFFFFu);
  EXPECT_EQ(WideSet{Wide::Last}.ToStored(), 0x80000000u);
  EXPECT_EQ(WideSet{Wide::Last}.Lowest(), Wide::Last);
  EXPECT_EQ(Colours::All().ToStored(), 7u);
  EXPECT_EQ(Colours::FromStored(std::int64_t{-1}).ToStored(), 7u);
  EXPECT_EQ(Colours::FromStored(std::uint8_t{0xF8}).ToStored(), 0u);
}

// The name table's statistics start as zero pages: all-zero memory must read as no side and
// no relation.
TEST(FlagSet, AllZeroMemoryIsTheEmptySet) {
  alignas(NameBattleStats) unsigned char bytes[sizeof(NameBattleStats)];
  std::memset(bytes, 0, sizeof bytes);
  NameBattleStats stats;
  std::memcpy(&stats, bytes, sizeof stats);
  EXPECT_TRUE(stats.Sides.Empty());
  EXPECT_TRUE(stats.OwnerRelations.Empty());
  stats.AddSide(Side::Enemy);
  stats.AddSide(Side::Own);
  EXPECT_EQ(stats.Sides.ToStored(), 3u);
  stats.SetOnlySide(Side::Own);
  EXPECT_TRUE(stats.OnlyOn(Side::Own));
  EXPECT_FALSE(stats.OnlyOn(Side::Enemy));
  EXPECT_EQ(SideSet{}, SideSet::FromStored(0));
}

// What the history keeps for every value: the stored numbers are the file's, and each comes
// back as the value it was made from.
TEST(StoredNumbers, EveryValueKeepsItsNumberAndComesBack) {
  const struct { SideSet set; unsigned stored; } sides[] = {
      {SideSet{}, 0}, {SideSet{Side::Own}, 1}, {SideSet{Side::Enemy}, 2}, {SideSet{Side::Own, Side::Enemy}, 3}};
  for (const auto& s : sides) {
    EXPECT_EQ(s.set.ToStored(), s.stored);
    EXPECT_EQ(SideSet::FromStored(s.stored), s.set) << s.stored;
  }
  const struct { RelationSet set; unsigned stored; } relations[] = {
      {RelationSet{}, 0},
      {RelationSet{OwnerRelation::TakenOutByOwner}, 1},
      {RelationSet{OwnerRelation::TookOwnerOut}, 2},
      {RelationSet{OwnerRelation::TakenOutByOwner, OwnerRelation::TookOwnerOut}, 3}};
  for (const auto& r : relations) {
    EXPECT_EQ(r.set.ToStored(), r.stored);
    EXPECT_EQ(RelationSet::FromStored(r.stored), r.set) << r.stored;
  }

  const struct { BattleKind kind; std::int32_t stored; } kinds[] = {
      {BattleKind::Assault, 1}, {BattleKind::Engagement, 2}, {BattleKind::Reinforcement, 3}, {BattleKind::Camp, 4}};
  for (const auto& k : kinds) {
    EXPECT_EQ(ToStored(k.kind), k.stored);
    EXPECT_EQ(KindFromStored(k.stored), k.kind) << k.stored;
  }
  const struct { BattleResult result; std::int32_t stored; } results[] = {
      {BattleResult::Defeat, 0}, {BattleResult::Victory, 1}, {BattleResult::Escaped, 2},
      {BattleResult::Withdrawn, 3}, {BattleResult::Draw, 4}};
  for (const auto& r : results) {
    EXPECT_EQ(ToStored(r.result), r.stored);
    EXPECT_EQ(ResultFromStored(r.stored), r.result) << r.stored;
  }
  // A number that names nothing (a damaged row) comes back as itself, not as a real value.
  for (const std::int64_t stored : {0ll, 5ll, 9ll, -1ll}) {
    EXPECT_EQ(ToStored(KindFromStored(stored)), stored);
  }
  for (const std::int64_t stored : {5ll, 7ll, -3ll}) {
    EXPECT_EQ(ToStored(ResultFromStored(stored)), stored);
  }
}

// Each channel's bit is its place in the reader's tables of tags and colours.
TEST(StoredNumbers, EachChannelIsItsPlaceInTheTagAndColourTables) {
  const struct { Channel channel; const char* tag; const char* colour; } channels[] = {
      {Channel::System, "~0", "80aaff"},     {Channel::Party, "~1", "10c870"},  {Channel::Say, "~2", "ffffff"},
      {Channel::FirstRoom, "~3", "ffc080"},  {Channel::SecondRoom, "~4", "aef40a"},
      {Channel::ThirdRoom, "~5", "ff9ad5"},  {Channel::Company, "~6", "80ffff"},
      {Channel::Tell, "~7", "f2f279"},       {Channel::Event, "~8", "ff8080"},  {Channel::Unkept, "~9", "d4d4d4"}};
  for (std::size_t i = 0; i < std::size(channels); ++i) {
    const auto& c = channels[i];
    EXPECT_EQ(static_cast<std::size_t>(c.channel), i);
    EXPECT_EQ(ChannelSet{c.channel}.ToStored(), 1u << i);
    EXPECT_STREQ(kChannelTags[i], c.tag);
    EXPECT_STREQ(kChannelColours[i], c.colour);
  }
  EXPECT_EQ(ChannelSet::All().ToStored(), 0x3FFu);
}

}  // namespace
}  // namespace mizuto
