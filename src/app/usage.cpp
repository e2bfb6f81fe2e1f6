#include "app/usage.h"

#include "app/follow.h"
#include "app/history_command.h"
#include "app/report.h"

namespace mizuto {

std::string FullUsage(bool window) {
  // The wording that differs between a build with the window and one without.
  auto either = [window](const char* withWindow, const char* without) { return window ? withWindow : without; };
  // One "usage:" heading over the synopses of all modes.
  auto aligned = [](std::string synopsis) {
    const std::string heading = "usage: ";
    if (synopsis.starts_with(heading)) synopsis.replace(0, heading.size(), heading.size(), ' ');
    return synopsis;
  };
  std::string usage = window ? kWindowUsage : "";
  usage += window ? aligned(kReportUsage) : kReportUsage;
  usage += aligned(kFollowUsage);
  usage += aligned(kHistoryUsage);
  // The browser view is built where the window is (its library has no Windows build yet).
  if (window) usage += aligned(kServeUsage);
  usage += "       mizuto --help   (or mizuto --report --help, mizuto --follow --help)\n";
  usage += "       mizuto --version\n";
  if (window) {
    usage +=
        "\n"
        "Without --report or --follow, the main window opens (it needs a display), on LOG when\n"
        "one is named.\n"
        "  --program-dir DIR    the folder of Mizuto.ini and the list files NPCList.txt,\n"
        "                       SkillList.txt, ItemList.txt, ShipList.txt (default: the\n"
        "                       program's folder; for an installed Mizuto $XDG_CONFIG_HOME/mizuto,\n"
        "                       by default ~/.config/mizuto, made at its first start with the\n"
        "                       shipped lists); the window writes its settings back there\n"
        "  --screenshot PNG     save a picture of the window once it is drawn, then end\n"
        "  --quit-after-load    draw the window once with LOG, then end without saving settings\n"
        "  --no-history         leave the season history (MizutoHistory.db) alone\n";
  } else {
    usage +=
        "\n"
        "This build has no window: it reads logs with --report, --follow and --history.\n"
        "  --program-dir DIR    the folder of Mizuto.ini and the list files NPCList.txt,\n"
        "                       SkillList.txt, ItemList.txt, ShipList.txt (default: the\n"
        "                       program's folder, where the first run writes a Mizuto.ini\n"
        "                       with every setting for you to change)\n";
  }
  usage +=
      "\n"
      "--version prints the program's title and version.\n"
      "\n";
  usage += either("--report prints what the window shows after loading LOGFILE, in the sections [battles],\n",
                  "--report prints what the analysis of LOGFILE shows, in the sections [battles],\n");
  usage +=
      "[summary], [tallies], [head-to-head], [errors], with --active [sink-counter], and with\n"
      "--detail [detail].\n"
      "  --program-dir DIR    ";
  usage += either("as for the window\n", "as above\n");
  usage +=
      "  --active             active mode: only the newest battle is counted\n"
      "  --avg-hit-down       sinks and captures as a percentage of the battles\n"
      "  --avg-skill-item     skill and item uses as an average per battle\n"
      "  --detail all|N,...   the transcript of every battle, or of the battles numbered N\n"
      "  --encoding E         utf-8 (default) or sjis (Shift-JIS) output\n"
      "  --html FILE          write the browser page of the log to FILE instead, one file\n"
      "                       with everything inside (for sharing; nothing is fetched)\n"
      "  Exit status: 0 when the log was read, 1 when it cannot be opened, 2 for bad arguments,\n"
      "  3 when the output cannot be written (a full disk, a closed output), 4 when memory\n"
      "  runs out.\n"
      "\n"
      "--follow follows LOGFILE as ";
  usage += either("the window's active mode does, until it is stopped with\nCtrl+C (SIGINT) or SIGTERM.",
                  "it grows (as --active, only the newest battle counted),\nuntil it is stopped with Ctrl+C.");
  usage +=
      " It prints each battle's label when the battle ends (those\n"
      "already ended in LOGFILE first), and at the end the summary line.\n"
      "  --program-dir DIR    ";
  usage += either("as for the window\n", "as above\n");
  usage +=
      "  --interval MS        milliseconds between two reads of the log (default 3000, at\n"
      "                       least 10)\n"
      "  --counter-file FILE  keep the sink counter's text (\"味方 N - N 敵\", UTF-8) in FILE,\n"
      "                       replaced as a whole whenever it changes\n"
      "  --json               one JSON object per ended battle (JSON Lines, UTF-8): number,\n"
      "                       kind, type, ship_class, npc, admiral, opponent, result, own_down,\n"
      "                       enemy_down, counted, label; at the end {\"summary\": ...}\n"
      "  --no-history         leave the season history alone (by default every battle that\n"
      "                       ends joins it";
  usage += either(", as in the window)\n", ")\n");
  usage +=
      "  --encoding E         utf-8 (default) or sjis (Shift-JIS) labels\n"
      "  Exit status: 0 when stopped, 1 when the log cannot be opened at the start, 2 for bad\n"
      "  arguments, 3 when the output cannot be written (it then ends at once), 4 when memory\n"
      "  runs out. A log that goes away later is reported once and followed again when it is\n"
      "  back; a log replaced (another file in its place) or cut shorter is reported once and\n"
      "  followed anew from its start.\n"
      "\n"
      "--history answers questions across logs from the season history, MizutoHistory.db in\n"
      "the program folder (beside Mizuto.ini), which every log ";
  usage += either("loaded in the window and every\nbattle followed joins.", "imported and every battle followed\njoins.");
  usage +=
      " A log is known by its bytes: a log that has grown replaces its\n"
      "earlier import; a copy of it, or of its start, under another name or in another\n"
      "folder is the same log; a log analysed under other settings (NPC switch, player name,\n"
      "lists) is analysed again.\n"
      "  --program-dir DIR    ";
  usage += either("as for the window\n", "as above\n");
  usage +=
      "  --import PATH...     import these logs first (a folder: every *.html in it); one line\n"
      "                       per log on the error output: imported, unchanged, grown, moved,\n"
      "                       merged, reanalysed or error\n"
      "  --forget PATH...     then take these logs out of the history (by the place they were\n"
      "                       imported from): their battles and corrections go, the totals no\n"
      "                       longer count them; one line each: forgotten (N battles), or\n"
      "                       error when the history holds no log there\n"
      "  --reanalyse          then analyse every stored log again under the settings now, where\n"
      "                       its file still is (one line each as for --import; a log whose\n"
      "                       file has gone keeps its battles: gone)\n"
      "  --from YYYY-MM-DD    only the battles of this day and later (the log's date: from its\n"
      "  --to YYYY-MM-DD      file name, else its last change) / of this day and earlier\n"
      "  --json               one JSON object per battle (the keys of --follow --json, with\n"
      "                       log and date), then {\"summary\": ...}\n"
      "  --encoding E         utf-8 (default) or sjis (Shift-JIS) output\n"
      "  Without --json it prints the sections [logs] (date, file, battles), [battles] (date,\n"
      "  file, label), [summary], [opponents] and [players] (CSV, as [tallies]; counted battles).\n"
      "  Exit status: 0 on success, 1 when the history cannot be used, a log could not be\n"
      "  imported or a log to forget is not in it, 2 for bad arguments, 3 when the output\n"
      "  cannot be written, 4 when memory runs out.\n";
  if (window) {
    usage +=
        "\n"
        "--serve shows LOG (without one, the newest log of the log folder) in a browser: it\n"
        "serves on 127.0.0.1 only, prints the page's address and the overlay's (/overlay, the\n"
        "sink counter for a streaming program's browser source), and runs until Ctrl+C\n"
        "(SIGINT) or SIGTERM. In active mode every change reaches the open pages at once.\n"
        "  --port N             the port (default 8372; 0: any free port)\n"
        "  --active             start with active mode on (the page has the switch too)\n"
        "  --program-dir DIR    as for the window\n"
        "  --no-history         leave the season history alone\n"
        "  Exit status: 0 when stopped, 2 for bad arguments, 5 when the port cannot be had.\n";
  }
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
