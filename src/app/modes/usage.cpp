#include "app/modes/usage.h"

#include <cstddef>
#include <string_view>

namespace mizuto {
namespace {

// The column where an option's description starts in the list of options.
constexpr std::size_t kHelpColumn = 23;

// The lines of `text` (joined by '\n'), each after `indent` spaces but the first.
std::string Indented(std::string_view text, std::size_t indent) {
  std::string out;
  for (std::size_t begin = 0;;) {
    const std::size_t end = text.find('\n', begin);
    if (begin > 0) out.append(indent, ' ');
    out += text.substr(begin, end - begin);
    out += '\n';
    if (end == std::string_view::npos) return out;
    begin = end + 1;
  }
}

// The list of a mode's options, each with what it does. A build without the window lists of
// the window's options only those with a wording for it (they stand for every mode there).
std::string OptionList(CommandMode mode, bool window) {
  std::string list;
  for (const CommandOption& o : CommandOptions()) {
    if (o.Mode != mode || (o.Shown != nullptr && *o.Shown == '\0')) continue;
    if (!window && mode == CommandMode::Window && o.HelpWithoutWindow == nullptr) continue;
    std::string shown = o.Shown != nullptr ? o.Shown : o.Synopsis != nullptr ? std::string(o.Name) + " " + o.Synopsis : o.Name;
    shown = "  " + shown;
    shown.append(shown.size() + 2 <= kHelpColumn ? kHelpColumn - shown.size() : 2, ' ');
    list += shown + Indented(!window && o.HelpWithoutWindow != nullptr ? o.HelpWithoutWindow : o.Help, kHelpColumn);
  }
  return list;
}

const CommandModeText& ModeText(CommandMode mode) { return CommandModes()[static_cast<std::size_t>(mode)]; }

}  // namespace

std::string ModeSynopsis(CommandMode mode) {
  const CommandModeText& text = ModeText(mode);
  std::string synopsis = "usage: mizuto ";
  if (text.Word != nullptr) synopsis += std::string(text.Word) + " ";
  const std::size_t indent = synopsis.size();
  bool first = true, inBracket = false;
  for (const CommandOption& o : CommandOptions()) {
    if (o.Mode != mode || (o.Shown != nullptr && *o.Shown == '\0')) continue;
    if (inBracket) {
      synopsis += " | ";
    } else {
      if (!first) synopsis += o.NewSynopsisLine ? "\n" + std::string(indent, ' ') : " ";
      synopsis += '[';
    }
    first = false;
    synopsis += o.Name;
    if (o.Synopsis != nullptr) synopsis += std::string(" ") + o.Synopsis;
    inBracket = o.OrNext;
    if (!inBracket) synopsis += ']';
  }
  if (text.Operand != nullptr) synopsis += std::string(" ") + text.Operand;
  return synopsis + "\n";
}

namespace {

// The wording that differs between a build with the window and one without.
const char* Either(bool window, const char* withWindow, const char* without) { return window ? withWindow : without; }

std::string WindowHelp(bool window) {
  return Either(window,
                "Without --report or --follow, the main window opens (it needs a display), on LOG when\n"
                "one is named.\n",
                "This build has no window: it reads logs with --report, --follow and --history.\n") +
         OptionList(CommandMode::Window, window);
}

std::string ReportHelp(bool window) {
  return Either(window, "--report prints what the window shows after loading LOGFILE, in the sections [battles],\n",
                "--report prints what the analysis of LOGFILE shows, in the sections [battles],\n") +
         std::string("[summary], [tallies], [head-to-head], [errors], with --active [sink-counter], and with\n"
                     "--detail [detail].\n") +
         OptionList(CommandMode::Report, window) +
         "  Exit status: 0 when the log was read, 1 when it cannot be opened, 2 for bad arguments,\n"
         "  3 when the output cannot be written (a full disk, a closed output), 4 when memory\n"
         "  runs out.\n";
}

std::string FollowHelp(bool window) {
  return std::string("--follow follows LOGFILE as ") +
         Either(window, "the window's active mode does, until it is stopped with\nCtrl+C (SIGINT) or SIGTERM.",
                "it grows (as --active, only the newest battle counted),\nuntil it is stopped with Ctrl+C.") +
         " It prints each battle's label when the battle ends (those\n"
         "already ended in LOGFILE first), and at the end the summary line.\n" +
         OptionList(CommandMode::Follow, window) +
         "  Exit status: 0 when stopped, 1 when the log cannot be opened at the start, 2 for bad\n"
         "  arguments, 3 when the output cannot be written (it then ends at once), 4 when memory\n"
         "  runs out. A log that goes away later is reported once and followed again when it is\n"
         "  back; a log replaced (another file in its place) or cut shorter is reported once and\n"
         "  followed anew from its start.\n";
}

std::string HistoryHelp(bool window) {
  return std::string(
             "--history answers questions across logs from the season history, MizutoHistory.db in\n"
             "the program folder (beside Mizuto.ini), which every log ") +
         Either(window, "loaded in the window and every\nbattle followed joins.",
                "imported and every battle followed\njoins.") +
         " A log is known by its bytes: a log that has grown replaces its\n"
         "earlier import; a copy of it, or of its start, under another name or in another\n"
         "folder is the same log; a log analysed under other settings (NPC switch, player name,\n"
         "lists) is analysed again.\n" +
         OptionList(CommandMode::History, window) +
         "  Without --json it prints the sections [logs] (date, file, battles), [battles] (date,\n"
         "  file, label), [summary], [opponents] and [players] (CSV, as [tallies]; counted battles).\n"
         "  Exit status: 0 on success, 1 when the history cannot be used, a log could not be\n"
         "  imported or a log to forget is not in it, 2 for bad arguments, 3 when the output\n"
         "  cannot be written, 4 when memory runs out.\n";
}

std::string ServeHelp() {
  return "--serve shows LOG (without one, the newest log of the log folder) in a browser: it\n"
         "serves on 127.0.0.1 only, prints the page's address and the overlay's (/overlay, the\n"
         "sink counter for a streaming program's browser source), and runs until Ctrl+C\n"
         "(SIGINT) or SIGTERM. In active mode every change reaches the open pages at once.\n" +
         OptionList(CommandMode::Serve, true) +
         "  Exit status: 0 when stopped, 2 for bad arguments, 5 when the port cannot be had.\n";
}

}  // namespace

std::string FullUsage(bool window) {
  // One "usage:" heading over the synopses of all modes.
  std::string usage;
  for (const CommandModeText& mode : CommandModes()) {
    // The browser view is built where the window is (its library has no Windows build yet).
    if (!window && (mode.Mode == CommandMode::Window || mode.Mode == CommandMode::Serve)) continue;
    std::string synopsis = ModeSynopsis(mode.Mode);
    if (!usage.empty()) synopsis.replace(0, 6, 6, ' ');
    usage += synopsis;
  }
  usage += "       mizuto --help   (or mizuto --report --help, mizuto --follow --help)\n";
  usage += "       mizuto --version\n";
  usage += "\n" + WindowHelp(window);
  usage += "\n--version prints the program's title and version.\n";
  usage += "\n" + ReportHelp(window);
  usage += "\n" + FollowHelp(window);
  usage += "\n" + HistoryHelp(window);
  if (window) usage += "\n" + ServeHelp();
  return usage;
}

std::string StartGuide() {
  return "Mizuto はコマンドプロンプトか PowerShell から使うプログラムです (ウィンドウはありません)。\n"
         "mizuto.exe のあるフォルダでコマンドプロンプトを開き、たとえば次のように入力してください:\n"
         "\n"
         "  mizuto.exe --report \"C:\\ゲーム\\logs\\chat_20240501.html\"\n"
         "      ログを読み、戦闘一覧・集計表・対戦表を表示します\n"
         "  mizuto.exe --follow --counter-file score.txt \"C:\\ゲーム\\logs\\chat_20240501.html\"\n"
         "      書き足されていくログを追い、撃沈カウンターを score.txt に書きます (Ctrl+C で終了)\n"
         "  mizuto.exe --history --import \"C:\\ゲーム\\logs\"\n"
         "      フォルダのログをシーズンの履歴に取り込み、履歴全体の集計を表示します\n"
         "  mizuto.exe --report demo\\demo.html\n"
         "      付属のデモログで試せます\n"
         "\n"
         "設定は同じフォルダの Mizuto.ini (メモ帳で編集できます)、くわしくは README.txt を、\n"
         "すべてのオプションは mizuto.exe --help (英語) をご覧ください。\n";
}

}  // namespace mizuto
