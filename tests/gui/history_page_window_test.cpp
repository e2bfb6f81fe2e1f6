// The History page on the real widgets: logs imported through the File menu's command,
// the filter bar changing what the tables and the chart show, sorting by a header click,
// a double-click that loads a battle's log, a log that has gone, a stopped import, the
// history's trouble on the page, and the page's settings kept in Mizuto.ini.
#include <numeric>

#include <QBarSet>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QInputMethodEvent>
#include <QLineSeries>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>
#include <QToolButton>
#include <QValueAxis>
#include <cmath>
#include <filesystem>

#include "gui/history/history_chart.h"
#include "main_window_fixture.h"

namespace mizuto {
namespace {

using test::Q;
using test::SystemLine;

// 2026-11-01: a won assault by 鬼丸, whose ship is put out of action, and a lost engagement
// with 白波; 2026-11-02: a won assault by the NPC 海賊; 2026-11-05: 白波 again, lost. The NPC
// switch is on, so the NPC's battle is analysed and counted; the player marks it as an NPC's.
const std::pair<const char*, std::string> kLogs[] = {
    {"chat_2026-11-01.html", SystemLine("鬼丸の強襲です！") + SystemLine("敵船鬼丸を撃沈しました！") +
                                 SystemLine("鬼丸の船が航行不能になりました") + SystemLine("鬼丸に勝利しました！") + SystemLine("白波と交戦に入ります！") +
                                 SystemLine("次郎が荒波を撃沈しました！") + SystemLine("白波に敗北しました…")},
    {"chat_2026-11-02.html", SystemLine("海賊の強襲です！") + SystemLine("太郎が黒船を撃沈しました！") +
                                 SystemLine("海賊に勝利しました！")},
    {"chat_2026-11-05.html", SystemLine("白波と交戦に入ります！") + SystemLine("次郎が荒波を撃沈しました！") +
                                 SystemLine("白波に敗北しました…")},
};

class HistoryPageTest : public test::MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    std::filesystem::create_directories(dir.File("logs"));
  }
  std::string LogPath(const char* name) const { return dir.File("logs/" + std::string(name)); }
  void WriteLogs() {
    for (const auto& [name, bytes] : kLogs) test::WriteBytes(LogPath(name), bytes);
  }
  // Five logs, 2026-11-01 to 11-05, each its own bytes: a copy of a log is that log, not another.
  void WriteFiveDays() {
    for (int day = 1; day <= 5; ++day) {
      char name[32];
      std::snprintf(name, sizeof name, "chat_2026-11-%02d.html", day);
      test::WriteBytes(LogPath(name), test::SayLine(name) + kLogs[2].second);
    }
  }
  // The window with the history switched on, as the program starts it, and the log folder.
  void OpenWithHistory(const std::vector<std::string>& iniLines = {}) {
    std::vector<std::string> lines{"NPC=1", "LogDir=" + dir.File("logs")};
    lines.insert(lines.end(), iniLines.begin(), iniLines.end());
    WriteIni(lines);
    Open();
    core->History.Enable(true);
    // The page's last 30 calendar days end on the last log's day.
    core->HistoryPage.Today = "2026-11-05";
    // Its imports go on beside the window, as in the program.
    core->History.RunBeside(true);
  }
  // Imports the folder, then marks the 海賊 battle as an NPC's, as the player does in the
  // battle list.
  void ImportFolderAndMarkTheNpc() {
    ImportFolder();
    ASSERT_TRUE(window->OpenLog(QString::fromStdString(LogPath("chat_2026-11-02.html"))));
    ClickRow(BattleList(), 0);
    window->Action("ToNPC")->trigger();
    ASSERT_TRUE(BattleRows()[0].contains(Q("(NPC)"))) << BattleRows()[0].toStdString();
  }
  void ImportFolder() {
    window->Action("ImportLogFolder")->trigger();
    ASSERT_FALSE(record.Messages.isEmpty());
  }
  void ShowHistory() { ShowPageOf(Find<QWidget>("historyPage")); }

  // A table's texts row by row, cells joined by " | ".
  QStringList Rows(const char* table) const {
    QAbstractItemModel* model = Find<QTableView>(table)->model();
    QStringList rows;
    for (int r = 0; r < model->rowCount(); ++r) {
      QStringList cells;
      for (int c = 0; c < model->columnCount(); ++c) cells << model->index(r, c).data().toString();
      rows << cells.join(QStringLiteral(" | "));
    }
    return rows;
  }
  QStringList Column(const char* table, int column) const {
    QAbstractItemModel* model = Find<QTableView>(table)->model();
    QStringList texts;
    for (int r = 0; r < model->rowCount(); ++r) texts << model->index(r, column).data().toString();
    return texts;
  }
  // The chart's bars of one result, day by day, and its categories.
  std::vector<int> Bars(int result) const {
    std::vector<int> values;
    const QBarSet* set = Find<HistoryChart>("historyChart")->ResultSets()[static_cast<std::size_t>(result)];
    for (int i = 0; i < set->count(); ++i) values.push_back(static_cast<int>(set->at(i)));
    return values;
  }
  // The chart's last five days, 11-01 to 11-05, of the range shown (the whole range when shorter).
  static std::vector<int> Tail(std::vector<int> values) {
    if (values.size() > 5) values.erase(values.begin(), values.end() - 5);
    return values;
  }
  std::vector<int> Line(QLineSeries* series) const {
    std::vector<int> values;
    for (const QPointF& p : series->points()) values.push_back(static_cast<int>(p.y()));
    return values;
  }
  // A point of the chart's viewport in column `column` (0: the first day or week), `height`
  // of the plot's height down from its top.
  QPoint ChartPoint(double column, double height) const {
    auto* chart = Find<HistoryChart>("historyChart");
    // A chart drawn anew lays itself out once the window is idle.
    QCoreApplication::processEvents();
    const QRectF plot = chart->chart()->plotArea();
    const int columns = chart->CurrentView() == HistoryChart::View::Days ? static_cast<int>(chart->ResultSets()[0]->count())
                                                                          : static_cast<int>(chart->Weeks().size());
    const QPointF inChart(plot.left() + plot.width() * (column + 0.5) / columns, plot.top() + plot.height() * height);
    return chart->mapFromScene(chart->chart()->mapToScene(inChart));
  }
  void ClickHeader(const char* table, int column) {
    QHeaderView* header = Find<QTableView>(table)->horizontalHeader();
    const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
  }
  void DoubleClickBattle(int row) {
    QTableView* table = Find<QTableView>("historyBattles");
    const QRect cell = table->visualRect(table->model()->index(row, 0));
    ASSERT_TRUE(table->viewport()->rect().contains(cell.center())) << row;
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, cell.center());
  }
};

TEST_F(HistoryPageTest, TheFilterChangesWhatTheTablesAndTheChartShow) {
  WriteLogs();
  OpenWithHistory();
  ImportFolder();
  EXPECT_TRUE(record.Messages.back().contains(Q("新しいログ: 3"))) << (record.Messages.back()).toStdString();
  ImportFolderAndMarkTheNpc();
  ShowHistory();

  // The last 30 calendar days: all three logs.
  EXPECT_EQ(Find<QDateEdit>("historyFrom")->date(), QDate(2026, 10, 7));
  EXPECT_EQ(Find<QDateEdit>("historyTo")->date(), QDate(2026, 11, 5));
  ASSERT_EQ(Column("historyBattles", 1),
            (QStringList{Q("2026-11-01"), Q("2026-11-01"), Q("2026-11-02"), Q("2026-11-05")}));
  EXPECT_EQ(Column("historyBattles", 2),
            (QStringList{Q("chat_2026-11-01.html"), Q("chat_2026-11-01.html"), Q("chat_2026-11-02.html"),
                         Q("chat_2026-11-05.html")}));
  EXPECT_TRUE(Column("historyBattles", 0)[2].contains(Q("海賊"))) << (Column("historyBattles", 0)[2]).toStdString();
  // Opponent, battles, won, lost, drawn, escaped, withdrawn, own down, enemy down.
  EXPECT_EQ(Rows("historyOpponents"), (QStringList{Q("白波 | 2 | 0 | 2 | 0 | 0 | 0 | 0 | 0"),
                                                   Q("海賊 | 1 | 1 | 0 | 0 | 0 | 0 | 0 | 0"),
                                                   Q("鬼丸 | 1 | 1 | 0 | 0 | 0 | 0 | 0 | 1")}));
  EXPECT_TRUE(Find<QLabel>("historySummary")->text().contains(Q("  4戦   2勝   2敗")))
      << (Find<QLabel>("historySummary")->text()).toStdString();
  EXPECT_EQ(Column("historyPlayers", 0),
            (QStringList{Q("YOU"), Q("海賊"), Q("鬼丸"), Q("荒波"), Q("黒船"), Q("次郎"), Q("太郎"), Q("白波")}));
  // Every day of the range, those without battles empty: won and lost stacked, the enemy's
  // ships down as a line.
  ASSERT_EQ(Bars(0).size(), 30u);
  EXPECT_EQ(Tail(Bars(0)), (std::vector<int>{1, 1, 0, 0, 0}));
  EXPECT_EQ(Tail(Bars(1)), (std::vector<int>{1, 0, 0, 0, 1}));
  EXPECT_EQ(Tail(Line(Find<HistoryChart>("historyChart")->EnemyDownLine())), (std::vector<int>{1, 0, 0, 0, 0}));
  const std::vector<int> won = Bars(0);
  EXPECT_EQ(std::accumulate(won.begin(), won.end() - 5, 0), 0);  // the days before: empty
  // Battles and ships down each on an axis of its own, with room above the highest day (two
  // battles; one ship), so a point drawn there is not cut in half, and below zero.
  const QList<QAbstractAxis*> vertical = Find<HistoryChart>("historyChart")->chart()->axes(Qt::Vertical);
  ASSERT_EQ(vertical.size(), 2);
  EXPECT_GT(static_cast<QValueAxis*>(vertical[0])->max(), 2.0);
  EXPECT_GT(static_cast<QValueAxis*>(vertical[1])->max(), 1.0);
  EXPECT_LT(static_cast<QValueAxis*>(vertical[1])->min(), 0.0);
  for (QAbstractAxis* axis : vertical) {
    // Ticks on whole numbers only: no label twice (0, 0, 1, 1).
    auto* values = static_cast<QValueAxis*>(axis);
    EXPECT_EQ(values->tickType(), QValueAxis::TicksDynamic);
    EXPECT_EQ(values->tickAnchor(), 0.0);
    EXPECT_GE(values->tickInterval(), 1.0);
    EXPECT_EQ(values->tickInterval(), std::floor(values->tickInterval()));
  }

  struct Step {
    const char* What;
    std::function<void()> Act;
    QStringList Dates;         // the battles table's dates
    QStringList Opponents;     // the opponents table's first column
    std::vector<int> Lost;     // the chart's lost bars
  };
  const Step steps[] = {
      {"NPC only", [&] { Find<QComboBox>("historyAgainst")->setCurrentIndex(1); }, {Q("2026-11-02")},
       {Q("海賊")}, {0, 0, 0, 0, 0}},
      {"players only", [&] { Find<QComboBox>("historyAgainst")->setCurrentIndex(2); },
       {Q("2026-11-01"), Q("2026-11-01"), Q("2026-11-05")}, {Q("白波"), Q("鬼丸")}, {1, 0, 0, 0, 1}},
      // Outside the naval event every battle is a mock battle.
      {"naval battles", [&] { Find<QComboBox>("historyType")->setCurrentIndex(1); }, {}, {}, {0, 0, 0, 0, 0}},
      {"mock battles", [&] { Find<QComboBox>("historyType")->setCurrentIndex(2); },
       {Q("2026-11-01"), Q("2026-11-01"), Q("2026-11-05")}, {Q("白波"), Q("鬼丸")}, {1, 0, 0, 0, 1}},
      {"from the 2nd", [&] { Find<QDateEdit>("historyFrom")->setDate(QDate(2026, 11, 2)); }, {Q("2026-11-05")},
       {Q("白波")}, {0, 0, 0, 1}},
      {"the last 30 days again", [&] { QTest::mouseClick(Find<QPushButton>("historyRecent"), Qt::LeftButton); },
       {Q("2026-11-01"), Q("2026-11-01"), Q("2026-11-05")}, {Q("白波"), Q("鬼丸")}, {1, 0, 0, 0, 1}},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.What);
    step.Act();
    EXPECT_EQ(Column("historyBattles", 1), step.Dates);
    EXPECT_EQ(Column("historyOpponents", 0), step.Opponents);
    EXPECT_EQ(Tail(Bars(1)), step.Lost);
  }
  // A name typed into the filter, once the player stops typing.
  QLineEdit* name = Find<QLineEdit>("historyName");
  name->setFocus();
  // Japanese comes in through the input method, as a committed string.
  QInputMethodEvent typed;
  typed.setCommitString(Q("鬼丸"));
  QApplication::sendEvent(name, &typed);
  EXPECT_SOON_EQ(Column("historyBattles", 1), QStringList{Q("2026-11-01")});
  EXPECT_EQ(Column("historyOpponents", 0), QStringList{Q("鬼丸")});
  // The days without a battle against him stay on the axis.
  EXPECT_EQ(Tail(Bars(0)), (std::vector<int>{1, 0, 0, 0, 0}));
  EXPECT_EQ(Tail(Bars(1)), (std::vector<int>{0, 0, 0, 0, 0}));
}

// The name field asks once the player pauses, however many keys came before; the whole name
// is looked for unless 部分一致 is checked, which asks at once and is kept with the filter.
TEST_F(HistoryPageTest, TheNameWaitsForAPauseAndPartOfANameIsASwitch) {
  WriteLogs();
  OpenWithHistory();
  ImportFolder();
  ShowHistory();
  ASSERT_EQ(Column("historyBattles", 1).size(), 4);
  EXPECT_TRUE(Find<QPushButton>("historyRecent")->toolTip().contains(Q("今日までの30日間")));
  QLineEdit* name = Find<QLineEdit>("historyName");
  QCheckBox* partial = Find<QCheckBox>("historyPartialName");
  EXPECT_FALSE(partial->isChecked());
  name->setFocus();
  const std::uint64_t asked = core->HistoryPage.Revision;
  for (const char* typed : {"白", "波"}) {
    QInputMethodEvent event;
    event.setCommitString(Q(typed));
    QApplication::sendEvent(name, &event);
  }
  EXPECT_EQ(core->HistoryPage.Revision, asked);  // nothing asked while typing
  EXPECT_SOON_EQ(Column("historyBattles", 1), (QStringList{Q("2026-11-01"), Q("2026-11-05")}));
  EXPECT_EQ(core->HistoryPage.Revision, asked + 1);  // once for both keys

  // Part of a name finds nothing as a whole name, and 白波 with 部分一致.
  name->setText(Q("白"));
  EXPECT_SOON_EQ(core->HistoryPage.Settings.Name, test::S("白"));
  EXPECT_TRUE(Column("historyBattles", 1).isEmpty());
  QTest::mouseClick(partial, Qt::LeftButton);
  EXPECT_TRUE(core->HistoryPage.Settings.PartialName);
  EXPECT_EQ(Column("historyBattles", 1), (QStringList{Q("2026-11-01"), Q("2026-11-05")}));
  EXPECT_EQ(Column("historyOpponents", 0), QStringList{Q("白波")});
}

TEST_F(HistoryPageTest, HeaderClicksSortAndHoveringABarShowsItsDay) {
  WriteLogs();
  OpenWithHistory();
  ImportFolderAndMarkTheNpc();
  ShowHistory();
  ASSERT_EQ(Column("historyBattles", 1).size(), 4);
  ClickHeader("historyOpponents", 1);  // battles: most first, ties as answered (by name)
  EXPECT_EQ(Column("historyOpponents", 0), (QStringList{Q("白波"), Q("海賊"), Q("鬼丸")}));
  ClickHeader("historyOpponents", 1);
  EXPECT_EQ(Column("historyOpponents", 0), (QStringList{Q("海賊"), Q("鬼丸"), Q("白波")}));
  ClickHeader("historyOpponents", 8);  // enemy ships down
  EXPECT_EQ(Column("historyOpponents", 0), (QStringList{Q("鬼丸"), Q("海賊"), Q("白波")}));
  ClickHeader("historyOpponents", 0);  // names
  EXPECT_EQ(Column("historyOpponents", 0), (QStringList{Q("海賊"), Q("鬼丸"), Q("白波")}));
  ClickHeader("historyBattles", 1);
  ClickHeader("historyBattles", 1);  // newest first, a day's last battle first
  EXPECT_EQ(Column("historyBattles", 1).front(), Q("2026-11-05"));
  EXPECT_TRUE(Column("historyBattles", 0)[2].contains(Q("白波"))) << Column("historyBattles", 0)[2].toStdString();
  EXPECT_TRUE(Column("historyBattles", 0)[3].contains(Q("鬼丸"))) << Column("historyBattles", 0)[3].toStdString();
  // A refreshed answer keeps the order the player chose.
  Find<QComboBox>("historyAgainst")->setCurrentIndex(2);
  EXPECT_EQ(Column("historyBattles", 1), (QStringList{Q("2026-11-05"), Q("2026-11-01"), Q("2026-11-01")}));

  // Anywhere in a day's column, high above its bar or on a day without one, shows that day
  // (the five days of the logs, column 0 the 1st).
  Find<QDateEdit>("historyFrom")->setDate(QDate(2026, 11, 1));
  auto* chart = Find<HistoryChart>("historyChart");
  struct Hover {
    double Column, Height;  // the column's place, and the height in the plot from its top (0..1)
    const char* Day;        // the hint's start; "" none
    const char* Holds;
  };
  const Hover hovers[] = {
      {4, 0.05, "2026-11-05", "敗 1"}, {4.3, 0.9, "2026-11-05", "敗 1"}, {2, 0.5, "2026-11-03", "勝 0 敗 0"},
      {0, 0.1, "2026-11-01", "勝 1 敗 1"}, {2, 1.04, "", ""},  // below the plot, on the dates
  };
  for (const Hover& hover : hovers) {
    SCOPED_TRACE(hover.Column);
    QTest::mouseMove(chart->viewport(), ChartPoint(hover.Column, hover.Height));
    if (*hover.Day == 0) {
      EXPECT_TRUE(chart->Hint().isEmpty()) << (chart->Hint()).toStdString();
      continue;
    }
    EXPECT_TRUE(chart->Hint().startsWith(Q(hover.Day))) << (chart->Hint()).toStdString();
    EXPECT_TRUE(chart->Hint().contains(Q(hover.Holds))) << (chart->Hint()).toStdString();
  }
}

TEST_F(HistoryPageTest, DoubleClickLoadsTheLogAndSelectsTheBattleOrSaysTheLogHasGone) {
  WriteLogs();
  OpenWithHistory();
  ImportFolder();
  ShowHistory();
  ASSERT_EQ(Column("historyBattles", 1).size(), 4);
  DoubleClickBattle(1);  // 2026-11-01, the second battle of its log
  auto* pages = Find<QTabWidget>("pages");
  EXPECT_TRUE(pages->currentWidget()->isAncestorOf(BattleList()));  // the battle results page
  EXPECT_EQ(QString::fromStdString(core->CurrentLogPath), QString::fromStdString(LogPath("chat_2026-11-01.html")));
  EXPECT_EQ(BattleList()->count(), 2);
  EXPECT_EQ(SelectedBattleRows(), std::vector<int>{1});
  EXPECT_TRUE(Detail().contains(Q("白波に敗北しました"))) << (Detail()).toStdString();

  // A log moved away since it was imported is not loaded: a message says where it was.
  std::filesystem::rename(LogPath("chat_2026-11-05.html"), dir.File("elsewhere.html"));
  ShowHistory();
  const int messages = static_cast<int>(record.Messages.size());
  DoubleClickBattle(3);
  ASSERT_EQ(record.Messages.size(), messages + 1);
  EXPECT_TRUE(record.Messages.back().contains(Q("取り込んだ場所にもうありません"))) << (record.Messages.back()).toStdString();
  EXPECT_TRUE(record.Messages.back().contains(QString::fromStdString(LogPath("chat_2026-11-05.html"))));
  EXPECT_EQ(pages->currentWidget()->objectName(), Q("historyPage"));
  EXPECT_EQ(QString::fromStdString(core->CurrentLogPath), QString::fromStdString(LogPath("chat_2026-11-01.html")));
  EXPECT_EQ(SelectedBattleRows(), std::vector<int>{1});
}

// 履歴から外す: the battles table's menu takes out the log its battle came from, the File menu
// the loaded log; each asks first, naming the log and its battles, and a "no" changes
// nothing. The page answers without the log at once.
TEST_F(HistoryPageTest, ALogTakenOutAsksFirstAndThePageNoLongerCountsIt) {
  WriteLogs();
  OpenWithHistory();
  ImportFolder();
  ShowHistory();
  ASSERT_EQ(Column("historyBattles", 0).size(), 4);
  QTableView* table = Find<QTableView>("historyBattles");
  QAction* forget = Find<QAction>("historyForgetLog");
  const struct {
    bool yes;
    int battlesLeft;
  } answers[] = {{false, 4}, {true, 2}};
  for (const auto& a : answers) {
    SCOPED_TRACE(a.yes);
    record.YesAnswer = a.yes;
    table->setCurrentIndex(table->model()->index(1, 0));  // 2026-11-01's second battle
    const auto messages = record.Messages.size();
    forget->trigger();
    ASSERT_EQ(record.Messages.size(), messages + 1);
    EXPECT_TRUE(record.Messages.back().contains(Q("「chat_2026-11-01.html」(2戦)を履歴から外しますか"))) << record.Messages.back().toStdString();
    EXPECT_EQ(Column("historyBattles", 0).size(), a.battlesLeft);
  }
  EXPECT_FALSE(Column("historyBattles", 2).contains(Q("chat_2026-11-01.html")));
  EXPECT_TRUE(Find<QLabel>("historySummary")->text().contains(Q("  2戦   1勝   1敗")))
      << (Find<QLabel>("historySummary")->text()).toStdString();

  // The loaded log, from the File menu: offered once the history holds it.
  ASSERT_TRUE(window->OpenLog(QString::fromStdString(LogPath("chat_2026-11-05.html"))));
  emit Find<QMenu>("fileMenu")->aboutToShow();
  ASSERT_TRUE(window->Action("ForgetLoadedLog")->isEnabled());
  window->Action("ForgetLoadedLog")->trigger();
  EXPECT_TRUE(record.Messages.back().contains(Q("「chat_2026-11-05.html」(1戦)を履歴から外しますか"))) << record.Messages.back().toStdString();
  emit Find<QMenu>("fileMenu")->aboutToShow();
  EXPECT_FALSE(window->Action("ForgetLoadedLog")->isEnabled());
  ShowHistory();
  EXPECT_EQ(Column("historyBattles", 2), QStringList{Q("chat_2026-11-02.html")});
}

// Stopped after two logs: those two stay in the history, the rest never began.
TEST_F(HistoryPageTest, AStoppedImportKeepsTheLogsImportedSoFar) {
  WriteFiveDays();
  OpenWithHistory();
  ShowHistory();
  std::vector<int> seen;
  QTimer watcher;
  watcher.setInterval(0);
  QObject::connect(&watcher, &QTimer::timeout, [&] {
    auto* progress = window->findChild<QProgressDialog*>(QStringLiteral("importProgress"));
    if (progress == nullptr || !progress->isVisible()) return;
    if (seen.empty() || seen.back() != progress->value()) seen.push_back(progress->value());
    if (progress->value() == 2) progress->cancel();
  });
  watcher.start();
  ImportFolder();
  watcher.stop();
  EXPECT_EQ(seen, (std::vector<int>{0, 1, 2}));
  ASSERT_FALSE(record.Messages.isEmpty());
  EXPECT_TRUE(record.Messages.back().contains(Q("取り込みを中止しました（3 件のログは取り込んでいません）")))
      << (record.Messages.back()).toStdString();
  EXPECT_TRUE(record.Messages.back().contains(Q("新しいログ: 2"))) << (record.Messages.back()).toStdString();
  EXPECT_EQ(Column("historyBattles", 1), (QStringList{Q("2026-11-01"), Q("2026-11-02")}));
  // Again, to the end: the two known logs cost nothing and the other three join them.
  ImportFolder();
  EXPECT_TRUE(record.Messages.back().contains(Q("新しいログ: 3"))) << (record.Messages.back()).toStdString();
  EXPECT_TRUE(record.Messages.back().contains(Q("変わりなし: 2"))) << (record.Messages.back()).toStdString();
  EXPECT_EQ(Column("historyBattles", 1).size(), 5);
}

// The window closed while a folder import runs (its close comes in with the progress'
// events): the import stops before its next log and asks and tells nothing more, so the
// program can end at once; the logs imported so far stay.
TEST_F(HistoryPageTest, ClosingTheWindowStopsAFolderImport) {
  WriteFiveDays();
  OpenWithHistory();
  int closes = 0;
  QTimer watcher;
  watcher.setInterval(0);
  QObject::connect(&watcher, &QTimer::timeout, [&] {
    auto* progress = window->findChild<QProgressDialog*>(QStringLiteral("importProgress"));
    if (progress == nullptr || !progress->isVisible() || progress->value() != 1 || closes > 0) return;
    ++closes;
    window->close();
  });
  watcher.start();
  window->Action("ImportLogFolder")->trigger();
  watcher.stop();
  EXPECT_EQ(closes, 1);
  EXPECT_FALSE(window->isVisible());
  EXPECT_TRUE(record.Messages.isEmpty()) << record.Messages.join(QStringLiteral("\n")).toStdString();
  HistoryStore* store = core->History.Store(*core);
  ASSERT_NE(store, nullptr);
  EXPECT_EQ(store->Logs(HistoryFilter{}).Value.size(), 1u);
  // The settings were written as the window closed (the file had two keys before).
  EXPECT_NE(test::ReadBytes(dir.File("Mizuto.ini")).find("VerChk="), std::string::npos);
}

// File → 履歴を解析し直す after the NPC switch was turned off: shown with progress that can be
// stopped, each log still where it was is analysed again (the NPC's battle leaves the page),
// and a log moved away keeps its battles and is named in the error pane.
TEST_F(HistoryPageTest, ReanalysingTheHistoryFollowsTheSettingsAndStopsWhenAsked) {
  WriteLogs();
  OpenWithHistory();
  ImportFolder();
  ShowHistory();
  ASSERT_EQ(Column("historyBattles", 1),
            (QStringList{Q("2026-11-01"), Q("2026-11-01"), Q("2026-11-02"), Q("2026-11-05")}));
  core->NpcCheck = false;
  std::filesystem::rename(LogPath("chat_2026-11-05.html"), dir.File("chat_2026-11-05.html"));
  std::vector<int> seen;
  QStringList labels;
  bool stop = true;
  QTimer watcher;
  watcher.setInterval(0);
  QObject::connect(&watcher, &QTimer::timeout, [&] {
    // The folder import's dialog may still be there, hidden, waiting to be deleted.
    QProgressDialog* progress = nullptr;
    for (auto* shown : window->findChildren<QProgressDialog*>(QStringLiteral("importProgress"))) {
      if (shown->isVisible()) progress = shown;
    }
    if (progress == nullptr) return;
    if (seen.empty() || seen.back() != progress->value()) seen.push_back(progress->value());
    labels << progress->labelText().section(QLatin1Char(' '), 0, 0);
    if (stop && progress->value() == 1) progress->cancel();
  });
  watcher.start();
  window->Action("ReanalyseHistory")->trigger();
  ASSERT_FALSE(record.Messages.isEmpty());
  EXPECT_EQ(seen, (std::vector<int>{0, 1}));
  labels.removeDuplicates();
  EXPECT_EQ(labels, QStringList{Q("履歴のログを解析し直しています")});
  EXPECT_TRUE(record.Messages.back().contains(Q("解析し直しを中止しました"))) << record.Messages.back().toStdString();
  EXPECT_TRUE(record.Messages.back().contains(Q("解析し直したログ: 1"))) << record.Messages.back().toStdString();

  stop = false;
  window->Action("ReanalyseHistory")->trigger();
  watcher.stop();
  EXPECT_TRUE(record.Messages.back().contains(Q("解析し直したログ: 1  変わりなし: 1"))) << record.Messages.back().toStdString();
  EXPECT_TRUE(record.Messages.back().contains(Q("取り込んだ場所にないログ: 1"))) << record.Messages.back().toStdString();
  EXPECT_EQ(Column("historyBattles", 1), (QStringList{Q("2026-11-01"), Q("2026-11-01"), Q("2026-11-05")}));
  // The first run stopped before it: named once.
  const std::string goneLine = "履歴のログが取り込んだ場所にありません (履歴はそのままです): " + LogPath("chat_2026-11-05.html");
  EXPECT_EQ(std::count_if(core->ErrorLines.begin(), core->ErrorLines.end(),
                          [&](const std::string& line) { return test::U(line) == goneLine; }),
            1);
}

// The page asks the history only while it is shown: a load in the background leaves it
// alone; shown again it asks once, and a load while it shows asks at once.
TEST_F(HistoryPageTest, ThePageAsksAgainAfterALoadOnlyWhileItIsShown) {
  WriteLogs();
  OpenWithHistory();
  ShowHistory();
  EXPECT_TRUE(Column("historyBattles", 1).isEmpty());
  const std::uint64_t asked = core->HistoryPage.Revision;
  ShowPageOf(BattleList());
  ASSERT_TRUE(window->OpenLog(QString::fromStdString(LogPath("chat_2026-11-01.html"))));
  EXPECT_EQ(core->HistoryPage.Revision, asked);
  ShowHistory();
  EXPECT_EQ(core->HistoryPage.Revision, asked + 1);
  EXPECT_EQ(Column("historyBattles", 1), (QStringList{Q("2026-11-01"), Q("2026-11-01")}));
  // Loaded while the page shows (a drop, say): the page follows.
  window->DropFiles({QString::fromStdString(LogPath("chat_2026-11-05.html"))});
  EXPECT_EQ(Column("historyBattles", 1), (QStringList{Q("2026-11-01"), Q("2026-11-01"), Q("2026-11-05")}));
  // Nothing new in the history: a redraw asks nothing.
  const std::uint64_t after = core->HistoryPage.Revision;
  window->SyncAll();
  EXPECT_EQ(core->HistoryPage.Revision, after);
}

// A history file that cannot be opened: the error pane says so once, the page says it
// while it lasts, and the log still loads.
TEST_F(HistoryPageTest, AHistoryThatCannotBeUsedIsShownOnThePage) {
  std::filesystem::create_directories(dir.File("MizutoHistory.db"));
  WriteLogs();
  OpenWithHistory();
  ASSERT_TRUE(window->OpenLog(QString::fromStdString(LogPath("chat_2026-11-01.html"))));
  EXPECT_EQ(BattleList()->count(), 2);
  ShowHistory();
  auto* error = Find<QLabel>("historyError");
  EXPECT_TRUE(error->isVisible());
  EXPECT_TRUE(error->text().contains(QString::fromStdString(dir.File("MizutoHistory.db")))) << (error->text()).toStdString();
  // The history is opened beside the load; when the page, showing, took its failure first,
  // the error pane is drawn again once the window is idle (its wait for the import ends).
  const QString database = QString::fromStdString(dir.File("MizutoHistory.db"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return Errors().contains(database); }, 30000)) << Errors().toStdString();
  EXPECT_EQ(Errors().count(database), 1) << (Errors()).toStdString();
  EXPECT_TRUE(Rows("historyBattles").isEmpty());
}

TEST_F(HistoryPageTest, ThePagesSettingsComeBackFromMizutoIni) {
  WriteLogs();
  OpenWithHistory();
  ImportFolder();
  ShowHistory();
  Find<QComboBox>("historyAgainst")->setCurrentIndex(2);
  Find<QComboBox>("historySize")->setCurrentIndex(3);
  Find<QDateEdit>("historyFrom")->setDate(QDate(2026, 11, 2));
  QTest::mouseClick(Find<QCheckBox>("historyPartialName"), Qt::LeftButton);
  Find<QTableView>("historyOpponents")->horizontalHeader()->resizeSection(0, 177);
  auto* splitter = Find<QSplitter>("historySplitter");
  const int total = splitter->sizes()[0] + splitter->sizes()[1];
  splitter->setSizes({total / 3, total - total / 3});
  const QList<int> sizes = splitter->sizes();
  window->close();
  window.reset();
  const std::string ini = test::ReadBytes(dir.File("Mizuto.ini"));
  EXPECT_NE(ini.find("\r\n[MizutoHistory]\r\nFrom=2026-11-02\r\nTo=2026-11-05\r\nType=0\r\nSize=3\r\nAgainst=2\r\n"),
            std::string::npos)
      << ini;
  EXPECT_NE(ini.find("\r\nPartialName=1\r\n"), std::string::npos) << ini;

  Open();
  core->History.Enable(true);
  ShowHistory();
  EXPECT_EQ(Find<QComboBox>("historyAgainst")->currentIndex(), 2);
  EXPECT_EQ(Find<QComboBox>("historySize")->currentIndex(), 3);
  EXPECT_TRUE(Find<QCheckBox>("historyPartialName")->isChecked());
  EXPECT_EQ(Find<QDateEdit>("historyFrom")->date(), QDate(2026, 11, 2));
  EXPECT_EQ(Find<QDateEdit>("historyTo")->date(), QDate(2026, 11, 5));
  EXPECT_EQ(Find<QTableView>("historyOpponents")->horizontalHeader()->sectionSize(0), 177);
  EXPECT_EQ(Find<QSplitter>("historySplitter")->sizes(), sizes);
}

// The second view: the win rate week by week (weeks from Monday), the battles beside each
// point, and the week's figures anywhere in its column.
TEST_F(HistoryPageTest, TheWeekViewShowsTheWinRateOfEachWeek) {
  WriteLogs();
  OpenWithHistory();
  ImportFolderAndMarkTheNpc();
  ShowHistory();
  Find<QDateEdit>("historyFrom")->setDate(QDate(2026, 11, 1));
  Find<QComboBox>("historyAgainst")->setCurrentIndex(2);  // players: 鬼丸 won, 白波 lost twice
  auto* chart = Find<HistoryChart>("historyChart");
  QTest::mouseClick(Find<QToolButton>("historyChartWeeks"), Qt::LeftButton);
  ASSERT_EQ(chart->CurrentView(), HistoryChart::View::Weeks);
  ASSERT_NE(chart->WinRateLine(), nullptr);
  // 2026-11-01 is a Sunday: its week began on 10-26.
  EXPECT_EQ(Line(chart->WinRateLine()), (std::vector<int>{50, 0}));
  EXPECT_EQ(chart->WeekBattleLabels(), (QStringList{Q("2戦"), Q("1戦")}));
  QTest::mouseMove(chart->viewport(), ChartPoint(1, 0.1));
  EXPECT_TRUE(chart->Hint().startsWith(Q("2026-11-02 からの週  1戦  勝 0  勝率 0%"))) << chart->Hint().toStdString();
  // A new answer redraws the view shown.
  Find<QComboBox>("historyAgainst")->setCurrentIndex(0);
  EXPECT_EQ(Line(chart->WinRateLine()), (std::vector<int>{50, 50}));
  QTest::mouseClick(Find<QToolButton>("historyChartDays"), Qt::LeftButton);
  EXPECT_EQ(chart->CurrentView(), HistoryChart::View::Days);
  EXPECT_EQ(Bars(1), (std::vector<int>{1, 0, 0, 0, 1}));
}

// Enter and Return open the selected battle as a double-click does.
TEST_F(HistoryPageTest, EnterOpensTheSelectedBattle) {
  WriteLogs();
  OpenWithHistory();
  ImportFolder();
  ShowHistory();
  auto* pages = Find<QTabWidget>("pages");
  for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
    SCOPED_TRACE(key);
    ShowHistory();
    QTableView* table = Find<QTableView>("historyBattles");
    table->setFocus();
    table->setCurrentIndex(table->model()->index(1, 0));  // 2026-11-01, its second battle
    QTest::keyClick(table, key);
    EXPECT_TRUE(pages->currentWidget()->isAncestorOf(BattleList()));
    EXPECT_EQ(QString::fromStdString(core->CurrentLogPath), QString::fromStdString(LogPath("chat_2026-11-01.html")));
    EXPECT_EQ(SelectedBattleRows(), std::vector<int>{1});
  }
}

// At 1024x768 every caption is whole, with room for the sort arrow beside it; the
// opponents take the width their columns need and leave the players the rest; the battles
// table shows its labels whole.
TEST_F(HistoryPageTest, AtTheSmallestWindowTheTablesShowWholeCaptionsAndLabels) {
  WriteLogs();
  OpenWithHistory();
  window->resize(1024, 768);
  ImportFolder();
  ShowHistory();
  ClickHeader("historyOpponents", 2);  // 勝, sorted: its arrow shown
  for (const char* name : {"historyOpponents", "historyPlayers", "historyBattles"}) {
    SCOPED_TRACE(name);
    QHeaderView* header = Find<QTableView>(name)->horizontalHeader();
    for (int c = 0; c < header->count(); ++c) {
      EXPECT_GE(header->sectionSize(c), header->sectionSizeHint(c)) << header->model()->headerData(c, Qt::Horizontal).toString().toStdString();
    }
  }
  QTableView* opponents = Find<QTableView>("historyOpponents");
  QTableView* players = Find<QTableView>("historyPlayers");
  // The opponents' columns all shown, and at most a little of their pane left empty while
  // the players' pane is narrower than its columns.
  EXPECT_LE(opponents->horizontalHeader()->length(), opponents->viewport()->width());
  if (players->horizontalHeader()->length() > players->viewport()->width()) {
    EXPECT_LT(opponents->viewport()->width() - opponents->horizontalHeader()->length(), 40);
  }
  QTableView* battles = Find<QTableView>("historyBattles");
  const int label = battles->model()->columnCount() - 1;
  EXPECT_LE(battles->horizontalHeader()->sectionViewportPosition(label) + static_cast<QAbstractItemView*>(battles)->sizeHintForColumn(label),
            battles->viewport()->width());
}

// Each table to a CSV file through a save dialog, Shift-JIS with CRLF as the tally CSV; the
// status bar names the file. Cancelled, nothing is written.
TEST_F(HistoryPageTest, TheTablesAreExportedAsCsv) {
  WriteLogs();
  OpenWithHistory();
  ImportFolder();
  ShowHistory();
  const std::string path = dir.File("相手.csv");
  record.SaveAnswer = QString::fromStdString(path);
  window->findChild<QAction*>(QStringLiteral("historyCsvOpponents"))->trigger();
  ASSERT_EQ(record.SaveSuggested.size(), 1);
  EXPECT_EQ(record.SaveSuggested.back(),
            QString::fromStdString(dir.File("履歴_相手_2026-10-07_2026-11-05.csv")));
  EXPECT_EQ(test::ReadBytes(path), test::S("相手,戦闘数,勝,敗,引分,逃げられ,撤退,味方沈没,敵沈没\r\n"
                                           "白波,2,0,2,0,0,0,0,0\r\n"
                                           "海賊,1,1,0,0,0,0,0,0\r\n"
                                           "鬼丸,1,1,0,0,0,0,0,1\r\n"));
  EXPECT_TRUE(Status().contains(QString::fromStdString(path))) << Status().toStdString();

  // The battles in the order shown; a label with spaces is quoted.
  ClickHeader("historyBattles", 1);
  ClickHeader("historyBattles", 1);  // newest first
  record.SaveAnswer = QString::fromStdString(dir.File("battles.csv"));
  window->findChild<QAction*>(QStringLiteral("historyCsvBattles"))->trigger();
  const std::string battles = test::ReadBytes(dir.File("battles.csv"));
  QStringList lines = QString::fromStdString(test::U(battles)).split(QStringLiteral("\r\n"));
  ASSERT_EQ(lines.size(), 6) << test::U(battles);
  EXPECT_EQ(lines[0], Q("戦闘,日付,ログファイル"));
  EXPECT_TRUE(lines[1].startsWith(Q("\"")) && lines[1].endsWith(Q("\",2026-11-05,chat_2026-11-05.html")))
      << lines[1].toStdString();
  EXPECT_TRUE(lines[4].endsWith(Q("\",2026-11-01,chat_2026-11-01.html"))) << lines[4].toStdString();
  EXPECT_EQ(lines[5], QString());

  const QString status = Status();
  record.SaveAnswer.clear();
  window->findChild<QAction*>(QStringLiteral("historyCsvPlayers"))->trigger();
  EXPECT_EQ(record.SaveSuggested.size(), 3);
  EXPECT_EQ(Status(), status);
  EXPECT_FALSE(std::filesystem::exists(dir.File("履歴_プレイヤー_2026-11-01_2026-11-05.csv")));
}

}  // namespace
}  // namespace mizuto
