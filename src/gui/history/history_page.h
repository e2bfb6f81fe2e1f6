// The History page: a filter bar, the summary of the range in the status bar's form, the
// opponents, players and battles tables and the chart, all from the season history. It
// asks the history again only while it is on screen: a page in the background notes that
// its answers are old and asks when it is shown.
#pragma once

#include <QWidget>

#include "app/owner/app.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QSplitter;
class QTableView;
class QTimer;
class QToolButton;

namespace mizuto {

class HistoryChart;
class HistoryTableModel;
class PageHost;

class HistoryPage : public QWidget {
  Q_OBJECT

 public:
  // `app` must outlive the page: its models read the core's tables in place.
  HistoryPage(App& app, PageHost& host);

  // Asks the history again when it changed since the page's answers, then redraws; a
  // hidden page only waits to be shown.
  void Sync();
  // Keeps the column widths and the splitters' sizes in the page's settings.
  void StoreLayout();

 signals:
  // A battle of the battles table was loaded: the window shows the battle results page.
  void BattleOpened();

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildFilterBar(QWidget* bar);
  void BuildNameFilter();
  void BuildTables();
  void BuildSplitters();
  QWidget* ChartPanel();
  QToolButton* CsvButton();
  void ShareWidth(QSplitter* splitter, int first, int second);
  void FilterChanged();
  void Refresh();
  void Redraw();
  void ShowFilter();
  void ApplyLayout();
  void OpenBattle(const QModelIndex& index);
  // The battles table's context menu: takes the log of the battle under it out of the
  // history (after the player says yes).
  void BuildBattleMenu();
  void ForgetLogOf(const QModelIndex& index);

  App& app_;
  PageHost& host_;
  QDateEdit* fromDate_ = nullptr;
  QDateEdit* toDate_ = nullptr;
  QComboBox* typeChoice_ = nullptr;
  QComboBox* sizeChoice_ = nullptr;
  QComboBox* againstChoice_ = nullptr;
  QLineEdit* nameFilter_ = nullptr;
  QCheckBox* partialName_ = nullptr;
  QTimer* nameDelay_ = nullptr;
  QLabel* summary_ = nullptr;
  QLabel* error_ = nullptr;
  QTableView* opponents_ = nullptr;
  QTableView* players_ = nullptr;
  QTableView* battles_ = nullptr;
  HistoryTableModel* opponentModel_ = nullptr;
  HistoryTableModel* playerModel_ = nullptr;
  HistoryTableModel* battleModel_ = nullptr;
  HistoryChart* chart_ = nullptr;
  QSplitter* splitter_ = nullptr;
  QSplitter* upperSplitter_ = nullptr;
  QSplitter* lowerSplitter_ = nullptr;
  std::uint64_t shownRevision_ = 0;  // the page model's revision drawn
  bool layoutApplied_ = false;
};

}  // namespace mizuto
