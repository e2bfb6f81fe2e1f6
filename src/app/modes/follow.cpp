#include "app/modes/follow.h"

#include <cstdio>

#include "app/commands/active_mode.h"
#include "app/owner/app.h"
#include "app/parts/counter_file.h"
#include "app/owner/history_recorder.h"
#include "app/owner/load_driver.h"
#include "app/owner/result_views.h"
#include "app/commands/start_up.h"
#include "battle/battle_label.h"
#include "platform/platform.h"
#include "text/codec.h"
#include "text/sjis.h"
#include "text/utf8.h"

namespace mizuto {
namespace {

// Keywords for the JSON fields, so a script need not match the list's Japanese labels.
const char* Keyword(int value, std::initializer_list<const char*> words) {
  if (value < 0 || value >= static_cast<int>(words.size())) return nullptr;
  return words.begin()[value];
}

void AppendField(std::string& json, const char* key, const char* keyword) {
  json += '"';
  json += key;
  json += "\":";
  if (keyword == nullptr) {
    json += "null";
  } else {
    json += '"';
    json += keyword;
    json += '"';
  }
}

// Battle b's row as the battle list shows it now (its label when the list has no such row).
std::string ShownRow(const App& app, int b) {
  if (b >= 0 && b < app.BattleList.Count()) return app.BattleList.Rows[static_cast<std::size_t>(b)];
  return BattleLabel(app, b);
}

// A battle that ended, with the sink counter's figures at that moment: the counters start
// again with the next battle, possibly within the same tick.
struct EndedBattle {
  int Battle = 0;
  std::int32_t OwnDown = 0;
  std::int32_t EnemyDown = 0;
};

class Follower {
 public:
  Follower(const FollowOptions& options, App& app, std::ostream& out, std::ostream& err)
      : options_(options), app_(app), out_(out), err_(err) {
    counter_.SetPath(options_.CounterFile);
    app_.OnBattleEnded = [this](int b) {
      ended_.push_back({b, app_.State.OwnShipsDown, app_.State.EnemyShipsDown});
    };
  }
  ~Follower() { app_.OnBattleEnded = nullptr; }
  Follower(const Follower&) = delete;
  Follower& operator=(const Follower&) = delete;

  // Everything the last step (the load, or a tick) brought: its error lines on the error
  // stream, the battles it ended, the counter text if it changed.
  void Publish() {
    const bool logRead = app_.LastRead.Opened();
    // A read that failed put its line last; here it names the log and the reason, and only
    // once while the log stays away.
    const std::size_t analysed = app_.ErrorLines.size() - (!logRead && !app_.ErrorLines.empty() ? 1 : 0);
    for (std::size_t i = 0; i < analysed; ++i) err_ << Text(app_.ErrorLines[i]) << '\n';
    if (!logRead && !logMissing_) err_ << LogNotOpenedLine(app_.CurrentLogPath, app_.LastRead.Error) << '\n';
    err_.flush();
    app_.ErrorLines.clear();  // nothing shows them here; they would only pile up
    logMissing_ = !logRead;

    for (const EndedBattle& e : ended_) {
      if (options_.Json) {
        out_ << EndedBattleJson(app_, e.Battle, e.OwnDown, e.EnemyDown) << '\n';
      } else {
        out_ << Text(ShownRow(app_, e.Battle)) << '\n';
      }
      Flush();
    }
    ended_.clear();

    WriteCounter();
  }

  void PrintSummary() {
    const std::string summary = SummaryLine(app_);
    if (options_.Json) {
      out_ << "{\"summary\":" << JsonString(SjisToUtf8(summary)) << "}\n";
    } else {
      out_ << Text(summary) << '\n';
    }
    Flush();
  }

  // Whether a line did not reach the output.
  bool OutputFailed() const { return outputFailed_; }

 private:
  std::string Text(std::string_view sjis) const {
    return options_.Sjis ? std::string(sjis) : SjisToUtf8(sjis);
  }

  // Once a line did not reach the output, following ends: a reader would miss battles from
  // then on. (The caller says why, from the output's own record.)
  void Flush() {
    out_.flush();
    if (!out_.good()) outputFailed_ = true;
  }

  void WriteCounter() {
    const std::string error = counter_.Keep(app_.SinkCounterText);
    if (error.empty()) return;
    err_ << "mizuto: " << error << '\n';
    err_.flush();
  }

  const FollowOptions& options_;
  App& app_;
  std::ostream& out_;
  std::ostream& err_;
  std::vector<EndedBattle> ended_;
  bool logMissing_ = false;
  bool outputFailed_ = false;
  CounterFile counter_;  // the streaming program's copy of the counter (no path: none)
};

}  // namespace

int RunFollow(const FollowOptions& options, std::ostream& out, std::ostream& err) {
  // Listening starts before the first load, so a stop asked for during a long load still
  // ends with the summary.
  platform::ListenForStopRequests();
  App app;
  app.ProgramDir = options.ProgramDir;
  StartUp(app);
  app.Acts.ActiveMode.Checked = true;
  // Every battle followed joins the season history, as in the window, and is written beside
  // the following: a history that another program holds locked delays no line.
  app.History.Enable(!options.NoHistory);
  app.History.RunBeside(true);
  Follower follower(options, app, out, err);

  if (!LoadAndAnalyse(app, options.LogPath)) {
    follower.Publish();
    return 1;
  }
  ApplyActiveModeSwitch(app);
  if (app.LogUnrecognised) app.AppendError(UnrecognisedLogHint());
  follower.Publish();

  while (!platform::StopRequested() && !follower.OutputFailed()) {
    platform::SleepUnlessStopped(options.IntervalMs);
    if (platform::StopRequested()) break;
    TickFollowedLog(app);
    follower.Publish();
  }
  // What the history still owes is written before the end, or said on the error stream.
  app.History.Finish(app);
  follower.Publish();
  if (!follower.OutputFailed()) follower.PrintSummary();
  return follower.OutputFailed() ? kOutputFailedStatus : 0;
}

std::string JsonString(std::string_view utf8) {
  std::string json = "\"";
  // A file name is whatever bytes the file system holds: copied raw, one that is not UTF-8
  // would make the whole line unreadable to a JSON reader.
  std::string valid;
  AppendValidUtf8(utf8, valid);
  for (const char c : valid) {
    const auto u = static_cast<unsigned char>(c);
    switch (c) {
      case '"': json += "\\\""; break;
      case '\\': json += "\\\\"; break;
      case '\n': json += "\\n"; break;
      case '\r': json += "\\r"; break;
      case '\t': json += "\\t"; break;
      default:
        if (u < 0x20 || u == 0x7F) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
          json += escaped;
        } else {
          json += c;
        }
    }
  }
  json += '"';
  return json;
}

std::string EndedBattleJson(const App& app, int battle, std::int32_t ownDown,
                            std::int32_t enemyDown) {
  if (battle < 0 || battle >= app.BattleCount()) {
    return "{\"number\":" + std::to_string(battle + 1) + ",\"label\":\"\"}";
  }
  const BattleRecord& r = app.Battles[static_cast<std::size_t>(battle)];
  auto name = [&](std::int32_t n) {
    return app.Names.Valid(n) ? std::optional<std::string>(app.Names[n].Name) : std::nullopt;
  };
  const BattleJsonFacts facts{battle + 1, r.Kind, r.Class, name(r.Admiral), name(r.Opponent), r.Result,
                              ownDown, enemyDown, CountedBattle(r), ShownRow(app, battle)};
  return BattleJsonFields(facts) + '}';
}

std::string BattleJsonFields(const BattleJsonFacts& f) {
  std::string json = "{\"number\":" + std::to_string(f.Number) + ',';
  auto name = [](const std::optional<std::string>& sjis) {
    return sjis ? JsonString(SjisToUtf8(*sjis)) : std::string("null");
  };
  AppendField(json, "kind", Keyword(ToStored(f.Kind), {nullptr, "assault", "engagement", "reinforcement", "camp"}));
  json += ',';
  AppendField(json, "type", Keyword(static_cast<int>(f.Class.Type), {"naval", "mock", "real", "camp"}));
  json += ',';
  AppendField(json, "ship_class", Keyword(static_cast<int>(f.Class.Size), {"small", "medium", "large", "none"}));
  json += ",\"npc\":";
  json += f.Class.Npc ? "true" : "false";
  json += ",\"admiral\":" + name(f.Admiral);
  json += ",\"opponent\":" + name(f.Opponent);
  json += ',';
  // A battle still being fought has no result yet.
  AppendField(json, "result",
              f.Ended ? Keyword(ToStored(f.Result), {"defeat", "victory", "escaped", "withdrawn", "draw"}) : "in_progress");
  json += ",\"own_down\":" + std::to_string(f.OwnDown);
  json += ",\"enemy_down\":" + std::to_string(f.EnemyDown);
  json += ",\"counted\":";
  json += f.Counted ? "true" : "false";
  json += ",\"label\":" + JsonString(SjisToUtf8(f.Label));
  return json;
}

}  // namespace mizuto
