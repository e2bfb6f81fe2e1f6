#include "app/report.h"

#include <cstdio>

#include "app/app.h"
#include "app/progress_line.h"
#include "app/result_views.h"
#include "app/start_up.h"
#include "battle/battle_detail.h"
#include "app/load_driver.h"
#include "tally/csv_export.h"
#include "tally/tallies.h"
#include "text/codec.h"
#include "text/sjis.h"

namespace mizuto {
namespace {

bool ParsePositive(std::string_view text, int* value) {
  std::int32_t n = 0;
  if (text.empty() || text[0] == '+' || !ParseDecimal(text, &n) || n < 1) return false;
  *value = n;
  return true;
}

}  // namespace

bool ParseReportArguments(const std::vector<std::string>& args, ReportOptions* options,
                          std::string* error) {
  return ParseHeadlessArguments(
      args, *options, "reported",
      [&](const std::string& a, const std::function<bool(std::string*)>& value) {
        if (a == "--active") {
          options->Active = true;
        } else if (a == "--avg-hit-down") {
          options->AvgHitDown = true;
        } else if (a == "--avg-skill-item") {
          options->AvgSkillItem = true;
        } else if (a == "--detail") {
          std::string v;
          if (!value(&v)) return OptionUse::Refused;
          options->Detail = true;
          if (v == "all") {
            options->DetailAll = true;
            return OptionUse::Taken;
          }
          for (std::size_t start = 0;;) {
            const std::size_t comma = v.find(',', start);
            int n = 0;
            if (!ParsePositive(std::string_view(v).substr(start, comma - start), &n)) {
              *error = "--detail takes all or battle numbers from 1, e.g. 1,3";
              return OptionUse::Refused;
            }
            options->DetailBattles.push_back(n);
            if (comma == std::string::npos) break;
            start = comma + 1;
          }
        } else {
          return OptionUse::Unknown;
        }
        return OptionUse::Taken;
      },
      error);
}

int RunReport(const ReportOptions& options, std::ostream& out, std::ostream& err) {
  App app;
  app.ProgramDir = options.ProgramDir;
  StartUp(app);
  app.Acts.ActiveMode.Checked = options.Active;
  app.Acts.AvgHitDown.Checked = options.AvgHitDown;
  app.Acts.AvgSkillItem.Checked = options.AvgSkillItem;
  app.CurrentLogPath = options.LogPath;
  ProgressLine progress(err);
  if (options.ShowProgress) {
    app.OnLoadProgress = [&progress](LoadStage stage, int percent) { progress.Update(stage, percent); };
  }
  const bool loaded = LoadAndAnalyse(app);
  progress.Finish();
  if (!loaded) {
    err << LogNotOpenedLine(app.CurrentLogPath, app.LastRead.Error) << '\n';
    return 1;
  }
  // Said beside the report, which stays what the window shows.
  if (app.LogUnrecognised) err << SjisToUtf8(UnrecognisedLogHint()) << '\n';

  auto line = [&](std::string_view sjis) {
    if (options.Sjis) {
      out << sjis;
    } else {
      out << SjisToUtf8(sjis);
    }
    out << '\n';
  };
  out << "[battles]\n";
  for (const std::string& row : app.BattleList.Rows) line(row);
  out << "[summary]\n";
  line(app.StatusText);
  out << "[tallies]\n";
  if (options.Sjis) {
    out << TallyTableCsv(app.TallyTable, "\n");
  } else {
    out << SjisToUtf8(TallyTableCsv(app.TallyTable, "\n"));
  }
  out << "[head-to-head]\n";
  for (int r = 0; r < app.Grid.RowCount; ++r) {
    std::string row;
    for (int c = 0; c < app.Grid.ColCount; ++c) {
      if (c > 0) row += '\t';
      row += app.Grid.Cell(c, r);
    }
    line(row);
  }
  out << "[errors]\n";
  for (const std::string& e : app.ErrorLines) line(e);
  if (options.Active) {
    // In active mode the window also shows the sink counter.
    out << "[sink-counter]\n";
    line(app.SinkCounterText);
  }

  if (options.Detail) {
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
    out << "[detail]\n";
    for (const DetailLine& d : app.Detail) {
      char colour[16];
      std::snprintf(colour, sizeof colour, "#%06x\t%c\t", d.Colour & 0xFFFFFFu, d.Bold ? 'b' : '-');
      out << colour;
      line(d.Text);
    }
  }
  out.flush();
  return 0;
}

}  // namespace mizuto
