#include "support/test_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "app/analysis_driver.h"
#include "battle/segmentation.h"
#include "battle/tables.h"
#include "text/codec.h"

namespace mizuto::test {

TempDir::TempDir() {
  std::string templ = (std::filesystem::temp_directory_path() / "mizuto_test_XXXXXX").string();
  if (::mkdtemp(templ.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = templ + "/";
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

void WriteBytes(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void AppendBytes(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::app);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string FontLine(std::string_view colour, std::string_view utf8Text) {
  return "<FONT color=\"#" + std::string(colour) + "\">" + std::string(utf8Text) +
         "</FONT><BR>\r\n";
}
std::string SystemLine(std::string_view t) { return FontLine("80aaff", t); }
std::string PartyLine(std::string_view t) { return FontLine("10c870", t); }
std::string NoticeLine(std::string_view t) { return FontLine("ff8080", t); }
std::string SayLine(std::string_view t) { return FontLine("ffffff", t); }

void WriteListFile(const std::string& path, const std::vector<std::string>& utf8Lines) {
  std::string bytes;
  for (const std::string& line : utf8Lines) bytes += Utf8ToSjis(line) + "\r\n";
  WriteBytes(path, bytes);
}

std::string S(std::string_view utf8) { return Utf8ToSjis(utf8); }
std::string U(std::string_view sjis) { return SjisToUtf8(sjis); }

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
