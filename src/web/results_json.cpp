#include "web/results_json.h"

#include <cstdio>

#include "app/owner/app.h"
#include "app/modes/follow.h"
#include "app/owner/result_views.h"
#include "app/commands/window_commands.h"
#include "battle/battle_detail.h"
#include "battle/battle_label.h"
#include "text/codec.h"

namespace mizuto::web {
namespace {

// A Shift-JIS text of the core as a JSON string.
std::string Text(std::string_view sjis) { return JsonString(SjisToUtf8(sjis)); }

const char* Bool(bool b) { return b ? "true" : "false"; }

template <class Items, class Write>
void AppendArray(std::string& json, const Items& items, Write write) {
  json += '[';
  bool first = true;
  for (const auto& item : items) {
    if (!first) json += ',';
    first = false;
    write(json, item);
  }
  json += ']';
}

void AppendBattles(std::string& json, const App& app) {
  json += "\"battles\":[";
  for (int i = 0; i < app.BattleList.Count(); ++i) {
    if (i > 0) json += ',';
    const bool counted = i < app.BattleCount() && CountedBattle(app.Battles[static_cast<std::size_t>(i)]);
    json += "{\"label\":" + Text(app.BattleList.Rows[static_cast<std::size_t>(i)]);
    json += ",\"counted\":";
    json += Bool(counted);
    json += ",\"selected\":";
    json += Bool(app.BattleList.IsSelected(i));
    json += '}';
  }
  json += ']';
}

void AppendTallies(std::string& json, const App& app) {
  const TallyTableView& t = app.TallyTable;
  json += "\"tallies\":{\"columns\":";
  AppendArray(json, t.Columns, [](std::string& j, const TallyColumn& c) {
    j += "{\"caption\":" + Text(c.Caption) + ",\"right\":" + Bool(c.RightAligned) + '}';
  });
  json += ",\"rows\":";
  AppendArray(json, t.Rows, [](std::string& j, const TallyRow& r) {
    j += "{\"name\":" + Text(r.Caption) + ",\"icon\":" + std::to_string(r.Icon) + ",\"cells\":";
    AppendArray(j, r.Cells, [](std::string& k, const std::string& cell) { k += Text(cell); });
    j += '}';
  });
  json += ",\"sortColumn\":" + std::to_string(t.Sorted ? t.SortColumn : -1);
  json += ",\"reversed\":";
  json += Bool(t.SortReversed != 0);
  json += '}';
}

void AppendGrid(std::string& json, const App& app) {
  const HeadToHeadGrid& g = app.Grid;
  json += "\"grid\":[";
  for (int r = 0; r < g.RowCount; ++r) {
    if (r > 0) json += ',';
    json += '[';
    for (int c = 0; c < g.ColCount; ++c) {
      if (c > 0) json += ',';
      json += Text(g.Cell(c, r));
    }
    json += ']';
  }
  json += ']';
}

std::string Colour(std::uint32_t rgb) {
  char text[8];
  std::snprintf(text, sizeof text, "#%06x", static_cast<unsigned>(rgb & 0xFFFFFFu));
  return text;
}

std::string LinesJson(const TranscriptView& view) {
  std::string json = "[";
  bool first = true;
  for (const DetailLine& d : view.Lines()) {
    if (!first) json += ',';
    first = false;
    json += "{\"text\":" + Text(d.Text) + ",\"colour\":\"" + Colour(d.Colour) + "\",\"bold\":" + Bool(d.Bold) + '}';
  }
  return json + ']';
}

// Battle `battle` rendered as the pane would with `switches`; no lines for a battle that is
// not in the list.
TranscriptView Render(const App& app, int battle, const DetailSwitches& switches) {
  TranscriptView view;
  if (battle >= 0 && battle < app.BattleCount() && battle < app.BattleList.Count()) {
    RenderBattleDetail(app.Lines, app.Battles[static_cast<std::size_t>(battle)], battle, switches, view);
  }
  return view;
}

}  // namespace

std::string ResultsJson(const App& app, std::uint64_t revision, bool liveTicks) {
  std::string json = "{\"revision\":" + std::to_string(revision);
  json += ",\"title\":" + Text(WindowTitle(app));
  json += ",\"log\":" + Text(app.LogLoaded ? LogFileName(app.CurrentLogPath) : std::string());
  json += ",\"active\":";
  json += Bool(app.Acts.ActiveMode.Checked);
  json += ",\"live\":";
  json += Bool(liveTicks);
  json += ",\"summary\":" + Text(app.StatusText);
  json += ",\"status\":" + Text(StatusBarText(app));
  json += ",\"hint\":" + Text(app.BattleList.Hint);
  json += ',';
  AppendBattles(json, app);
  json += ',';
  AppendTallies(json, app);
  json += ',';
  AppendGrid(json, app);
  json += ",\"errors\":";
  AppendArray(json, app.ErrorLines, [](std::string& j, const std::string& e) { j += Text(e); });
  json += ",\"counter\":{\"text\":" + Text(app.SinkCounterText);
  json += ",\"visible\":";
  json += Bool(app.SinkCounterVisible);
  json += "},\"switches\":";
  AppendArray(json, TranscriptSwitches(app), [](std::string& j, const TranscriptSwitch& s) {
    j += "{\"name\":" + JsonString(s.Name) + ",\"on\":" + Bool(s.On) + '}';
  });
  return json + '}';
}

namespace {

// Whether the window's command `c` switches a part of the transcript (the result views'
// table of them).
bool SwitchesTranscriptPart(const WindowCommand& c) {
  for (const mizuto::TranscriptSwitch& s : mizuto::TranscriptSwitches()) {
    if (s.State == c.State) return true;
  }
  return false;
}

}  // namespace

std::vector<TranscriptSwitch> TranscriptSwitches(const App& app) {
  std::vector<TranscriptSwitch> switches;
  for (const WindowCommand& c : WindowCommands()) {
    if (SwitchesTranscriptPart(c)) switches.push_back({c.Name, (app.Acts.*c.State).Checked});
  }
  return switches;
}

std::string TranscriptJson(const App& app, int battle, const std::vector<std::string>& switchesOn) {
  // The window's own mapping from its switches to the transcript's parts, on a copy of its
  // actions set as the page asks.
  Actions acts = app.Acts;
  for (const WindowCommand& c : WindowCommands()) {
    if (!SwitchesTranscriptPart(c)) continue;
    bool on = false;
    for (const std::string& name : switchesOn) on = on || name == c.Name;
    (acts.*c.State).Checked = on;
  }
  return "{\"battle\":" + std::to_string(battle) + ",\"lines\":" +
         LinesJson(Render(app, battle, DetailSwitchesOf(acts))) + '}';
}

std::string AllTranscriptsJson(const App& app) {
  const DetailSwitches switches = DetailSwitchesOf(app.Acts);
  std::string json = "[";
  for (int b = 0; b < app.BattleList.Count(); ++b) {
    if (b > 0) json += ',';
    json += LinesJson(Render(app, b, switches));
  }
  return json + ']';
}

std::string ScriptSafe(std::string_view json) {
  std::string safe;
  safe.reserve(json.size());
  for (const char c : json) {
    if (c == '<') {
      safe += "\\u003c";
    } else {
      safe += c;
    }
  }
  return safe;
}

}  // namespace mizuto::web
