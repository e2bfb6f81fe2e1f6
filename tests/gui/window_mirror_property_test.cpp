// Whatever the player does in the window, in whatever order, every control shows exactly
// what the core holds: random sequences of clicks on rows, headers, check marks and boxes,
// keys, menus, actions, typing into the interval field, a growing log and timer ticks, on
// generated logs. After every step the battle list, the tally table, the check lists, the
// switches, the actions, the panes' texts, the status, the caption, the timer and the
// counter window agree with the core; a control that reported the core's own writes back as
// the player's would break that agreement or the core's selections.
#include <QMenu>
#include <QTimer>
#include <QToolButton>
#include <filesystem>
#include <optional>
#include <tuple>
#include <utility>

#include "app/owner/result_views.h"
#include "app/commands/window_commands.h"
#include "gui/window/sink_counter_window.h"
#include "main_window_fixture.h"
#include "support/property_support.h"

namespace mizuto {
namespace {

using test::PropertyRun;
using test::Rng;

constexpr int kLongPeriodMs = 3600 * 1000;  // ticks come only when a step asks for one

// The commands a step may trigger: every one of the window's but those that leave the
// program (Exit, the home page in a browser) or ask the network (VerCheck).
std::vector<const WindowCommand*> TriggeredCommands() {
  std::vector<const WindowCommand*> commands;
  for (const WindowCommand& c : WindowCommands()) {
    const std::string_view name = c.Name;
    if (name != "Exit" && name != "HomePage" && name != "VerCheck") commands.push_back(&c);
  }
  return commands;
}

class WindowMirror : public test::MainWindowTest {
 protected:
  // Every control against the core; `step` names the step in a failure.
  void ExpectMirrors(const std::string& step) {
    SCOPED_TRACE(step);
    const App& app = window->Core();

    const BattleListView& battles = app.BattleList;
    ASSERT_EQ(BattleList()->count(), battles.Count());
    for (int i = 0; i < battles.Count(); ++i) {
      ASSERT_EQ(BattleList()->item(i)->text(), ToQt(battles.Rows[static_cast<std::size_t>(i)])) << i;
      ASSERT_EQ(BattleList()->item(i)->isSelected(), battles.IsSelected(i)) << "battle row " << i;
    }
    EXPECT_EQ(BattleList()->toolTip(), ToQt(battles.Hint));

    const TallyTableView& tally = app.TallyTable;
    QAbstractItemModel* model = Tally()->model();
    ASSERT_EQ(model->rowCount(), static_cast<int>(tally.Rows.size()));
    ASSERT_EQ(model->columnCount(), static_cast<int>(tally.Columns.size()));
    for (std::size_t c = 0; c < tally.Columns.size(); ++c) {
      EXPECT_EQ(model->headerData(static_cast<int>(c), Qt::Horizontal).toString(),
                ToQt(tally.Columns[c].Caption));
    }
    for (std::size_t r = 0; r < tally.Rows.size(); ++r) {
      ASSERT_EQ(Tally()->selectionModel()->isRowSelected(static_cast<int>(r), QModelIndex()),
                tally.Rows[r].Selected)
          << "tally row " << r;
    }

    QAbstractItemModel* grid = Find<QTableView>("headToHeadGrid")->model();
    EXPECT_EQ(grid->rowCount(), app.Grid.RowCount - 1);
    EXPECT_EQ(grid->columnCount(), app.Grid.ColCount - 1);

    for (const WindowCommand& c : WindowCommands()) {
      const QAction* action = window->Action(c.Name);
      const ActionState& state = app.Acts.*c.State;
      EXPECT_EQ(action->isEnabled(), state.Enabled) << c.Name;
      if (action->isCheckable()) {
        EXPECT_EQ(action->isChecked(), state.Checked) << c.Name;
      }
    }
    // On its page, which may be behind another.
    auto* page1 = Find<QWidget>("battleResultsPage");
    EXPECT_EQ(Find<QWidget>("transcriptPanel")->isVisibleTo(page1), app.Acts.BattleLogView.Checked);
    EXPECT_EQ(Find<QWidget>("errorPanePanel")->isVisibleTo(page1), app.Acts.ErrorLogView.Checked);

    for (const auto& [list, names, marks] :
         {std::tuple{"skillChecks", &app.Lists.SkillNames, &app.SkillChecked},
          std::tuple{"itemChecks", &app.Lists.ItemNames, &app.ItemChecked}}) {
      auto* box = Find<QListWidget>(list);
      ASSERT_EQ(box->count(), static_cast<int>(names->size())) << list;
      for (int i = 0; i < box->count(); ++i) {
        const bool marked = static_cast<std::size_t>(i) < marks->size() && (*marks)[static_cast<std::size_t>(i)];
        EXPECT_EQ(box->item(i)->checkState() == Qt::Checked, marked) << list << " " << i;
      }
    }
    EXPECT_EQ(Find<QCheckBox>("NPCCheck")->isChecked(), app.NpcCheck);
    EXPECT_EQ(Find<QCheckBox>("activeModeBox")->isChecked(), app.Acts.ActiveMode.Checked);
    EXPECT_EQ(Find<QCheckBox>("CriCheck")->isChecked(), app.Acts.CriticalView.Checked);
    // Text the core refused stays in the field, as typed, until the next full redraw.
    const QString field = Find<QLineEdit>("intervalField")->text();
    if (field == ToQt(app.IntervalText)) refused.reset();
    EXPECT_TRUE(field == ToQt(app.IntervalText) || field == refused)
        << field.toStdString() << " shown, " << app.IntervalText << " held";

    QStringList detail;
    for (const DetailLine& line : app.Detail) detail << ToQt(line.Text);
    EXPECT_EQ(Detail(), detail.join(QLatin1Char('\n')));
    QStringList errors;
    for (const std::string& line : app.ErrorLines) errors << ToQt(line);
    EXPECT_EQ(Errors(), errors.join(QLatin1Char('\n')));
    EXPECT_EQ(Status(), ToQt(StatusBarText(app)));
    EXPECT_EQ(Caption(), ToQt(WindowTitle(app)));
    EXPECT_EQ(Timer()->isActive(), app.TimerRunning);
    EXPECT_EQ(window->SinkCounter()->isVisible(), app.SinkCounterVisible);
  }

  QTimer* Timer() const { return Find<QTimer>("followTimer"); }
  std::optional<QString> refused;  // the interval text the core last refused

  // One tick of the active-mode timer, now.
  void Tick() {
    QTimer* timer = Timer();
    if (!timer->isActive()) return;
    timer->start(0);
    EXPECT_SOON(timer->interval() != 0 || !timer->isActive());
  }

  static Qt::KeyboardModifiers RandomModifiers(Rng& rng) {
    switch (rng.Below(4)) {
      case 0: return Qt::ControlModifier;
      case 1: return Qt::ShiftModifier;
      default: return {};
    }
  }
};

TEST_F(WindowMirror, EveryControlShowsWhatTheCoreHoldsAfterAnyStep) {
  PropertyRun run("window mirror", 10);
  std::uint64_t seed = 0;
  while (run.Next(&seed)) {
    SCOPED_TRACE(PropertyRun::Reproduce(seed));
    Rng rng(seed ^ 0x5EEDF00Dull);
    const std::string logs = dir.Path() + "logs/";
    std::filesystem::create_directories(logs);
    // The program folder (lists and settings) comes with the first log.
    const std::string source = test::GenerateLog(seed, dir.Path(), dir.File("scratch.html"), 10).Bytes;
    const std::string other = test::GenerateLog(seed * 7 + 1, "", dir.File("scratch.html"), 5).Bytes;
    test::WriteBytes(logs + "other.html", other);
    const std::string followed = logs + "followed.html";
    // Often the whole log, so that the lists have rows to click.
    std::size_t written = rng.Percent(50) ? source.size() : test::CutPoint(source, rng);
    test::WriteBytes(followed, source.substr(0, written));

    timerPeriodMs = kLongPeriodMs;
    Open();
    window->Core().LogDir = Utf8Path::FromUtf8(logs);
    window->OpenLog(QString::fromStdString(followed));
    ExpectMirrors("open");

    const int steps = 60;
    for (int step = 0; step < steps && !HasFatalFailure(); ++step) {
      run.Step(step);
      SCOPED_TRACE("step " + std::to_string(step));
      std::string what;
      switch (rng.Below(12)) {
        case 0:
        case 1: {
          static const std::vector<const WindowCommand*> kTriggered = TriggeredCommands();
          const char* name = kTriggered[static_cast<std::size_t>(rng.Below(static_cast<int>(kTriggered.size())))]->Name;
          what = std::string("action ") + name;
          record.OpenAnswer = QString::fromStdString(rng.Percent(50) ? followed : logs + "other.html");
          window->Action(name)->trigger();
          break;
        }
        case 2:
        case 3:
          if (BattleList()->count() == 0) continue;
          what = "battle row click";
          ClickRow(BattleList(), rng.Below(BattleList()->count()), RandomModifiers(rng));
          break;
        case 4:
          if (BattleList()->count() == 0) continue;
          what = "battle row key";
          BattleList()->setFocus();
          Key(rng.Percent(50) ? Qt::Key_Space : (rng.Percent(50) ? Qt::Key_Insert : Qt::Key_Delete));
          break;
        case 5:
          if (Tally()->model()->rowCount() == 0) continue;
          what = "tally row click";
          ClickTallyRow(rng.Below(Tally()->model()->rowCount()), RandomModifiers(rng));
          break;
        case 6: {
          const QStringList captions = TallyCaptions();
          if (captions.isEmpty()) continue;
          what = "header click";
          ClickHeader(captions[rng.Below(static_cast<int>(captions.size()))]);
          break;
        }
        case 7: {
          auto* list = Find<QListWidget>(rng.Percent(50) ? "skillChecks" : "itemChecks");
          if (list->count() == 0) continue;
          what = "check mark";
          ClickCheckMark(list, rng.Below(list->count()));
          break;
        }
        case 8: {
          static const char* const kBoxes[] = {"NPCCheck", "activeModeBox", "CriCheck", "SayCheck",
                                               "TellCheck"};
          const char* box = kBoxes[rng.Below(static_cast<int>(std::size(kBoxes)))];
          if (rng.Percent(50)) {
            what = std::string("box ") + box;
            ClickBox(box);
          } else {
            // From the keyboard: Space ticks the focused box, nothing else.
            what = std::string("Space on box ") + box;
            auto* focused = Find<QCheckBox>(box);
            ShowPageOf(focused);
            focused->setFocus();
            const bool before = focused->isChecked();
            // To the box itself: the counter window may have taken the activation.
            QTest::keyClick(focused, Qt::Key_Space);
            EXPECT_NE(focused->isChecked(), before) << box;
          }
          break;
        }
        case 9: {
          static const char* const kTexts[] = {"1", "5", "007", "100", "250", "0", "x", ""};
          auto* field = Find<QLineEdit>("intervalField");
          if (rng.Percent(50)) {
            const char* text = kTexts[rng.Below(static_cast<int>(std::size(kTexts)))];
            what = std::string("interval '") + text + "'";
            const qsizetype errors = record.Errors.size();
            field->setText(QString::fromLatin1(text));
            EXPECT_EQ(record.Errors.size(), errors) << "said before the editing ended";
            if (field->text() != ToQt(window->Core().IntervalText)) refused = QString::fromLatin1(text);
            if (rng.Percent(50)) {
              // The editing ends: a refused text is said and gives way to the interval in force.
              ShowPageOf(field);
              field->setFocus();
              QTest::keyClick(field, Qt::Key_Return);
              if (refused) {
                ASSERT_EQ(record.Errors.size(), errors + 1);
                EXPECT_TRUE(record.Errors.back().startsWith(QStringLiteral("'%1' は").arg(text)));
                refused.reset();
              }
            }
          } else {
            const bool up = rng.Percent(50);
            what = up ? "interval up" : "interval down";
            Find<QToolButton>(up ? "intervalUp" : "intervalDown")->click();
          }
          break;
        }
        case 10: {
          if (rng.Percent(70)) {
            // The core picks rows itself (a load selects the newest battle, a hide keeps
            // the selection): a redraw shows them and leaves them as they are.
            what = "core selects, window redraws";
            App& app = window->Core();
            for (char& selected : app.BattleList.Selected) selected = rng.Percent(40) ? 1 : 0;
            if (app.BattleList.Count() > 0) app.BattleList.FocusRow = rng.Below(app.BattleList.Count());
            // Sometimes the table also loses rows at its end (players hidden, a smaller log).
            std::vector<TallyRow> tallyRows = app.TallyTable.Rows;
            if (!tallyRows.empty() && rng.Percent(50)) tallyRows.resize(static_cast<std::size_t>(rng.Below(static_cast<int>(tallyRows.size()))));
            for (TallyRow& row : tallyRows) row.Selected = rng.Percent(40);
            app.TallyTable.SetRows(std::move(tallyRows));
            const std::vector<char> battles = app.BattleList.Selected;
            std::vector<bool> rows;
            for (const TallyRow& row : app.TallyTable.Rows) rows.push_back(row.Selected);
            window->SyncAll();
            QCoreApplication::processEvents();
            EXPECT_EQ(app.BattleList.Selected, battles);
            std::vector<bool> after;
            for (const TallyRow& row : app.TallyTable.Rows) after.push_back(row.Selected);
            EXPECT_EQ(after, rows);
            break;
          }
          what = "menus";
          for (const char* name : {"battleMenu", "tallyMenu", "fileMenu"}) {
            auto* menu = Find<QMenu>(name);
            menu->popup(window->mapToGlobal(QPoint(20, 20)));
            menu->hide();
          }
          break;
        }
        default: {
          what = "log grows, tick";
          if (written < source.size()) {
            const std::size_t to = written + test::CutPoint(source.substr(written), rng);
            test::AppendBytes(followed, source.substr(written, to - written));
            written = to;
          }
          Tick();
          break;
        }
      }
      QCoreApplication::processEvents();
      ExpectMirrors("step " + std::to_string(step) + ": " + what);
    }
    window->close();
    window.reset();
  }
}

}  // namespace
}  // namespace mizuto
