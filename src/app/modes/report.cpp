#include "app/modes/report.h"

#include <cstdio>

#include "app/owner/app.h"
#include "app/modes/progress_line.h"
#include "app/owner/result_views.h"
#include "app/commands/start_up.h"
#include "battle/battle_detail.h"
#include "app/owner/load_driver.h"
#include "tally/csv_export.h"
#include "tally/tallies.h"
#include "text/codec.h"
#include "text/sjis.h"

namespace mizuto {

bool LoadForReport(const ReportOptions& options, App& app, std::ostream& err) {
  app.ProgramDir = options.ProgramDir;
  StartUp(app);
  app.Acts.ActiveMode.Checked = options.Active;
  app.Acts.AvgHitDown.Checked = options.AvgHitDown;
  app.Acts.AvgSkillItem.Checked = options.AvgSkillItem;
  ProgressLine progress(err);
  if (options.ShowProgress) {
    app.OnLoadProgress = [&progress](LoadStage stage, int percent) { progress.Update(stage, percent); };
  }
  const bool loaded = LoadAndAnalyse(app, options.LogPath);
  app.OnLoadProgress = nullptr;  // the progress line ends here
  progress.Finish();
  if (!loaded) {
    err << LogNotOpenedLine(options.LogPath, app.LastRead.Error) << '\n';
    return false;
  }
  // Said beside the report, which stays what the window shows.
  if (app.LogUnrecognised) err << SjisToUtf8(UnrecognisedLogHint()) << '\n';
  return true;
}

namespace {

// Writes the core's Shift-JIS texts in the report's encoding.
class ReportWriter {
 public:
  ReportWriter(std::ostream& out, bool sjis) : out_(out), sjis_(sjis) {}

  void Section(const char* name) { out_ << '[' << name << "]\n"; }
  void Line(std::string_view text) {
    Text(text);
    out_ << '\n';
  }
  void Text(std::string_view text) {
    if (sjis_) {
      out_ << text;
    } else {
      out_ << SjisToUtf8(text);
    }
  }
  std::ostream& Raw() { return out_; }

 private:
  std::ostream& out_;
  bool sjis_;
};

// What the main window shows: the battle list, the status bar, the tally table (as its
// CSV), the head-to-head grid, the error pane, in active mode the sink counter.
void WriteViews(const App& app, bool active, ReportWriter& w) {
  w.Section("battles");
  for (const std::string& row : app.BattleList.Rows) w.Line(row);
  w.Section("summary");
  w.Line(app.StatusText);
  w.Section("tallies");
  w.Text(TallyTableCsv(app.TallyTable, "\n"));
  w.Section("head-to-head");
  for (int r = 0; r < app.Grid.RowCount; ++r) {
    std::string row;
    for (int c = 0; c < app.Grid.ColCount; ++c) {
      if (c > 0) row += '\t';
      row += app.Grid.Cell(c, r);
    }
    w.Line(row);
  }
  w.Section("errors");
  for (const std::string& e : app.ErrorLines) w.Line(e);
  if (active) {
    // In active mode the window also shows the sink counter.
    w.Section("sink-counter");
    w.Line(app.SinkCounterText);
  }
}

// The transcript of the battles asked for, selected as the player would select them; with
// none of them in the list the pane keeps what the load left there.
void WriteTranscript(const ReportOptions& options, App& app, ReportWriter& w) {
  std::vector<int> rows;
  for (int i = 0; i < app.BattleList.Count(); ++i) {
    bool wanted = options.DetailAll;
    for (int n : options.DetailBattles) wanted = wanted || n == i + 1;
    if (wanted) rows.push_back(i);
  }
  if (!rows.empty()) {
    std::fill(app.BattleList.Selected.begin(), app.BattleList.Selected.end(), 0);
    for (int i : rows) app.BattleList.Select(i);
    RenderSelectedBattles(app);
  }
  w.Section("detail");
  for (const DetailLine& d : app.Detail) {
    char colour[16];
    std::snprintf(colour, sizeof colour, "#%06x\t%c\t", d.Colour & 0xFFFFFFu, d.Bold ? 'b' : '-');
    w.Raw() << colour;
    w.Line(d.Text);
  }
}

}  // namespace

int RunReport(const ReportOptions& options, std::ostream& out, std::ostream& err) {
  App app;
  if (!LoadForReport(options, app, err)) return 1;
  ReportWriter writer(out, options.Sjis);
  WriteViews(app, options.Active, writer);
  if (options.Detail) WriteTranscript(options, app, writer);
  out.flush();
  return 0;
}

}  // namespace mizuto
