// Following a growing log equals loading it, with the cuts chosen by the fuzzer.
//
// The log is appended to a real file chunk by chunk: after the first chunk the log is
// loaded in active mode, after every further chunk the timer ticks once. After every tick at
// most one battle is counted. At the end the stored lines must be those of one full load of
// the final file in active mode, and every battle record, its counted state included, and
// every name must be the same.
//
// Input: byte 0 gives the number of chunk lengths K (low five bits, plus one) and the NPC
// check (top bit); then K chunk lengths, two bytes each (little-endian, 1 + value % 2048),
// used in turn until the log is written; then the log. A log part shorter than eight bytes
// is a seed instead: the log is then a generated one. Logs with a line over 4095 bytes are
// skipped: such a line is cut into pieces by position, and where a read starts decides
// those cuts. So are logs with a line that holds the font opener twice (the game writes
// one font element per line): a read that ends right after such a line's first "</FONT>"
// keeps that element, and the next read, starting 18 bytes back, takes the second element
// for a line of its own, which a full load never stores (fuzz/findings/follow-two-*).
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "app/commands/active_mode.h"
#include "app/owner/app.h"
#include "app/owner/load_driver.h"
#include "app/commands/start_up.h"
#include "fuzz_support.h"

namespace {

using namespace mizuto;

constexpr std::size_t kLongestLine = 4095;
// Beyond this many ticks the rest of the log arrives at once: under the sanitizers a tick
// costs about a third of a millisecond, and a few dozen cuts that the fuzzer places find
// more than hundreds in one input.
constexpr int kMaxTicks = 64;

std::string gProgramDir;
std::string gLogPath;

// A line whose bytes and line end together exceed a piece. Counting a CR LF pair as two
// bytes is stricter than the reader, which reads it as one; it only skips a few more.
bool HasLongLine(std::string_view log) {
  std::size_t start = 0;
  while (start < log.size()) {
    std::size_t nl = log.find('\n', start);
    if (nl == std::string_view::npos) nl = log.size();
    if (nl - start + 1 > kLongestLine) return true;
    start = nl + 1;
  }
  return false;
}

bool HasLineWithTwoOpeners(std::string_view log) {
  constexpr std::string_view kOpener = "<FONT color=\"#";
  std::size_t previous = std::string_view::npos;
  for (std::size_t at = log.find(kOpener); at != std::string_view::npos; at = log.find(kOpener, at + 1)) {
    // No line end between the two openers: the same line.
    if (previous != std::string_view::npos && log.find('\n', previous) > at) return true;
    previous = at;
  }
  return false;
}

const std::string& LogFromSeed(std::string_view seedBytes) {
  static std::uint64_t cachedSeed = ~0ull;
  static std::string cached;
  std::uint64_t seed = 0;
  std::memcpy(&seed, seedBytes.data(), seedBytes.size());
  if (seed != cachedSeed) {
    cached = fuzz::GenerateLog(seed, 1 + static_cast<int>(seed % 6), 4 + static_cast<int>(seed % 5), (seed & 8) != 0);
    cachedSeed = seed;
  }
  return cached;
}

void Append(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n <= 0) fuzz::Fail("appending to the log failed: %s", std::strerror(errno));
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

void StartApp(App& app, bool npcCheck) {
  app.ProgramDir = gProgramDir;
  StartUp(app);
  app.NpcCheck = npcCheck;
  app.Acts.ActiveMode.Checked = true;
  app.CurrentLogPath = gLogPath;
}

std::string Printable(std::string_view text) {
  std::string out;
  for (unsigned char c : text) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    }
  }
  return out;
}

void CompareWithFullLoad(const App& followed, const App& loaded) {
  const LogLines& a = followed.Lines;
  const LogLines& b = loaded.Lines;
  for (std::size_t i = 0; i < a.size() || i < b.size(); ++i) {
    if (i >= a.size() || i >= b.size())
      fuzz::Fail("followed %zu lines, a full load stores %zu", a.size(), b.size());
    if (a[i] != b[i])
      fuzz::Fail("line %zu differs:\n  followed %s\n  loaded   %s", i, Printable(a[i]).c_str(),
                 Printable(b[i]).c_str());
  }
  if (followed.BattleCount() != loaded.BattleCount())
    fuzz::Fail("followed %d battles, a full load finds %d", followed.BattleCount(), loaded.BattleCount());
  for (int i = 0; i < followed.BattleCount(); ++i) {
    const BattleRecord& x = followed.Battles[static_cast<std::size_t>(i)];
    const BattleRecord& y = loaded.Battles[static_cast<std::size_t>(i)];
    const struct {
      const char* Name;
      bool Same;
    } fields[] = {{"FirstLine", x.FirstLine == y.FirstLine},
                  {"Kind", x.Kind == y.Kind},
                  {"Result", x.Result == y.Result},
                  {"Class", x.Class == y.Class},
                  {"CriticalsDealt", x.CriticalsDealt == y.CriticalsDealt},
                  {"CriticalsTaken", x.CriticalsTaken == y.CriticalsTaken},
                  {"Admiral", x.Admiral == y.Admiral},
                  {"Opponent", x.Opponent == y.Opponent},
                  {"OwnSide", x.OwnSide == y.OwnSide},
                  {"EnemySide", x.EnemySide == y.EnemySide},
                  {"OwnPoints", x.OwnPoints == y.OwnPoints},
                  {"EnemyPoints", x.EnemyPoints == y.EnemyPoints}};
    for (const auto& f : fields)
      if (!f.Same) fuzz::Fail("battle %d: %s differs from the full load's", i, f.Name);
  }
  if (followed.NameCount() != loaded.NameCount())
    fuzz::Fail("followed %d names, a full load finds %d", followed.NameCount(), loaded.NameCount());
  for (int n = 0; n < followed.NameCount(); ++n) {
    if (followed.Names[n].Name != loaded.Names[n].Name) fuzz::Fail("name %d differs", n);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  gProgramDir = fuzz::MakeProgramFolder("program", 1, false);
  gLogPath = fuzz::ScratchDir() + "followed.html";
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  if (input.empty()) return 0;
  const std::size_t count = (static_cast<unsigned char>(input[0]) & 31u) + 1;
  const bool npcCheck = (static_cast<unsigned char>(input[0]) & 0x80u) != 0;
  if (input.size() < 1 + 2 * count) return 0;
  std::vector<std::size_t> lengths;
  for (std::size_t k = 0; k < count; ++k) {
    const auto lo = static_cast<unsigned char>(input[1 + 2 * k]);
    const auto hi = static_cast<unsigned char>(input[2 + 2 * k]);
    lengths.push_back(1 + (lo | hi << 8) % 2048);
  }
  std::string_view log = input.substr(1 + 2 * count);
  if (log.size() < 8) log = LogFromSeed(log);
  if (HasLongLine(log) || HasLineWithTwoOpeners(log)) return 0;

  const int fd = ::open(gLogPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND, 0644);
  if (fd < 0) fuzz::Fail("cannot create the followed log: %s", std::strerror(errno));
  App followed;
  StartApp(followed, npcCheck);
  std::size_t written = std::min(lengths[0], log.size());
  Append(fd, log.substr(0, written));
  if (!LoadAndAnalyse(followed)) fuzz::Fail("the followed log could not be opened");
  for (int tick = 1; written < log.size(); ++tick) {
    const std::size_t n = tick >= kMaxTicks ? log.size() - written : lengths[tick % count];
    const std::string_view chunk = log.substr(written, n);
    Append(fd, chunk);
    written += chunk.size();
    TickFollowedLog(followed);
    // Active mode counts the newest battle alone, however the reads fell.
    int counted = 0;
    for (const BattleRecord& r : followed.Battles) counted += r.Tally.CountMark ? 1 : 0;
    if (counted > 1) fuzz::Fail("%d battles counted after tick %d", counted, tick);
  }
  ::close(fd);

  App loaded;
  StartApp(loaded, npcCheck);
  if (!LoadAndAnalyse(loaded)) fuzz::Fail("the final log could not be opened");
  CompareWithFullLoad(followed, loaded);
  // Both in active mode: the same battles counted, the game's marks kept alike.
  for (int i = 0; i < loaded.BattleCount(); ++i) {
    const TallyState x = followed.Battles[static_cast<std::size_t>(i)].Tally;
    const TallyState y = loaded.Battles[static_cast<std::size_t>(i)].Tally;
    if (!(x == y)) {
      fuzz::Fail("battle %d: followed mark %d notice %d, a full load mark %d notice %d", i, x.CountMark,
                 x.GameSaysNotCounted, y.CountMark, y.GameSaysNotCounted);
    }
  }
  return 0;
}
