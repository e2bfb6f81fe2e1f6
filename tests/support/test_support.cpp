#include "support/test_support.h"

#include "app/owner/analysis_driver.h"
#include "battle/segmentation.h"
#include "battle/tables.h"
#include "text/codec.h"

namespace mizuto {

void PrintTo(const TallyState& tally, std::ostream* os) {
  *os << "{mark " << (tally.CountMark ? "on" : "off") << (tally.GameSaysNotCounted ? ", game: not counted}" : "}");
}

void PrintTo(const BattleClass& c, std::ostream* os) {
  *os << "{size " << static_cast<int>(c.Size) << ", type " << static_cast<int>(c.Type) << (c.Npc ? ", NPC}" : "}");
}

}  // namespace mizuto

namespace mizuto::test {

void SetUpApp(App& app, const TempDir& dir) {
  app.ProgramDir = dir.Path();
  app.Lists.Load(app.ProgramDir);
  app.SkillChecked.assign(app.Lists.SkillNames.size(), 0);
  app.ItemChecked.assign(app.Lists.ItemNames.size(), 0);
  ResetAnalysis(app);
}

void AddStoredLines(App& app, const std::vector<std::string>& utf8Lines) {
  for (const std::string& line : utf8Lines) app.Lines.push_back(Utf8ToSjis(line));
}

void AnalyseMore(App& app, const std::vector<std::string>& utf8Lines) {
  const int start = static_cast<int>(app.Lines.size());
  AddStoredLines(app, utf8Lines);
  AnalyseNewLines(app, start);
}

int NameIndex(const App& app, std::string_view utf8) {
  const std::string name = Utf8ToSjis(utf8);
  for (int n = 0; n < app.NameCount(); ++n) {
    if (app.Names[n].Name == name) return n;
  }
  return -1;
}

}  // namespace mizuto::test
