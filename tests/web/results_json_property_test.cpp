// The browser page reads the same results as the report prints: over generated logs (with
// and without active mode), the JSON's battle list, summary, tally table, head-to-head grid,
// error pane, sink counter and every battle's transcript equal the report's sections.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "app/owner/app.h"
#include "app/modes/report.h"
#include "support/json_reader.h"
#include "support/property_support.h"
#include "support/test_support.h"
#include "tally/csv_export.h"
#include "text/codec.h"
#include "web/results_json.h"

namespace mizuto {
namespace {

using test::Json;
using test::JsonReader;
using test::PropertyRun;
using test::Rng;
using Sections = std::vector<std::pair<std::string, std::vector<std::string>>>;

// The report's sections, each with its lines.
Sections ReadSections(const std::string& report) {
  Sections sections;
  std::istringstream in(report);
  for (std::string line; std::getline(in, line);) {
    if (line.size() > 2 && line.front() == '[' && line.back() == ']' && line.find('\t') == std::string::npos &&
        (sections.empty() || sections.back().first != "detail")) {
      sections.emplace_back(line.substr(1, line.size() - 2), std::vector<std::string>{});
    } else if (!sections.empty()) {
      sections.back().second.push_back(line);
    }
  }
  return sections;
}

const std::vector<std::string>& Section(const Sections& sections, const std::string& name) {
  for (const auto& [n, lines] : sections) {
    if (n == name) return lines;
  }
  static const std::vector<std::string> none;
  return none;
}

// The JSON's tally table as the report's CSV lines (the CSV quoting is the report's own,
// applied to the JSON's texts).
std::vector<std::string> TallyLines(const Json& tallies) {
  std::vector<std::string> lines;
  if (tallies["columns"].size() == 0) return lines;
  auto field = [](const Json& text) { return SjisToUtf8(CsvField(Utf8ToSjis(text.Text))); };
  std::string header;
  for (const Json& c : tallies["columns"].Items) header += (header.empty() ? "" : ",") + field(c["caption"]);
  lines.push_back(header);
  for (const Json& r : tallies["rows"].Items) {
    std::string line = field(r["name"]);
    for (const Json& cell : r["cells"].Items) line += "," + field(cell);
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> GridLines(const Json& grid) {
  std::vector<std::string> lines;
  for (const Json& row : grid.Items) {
    std::string line;
    for (std::size_t c = 0; c < row.size(); ++c) line += (c > 0 ? "\t" : "") + row[c].Text;
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> DetailLines(const Json& transcripts) {
  std::vector<std::string> lines;
  for (const Json& battle : transcripts.Items) {
    for (const Json& d : battle.Items) {
      lines.push_back(d["colour"].Text + "\t" + (d["bold"].Boolean ? "b" : "-") + "\t" + d["text"].Text);
    }
  }
  return lines;
}

std::vector<std::string> Texts(const Json& array, const char* field = nullptr) {
  std::vector<std::string> texts;
  for (const Json& item : array.Items) texts.push_back(field ? item[field].Text : item.Text);
  return texts;
}

TEST(ResultsJsonProperty, TheJsonShowsWhatTheReportPrints) {
  PropertyRun run("results JSON equals the report", 12);
  for (std::uint64_t seed; run.Next(&seed);) {
    SCOPED_TRACE(PropertyRun::Reproduce(seed));
    test::TempDir dir;
    const test::GeneratedLog log = test::GenerateLog(seed, dir.Path(), dir.File("generated.html"), 10);
    test::WriteBytes(dir.File("log.html"), log.Bytes);
    Rng rng(seed ^ 0x5eedu);
    ReportOptions options;
    options.ProgramDir = dir.Path();
    options.LogPath = dir.File("log.html");
    options.Active = rng.Percent(50);
    options.Detail = options.DetailAll = true;

    std::ostringstream report, reportErr;
    ASSERT_EQ(RunReport(options, report, reportErr), 0) << reportErr.str();
    const Sections sections = ReadSections(report.str());

    App app;
    std::ostringstream loadErr;
    ASSERT_TRUE(LoadForReport(options, app, loadErr));
    const Json results = JsonReader::Read(web::ResultsJson(app, 7, options.Active));
    const Json transcripts = JsonReader::Read(web::AllTranscriptsJson(app));

    EXPECT_EQ(results["revision"].Number, 7);
    EXPECT_EQ(results["active"].Boolean, options.Active);
    EXPECT_EQ(Texts(results["battles"], "label"), Section(sections, "battles"));
    ASSERT_EQ(Section(sections, "summary").size(), 1u);
    EXPECT_EQ(results["summary"].Text, Section(sections, "summary")[0]);
    EXPECT_EQ(TallyLines(results["tallies"]), Section(sections, "tallies"));
    EXPECT_EQ(GridLines(results["grid"]), Section(sections, "head-to-head"));
    EXPECT_EQ(Texts(results["errors"]), Section(sections, "errors"));
    if (options.Active) {
      EXPECT_EQ(std::vector<std::string>{results["counter"]["text"].Text}, Section(sections, "sink-counter"));
    }
    EXPECT_EQ(DetailLines(transcripts), Section(sections, "detail"));
    if (HasFailure()) return;
  }
}

// Text from a log goes into the page's inline data: nothing in it may end the script block.
TEST(ResultsJsonProperty, InlineDataCannotCloseItsScript) {
  const struct {
    const char* json;
    const char* safe;
  } cases[] = {
      {R"({"a":"</script><script>alert(1)</script>"})",
       R"({"a":"\u003c/script>\u003cscript>alert(1)\u003c/script>"})"},
      {R"({"a":"<!--"})", R"({"a":"\u003c!--"})"},
      {R"({"a":"x"})", R"({"a":"x"})"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(web::ScriptSafe(c.json), c.safe);
    EXPECT_EQ(JsonReader::Read(web::ScriptSafe(c.json))["a"].Text, JsonReader::Read(c.json)["a"].Text);
  }
}

}  // namespace
}  // namespace mizuto
