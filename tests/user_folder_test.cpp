// Where an installed Mizuto keeps each user's settings and lists, and the program's own
// version as the build set it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/owner/app.h"
#include "app/parts/user_folder.h"
#include "support/test_support.h"

namespace mizuto {
namespace {

TEST(UserFolder, FollowsTheBaseDirectoryRules) {
  struct Case {
    const char* configHome;
    const char* home;
    const char* folder;
  };
  const Case cases[] = {
      {"/home/ann/.cfg", "/home/ann", "/home/ann/.cfg/mizuto/"},
      {"/home/ann/.cfg/", "/home/ann", "/home/ann/.cfg/mizuto/"},
      {nullptr, "/home/ann", "/home/ann/.config/mizuto/"},
      {"", "/home/ann/", "/home/ann/.config/mizuto/"},
      // A relative value is to be ignored, not taken from the working folder.
      {"cfg", "/home/ann", "/home/ann/.config/mizuto/"},
      {nullptr, nullptr, ""},
      {"cfg", "home", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(UserProgramFolder(c.configHome, c.home), c.folder)
        << (c.configHome ? c.configHome : "(unset)") << " " << (c.home ? c.home : "(unset)");
  }
}

TEST(UserFolder, MadeAtFirstStartWithTheShippedListsAndNeverOverwritten) {
  test::TempDir dir;
  const std::string shipped = dir.File("share/");
  std::filesystem::create_directories(shipped);
  test::WriteBytes(shipped + "NPCList.txt", "npc\r\n");
  test::WriteBytes(shipped + "SkillList.txt", "skill\r\n");
  test::WriteBytes(shipped + "notes.md", "not a list");
  std::filesystem::create_directories(shipped + "demo");

  const std::string folder = dir.File("config/deeper/mizuto/");
  std::string error;
  ASSERT_TRUE(PrepareUserFolder(folder, shipped, &error)) << error;
  EXPECT_EQ(test::ReadBytes(folder + "NPCList.txt"), "npc\r\n");
  EXPECT_EQ(test::ReadBytes(folder + "SkillList.txt"), "skill\r\n");
  EXPECT_FALSE(std::filesystem::exists(folder + "notes.md"));
  EXPECT_FALSE(std::filesystem::exists(folder + "demo"));

  // The user edits one list and removes another: the next start restores only the missing.
  test::WriteBytes(folder + "NPCList.txt", "npc\r\nmine\r\n");
  std::filesystem::remove(folder + "SkillList.txt");
  ASSERT_TRUE(PrepareUserFolder(folder, shipped, &error)) << error;
  EXPECT_EQ(test::ReadBytes(folder + "NPCList.txt"), "npc\r\nmine\r\n");
  EXPECT_EQ(test::ReadBytes(folder + "SkillList.txt"), "skill\r\n");
}

TEST(UserFolder, AFolderThatCannotBeMadeIsAnError) {
  test::TempDir dir;
  test::WriteBytes(dir.File("shipped.txt"), "x");
  test::WriteBytes(dir.File("taken"), "a file where the folder should be");
  std::string error;
  EXPECT_FALSE(PrepareUserFolder(dir.File("taken/mizuto/"), dir.Path(), &error));
  EXPECT_NE(error.find("taken/mizuto/"), std::string::npos) << error;
  error.clear();
  EXPECT_FALSE(PrepareUserFolder(dir.File("fresh/"), dir.File("no-such-share/"), &error));
  EXPECT_NE(error.find("no-such-share"), std::string::npos) << error;
}

TEST(ProgramVersion, OneVersionForCaptionAndCommandLine) {
  const std::string title = std::string("Mizuto Ver") + MIZUTO_PROJECT_VERSION;
  EXPECT_EQ(App().ProgramTitle(), title);
  const test::Outcome run = test::RunCommand(std::string(MIZUTO_EXE) + " --version");
  EXPECT_EQ(run.status, 0);
#ifdef _WIN32
  EXPECT_EQ(run.out, title + "\r\n");  // a console's line end, as --help has
#else
  EXPECT_EQ(run.out, title + "\n");
#endif
}

}  // namespace
}  // namespace mizuto
