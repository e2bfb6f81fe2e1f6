#include "history/packed_figures.h"

#include <algorithm>
#include <tuple>

namespace mizuto {

void PackNumber(std::string& out, std::int64_t value) {
  std::uint64_t v = (static_cast<std::uint64_t>(value) << 1) ^ static_cast<std::uint64_t>(value >> 63);
  while (v >= 0x80) {
    out.push_back(static_cast<char>((v & 0x7F) | 0x80));
    v >>= 7;
  }
  out.push_back(static_cast<char>(v));
}

bool UnpackNumber(std::string_view& in, std::int64_t* value) {
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < in.size() && i < 10; ++i) {
    const auto byte = static_cast<unsigned char>(in[i]);
    v |= static_cast<std::uint64_t>(byte & 0x7F) << (7 * i);
    if ((byte & 0x80) == 0) {
      in.remove_prefix(i + 1);
      *value = static_cast<std::int64_t>(v >> 1) ^ -static_cast<std::int64_t>(v & 1);
      return true;
    }
  }
  return false;
}

std::string PackUses(UseCounts& uses) {
  std::sort(uses.begin(), uses.end());
  std::string packed;
  for (std::size_t i = 0; i < uses.size();) {
    std::int64_t count = 0;
    std::size_t j = i;
    for (; j < uses.size() && uses[j].first == uses[i].first; ++j) count += uses[j].second;
    PackNumber(packed, uses[i].first);
    PackNumber(packed, count);
    i = j;
  }
  return packed;
}

bool UnpackUses(std::string_view packed, UseCounts& out) {
  const std::size_t before = out.size();
  while (!packed.empty()) {
    std::int64_t id = 0, count = 0;
    if (!UnpackNumber(packed, &id) || !UnpackNumber(packed, &count)) {
      out.resize(before);
      return false;
    }
    out.emplace_back(id, count);
  }
  return true;
}

void LogTotals::Clear() {
  players_.clear();
  uses_.clear();
  battles_.clear();
}

bool LogTotals::Add(const Class& battleClass, std::int64_t nameId, const PlayerFigures& f, std::string_view packedUses) {
  scratch_.clear();
  if (!UnpackUses(packedUses, scratch_)) return false;
  // Once for the battle's class, once for every class.
  for (const Class& of : {battleClass, kEveryClass}) {
    Player& p = players_.emplace_back();
    p.Of = of;
    p.Name = nameId;
    // As the tally table makes its icon: which sides and relations the player ever had.
    p.Figures = {f.Sides & 3, f.Relations & 3, std::max<std::int64_t>(f.Present, 0), f.Sinks, f.Decisive, f.Sunk,
                 f.Captures, f.Captured, f.Tenacity, f.Meals};
    for (const auto& [use, count] : scratch_) uses_.push_back(Use{of, nameId, use, count});
  }
  return true;
}

void LogTotals::AddBattle(const Class& battleClass, std::int64_t opponent, const BattleFigures& f) {
  for (const Class& of : {battleClass, kEveryClass}) {
    battles_.push_back(Battle{of, opponent,
                              {1, f.Won, f.Lost, f.Drawn, f.Escaped, f.Withdrawn, f.OwnDown, f.EnemyDown,
                               f.CriticalsDealt, f.CriticalsTaken, f.WastedRepairs, f.WastedCare, f.WastedOther}});
  }
}

std::vector<LogTotals::Row> LogTotals::Rows() {
  std::sort(players_.begin(), players_.end(),
            [](const Player& x, const Player& y) { return std::tie(x.Of, x.Name) < std::tie(y.Of, y.Name); });
  std::sort(uses_.begin(), uses_.end(), [](const Use& x, const Use& y) {
    return std::tie(x.Of, x.Name, x.Id) < std::tie(y.Of, y.Name, y.Id);
  });
  std::sort(battles_.begin(), battles_.end(),
            [](const Battle& x, const Battle& y) { return std::tie(x.Of, x.Opponent) < std::tie(y.Of, y.Opponent); });
  // A row for each class that has a battle or a player (a player comes with a battle, but a
  // battle need not have players).
  std::vector<Class> classes;
  for (const Battle& b : battles_) classes.push_back(b.Of);
  for (const Player& p : players_) classes.push_back(p.Of);
  std::sort(classes.begin(), classes.end());
  classes.erase(std::unique(classes.begin(), classes.end()), classes.end());
  std::vector<Row> rows;
  rows.reserve(classes.size());
  for (const Class& of : classes) rows.push_back(Row{of, {}, {}, {}});
  auto rowOf = [&rows](const Class& of) -> Row& {
    return *std::lower_bound(rows.begin(), rows.end(), of, [](const Row& r, const Class& c) { return r.Of < c; });
  };
  for (std::size_t i = 0; i < battles_.size();) {
    std::array<std::int64_t, kBattleFigures> sums{};
    std::size_t j = i;
    for (; j < battles_.size() && battles_[j].Of == battles_[i].Of && battles_[j].Opponent == battles_[i].Opponent; ++j) {
      for (std::size_t k = 0; k < sums.size(); ++k) sums[k] += battles_[j].Figures[k];
    }
    std::string& out = rowOf(battles_[i].Of).Battles;
    PackNumber(out, battles_[i].Opponent);
    for (std::int64_t v : sums) PackNumber(out, v);
    i = j;
  }
  for (std::size_t i = 0; i < players_.size();) {
    std::array<std::int64_t, kFigures> sums = players_[i].Figures;
    std::size_t j = i + 1;
    for (; j < players_.size() && players_[j].Of == players_[i].Of && players_[j].Name == players_[i].Name; ++j) {
      sums[0] |= players_[j].Figures[0];
      sums[1] |= players_[j].Figures[1];
      for (std::size_t k = 2; k < sums.size(); ++k) sums[k] += players_[j].Figures[k];
    }
    std::string& out = rowOf(players_[i].Of).Players;
    PackNumber(out, players_[i].Name);
    for (std::int64_t v : sums) PackNumber(out, v);
    i = j;
  }
  for (std::size_t i = 0; i < uses_.size();) {
    std::int64_t count = 0;
    std::size_t j = i;
    for (; j < uses_.size() && uses_[j].Of == uses_[i].Of && uses_[j].Name == uses_[i].Name && uses_[j].Id == uses_[i].Id;
         ++j) {
      count += uses_[j].Count;
    }
    std::string& out = rowOf(uses_[i].Of).Uses;
    PackNumber(out, uses_[i].Name);
    PackNumber(out, uses_[i].Id);
    PackNumber(out, count);
    i = j;
  }
  return rows;
}

}  // namespace mizuto
