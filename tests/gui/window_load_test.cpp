// The window while a large log loads: it is drawn in between, and its status bar counts
// the reading before the analysis.
#include <QTimer>

#include "main_window_fixture.h"

namespace mizuto {
namespace {

class WindowLoad : public test::MainWindowTest {};

TEST_F(WindowLoad, EventsAreHandledWhileALogOfSeveralBlocksLoads) {
  // Some three megabytes of chat: the reader takes it in several blocks.
  std::string log;
  while (log.size() < 3'000'000) log += test::SayLine("長いログの一行 " + std::to_string(log.size()));
  const std::string path = dir.File("long.html");
  test::WriteBytes(path, log);
  Open();

  // Queued before the load: it can only run inside the load if the window handles its
  // events meanwhile (nothing else runs the event loop until the test does).
  QStringList statusInsideLoad;
  bool loading = false;
  QTimer::singleShot(0, window.get(), [&] {
    if (loading) statusInsideLoad << Status();
  });
  loading = true;
  ASSERT_TRUE(window->OpenLog(QString::fromStdString(path)));
  loading = false;
  ASSERT_EQ(statusInsideLoad.size(), 1) << "no event handled while the log loaded";
  EXPECT_TRUE(statusInsideLoad.front().startsWith(test::Q("読込中:"))) << statusInsideLoad.front().toStdString();
  EXPECT_EQ(Status(), test::Q("戦闘データはありません"));
}

}  // namespace
}  // namespace mizuto
