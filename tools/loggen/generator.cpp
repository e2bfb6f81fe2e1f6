#include "generator.h"

#include <algorithm>
#include <cstdio>

namespace mizuto::loggen {

namespace {

constexpr std::string_view kClosing = "</BODY></HTML>\r\n";
// A chat line never reaches this many bytes; padding stops this far before its target so
// that the last gap can be closed exactly.
constexpr std::uint64_t kChatLineMax = 400;

}  // namespace

Generator::Generator(const Options& options, const Lists& lists, const Cast& cast,
                     LogWriter& out)
    : options_(options), lists_(lists), cast_(cast), out_(out), rng_(StreamSeed(options.Seed, 3)) {
  names_.push_back(cast.Owner);
  for (const std::string& p : cast.Players) names_.push_back(p);
  playerCount_ = static_cast<int>(cast.Players.size());
  auto addShips = [&](const std::vector<std::string>& ships, std::vector<int>& ids) {
    for (const std::string& s : ships) {
      ids.push_back(static_cast<int>(names_.size()));
      names_.push_back(s);
    }
  };
  addShips(cast.OwnCampShips, ownCampShips_);
  addShips(cast.EnemyCampShips, enemyCampShips_);
  addShips(cast.NpcShips, npcShips_);

  // Fleets of one to five players; small player counts still give three fleets or more,
  // so that there is always someone to fight and someone to reinforce.
  std::vector<int> order;
  for (int i = 1; i <= playerCount_; ++i) order.push_back(i);
  rng_.Shuffle(order);
  std::size_t at = 0;
  while (at < order.size()) {
    const int remaining = static_cast<int>(order.size() - at);
    const int size = std::min(remaining, rng_.Between(1, std::clamp(remaining / 3, 1, 5)));
    fleets_.emplace_back(order.begin() + static_cast<long>(at),
                         order.begin() + static_cast<long>(at + static_cast<std::size_t>(size)));
    at += static_cast<std::size_t>(size);
  }
  for (int i = 0; i < static_cast<int>(fleets_.size()); ++i) enemyOrder_.push_back(i);
  rng_.Shuffle(enemyOrder_);
  speakerOrder_ = order;
  rng_.Shuffle(speakerOrder_);
}

std::vector<int> Generator::OwnFleet() const {
  if (ownerFleet_ < 0) return {0};
  return fleets_[static_cast<std::size_t>(ownerFleet_)];
}

// Fleets are met in turn, so that over enough battles every player ends up in one.
int Generator::NextEnemyFleet(int alsoExcept) {
  for (std::size_t tries = 0; tries < enemyOrder_.size(); ++tries) {
    const int f = enemyOrder_[enemyCursor_++ % enemyOrder_.size()];
    if (f != ownerFleet_ && f != alsoExcept) return f;
  }
  return -1;
}

bool Generator::HasItem(std::string_view name) const {
  for (const ItemEntry& e : lists_.Items)
    if (e.Name == name) return true;
  return false;
}

std::vector<BattlePlan> Generator::MakePlan() {
  const int recorded = options_.Battles;
  std::vector<BattlePlan> plan;

  // Decks rather than plain chance: the first battles already show every kind and every
  // result, however few battles are asked for.
  std::vector<int> kindDeck, resultDeck{0, 1, 2, 3, 4, 5}, campDeck{kVictory, kDefeat, kDraw};
  rng_.Shuffle(resultDeck);
  rng_.Shuffle(campDeck);
  std::size_t resultAt = 0, campAt = 0;
  int normalOrdinal = 0;

  auto normal = [&]() {
    if (kindDeck.empty()) {
      kindDeck = {kAssault, kAssault, kAssault, kEngagement, kEngagement, kEngagement,
                  kReinforcement, kReinforcement};
      rng_.Shuffle(kindDeck);
    }
    BattlePlan b;
    b.Kind = kindDeck.back();
    kindDeck.pop_back();
    const int r = resultAt < resultDeck.size() ? resultDeck[resultAt++]
                                                : rng_.Weighted({20, 50, 10, 7, 7, 6});
    b.Result = r == 5 ? kWithdrawn : r;
    b.AllShipsLeft = r == 5;
    if (normalOrdinal == 2) {
      b.NotCounted = 1;
    } else if (normalOrdinal == 6) {
      b.NotCounted = 2;
      b.NotCountedText = 1;
    } else if (rng_.Percent(5)) {
      b.NotCounted = rng_.Between(1, 2);
      b.NotCountedText = rng_.Below(2);
    }
    ++normalOrdinal;
    return b;
  };
  auto camp = [&]() {
    BattlePlan b;
    b.Kind = kCampBattle;
    b.Result = campAt < campDeck.size() ? campDeck[campAt++]
                                        : std::vector<int>{kVictory, kDefeat, kDraw}[static_cast<std::size_t>(
                                              rng_.Weighted({50, 35, 15}))];
    return b;
  };

  while (static_cast<int>(plan.size()) < recorded) {
    const int calm = rng_.Between(2, 5);
    for (int i = 0; i < calm && static_cast<int>(plan.size()) < recorded; ++i) plan.push_back(normal());
    if (static_cast<int>(plan.size()) >= recorded) break;
    // A large naval battle event: opening, middle and final phase, camp battles among
    // the ordinary ones.
    const int len = std::min(rng_.Between(3, 6), recorded - static_cast<int>(plan.size()));
    const int campSlot = rng_.Below(len);
    for (int i = 0; i < len; ++i) {
      BattlePlan b = (i == campSlot || rng_.Percent(40)) ? camp() : normal();
      if (i == 0) b.PhaseBefore = 1;
      else if (len >= 3 && i == len / 3) b.PhaseBefore = 2;
      else if (len >= 3 && i == 2 * len / 3) b.PhaseBefore = 3;
      b.EventEndsAfter = i == len - 1;
      plan.push_back(b);
    }
  }

  // NPC battles between the recorded ones, never last.
  const int npc = options_.NpcBattles >= 0 ? options_.NpcBattles : recorded / 12;
  if (recorded > 0) {
    for (int j = npc - 1; j >= 0; --j) {
      const int after = std::min(recorded - 1, (j + 1) * recorded / (npc + 1));
      BattlePlan b;
      b.Npc = true;
      b.Kind = rng_.Percent(60) ? kAssault : kEngagement;
      b.Result = std::vector<int>{kVictory, kDefeat, kEscaped, kWithdrawn}[static_cast<std::size_t>(
          rng_.Weighted({55, 15, 20, 10}))];
      // Insert after the `after`-th recorded battle (counting from 1).
      int seen = 0;
      std::size_t pos = 0;
      while (pos < plan.size() && seen < std::max(after, 1)) {
        if (!plan[pos].Npc) ++seen;
        ++pos;
      }
      plan.insert(plan.begin() + static_cast<long>(pos), b);
    }
  }
  if (options_.OpenBattle && !plan.empty()) plan.back().Open = true;
  return plan;
}

void Generator::PhaseNotice(int phase) {
  std::string text;
  switch (phase) {
    case 1: text = "『大海戦』の第" + std::to_string(++eventNumber_) + "回が開戦しました！"; break;
    case 2: text = "『大海戦』の中盤戦を開始します"; break;
    case 3: text = "『大海戦』の終盤戦を開始します"; break;
    default: text = "『大海戦』の全ての海戦を終了いたします"; break;
  }
  out_.Font(kNoticeColour, text);
}

// Joining, leading and leaving fleets; the analysis takes each battle's admiral from here.
void Generator::FleetNews() {
  if (ownerFleet_ < 0) {
    const int f = NextEnemyFleet(-1);
    if (f < 0) return;
    std::vector<int>& fleet = fleets_[static_cast<std::size_t>(f)];
    if (rng_.Percent(60)) {
      out_.Font(kPartyColour, "提督・" + Name(fleet[0]) + "の艦隊に参加しました");
      fleet.push_back(0);
      out_.Font(kPartyColour, Name(fleet[0]) + "：ようこそ！よろしくです");
    } else {
      out_.Font(kPartyColour, Name(0) + "が提督になりました");
      for (int m : fleet) out_.Font(kPartyColour, Name(m) + "が艦隊に加わりました");
      fleet.insert(fleet.begin(), 0);
    }
    ownerFleet_ = f;
    return;
  }
  std::vector<int>& fleet = fleets_[static_cast<std::size_t>(ownerFleet_)];
  if (fleet.size() > 1 && rng_.Percent(45)) {
    const std::size_t who = 1 + static_cast<std::size_t>(rng_.Below(static_cast<int>(fleet.size()) - 1));
    std::swap(fleet[0], fleet[who]);
    out_.Font(kPartyColour, Name(fleet[0]) + "が提督になりました");
    return;
  }
  out_.Font(kPartyColour, "艦隊が解散しました");
  fleet.erase(std::find(fleet.begin(), fleet.end(), 0));
  ownerFleet_ = -1;
}

void Generator::Interlude(bool fleetNewsLikely) {
  const int lines = rng_.Between(3, 9);
  const int newsAt = rng_.Percent(fleetNewsLikely ? 65 : 30) ? rng_.Below(lines) : -1;
  for (int i = 0; i < lines; ++i) {
    if (i == newsAt) FleetNews();
    switch (rng_.Weighted({62, 12, 8, 6, 4, 8})) {
      case 0: ChatLine(false); break;
      case 1: SystemChatter(); break;
      case 2: {
        // Skills and items used in port: outside a battle they count for nothing.
        const int who = rng_.Percent(50) ? 0 : Speaker();
        if (rng_.Percent(50)) SkillLine(who);
        else ItemLine(who, false);
        break;
      }
      case 3: IgnoredLine(); break;
      case 4: NoticeChatter(); break;
      default:
        if (ownerFleet_ >= 0) {
          const std::vector<int>& fleet = fleets_[static_cast<std::size_t>(ownerFleet_)];
          const int m = fleet[static_cast<std::size_t>(rng_.Below(static_cast<int>(fleet.size())))];
          if (m != 0) out_.Font(kPartyColour, Name(m) + "：" + (rng_.Percent(50) ? "補給完了、いつでも出られます" : "少し離席します"));
        } else {
          ChatLine(false);
        }
        break;
    }
  }
}

void Generator::PadWithChat(std::uint64_t target) {
  while (out_.Bytes() + 2 * kChatLineMax < target) ChatLine(false);
}

// Ignored-colour lines whose length closes the gap to `target` exactly.
void Generator::PadExactly(std::uint64_t target) {
  const std::uint64_t overhead = LogWriter::FontLineBytes(0);
  const std::string_view head = "[info] autosave ";
  while (out_.Bytes() + overhead + head.size() < target) {
    std::uint64_t text = target - out_.Bytes() - overhead;
    if (text > 3000) text = 1500;
    out_.Font(kIgnoredColour, std::string(head) + std::string(text - head.size(), '.'));
  }
}

void Generator::Run() {
  Rng stamp(StreamSeed(options_.Seed, 4));
  char title[64];
  std::snprintf(title, sizeof title, "%04d/%02d/%02d %02d:%02d", 2020 + stamp.Below(6),
                stamp.Between(1, 12), stamp.Between(1, 28), stamp.Between(0, 23), stamp.Between(0, 59));
  out_.Raw("<HTML><HEAD>\r\n");
  out_.Raw("<META http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\">\r\n");
  out_.Raw(std::string("<TITLE>Chat Log ") + title + "</TITLE>\r\n");
  out_.Raw("</HEAD><BODY bgcolor=\"#000000\" text=\"#ffffff\">\r\n");
  Sys("航海日誌の記録を開始しました");
  out_.Font(kIgnoredColour, "[info] 接続サーバー: 第3サーバー");

  const std::vector<BattlePlan> plan = MakePlan();
  const std::uint64_t size = options_.Size;
  const std::uint64_t segment = size / (plan.size() + 1);
  bool newsLikely = false;
  bool eventOpen = false;
  for (std::size_t k = 0; k < plan.size(); ++k) {
    const BattlePlan& b = plan[k];
    const std::uint64_t segmentEnd = segment * (k + 1);
    Interlude(newsLikely);
    if (b.PhaseBefore != 0) {
      PhaseNotice(b.PhaseBefore);
      if (b.PhaseBefore == 1) eventOpen = true;
      if (rng_.Percent(50)) ChatLine(false);
    }
    // Part of the padding goes into the battle itself (long fights, talk during them),
    // the rest into the talk between battles.
    std::uint64_t filler = 0;
    const std::uint64_t natural = b.Kind == kCampBattle ? 9000 : 5000;
    if (size != 0 && segmentEnd > out_.Bytes() + natural)
      filler = (segmentEnd - out_.Bytes() - natural) * 45 / 100;
    WriteBattle(b, filler);
    if (b.Open) break;
    newsLikely = b.Kind == kCampBattle || b.Result == kDraw;
    if (b.EventEndsAfter) {
      ChatLine(false);
      PhaseNotice(4);
      eventOpen = false;
    }
    if (size != 0) PadWithChat(segmentEnd);
  }
  const bool open = !plan.empty() && plan.back().Open;
  if (!open) {
    Interlude(newsLikely);
    if (eventOpen) PhaseNotice(4);
  }
  // The padding goes before the fixed last lines, so that the file ends as a log does.
  const std::string_view lastLine = "航海日誌の記録を終了しました";
  const std::uint64_t tail = open ? 0 : LogWriter::FontLineBytes(lastLine.size()) + kClosing.size();
  if (size > tail) {
    PadWithChat(size - tail);
    PadExactly(size - tail);
  }
  if (!open) {
    Sys(lastLine);
    out_.Raw(kClosing);
  }
}

}  // namespace mizuto::loggen
