// What the browser page reads of a log's results, as JSON: the same view models the window
// draws and the report prints (battle list, summary, tally table, head-to-head grid, error
// pane, sink counter), and a battle's transcript under the window's switches. Nothing here
// computes a figure; it only spells the models in JSON.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mizuto {
struct App;
}

namespace mizuto::web {

// The page's whole state. `revision` tells the page whether anything changed since it last
// drew; `liveTicks` whether active mode's ticks are running (a served page in active mode).
std::string ResultsJson(const App& app, std::uint64_t revision, bool liveTicks);

// The transcript switches the page offers: the window's command names (CriticalView, SayView…),
// in the window's order, with whether each is on in `app`.
struct TranscriptSwitch {
  std::string Name;
  bool On = false;
};
std::vector<TranscriptSwitch> TranscriptSwitches(const App& app);

// Battle `battle` (from 0) as the transcript pane would show it with the switches named in
// `switchesOn` on and the others off (a name that is no switch is ignored). A battle that is
// not in the list gives no lines.
std::string TranscriptJson(const App& app, int battle, const std::vector<std::string>& switchesOn);

// The transcripts of every battle under the switches the settings hold, for a page written
// to a file (which has no server to ask).
std::string AllTranscriptsJson(const App& app);

// JSON that may stand inside an HTML <script> block: every '<' written as \u003c, so no text
// from a log can close the block or open a comment.
std::string ScriptSafe(std::string_view json);

}  // namespace mizuto::web
