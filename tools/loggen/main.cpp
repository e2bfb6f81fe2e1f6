// mizuto_loggen: writes realistic, reproducible chat logs for the demo, the tests and the
// benchmarks. The same options always give the same bytes.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cast.h"
#include "generator.h"
#include "log_writer.h"
#include "options.h"
#include "platform/platform.h"
#include "program_folder.h"

namespace mizuto::loggen {

const char* const kUsage =
    "usage: mizuto_loggen [options]\n"
    "  --seed N          seed of every choice (default 1)\n"
    "  --battles N       battles recorded with the NPC check off (default 40; with --size\n"
    "                    and no --battles: about one per 6000 bytes, at most 512)\n"
    "  --npc-battles N   extra battles against NPC fleets (default: battles / 12)\n"
    "  --players N       distinct player names besides the owner, 4..3000 (default 30)\n"
    "  --size BYTES      pad the log to exactly this size (suffix K or M: x1024, x1048576)\n"
    "  --owner NAME      the log owner's name, UTF-8 (default 碧海ナギ)\n"
    "  --out FILE        the log file (default: standard output)\n"
    "  --program-dir DIR also write SkillList.txt, ItemList.txt, NPCList.txt, ShipList.txt\n"
    "                    and Mizuto.ini there\n"
    "  --log-dir DIR     the log folder Mizuto.ini names (default: the folder of --out), as\n"
    "                    where an installed demo will be rather than where it is written\n"
    "  --skills N        entries of the skill list (default 15, at most 108)\n"
    "  --items N         entries of the item list (default 20, at most 160)\n"
    "  --checked N       entries of each list marked in Mizuto.ini (default 5)\n"
    "  --lists DIR       take the skill and item lists from the UTF-8 SkillList.txt and\n"
    "                    ItemList.txt in DIR (as data/defaults) instead of inventing them;\n"
    "                    --skills and --items are then ignored\n"
    "  --open-battle     end the log inside its last battle, as while the game still writes\n"
    "  --no-user-name    write UserName= empty in Mizuto.ini, as before the player sets it\n"
    "  --malformed PCT   break this percentage of the battle lines: names left out, lines\n"
    "                    that cannot be split, lines cut off (default 0)\n"
    "  --manifest FILE   one line per battle: kind result tally npc own-points enemy-points open\n";

namespace {

bool ParseNumber(const char* text, std::uint64_t max, std::uint64_t* value, bool allowSuffix) {
  if (text == nullptr || *text < '0' || *text > '9') return false;
  errno = 0;
  char* end = nullptr;
  unsigned long long v = std::strtoull(text, &end, 10);
  if (errno != 0) return false;
  if (allowSuffix && (*end == 'K' || *end == 'k')) v *= 1024ull, ++end;
  else if (allowSuffix && (*end == 'M' || *end == 'm')) v *= 1024ull * 1024ull, ++end;
  if (*end != '\0' || v > max) return false;
  *value = v;
  return true;
}

}  // namespace

bool ParseOptions(int argc, char** argv, Options* o, std::string* error) {
  bool sizeGiven = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    std::uint64_t n = 0;
    auto number = [&](std::uint64_t max, bool suffix = false) {
      if (!ParseNumber(value, max, &n, suffix)) {
        *error = arg + " needs a number" + (max < (1ull << 40) ? " up to " + std::to_string(max) : "");
        return false;
      }
      ++i;
      return true;
    };
    auto text = [&](std::string* into) {
      if (value == nullptr || *value == '\0') {
        *error = arg + " needs a value";
        return false;
      }
      *into = value;
      ++i;
      return true;
    };
    if (arg == "--seed") {
      if (!number(~0ull)) return false;
      o->Seed = n;
    } else if (arg == "--battles") {
      if (!number(100000)) return false;
      o->Battles = static_cast<int>(n);
      o->BattlesGiven = true;
    } else if (arg == "--npc-battles") {
      if (!number(10000)) return false;
      o->NpcBattles = static_cast<int>(n);
    } else if (arg == "--players") {
      if (!number(kMaxPlayers)) return false;
      if (n < 4) {
        *error = "--players needs at least 4";
        return false;
      }
      o->Players = static_cast<int>(n);
    } else if (arg == "--size") {
      if (!number(1ull << 40, true)) return false;
      o->Size = n;
      sizeGiven = true;
    } else if (arg == "--skills") {
      if (!number(108)) return false;
      o->Skills = static_cast<int>(n);
    } else if (arg == "--items") {
      if (!number(160)) return false;
      o->Items = static_cast<int>(n);
    } else if (arg == "--checked") {
      if (!number(1000)) return false;
      o->Checked = static_cast<int>(n);
    } else if (arg == "--owner") {
      if (!text(&o->Owner)) return false;
    } else if (arg == "--out") {
      if (!text(&o->Out)) return false;
    } else if (arg == "--program-dir") {
      if (!text(&o->ProgramDir)) return false;
    } else if (arg == "--log-dir") {
      if (!text(&o->LogDir)) return false;
    } else if (arg == "--lists") {
      if (!text(&o->ListsDir)) return false;
    } else if (arg == "--manifest") {
      if (!text(&o->Manifest)) return false;
    } else if (arg == "--open-battle") {
      o->OpenBattle = true;
    } else if (arg == "--no-user-name") {
      o->UserNameSet = false;
    } else if (arg == "--malformed") {
      if (!number(100)) return false;
      o->Malformed = static_cast<int>(n);
    } else {
      *error = "unknown option " + arg;
      return false;
    }
  }
  if (sizeGiven && !o->BattlesGiven && o->Size > 0) {
    const std::uint64_t b = o->Size / 6000;
    o->Battles = static_cast<int>(b < 1 ? 1 : b > 512 ? 512 : b);
  }
  return true;
}

}  // namespace mizuto::loggen

int main(int argc, char** argv) {
  using namespace mizuto::loggen;
  // Paths and the owner's name may hold any character: on Windows the arguments are read
  // as UTF-8, and the log written to standard output passes unchanged.
  std::vector<std::string> arguments = mizuto::platform::Arguments(argc, argv);
  std::vector<char*> utf8Argv;
  for (std::string& a : arguments) utf8Argv.push_back(a.data());
  utf8Argv.push_back(nullptr);
  argc = static_cast<int>(arguments.size());
  argv = utf8Argv.data();
  mizuto::platform::BinaryStandardOutput();
  Options options;
  std::string error;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
  }
  if (!ParseOptions(argc, argv, &options, &error)) {
    std::fprintf(stderr, "mizuto_loggen: %s\n%s", error.c_str(), kUsage);
    return 2;
  }
  try {
    Lists lists = MakeLists(options.Seed, options.Skills, options.Items);
    if (!options.ListsDir.empty() && !ReadSkillAndItemLists(options.ListsDir, &lists, &error)) {
      std::fprintf(stderr, "mizuto_loggen: %s\n", error.c_str());
      return 1;
    }
    const Cast cast = MakeCast(options.Seed, options.Owner, options.Players, lists);
    if (!options.ProgramDir.empty() && !WriteProgramFolder(options, lists, &error)) {
      std::fprintf(stderr, "mizuto_loggen: %s\n", error.c_str());
      return 1;
    }
    std::FILE* file = stdout;
    if (!options.Out.empty()) {
      const std::filesystem::path parent = mizuto::platform::NativePath(options.Out).parent_path();
      std::error_code ec;
      if (!parent.empty()) std::filesystem::create_directories(parent, ec);
      file = mizuto::platform::OpenFile(options.Out, "wb");
      if (file == nullptr) {
        std::fprintf(stderr, "mizuto_loggen: cannot write %s: %s\n", options.Out.c_str(), std::strerror(errno));
        return 1;
      }
    }
    std::vector<std::string> manifest;
    bool written = false;
    {
      LogWriter writer(file);
      Generator generator(options, lists, cast, writer);
      generator.Run();
      written = writer.Flush();
      manifest = generator.Manifest();
    }
    if (file != stdout && std::fclose(file) != 0) written = false;
    if (!written) {
      std::fprintf(stderr, "mizuto_loggen: writing the log failed\n");
      return 1;
    }
    if (!options.Manifest.empty()) {
      std::ofstream m(mizuto::platform::NativePath(options.Manifest), std::ios::binary | std::ios::trunc);
      m << "# kind result tally npc own-points enemy-points open\n";
      for (const std::string& line : manifest) m << line << '\n';
      if (!m.good()) {
        std::fprintf(stderr, "mizuto_loggen: cannot write %s\n", options.Manifest.c_str());
        return 1;
      }
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "mizuto_loggen: %s\n", e.what());
    return 1;
  }
  return 0;
}
