// The main window on a temporary program folder, with a dialog seam that records every
// question and answers from pre-set values, and small helpers that act as the player does
// (mouse clicks on rows, keys, drops) and read back what a control shows.
#pragma once

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDropEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QStyleOptionViewItem>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTextEdit>
#include <QUrl>

#include <functional>
#include <stdexcept>
#include <ostream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gui/results/detail_pane.h"
#include "gui/widgets/gui_text.h"
#include "gui/window/main_window.h"
#include "gui/window/sink_counter_window.h"
#include "support/test_support.h"

// Readable failure messages for texts the window shows.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace mizuto::test {

// What the window asked through the seam, and what the seam answers.
struct DialogRecord {
  QStringList Messages;  // text of each plain message box
  QStringList MessageCaptions;
  QStringList Errors;    // text of each standard error box
  QStringList OpenFolders;
  QStringList OpenFilters;
  int Execs = 0;
  QString OpenAnswer;  // the file the open dialog yields ("" = cancelled)
  bool YesAnswer = false;  // what a question box answers
  std::string OpenFails;  // not empty: the open dialog throws an error with this text
  QStringList SaveSuggested;  // the path each save dialog offered
  QString SaveAnswer;         // the path the save dialog yields ("" = cancelled)
  // Runs while a message or question box is "open", as the player takes their time: it may
  // spin the event loop, as the real box's own loop does.
  std::function<void()> WhileOpen;
};

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteListFile(dir.File("SkillList.txt"), {"砲撃", "突撃"});
    WriteListFile(dir.File("ItemList.txt"), {"木材,1", "料理,2"});
    WriteListFile(dir.File("NPCList.txt"), {"海賊"});
    WriteListFile(dir.File("ShipList.txt"), {"ガレオン"});
  }
  void TearDown() override {
    if (window) {
      // Closing writes the settings into the temporary folder; harmless here.
      window->close();
      window.reset();
    }
  }

  void WriteIni(const std::vector<std::string>& keyLines) {
    std::vector<std::string> lines{"[Mizuto]"};
    lines.insert(lines.end(), keyLines.begin(), keyLines.end());
    WriteListFile(dir.File("Mizuto.ini"), lines);
  }

  // Creates the window as the program does, shows it and makes it the active window, so
  // its shortcuts reach it.
  MainWindow& Open() {
    MainWindowOptions options;
    options.ProgramDir = dir.Path();
    options.HomePage = homePage;
    options.TimerPeriodMs = timerPeriodMs;
    DialogRecord* r = &record;
    options.Dialogs.Message = [r](QWidget*, const QString& text, const QString& caption) {
      r->Messages << text;
      r->MessageCaptions << caption;
      if (r->WhileOpen) r->WhileOpen();
    };
    options.Dialogs.AskYesNo = [r](QWidget*, const QString& text, const QString&) {
      r->Messages << text;
      if (r->WhileOpen) r->WhileOpen();
      return r->YesAnswer;
    };
    options.Dialogs.Error = [r](QWidget*, const QString& text) { r->Errors << text; };
    options.Dialogs.OpenFile = [r](QWidget*, const QString& folder, const QString& filter) {
      if (!r->OpenFails.empty()) throw std::runtime_error(r->OpenFails);
      r->OpenFolders << folder;
      r->OpenFilters << filter;
      return r->OpenAnswer;
    };
    options.Dialogs.SaveFile = [r](QWidget*, const QString& suggested, const QString&) {
      r->SaveSuggested << suggested;
      return r->SaveAnswer;
    };
    options.Dialogs.BrowseFolder = [](QWidget*, const QString&, const QString&) { return QString(); };
    options.Dialogs.Exec = [r](QDialog&) {
      ++r->Execs;
      return static_cast<int>(QDialog::Rejected);
    };
    window.reset();
    core = std::make_unique<App>();
    window = std::make_unique<MainWindow>(*core, std::move(options));
    window->show();
    window->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    return *window;
  }

  template <typename T>
  T* Find(const char* name) const {
    T* widget = window->findChild<T*>(QLatin1String(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  QListWidget* BattleList() const { return Find<QListWidget>("battleList"); }
  QTableView* Tally() const { return Find<QTableView>("tallyTable"); }
  QString Detail() const { return Find<DetailPane>("battleTranscript")->Text(); }
  QString Errors() const { return Find<QPlainTextEdit>("errorPane")->toPlainText(); }
  QString Status() const { return Find<QLabel>("StatusText")->text(); }
  QString Caption() const { return window->windowTitle(); }
  bool Enabled(const char* action) const { return window->Action(action)->isEnabled(); }
  bool Checked(const char* action) const { return window->Action(action)->isChecked(); }

  QStringList BattleRows() const {
    QStringList rows;
    for (int i = 0; i < BattleList()->count(); ++i) rows << BattleList()->item(i)->text();
    return rows;
  }
  std::vector<int> SelectedBattleRows() const {
    std::vector<int> rows;
    for (int i = 0; i < BattleList()->count(); ++i) {
      if (BattleList()->item(i)->isSelected()) rows.push_back(i);
    }
    return rows;
  }
  // A mouse click on a row of a list, with modifiers (Ctrl adds to the selection).
  void ClickRow(QListWidget* list, int row, Qt::KeyboardModifiers modifiers = {}) {
    QListWidgetItem* item = list->item(row);
    ASSERT_NE(item, nullptr) << row;
    ShowPageOf(list);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers,
                      list->visualItemRect(item).center());
  }
  // A click on the check box drawn in a row of a check list.
  void ClickCheckMark(QListWidget* list, int row) {
    QListWidgetItem* item = list->item(row);
    ASSERT_NE(item, nullptr) << row;
    ShowPageOf(list);
    QStyleOptionViewItem option;
    option.initFrom(list->viewport());
    option.rect = list->visualItemRect(item);
    option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    option.text = item->text();
    const QRect mark =
        list->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, list);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, mark.center());
  }
  void ClickTallyRow(int row, Qt::KeyboardModifiers modifiers = {}) {
    QTableView* table = Tally();
    ShowPageOf(table);
    const QRect cell = table->visualRect(table->model()->index(row, 1));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, modifiers, cell.center());
  }
  // A click on the header of the tally table's column with this caption.
  void ClickHeader(const QString& caption) {
    QTableView* table = Tally();
    ShowPageOf(table);
    QHeaderView* header = table->horizontalHeader();
    for (int c = 0; c < table->model()->columnCount(); ++c) {
      if (table->model()->headerData(c, Qt::Horizontal).toString() != caption) continue;
      const int x = header->sectionViewportPosition(c) + header->sectionSize(c) / 2;
      QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
      return;
    }
    ADD_FAILURE() << "no column " << caption.toStdString();
  }
  // The texts of one column of the tally table, top to bottom, by caption.
  QStringList TallyColumn(const QString& caption) const {
    QAbstractItemModel* model = Tally()->model();
    QStringList texts;
    for (int c = 0; c < model->columnCount(); ++c) {
      if (model->headerData(c, Qt::Horizontal).toString() != caption) continue;
      for (int r = 0; r < model->rowCount(); ++r) texts << model->index(r, c).data().toString();
    }
    return texts;
  }
  QStringList TallyCaptions() const {
    QAbstractItemModel* model = Tally()->model();
    QStringList captions;
    for (int c = 0; c < model->columnCount(); ++c) {
      captions << model->headerData(c, Qt::Horizontal).toString();
    }
    return captions;
  }
  // Brings up the page (tab) that holds the widget, with a click on its tab.
  void ShowPageOf(QWidget* widget) {
    auto* pages = Find<QTabWidget>("pages");
    for (int i = 0; i < pages->count(); ++i) {
      if (!pages->widget(i)->isAncestorOf(widget)) continue;
      QTabBar* bar = pages->tabBar();
      QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(i).center());
      ASSERT_EQ(pages->currentIndex(), i);
      return;
    }
  }
  // A click on a check box's square, on its page.
  void ClickBox(const char* name) {
    auto* box = Find<QCheckBox>(name);
    ShowPageOf(box);
    QStyleOptionButton option;
    option.initFrom(box);
    const QRect square = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
    QTest::mouseClick(box, Qt::LeftButton, {}, square.center());
  }
  // A key as the player types it, to the widget that has the keyboard focus.
  void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
    QWidget* target = QApplication::focusWidget();
    QTest::keyClick(target ? target : window.get(), key, modifiers);
  }
  // Files dragged from the shell and dropped on the window.
  void Drop(const QStringList& paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& p : paths) urls << QUrl::fromLocalFile(p);
    data.setUrls(urls);
    const QPoint at = window->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(window.get(), &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(window.get(), &drop);
  }

  TempDir dir;
  DialogRecord record;
  // The home page of these tests is a closed port on this machine.
  QUrl homePage = QUrl(QStringLiteral("http://127.0.0.1:9/"));
  int timerPeriodMs = 0;  // the active-mode timer's period (0: the interval field's)
  std::unique_ptr<App> core;  // declared first: it outlives the window that shows it
  std::unique_ptr<MainWindow> window;
};

// Waiting for the window: the condition is checked while the events are processed, until it
// holds or five seconds pass (then the test fails and shows the values). QTRY_* reports to
// QtTest, not to GoogleTest, hence these.
#define EXPECT_SOON(condition)                                                          \
  EXPECT_TRUE(QTest::qWaitFor([&] { return static_cast<bool>(condition); }, 5000)) \
      << #condition
#define EXPECT_SOON_EQ(actual, expected)                                   \
  do {                                                                     \
    (void)QTest::qWaitFor([&] { return (actual) == (expected); }, 5000);   \
    EXPECT_EQ(actual, expected);                                           \
  } while (false)

// A UTF-8 literal as the window shows it.
inline QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

}  // namespace mizuto::test
