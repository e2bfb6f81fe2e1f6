#include "cast.h"

#include <stdexcept>
#include <string_view>

#include "rng.h"
#include "text/codec.h"

namespace mizuto::loggen {

namespace {

// Pieces of the game's message wording. A name holding one of them would be split
// wrongly by the analysis (a name with "が" defeats the split at "が", one with "の船"
// the split of a mine message, and so on), so no generated name holds any.
constexpr std::string_view kReservedFragments[] = {
    "が", "の", "に", "を", "と", "で", "は", "、", "。", "！", "…", "・", "船", "帆", "舵", "撃",
    "拿", "捕", "敵", "陣営", "提督", "援軍", "沈", "浸", "乱", "損", "大海戦", "スキル", "ポイント",
    "味方", "?", "<", ">", "&", "\""};

constexpr std::string_view kSkillHeads[] = {"砲撃", "白兵", "操帆", "修繕", "外科", "救護",
                                            "回避", "統率", "鼓舞", "機雷", "偵察", "測量",
                                            "突撃", "防御", "装填", "狙撃", "操舵", "消火"};
constexpr std::string_view kSkillTails[] = {"の心得", "術", "指揮", "訓練", "の極意", "戦法"};

// Items the game's own messages name ("手桶を使いました", …) and meals (kind 2).
constexpr std::string_view kToolItems[] = {"手桶", "予備帆", "予備舵", "沈静の旗"};
constexpr std::string_view kMeals[] = {"海軍カレー",     "鯨肉のシチュー", "豪華な船上料理",
                                       "魚介のパエリア", "香草の蒸し焼き", "漁師のスープ"};
constexpr std::string_view kItemHeads[] = {"上質な", "頑丈な", "軽量", "古びた", "特製",
                                           "南洋の", "北海の", "職人の", "見習いの", "王室の"};
constexpr std::string_view kItemTails[] = {"帆布",   "木材",   "砲弾", "火薬樽", "包帯",
                                           "医薬品", "ロープ", "鉄板", "望遠鏡", "羅針盤",
                                           "滑車",   "釘",     "油布", "救命具", "測深鉛"};

constexpr std::string_view kNpcEntries[] = {"海賊団", "私掠艦隊", "討伐艦隊", "密輸船団"};
constexpr std::string_view kNpcPlaces[] = {"黒潮", "赤錨", "ヴェルデ", "北風", "灰鮫", "紅鷹"};
constexpr std::string_view kShipPrefixes[] = {"護衛艦", "補給艦"};
constexpr std::string_view kShipNicknames[] = {"ラーク", "ミモザ", "アルバ", "ベルタ",
                                               "カノン", "ドルチェ", "エコー", "フィーナ"};
constexpr std::string_view kOwnCampNicknames[] = {"イリス", "ジェイド", "コーラル"};
constexpr std::string_view kEnemyCampNicknames[] = {"オニキス", "ガーネット", "セーブル"};

constexpr std::string_view kJpFamily[] = {
    "青葉", "朝霧", "天城", "白波", "潮見", "紅葉", "霧島", "月影", "星野", "氷室",
    "東雲", "夕凪", "木枯", "若葉", "藤堂", "桐生", "真崎", "水無月", "如月", "橘",
    "柊",   "楓",   "篝",   "千早", "鳴海", "早瀬", "汐留", "白鷺", "黒羽", "緋村",
    "氷川", "嵐山", "雲雀", "鴎",   "翠川", "琥珀", "瑠璃", "茜",   "萩原", "皐月"};
constexpr std::string_view kJpGiven[] = {
    "凛",   "蓮",   "葵",   "湊",   "陽向", "紗良", "隼人", "颯太", "琴音", "美月",
    "小夜", "千尋", "瑞希", "遥",   "悠真", "朔",   "雫",   "環",   "詩織", "静香",
    "ツバキ", "ミナト", "カエデ", "シオン", "ユズ", "ハルカ", "アオイ", "ルリ", "レン", "ソラ",
    "ミラ", "セレナ", "ルシア", "アルマ", "エリオ", "ノエル", "ヒナタ", "コハク", "サクヤ", "イブキ"};
constexpr std::string_view kAsciiFirst[] = {
    "Anna",  "Bruno", "Carla", "Dario", "Elena", "Felix", "Greta", "Hugo",  "Iris",  "Jonas",
    "Kaito", "Lena",  "Marco", "Nina",  "Oskar", "Paula", "Quinn", "Rosa",  "Sven",  "Tara",
    "Ugo",   "Vera",  "Wim",   "Xenia", "Yuri",  "Zoe",   "Aiko",  "Mika",  "Theo",  "Ines",
    "Lukas", "Mara",  "Nils",  "Olga",  "Pavel", "Rhea",  "Silas", "Tomas", "Ulla",  "Viggo"};
constexpr std::string_view kAsciiLast[] = {
    "Berg",   "Costa",  "Drake",  "Eriksen", "Falk",   "Gray",  "Holm",   "Ivers",
    "Jansen", "Kline",  "Lund",   "Moreau",  "Nash",   "Ortega", "Price", "Quist",
    "Rowe",   "Sato",   "Torres", "Vance",   "Wolfe",  "Young", "Abbott", "Brandt",
    "Castel", "Dunmore", "Esposito", "Fairfax", "Grimm", "Halloran", "Ibarra", "Juhl",
    "Kovac",  "Lindqvist", "Marsh", "Novak",  "Okafor", "Pruitt", "Reyes", "Strand"};
constexpr std::string_view kHandles[] = {
    "Kestrel", "Albatross", "Seafox", "Tidewalker", "Gull",   "Mako",   "Orca",
    "Skipper", "Bosun",     "Marlin", "Corsair",    "Petrel", "Narwhal", "Barnacle",
    "Driftwood", "Squall",  "Halyard", "Lantern",   "Tern",   "Wrasse"};

std::string S(std::string_view s) { return std::string(s); }

// Accepts names that are no part of one another and hold no reserved fragment; the test
// runs on the Shift-JIS bytes, bytewise, exactly as the analysis searches.
class NameGuard {
 public:
  void Reserve(std::string_view utf8Fragment) { reserved_.push_back(Utf8ToSjis(utf8Fragment)); }
  // Adds a name without the reserved-fragment test (fixed names of our own making).
  void Claim(std::string_view utf8) { taken_.push_back(Utf8ToSjis(utf8)); }

  bool Accept(std::string_view utf8) {
    const std::string sjis = Utf8ToSjis(utf8);
    if (sjis.empty()) return false;
    for (const std::string& r : reserved_)
      if (sjis.find(r) != std::string::npos) return false;
    for (const std::string& t : taken_)
      if (sjis.find(t) != std::string::npos || t.find(sjis) != std::string::npos) return false;
    taken_.push_back(sjis);
    return true;
  }

 private:
  std::vector<std::string> reserved_;
  std::vector<std::string> taken_;
};

// Entries of one list: none may be part of another, or the first entry found in a
// message would be the wrong one.
void AddDistinct(std::vector<std::string>& sjisSeen, std::vector<std::string>& out,
                 std::string_view utf8) {
  const std::string sjis = Utf8ToSjis(utf8);
  for (const std::string& t : sjisSeen)
    if (sjis.find(t) != std::string::npos || t.find(sjis) != std::string::npos) return;
  sjisSeen.push_back(sjis);
  out.push_back(S(utf8));
}

}  // namespace

Lists MakeLists(std::uint64_t seed, int skills, int items) {
  Rng rng(StreamSeed(seed, 1));
  Lists lists;

  std::vector<std::string> combos;
  for (std::string_view h : kSkillHeads)
    for (std::string_view t : kSkillTails) combos.push_back(S(h) + S(t));
  rng.Shuffle(combos);
  std::vector<std::string> seen;
  for (const std::string& c : combos) {
    if (static_cast<int>(lists.Skills.size()) >= skills) break;
    AddDistinct(seen, lists.Skills, c);
  }

  // A pleasant head (the tools the game's own messages name and two meals), then the
  // made-up goods with the remaining meals spread among them.
  std::vector<ItemEntry> pool;
  pool.push_back({S(kMeals[0]), '2', ""});
  pool.push_back({S(kToolItems[0]), '1', ""});
  pool.push_back({S(kToolItems[1]), '1', ""});
  pool.push_back({S(kMeals[1]), '2', ""});
  pool.push_back({S(kToolItems[2]), '1', ",舵の応急修理用"});
  pool.push_back({S(kToolItems[3]), '1', ""});
  std::vector<ItemEntry> goods;
  for (std::string_view h : kItemHeads)
    for (std::string_view t : kItemTails) {
      const int r = rng.Below(10);
      goods.push_back({S(h) + S(t), r == 0 ? '0' : r == 1 ? '3' : '1', ""});
    }
  rng.Shuffle(goods);
  std::size_t meal = 2;
  for (std::size_t i = 0; i < goods.size(); ++i) {
    if (i % 12 == 5 && meal < std::size(kMeals)) pool.push_back({S(kMeals[meal++]), '2', ""});
    if (i % 17 == 9) goods[i].Trailer = ",交易品";
    pool.push_back(goods[i]);
  }
  seen.clear();
  std::vector<std::string> names;
  for (const ItemEntry& e : pool) {
    if (static_cast<int>(lists.Items.size()) >= items) break;
    const std::size_t before = names.size();
    AddDistinct(seen, names, e.Name);
    if (names.size() > before) lists.Items.push_back(e);
  }

  for (std::string_view n : kNpcEntries) lists.Npc.push_back(S(n));
  for (std::string_view p : kShipPrefixes) lists.Ships.push_back(S(p));
  return lists;
}

Cast MakeCast(std::uint64_t seed, const std::string& owner, int players, const Lists& lists) {
  Rng rng(StreamSeed(seed, 2));
  Cast cast;
  cast.Owner = owner;

  NameGuard guard;
  for (std::string_view f : kReservedFragments) guard.Reserve(f);
  for (const std::string& s : lists.Skills) guard.Reserve(s);
  for (const ItemEntry& e : lists.Items) guard.Reserve(e.Name);
  for (const std::string& n : lists.Npc) guard.Reserve(n);
  for (const std::string& s : lists.Ships) guard.Reserve(s);
  guard.Reserve("陣営");
  guard.Claim(owner);

  std::vector<std::string> fleets;
  for (std::string_view p : kNpcPlaces)
    for (std::string_view e : kNpcEntries) fleets.push_back(S(p) + S(e));
  rng.Shuffle(fleets);
  fleets.resize(8);
  for (const std::string& f : fleets) {
    guard.Claim(f);
    cast.NpcFleets.push_back(f);
  }
  for (std::size_t i = 0; i < std::size(kShipNicknames); ++i)
    cast.NpcShips.push_back(S(kShipPrefixes[i % 2]) + S(kShipNicknames[i]));
  for (std::string_view n : kOwnCampNicknames) cast.OwnCampShips.push_back(S(kShipPrefixes[0]) + S(n));
  for (std::string_view n : kEnemyCampNicknames)
    cast.EnemyCampShips.push_back(S(kShipPrefixes[1]) + S(n));

  const int maxAttempts = 60 * players + 1000;
  for (int attempt = 0; attempt < maxAttempts && static_cast<int>(cast.Players.size()) < players;
       ++attempt) {
    std::string name;
    switch (rng.Weighted({30, 12, 28, 18, 12})) {
      case 0:  // family name and given name
        name = S(kJpFamily[rng.Below(static_cast<int>(std::size(kJpFamily)))]) +
               S(kJpGiven[rng.Below(static_cast<int>(std::size(kJpGiven)))]);
        break;
      case 1:  // the same with a full-width space between
        name = S(kJpFamily[rng.Below(static_cast<int>(std::size(kJpFamily)))]) + "　" +
               S(kJpGiven[rng.Below(static_cast<int>(std::size(kJpGiven)))]);
        break;
      case 2:  // "First Last"
        name = S(kAsciiFirst[rng.Below(static_cast<int>(std::size(kAsciiFirst)))]) + " " +
               S(kAsciiLast[rng.Below(static_cast<int>(std::size(kAsciiLast)))]);
        break;
      case 3: {  // a handle with two digits
        const int n = rng.Between(10, 99);
        name = S(kHandles[rng.Below(static_cast<int>(std::size(kHandles)))]) +
               (rng.Percent(50) ? "_" : "") + std::to_string(n);
        break;
      }
      default:  // a given name with a family name in Latin letters
        name = S(kJpGiven[rng.Below(static_cast<int>(std::size(kJpGiven)))]) +
               S(kAsciiLast[rng.Below(static_cast<int>(std::size(kAsciiLast)))]);
        break;
    }
    if (guard.Accept(name)) cast.Players.push_back(name);
  }
  if (static_cast<int>(cast.Players.size()) < players)
    throw std::runtime_error("cannot form " + std::to_string(players) + " distinct player names");
  return cast;
}

}  // namespace mizuto::loggen
