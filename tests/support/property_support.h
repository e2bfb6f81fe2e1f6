// What the randomised property tests share: the run's seeds and length from the
// environment, generated logs made in-process, random cut points that land where a
// half-written log hurts, and a crash that still names its seed.
//
//   MIZUTO_PROPERTY_SEED=N     the first case's seed (case k runs seed N + k)
//   MIZUTO_PROPERTY_SECONDS=S  start cases until S seconds have passed (default: a short,
//                              fixed number of cases, the same in every run)
#pragma once

#include <gtest/gtest.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "loggen/cast.h"
#include "loggen/generator.h"
#include "loggen/log_writer.h"
#include "loggen/options.h"
#include "loggen/program_folder.h"
#include "loggen/rng.h"
#include "support/test_support.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/common_interface_defs.h>
#define MIZUTO_TEST_SANITIZED 1
#endif

namespace mizuto::test {

using loggen::Rng;

// The case being run, for a crash report: a signal handler may only read plain memory.
inline volatile std::uint64_t gCrashSeed = 0;
inline volatile long gCrashStep = -1;
inline const char* gCrashProperty = "";

inline void WriteCrashSeed() {
  char text[160];
  const int n =
      std::snprintf(text, sizeof text,
                    "\n*** %s crashed in the case of seed %llu, step %ld: "
                    "rerun with MIZUTO_PROPERTY_SEED=%llu\n",
                    gCrashProperty, static_cast<unsigned long long>(gCrashSeed),
                    static_cast<long>(gCrashStep), static_cast<unsigned long long>(gCrashSeed));
  if (n > 0) (void)!::write(2, text, static_cast<std::size_t>(n));
}

// Names the case, then lets the signal do what it would have done.
inline void ReportCrash(int signal) {
  WriteCrashSeed();
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

class PropertyRun {
 public:
  PropertyRun(const char* property, int shortCases) : property_(property), cases_(shortCases) {
    if (const char* s = std::getenv("MIZUTO_PROPERTY_SEED")) first_ = std::strtoull(s, nullptr, 10);
    if (const char* s = std::getenv("MIZUTO_PROPERTY_SECONDS")) seconds_ = std::strtod(s, nullptr);
    gCrashProperty = property;
#ifdef MIZUTO_TEST_SANITIZED
    __sanitizer_set_death_callback(&WriteCrashSeed);
#else
    // Heap corruption found by the C library, or a wild access: say which case it was.
    for (int signal : {SIGABRT, SIGSEGV, SIGFPE, SIGILL}) std::signal(signal, &ReportCrash);
#endif
    start_ = std::chrono::steady_clock::now();
  }
  ~PropertyRun() {
    std::printf("[ property ] %s: %ld cases, %ld steps, seeds %llu..%llu\n", property_, done_, steps_,
                static_cast<unsigned long long>(first_),
                static_cast<unsigned long long>(first_ + (done_ > 0 ? done_ - 1 : 0)));
  }

  // The next case's seed; false when the run is over.
  bool Next(std::uint64_t* seed) {
    const bool more =
        seconds_ > 0
            ? std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count() < seconds_
            : done_ < cases_;
    if (!more) return false;
    *seed = first_ + static_cast<std::uint64_t>(done_++);
    gCrashSeed = *seed;
    gCrashStep = -1;
    return true;
  }
  void Step(long step) {
    ++steps_;
    gCrashStep = step;
  }
  // What a failure message says so that the case can be run again alone.
  static std::string Reproduce(std::uint64_t seed) {
    return "seed " + std::to_string(seed) + " (rerun with MIZUTO_PROPERTY_SEED=" + std::to_string(seed) +
           ")";
  }

 private:
  const char* property_;
  long cases_;
  std::uint64_t first_ = 20240601;
  double seconds_ = 0;
  long done_ = 0;
  long steps_ = 0;
  std::chrono::steady_clock::time_point start_;
};

// A generated chat log (UTF-8 bytes as the game writes them) and the options it came from.
struct GeneratedLog {
  loggen::Options Options;
  std::string Bytes;
};

// The log that `o` describes (UTF-8 bytes as the game writes them); with o.ProgramDir the
// matching list files and Mizuto.ini are written there too; `scratch` is a file the log
// passes through.
inline std::string WriteGeneratedLog(const loggen::Options& o, const std::string& scratch) {
  const loggen::Lists lists = loggen::MakeLists(o.Seed, o.Skills, o.Items);
  const loggen::Cast cast = loggen::MakeCast(o.Seed, o.Owner, o.Players, lists);
  std::string error;
  if (!o.ProgramDir.empty() && !loggen::WriteProgramFolder(o, lists, &error)) throw std::runtime_error(error);

  std::FILE* file = std::fopen(scratch.c_str(), "wb");
  if (file == nullptr) throw std::runtime_error("cannot write " + scratch);
  {
    loggen::LogWriter writer(file);
    loggen::Generator generator(o, lists, cast, writer);
    generator.Run();
    writer.Flush();
  }
  std::fclose(file);
  std::string bytes = ReadBytes(scratch);
  std::remove(scratch.c_str());
  return bytes;
}

// A small log with random options: a few battles, sometimes against NPC fleets, sometimes
// ending inside its last battle. With `programDir` the matching list files and Mizuto.ini are
// written there too; `scratch` is a file the log passes through. Every line of it is far
// below the 4095 bytes of a piece.
// `damaged` also leaves the owner's name out of Mizuto.ini now and then, and breaks some
// battle lines (names left out, lines that cannot be split, lines cut off).
inline GeneratedLog GenerateLog(std::uint64_t seed, const std::string& programDir, const std::string& scratch,
                                int maxBattles, bool damaged = false) {
  Rng rng(seed);
  GeneratedLog log;
  loggen::Options& o = log.Options;
  o.Seed = seed;
  o.Battles = rng.Between(0, maxBattles);
  o.BattlesGiven = true;
  o.NpcBattles = rng.Between(0, 2);
  o.Players = rng.Between(4, 16);
  o.Skills = rng.Between(2, 15);
  o.Items = rng.Between(2, 20);
  o.Checked = rng.Between(0, 4);
  o.OpenBattle = rng.Percent(40);
  o.ProgramDir = programDir;
  // Drawn after the rest, so that the other options of a seed stay what they were.
  if (damaged) {
    o.UserNameSet = rng.Percent(50);
    o.Malformed = rng.Percent(75) ? rng.Between(2, 15) : 0;
  }
  log.Bytes = WriteGeneratedLog(o, scratch);
  return log;
}

// A place to cut `bytes` (0 < cut < size) of one of the kinds that a read of a file still
// being written meets: anywhere, inside the font opener, inside "</FONT>", inside a
// multi-byte character, between CR and LF. Falls back to anywhere when the kind is absent.
inline std::size_t CutPoint(std::string_view bytes, Rng& rng) {
  if (bytes.size() < 2) return bytes.size();
  const auto anywhere = [&] {
    return 1 + static_cast<std::size_t>(rng.Below(static_cast<int>(bytes.size() - 1)));
  };
  // Somewhere inside an occurrence of `what`, `into` bytes from its start (1 .. size - 1).
  const auto inside = [&](std::string_view what, std::size_t into) -> std::size_t {
    const std::size_t from = anywhere();
    std::size_t at = bytes.find(what, from);
    if (at == std::string_view::npos) at = bytes.find(what);
    if (at == std::string_view::npos || at + into >= bytes.size() || at + into == 0) return anywhere();
    return at + into;
  };
  switch (rng.Below(6)) {
    case 0:
      return anywhere();
    case 1:
      return inside("<FONT color=\"#", static_cast<std::size_t>(rng.Between(1, 22)));
    case 2:
      return inside("</FONT>", static_cast<std::size_t>(rng.Between(1, 7)));
    case 3:
      return inside("\r\n", 1);
    case 4:
      return inside("\">", static_cast<std::size_t>(rng.Between(1, 20)));  // the line's text
    default: {
      // A continuation byte of a multi-byte character.
      for (std::size_t at = anywhere(); at < bytes.size(); ++at) {
        if ((static_cast<unsigned char>(bytes[at]) & 0xC0) == 0x80) return at;
      }
      return anywhere();
    }
  }
}

// `count` distinct cut points, ascending.
inline std::vector<std::size_t> CutPoints(std::string_view bytes, Rng& rng, int count) {
  std::vector<std::size_t> cuts;
  for (int i = 0; i < count; ++i) cuts.push_back(CutPoint(bytes, rng));
  std::sort(cuts.begin(), cuts.end());
  cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
  return cuts;
}

}  // namespace mizuto::test
