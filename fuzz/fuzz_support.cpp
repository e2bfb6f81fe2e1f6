#include "fuzz_support.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include "app/owner/app.h"
#include "app/owner/result_views.h"
#include "cast.h"
#include "generator.h"
#include "log_writer.h"
#include "options.h"
#include "program_folder.h"

namespace mizuto::fuzz {

void Fail(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::fputs("\n*** fuzz property broken: ", stderr);
  std::vfprintf(stderr, format, args);
  std::fputs("\n", stderr);
  va_end(args);
  std::abort();
}

const std::string& ScratchDir() {
  // Never destroyed: the exit handler below still needs it after static destructors ran.
  static const std::string* dir = [] {
    namespace fs = std::filesystem;
    const char* base = "/dev/shm";
    std::error_code ec;
    if (!fs::is_directory(base, ec) || ::access(base, W_OK) != 0) {
      const char* tmp = std::getenv("TMPDIR");
      base = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
    }
    // A target that crashed (a finding) never removed its folder: remove those of processes
    // that are gone.
    for (const fs::directory_entry& e : fs::directory_iterator(base, ec)) {
      const std::string name = e.path().filename().string();
      if (name.rfind("mizuto-fuzz-", 0) != 0) continue;
      const long pid = std::strtol(name.c_str() + 12, nullptr, 10);
      if (pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
        std::error_code ignored;
        fs::remove_all(e.path(), ignored);
      }
    }
    std::string d = std::string(base) + "/mizuto-fuzz-" + std::to_string(::getpid()) + "/";
    fs::remove_all(d, ec);
    fs::create_directories(d, ec);
    if (ec) Fail("cannot create the scratch folder %s: %s", d.c_str(), ec.message().c_str());
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(ScratchDir(), ignored);
    });
    return new std::string(d);
  }();
  return *dir;
}

void WriteFile(const std::string& path, std::string_view bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) Fail("cannot write %s", path.c_str());
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (std::fclose(f) != 0 || !ok) Fail("cannot write %s", path.c_str());
}

std::string TakeFileKinds(std::string_view* input, std::size_t count) {
  std::string kinds(count, 'r');
  if (input->size() < 2 + count || !input->starts_with("\xFF\xFF")) return kinds;
  for (std::size_t i = 0; i < count; ++i) {
    const char c = (*input)[2 + i];
    if (c == 'f' || c == 'z' || c == 'd') kinds[i] = c;
  }
  input->remove_prefix(2 + count);
  return kinds;
}

void PlaceFile(const std::string& path, char kind, std::string_view bytes) {
  std::error_code ec;
  std::filesystem::remove_all(path, ec);
  switch (kind) {
    case 'f':
      if (::mkfifo(path.c_str(), 0600) != 0) Fail("cannot make the FIFO %s", path.c_str());
      return;
    case 'd':
      if (!std::filesystem::create_directory(path, ec)) Fail("cannot make the folder %s", path.c_str());
      return;
    case 'z':
      WriteFile(path, bytes);
      std::filesystem::resize_file(path, std::max<std::uintmax_t>(bytes.size(), std::uintmax_t{16} << 20) + 1, ec);
      if (ec) Fail("cannot grow %s", path.c_str());
      return;
    default:
      WriteFile(path, bytes);
  }
}

std::string MakeProgramFolder(std::string_view name, std::uint64_t seed, bool allChecked) {
  loggen::Options options;
  options.Seed = seed;
  options.ProgramDir = ScratchDir() + std::string(name) + "/";
  if (allChecked) options.Checked = 1000;
  const loggen::Lists lists = loggen::MakeLists(options.Seed, options.Skills, options.Items);
  std::string error;
  if (!loggen::WriteProgramFolder(options, lists, &error)) Fail("%s", error.c_str());
  return options.ProgramDir;
}

std::string GenerateLog(std::uint64_t seed, int battles, int players, bool openBattle) {
  loggen::Options options;
  options.Seed = seed;
  options.Battles = battles;
  options.BattlesGiven = true;
  options.Players = players;
  options.OpenBattle = openBattle;
  const loggen::Lists lists = loggen::MakeLists(options.Seed, options.Skills, options.Items);
  const loggen::Cast cast = loggen::MakeCast(options.Seed, options.Owner, options.Players, lists);
  char* data = nullptr;
  std::size_t size = 0;
  std::FILE* memory = ::open_memstream(&data, &size);
  if (memory == nullptr) Fail("open_memstream failed");
  {
    loggen::LogWriter writer(memory);
    loggen::Generator generator(options, lists, cast, writer);
    generator.Run();
    if (!writer.Flush()) Fail("generating a log failed");
  }
  std::fclose(memory);
  std::string log(data, size);
  std::free(data);
  return log;
}

void CheckViewsWithinModels(const App& app) {
  const BattleListView& list = app.BattleList;
  if (list.Selected.size() != list.Rows.size())
    Fail("battle list: %zu selection marks for %zu rows", list.Selected.size(), list.Rows.size());
  if (list.Count() != app.BattleCount())
    Fail("battle list: %d rows for %d battles", list.Count(), app.BattleCount());
  if (list.FocusRow < -1 || list.FocusRow >= list.Count())
    Fail("battle list: focus row %d of %d rows", list.FocusRow, list.Count());

  const TallyTableView& table = app.TallyTable;
  for (std::size_t r = 0; r < table.Rows.size(); ++r) {
    const TallyRow& row = table.Rows[r];
    if (row.Cells.size() + 1 != table.Columns.size())
      Fail("tally row %zu: %zu cells for %zu columns", r, row.Cells.size(), table.Columns.size());
    if (!app.Names.Valid(row.NameIndex)) Fail("tally row %zu: name index %d", r, row.NameIndex);
  }

  const HeadToHeadGrid& grid = app.Grid;
  const std::size_t cells = static_cast<std::size_t>(grid.ColCount - 1) * static_cast<std::size_t>(grid.RowCount - 1);
  if (grid.ColCount < 1 || grid.RowCount < 1 ||
      grid.ColumnHeaders.size() != static_cast<std::size_t>(grid.ColCount) ||
      grid.RowHeaders.size() != static_cast<std::size_t>(grid.RowCount) ||
      grid.Counts.size() != cells || grid.Kinds.size() != cells)
    Fail("head-to-head grid %dx%d holds %zu+%zu headers and %zu/%zu cells", grid.ColCount,
         grid.RowCount, grid.ColumnHeaders.size(), grid.RowHeaders.size(), grid.Counts.size(),
         grid.Kinds.size());
}

namespace {

// Reads one record at `at`, moving it past the record's CR LF; false for text that no
// writer of this format produces (an unclosed quote, text after a closing quote, a record
// without its line end).
bool ReadCsvRecord(std::string_view text, std::size_t& at, std::vector<std::string>& fields) {
  fields.clear();
  for (;;) {
    std::string field;
    if (at < text.size() && text[at] == '"') {
      for (++at;; ++at) {
        if (at >= text.size()) return false;
        if (text[at] == '"') {
          if (at + 1 < text.size() && text[at + 1] == '"') {
            field += '"';
            ++at;
            continue;
          }
          ++at;
          break;
        }
        field += text[at];
      }
    } else {
      while (at < text.size() && text[at] != ',' && text.substr(at, 2) != "\r\n") field += text[at++];
    }
    fields.push_back(std::move(field));
    if (at < text.size() && text[at] == ',') {
      ++at;
      continue;
    }
    if (text.substr(at, 2) != "\r\n") return false;
    at += 2;
    return true;
  }
}

}  // namespace

void CheckCsvReadsBack(const App& app, std::string_view csv) {
  const TallyTableView& table = app.TallyTable;
  std::vector<std::vector<std::string>> expected;
  std::vector<std::string> header;
  for (const TallyColumn& c : table.Columns) header.push_back(c.Caption);
  expected.push_back(std::move(header));
  for (const TallyRow& row : table.Rows) {
    std::vector<std::string> record{row.Caption};
    record.insert(record.end(), row.Cells.begin(), row.Cells.end());
    expected.push_back(std::move(record));
  }
  std::size_t at = 0;
  std::vector<std::string> fields;
  for (std::size_t r = 0; r < expected.size(); ++r) {
    if (!ReadCsvRecord(csv, at, fields)) Fail("CSV record %zu cannot be read back", r);
    if (fields != expected[r]) Fail("CSV record %zu reads back as another (%zu fields for %zu)", r, fields.size(), expected[r].size());
  }
  if (at != csv.size()) Fail("the CSV text goes on after its %zu records", expected.size());
}

void ShowEveryDetail(App& app) {
  for (const TranscriptSwitch& t : TranscriptSwitches()) (app.Acts.*t.State).Checked = true;
  app.Acts.BattleLogView.Checked = true;
}

}  // namespace mizuto::fuzz
