// The main window's commands, once: each command's name, the action state it reads and
// toggles, what it does in the core and the Mizuto.ini key that keeps it (the part of the
// transcript a switch shows is the result views' own: TranscriptSwitches). The window adds captions, keys and menus by name; the settings
// file reads and writes the keys by walking this table; the tests walk it too, so a command
// added here is kept, shown and exercised without a second list to remember.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "app/parts/dialogs.h"
#include "app/parts/view_models.h"

namespace mizuto {

struct App;

// What a command may ask of the program it runs in.
struct CommandContext {
  Dialogs Ask;  // questions and notices (Shift-JIS)
  // A file that could not be written: the system's message, UTF-8 as it names paths.
  std::function<void(const std::string& text)> ReportError;
  // A long command's progress: `done` of `total` steps, the step about to begin (UTF-8);
  // false when the player asked to stop. Unset: the command runs to its end.
  std::function<bool(std::size_t done, std::size_t total, const std::string& step)> Progress;
  // What the long command is doing, for its progress' label (Shift-JIS); empty: importing
  // logs into the history. Set by the command while it runs.
  std::string ProgressDoing;
};

enum class CommandKind : std::uint8_t {
  Action,  // runs when chosen
  Switch,  // flips its checked state, then runs
};

// Where Mizuto.ini keeps a switch. The first files wrote the switches in three runs between
// the other keys of [Mizuto]; a file rewritten keeps that layout, so each run stays where it
// was, in the table's order. A switch added since is kept in [MizutoWindow] after its keys.
enum class SettingsPlace : std::uint8_t {
  NotKept,
  AfterNpc,         // after NPC= (read with the window's geometry)
  AfterLogDir,      // after LogDir= (read with the window's geometry)
  AfterCheckMarks,  // after SkillChk= (read once the lists are loaded)
  WindowSection,    // [MizutoWindow], after its own keys
};

struct WindowCommand {
  const char* Name;  // the action's object name
  ActionState Actions::*State;
  CommandKind Kind;
  // What the command does in the core; nullptr when it does nothing there (the window runs
  // a dialog, a browser or lays out its panes) or, for a switch, nothing beyond the flip.
  void (*Run)(App& app, CommandContext& context) = nullptr;
  const char* IniKey = nullptr;  // nullptr: not kept
  SettingsPlace Place = SettingsPlace::NotKept;
};

// Every command, switches of one settings run in the order the file keeps them.
std::span<const WindowCommand> WindowCommands();
// The command of that name, or nullptr.
const WindowCommand* FindWindowCommand(std::string_view name);

// Runs a command as the window's trigger does: nothing when its action is disabled; a switch
// takes `checked` (what its control shows now) before it runs; then the core's handler runs,
// or `instead` when given (a window that shows a dialog first). False when it did not run.
bool TriggerCommand(App& app, const WindowCommand& command, CommandContext& context, bool checked,
                    const std::function<void()>& instead = {});

}  // namespace mizuto
