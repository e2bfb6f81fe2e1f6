// The include check of the layers and of the ranked folders inside app and gui, run over
// small trees made here: each tree is a sound one with one include (or one file) added.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "support/test_basics.h"

namespace mizuto {
namespace {

const char* const kLayerLines =
    "mizuto_layer(platform LEVEL 0)\n"
    "mizuto_layer(text     LEVEL 1)\n"
    "mizuto_layer(battle   LEVEL 2)\n"
    "mizuto_layer(app      LEVEL 3)\n";

// A file and what it includes (each a header of the tree, named from src/).
using TreeFile = std::pair<std::string, std::vector<std::string>>;

// Files that follow every rule: the folders' own headers, and each folder looking down.
const std::vector<TreeFile> kSoundTree = {
    {"text/codec.h", {"platform/platform.h"}},
    {"platform/platform.h", {}},
    {"battle/tables.h", {"text/codec.h"}},
    {"app/parts/view_models.h", {"battle/tables.h"}},
    {"app/season/season_tables.h", {}},
    {"app/owner/app.h", {"app/parts/view_models.h", "app/season/season_tables.h"}},
    {"app/owner/app.cpp", {"app/owner/app.h"}},
    {"app/commands/main_commands.cpp", {"app/owner/app.h", "app/parts/view_models.h"}},
    {"app/modes/report.cpp", {"app/commands/main_commands.h", "app/owner/app.h"}},
    {"app/commands/main_commands.h", {}},
    {"gui/widgets/gui_text.h", {}},
    {"gui/results/detail_pane.cpp", {"gui/widgets/gui_text.h", "app/parts/view_models.h"}},
    {"gui/window/main_window.cpp", {"gui/results/detail_pane.h", "app/modes/report.h"}},
    {"gui/results/detail_pane.h", {}},
    {"app/modes/report.h", {}},
    {"main.cpp", {"gui/window/main_window.h", "app/modes/report.h"}},
    {"gui/window/main_window.h", {}},
};

void WriteTree(const std::string& root, const std::vector<TreeFile>& files) {
  test::WriteBytes(root + "CMakeLists.txt", kLayerLines);
  for (const auto& [path, includes] : files) {
    std::string text = "#pragma once\n";
    for (const std::string& header : includes) text += "#include \"" + header + "\"\n";
    std::filesystem::create_directories(std::filesystem::path(root + "src/" + path).parent_path());
    test::WriteBytes(root + "src/" + path, text);
  }
}

test::Outcome CheckTree(const std::string& root) {
  return test::RunCommand("bash '" MIZUTO_SOURCE_DIR "/scripts/check_layers.sh' '" + root + "'");
}

TEST(CheckLayers, FailsOnEveryIncludeThatLooksUpOrAside) {
#ifdef _WIN32
  GTEST_SKIP() << "the check runs where the test command runs, with bash";
#endif
  const struct {
    const char* what;
    TreeFile added;
    const char* said;  // the line on the error output; nullptr: the check passes
  } cases[] = {
      {"the sound tree", {"app/owner/result_views.cpp", {"app/owner/app.h"}}, nullptr},
      {"an owner's header including a higher folder's",
       {"app/owner/history.h", {"app/commands/main_commands.h"}},
       "app/owner/history.h includes app/commands/main_commands.h: app/commands is not below app/owner"},
      {"a folder including its sibling on the same rank",
       {"app/parts/dialogs.h", {"app/season/season_tables.h"}},
       "app/parts/dialogs.h includes app/season/season_tables.h: app/season is not below app/parts"},
      {"a command including a headless mode",
       {"app/commands/start_up.cpp", {"app/modes/report.h"}},
       "app/commands/start_up.cpp includes app/modes/report.h: app/modes is not below app/commands"},
      {"a window widget including the window",
       {"gui/widgets/pane.cpp", {"gui/window/main_window.h"}},
       "gui/widgets/pane.cpp includes gui/window/main_window.h: gui/window is not below gui/widgets"},
      {"a file of app in no folder", {"app/loose.cpp", {"app/owner/app.h"}},
       "app/loose.cpp: in no ranked folder of app (scripts/check_layers.sh ranks them)"},
      {"a folder without a rank", {"app/serve/server.cpp", {"app/owner/app.h"}},
       "app/serve/server.cpp: in no ranked folder of app (scripts/check_layers.sh ranks them)"},
      {"a header of a folder without a rank", {"app/modes/serve.cpp", {"app/serve/server.h"}},
       "app/modes/serve.cpp includes app/serve/server.h: app/serve is not below app/modes"},
      {"a layer including the one above", {"battle/label.cpp", {"app/owner/app.h"}},
       "battle/label.cpp includes app/owner/app.h: app is not below battle"},
      {"the core including the window", {"app/modes/follow.cpp", {"gui/widgets/gui_text.h"}},
       "app/modes/follow.cpp includes gui/widgets/gui_text.h: gui is not below app"},
      {"the lowest folder of a layer including a lower layer", {"gui/widgets/icons.cpp", {"app/modes/report.h"}},
       nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempDir dir;
    std::vector<TreeFile> files = kSoundTree;
    files.push_back(c.added);
    WriteTree(dir.Path(), files);
    const test::Outcome run = CheckTree(dir.Path());
    if (c.said == nullptr) {
      EXPECT_EQ(run.status, 0) << run.err;
      EXPECT_EQ(run.out, "layers: every include looks down\n");
    } else {
      EXPECT_EQ(run.status, 1);
      EXPECT_EQ(run.err, std::string(c.said) + "\nlayer check failed\n");
    }
  }
}

}  // namespace
}  // namespace mizuto
