#include "app/owner/analysis_driver.h"

#include <string>

#include "app/owner/app.h"
#include "battle/battle_label.h"
#include "battle/segmentation.h"
#include "live/sink_counter.h"
#include "text/codec.h"

namespace mizuto {
namespace {

class ViewUpdates final : public AnalysisEvents {
 public:
  explicit ViewUpdates(App& app) : app_(app) {}

  void BattleOpened(int b) override {
    // Row i shows battle i. When the rows were emptied while the battles stayed (the NPC
    // switch), the list is filled again before the new battle's row joins it.
    BattleListView& list = app_.BattleList;
    if (list.Count() != b) {
      list.Clear();
      for (int i = 0; i < b; ++i) list.Append(BattleLabel(app_, i));
    }
    list.Append(InProgressLabel(b));
    ++battles_.Opened;
    // The counters start again with an assault, engagement or reinforcement: the window
    // shows the new battle's score from its first line, not the last one's.
    ShowSinkCount(app_);
  }
  void BattleEnded(int b) override {
    app_.BattleList.Replace(b, BattleLabel(app_, b));
    // The sink counter's figures are this battle's only until the next one starts.
    app_.History.NoteBattleEnded(b, app_.State.OwnShipsDown, app_.State.EnemyShipsDown);
    ++battles_.Ended;
    if (app_.OnBattleEnded) app_.OnBattleEnded(b);
  }
  void ShipsDown(const AnalysisState&) override { ShowSinkCount(app_); }
  void Progress(int percent) override {
    app_.SetStatus(SJ("解析中:") + std::to_string(percent) + "%");
    if (app_.OnLoadProgress) app_.OnLoadProgress(LoadStage::Analysing, percent);
  }
  void Error(std::string line) override { app_.AppendError(std::move(line)); }

  const AnalysedBattles& Battles() const { return battles_; }

 private:
  App& app_;
  AnalysedBattles battles_;
};

}  // namespace

void ResetAnalysis(App& app) {
  ResetAnalysis(app, app.UserName, static_cast<int>(app.Lists.SkillNames.size()),
                static_cast<int>(app.Lists.ItemNames.size()));
  app.History.ForgetEnds();
  app.Acts.PlayerHide.Enabled = false;
  app.Acts.PlayerAll.Enabled = false;
}

AnalysedBattles AnalyseNewLines(App& app, int start) {
  ViewUpdates updates(app);
  const AnalysisInputs inputs{app.Lists, app.NpcCheck};
  AnalyseLines(app, app.Lines, start, inputs, updates);
  return updates.Battles();
}

void ShowSinkCount(App& app) {
  // Whether the window is up or not: it may be switched on at any time and must then show
  // the battle as it stands, not a score from some earlier battle or log.
  app.SinkCounterText = SinkCountText(app.State.OwnShipsDown, app.State.EnemyShipsDown);
}

}  // namespace mizuto
