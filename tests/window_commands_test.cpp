// The window's command table, walked whole: a command added to it is kept in the settings
// file and shown in the transcript without a second list to remember.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "app/owner/app.h"
#include "app/owner/result_views.h"
#include "app/commands/settings_file.h"
#include "app/commands/window_commands.h"
#include "support/test_support.h"

namespace mizuto {
namespace {

std::size_t Occurrences(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// Each kept switch, flipped alone from its default, is read back flipped by a fresh start-up,
// and every other switch is read back as it was: no two commands share a key, and none is
// written where it is not read.
TEST(WindowCommandTable, EverySwitchWithAKeyComesBackAloneFromTheSettingsFile) {
  int kept = 0;
  for (const WindowCommand& command : WindowCommands()) {
    if (command.IniKey == nullptr) continue;
    SCOPED_TRACE(command.Name);
    ++kept;
    EXPECT_EQ(command.Kind, CommandKind::Switch) << "only a switch has a state to keep";
    test::TempDir dir;
    App saved;
    saved.ProgramDir = dir.Path();
    ActionState& flipped = saved.Acts.*command.State;
    flipped.Checked = !flipped.Checked;
    std::string error;
    ASSERT_TRUE(SaveSettings(saved, &error)) << error;
    const std::string file = test::ReadBytes(dir.File("Mizuto.ini"));
    EXPECT_EQ(Occurrences(file, "\n" + std::string(command.IniKey) + "="), 1u) << file;

    App read;
    read.ProgramDir = dir.Path();
    LoadSettingsFirst(read);
    LoadSettingsChecks(read);
    LoadSettingsSwitches(read);
    for (const WindowCommand& other : WindowCommands()) {
      EXPECT_EQ((read.Acts.*other.State).Checked, (saved.Acts.*other.State).Checked) << other.Name;
    }
  }
  EXPECT_GT(kept, 0);
}

// Each transcript switch shows a part of the transcript of its own: switched on alone, it
// switches on one part, and no other switch does that part; and it is a switch of the
// window's commands, which draws the transcript again.
TEST(WindowCommandTable, EveryTranscriptSwitchShowsAPartOfItsOwn) {
  Actions allOff;
  for (const WindowCommand& command : WindowCommands()) (allOff.*command.State).Checked = false;
  for (const TranscriptSwitch& t : TranscriptSwitches()) (allOff.*t.State).Checked = false;
  const DetailSwitches none = DetailSwitchesOf(allOff);
  auto parts = [](const DetailSwitches& s) {
    std::vector<bool> v{s.Cri, s.Water, s.Sail, s.Rudder, s.Confuse, s.Debug};
    v.insert(v.end(), std::begin(s.Chat), std::end(s.Chat));
    return v;
  };
  const std::vector<bool> off = parts(none);
  ASSERT_EQ(std::count(off.begin(), off.end(), true), 0);
  std::vector<int> shownBy(off.size(), 0);
  const WindowCommand& render = *FindWindowCommand("CriticalView");
  for (const TranscriptSwitch& t : TranscriptSwitches()) {
    const auto command = std::find_if(WindowCommands().begin(), WindowCommands().end(),
                                      [&](const WindowCommand& c) { return c.State == t.State; });
    ASSERT_NE(command, WindowCommands().end());
    SCOPED_TRACE(command->Name);
    EXPECT_EQ(command->Kind, CommandKind::Switch);
    EXPECT_EQ(command->Run, render.Run);
    Actions one = allOff;
    (one.*t.State).Checked = true;
    const std::vector<bool> on = parts(DetailSwitchesOf(one));
    ASSERT_EQ(std::count(on.begin(), on.end(), true), 1);
    ++shownBy[static_cast<std::size_t>(std::find(on.begin(), on.end(), true) - on.begin())];
  }
  // Chat channel 0 does not exist; every other part has exactly one switch.
  const std::vector<int> expected{1, 1, 1, 1, 1, 1, 0, 1, 1, 1, 1, 1, 1, 1};
  EXPECT_EQ(shownBy, expected);
}

// The window's trigger: a disabled command does nothing; a switch takes the state its control
// shows, then runs; an action leaves its checked state alone.
TEST(WindowCommandTable, TriggerRunsOnlyEnabledCommandsAndSwitchesFirst) {
  App app;
  CommandContext context;
  const WindowCommand& render = *FindWindowCommand("SayView");
  app.Acts.SayView.Enabled = false;
  EXPECT_FALSE(TriggerCommand(app, render, context, true));
  EXPECT_FALSE(app.Acts.SayView.Checked);
  app.Acts.SayView.Enabled = true;
  bool ran = false;
  EXPECT_TRUE(TriggerCommand(app, render, context, true, [&] { ran = app.Acts.SayView.Checked; }));
  EXPECT_TRUE(ran) << "the switch is flipped before its handler runs";

  const WindowCommand& hide = *FindWindowCommand("PlayerAll");
  app.Acts.PlayerAll.Enabled = true;
  EXPECT_TRUE(TriggerCommand(app, hide, context, true));
  EXPECT_FALSE(app.Acts.PlayerAll.Checked);
  EXPECT_EQ(FindWindowCommand("NoSuchCommand"), nullptr);
}

}  // namespace
}  // namespace mizuto
