#include "app/analysis_driver.h"

#include <string>

#include "app/app.h"
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
  }
  void BattleEnded(int b) override {
    app_.BattleList.Replace(b, BattleLabel(app_, b));
    if (app_.OnBattleEnded) app_.OnBattleEnded(b);
  }
  void ShipsDown(const AnalysisState& state) override {
    // The sink counter window shows the score only while a log is followed.
    if (app_.Acts.ActiveMode.Checked) {
      app_.SinkCounterText = SinkCountText(state.OwnShipsDown, state.EnemyShipsDown);
    }
  }
  void Progress(int percent) override {
    app_.SetStatus(SJ("解析中:") + std::to_string(percent) + "%");
    if (app_.OnLoadProgress) app_.OnLoadProgress(LoadStage::Analysing, percent);
  }
  void Error(std::string line) override { app_.AppendError(std::move(line)); }

 private:
  App& app_;
};

}  // namespace

void ResetAnalysis(App& app) {
  ResetAnalysis(app, app.UserName, static_cast<int>(app.Lists.SkillNames.size()),
                static_cast<int>(app.Lists.ItemNames.size()));
  app.Acts.PlayerHide.Enabled = false;
  app.Acts.PlayerAll.Enabled = false;
}

void AnalyseNewLines(App& app, int start) {
  ViewUpdates updates(app);
  const AnalysisInputs inputs{app.Lists, app.NpcCheck};
  AnalyseLines(app, app.Lines, start, inputs, updates);
}

}  // namespace mizuto
