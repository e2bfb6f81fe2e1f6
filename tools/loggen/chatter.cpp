// The talk of the log: chat on every channel, port and system messages, announcements,
// lines in the ignored colour, and skill and item uses.
#include <algorithm>

#include "generator.h"
#include "messages.h"

namespace mizuto::loggen {

namespace {

constexpr std::string_view kHarbourTalk[] = {
    "こんばんは", "おつかれさまです", "よろしくお願いします", "今日はどこへ行きますか？",
    "補給してから出ます", "了解です", "ありがとうございます！", "ナイスでした", "gg", "brb",
    "lol", "まだ募集してますか？", "交易品の相場が上がってますね", "次の演習は何時から？",
    "&gt;&gt; 了解、すぐ向かいます", "R&amp;D 班の報告待ちです", "北の灯台で待ち合わせましょう",
    "改装が終わりました", "wwww", "なるほど", "眠いので落ちます、おやすみなさい", "asap pls",
    "ok&nbsp;&nbsp;thx", "その件は後で相談しましょう", "港の酒場で一杯どうですか",
    "新しい帆布を仕入れました", "ちょっと修理してきます", "大海戦、楽しみですね", "今回は中型で出ます",
    "1:1 で演習お願いできますか", "&gt; 了解", "「潮見の岬」まで護衛お願いします", "&lt;3",
    "see you at the north cape", "誰か火薬を余らせてませんか", "今日は風が良いですね"};

constexpr std::string_view kBattleTalk[] = {
    "左舷から回り込みます", "旗艦を狙って！", "援護します", "修理入ります", "一旦下がります",
    "右舷注意！", "ナイス！", "集中砲火お願いします", "逃げられそう", "白兵いきます",
    "&gt;&gt; 了解", "あと少し！", "gg", "風上を取りました", "弾が切れそうです", "nice shot",
    "後ろに一隻いますよ", "耐えてください！", "回復します", "もう一隻来ます"};

constexpr std::string_view kRoomTags[3] = {"[雑談]", "[交易]", "[募集]"};  // six bytes each in Shift-JIS

constexpr std::string_view kPorts[] = {"潮凪港", "白砂港", "北灯台港", "翠湾港", "霧笛港"};

template <std::size_t N>
std::string_view PickFrom(Rng& rng, const std::string_view (&pool)[N]) {
  return pool[static_cast<std::size_t>(rng.Below(static_cast<int>(N)))];
}

}  // namespace

int Generator::Speaker() {
  if (playerCount_ == 0 || rng_.Percent(10)) return 0;
  if (rng_.Percent(50)) return speakerOrder_[speakerCursor_++ % speakerOrder_.size()];
  return rng_.Between(1, playerCount_);
}

void Generator::ChatLine(bool inBattle) {
  const std::string phrase(inBattle && rng_.Percent(70) ? PickFrom(rng_, kBattleTalk)
                                                        : PickFrom(rng_, kHarbourTalk));
  const int who = Speaker();
  const std::string said = Name(who) + "：" + phrase;
  switch (inBattle ? rng_.Weighted({20, 40, 8, 6, 5, 11, 10}) : rng_.Weighted({28, 18, 8, 6, 5, 14, 10})) {
    case 0: out_.Font(kSayColour, said); break;
    case 1: out_.Font(kPartyColour, said); break;
    case 2: case 3: case 4: {
      const int room = rng_.Below(3);
      out_.Font(kRoomColours[room], std::string(kRoomTags[room]) + said);
      break;
    }
    case 5: out_.Font(kCompanyColour, said); break;
    default:
      if (who == 0) {
        out_.Font(kTellColour, "&gt;&gt;" + Name(rng_.Between(1, std::max(1, playerCount_))) + " " + phrase);
      } else {
        out_.Font(kTellColour, Name(who) + "&gt;&gt; " + phrase);
      }
      break;
  }
}

void Generator::SystemChatter() {
  const std::string port(PickFrom(rng_, kPorts));
  switch (rng_.Below(6)) {
    case 0: Sys(port + "に入港しました"); break;
    case 1: Sys(port + "を出港しました"); break;
    case 2: Sys("所持金が" + std::to_string(rng_.Between(100, 9999) * 10) + "増えました"); break;
    case 3: Sys("乗組員が" + std::to_string(rng_.Between(2, 40)) + "名加わりました"); break;
    case 4: Sys(std::string("天候が変わりました：") + (rng_.Percent(50) ? "霧" : "晴れ")); break;
    default:
      if (!lists_.Items.empty()) Sys(lists_.Items[static_cast<std::size_t>(rng_.Skewed(static_cast<int>(lists_.Items.size())))].Name + "を手に入れました");
      else Sys(port + "に入港しました");
      break;
  }
}

void Generator::NoticeChatter() {
  switch (rng_.Below(4)) {
    case 0: out_.Font(kNoticeColour, "本日22時より定期メンテナンスを行います"); break;
    case 1: out_.Font(kNoticeColour, Said(kPhaseNotice) + "参加受付を開始しました"); break;
    case 2: out_.Font(kNoticeColour, Said(kPhaseNotice) + "開戦まで残り10分です"); break;
    default: out_.Font(kNoticeColour, "北方の海域に嵐が近づいています"); break;
  }
}

void Generator::IgnoredLine() {
  switch (rng_.Below(3)) {
    case 0: out_.Font(kIgnoredColour, "[info] 自動保存しました"); break;
    case 1: out_.Font(kIgnoredColour, "[info] 現在の接続数: " + std::to_string(rng_.Between(800, 4000))); break;
    default: out_.Font(kIgnoredColour, "[info] " + Name(Speaker()) + " がログインしました"); break;
  }
}

void Generator::SkillLine(int person) {
  if (lists_.Skills.empty()) return;
  const std::string& skill = lists_.Skills[static_cast<std::size_t>(rng_.Skewed(static_cast<int>(lists_.Skills.size())))];
  // The owner's own line begins with the skill; anyone else's begins with the name.
  Sys(person == 0 ? skill + Said(kUseSkill) : Name(person) + Said(kMarkGa) + skill + Said(kUseSkill));
}

void Generator::ItemLine(int person, bool inBattle) {
  if (lists_.Items.empty()) return;
  const std::string& item = lists_.Items[static_cast<std::size_t>(rng_.Skewed(static_cast<int>(lists_.Items.size())))].Name;
  if (person == 0) {
    Sys(item + Said(kUseItem));
    return;
  }
  // In port the game also writes "<name>は<item>を使いました"; only the "が" form names
  // the user in a way that the battle analysis counts, and that is the form in battle.
  const std::string particle = !inBattle && rng_.Percent(50) ? "は" : Said(kMarkGa);
  Sys(Name(person) + particle + item + Said(kUseItem));
}

}  // namespace mizuto::loggen
