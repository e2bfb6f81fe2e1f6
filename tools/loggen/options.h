// Command-line options of mizuto_loggen.
#pragma once

#include <cstdint>
#include <string>

namespace mizuto::loggen {

struct Options {
  std::uint64_t Seed = 1;
  int Battles = 40;             // battles the analysis records with the NPC check off
  bool BattlesGiven = false;
  int NpcBattles = -1;          // extra battles against NPC fleets; -1: about one in twelve
  int Players = 30;             // distinct player names besides the owner
  std::uint64_t Size = 0;       // target size of the log in bytes; 0: natural size
  std::string Owner = "碧海ナギ";  // UTF-8
  std::string Out;              // empty: standard output
  std::string ProgramDir;       // empty: no list files or settings written
  std::string Manifest;         // empty: none
  std::string LogDir;           // what Mizuto.ini's LogDir= says; empty: the folder of Out
  std::string ListsDir;         // empty: the skill and item lists are invented
  int Skills = 15;
  int Items = 20;
  int Checked = 5;
  bool OpenBattle = false;      // the log ends inside its last battle, as while playing
  bool UserNameSet = true;      // false: Mizuto.ini says UserName= (the owner not told)
  int Malformed = 0;            // percent of battle lines that are broken (0..100)
};

// Parses argv; on a bad argument returns false with `error` set.
bool ParseOptions(int argc, char** argv, Options* options, std::string* error);

extern const char* const kUsage;

}  // namespace mizuto::loggen
