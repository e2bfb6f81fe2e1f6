// The battle results page: the tally table above; the transcript of the chosen battles, the
// battle list and the error pane below. Each control is redrawn from the core's view models
// only where they changed.
#pragma once

#include <QWidget>
#include <cstddef>
#include <vector>

#include "app/app.h"

class QListWidget;
class QPlainTextEdit;
class QTableView;
class QTextEdit;

namespace mizuto {

class PageHost;
class PaneSplitter;
class TallyTableModel;

class BattleResultsPage : public QWidget {
  Q_OBJECT

 public:
  // `app` must outlive the page: its models read the core's tables in place.
  BattleResultsPage(App& app, PageHost& host);

  QTableView* TallyView() const { return listView1_; }
  QTextEdit* DetailView() const { return richEdit1_; }
  QListWidget* BattleListBox() const { return listBox1_; }

  // Lays the panes out from the kept sizes.
  void Refit();
  // Shows or hides the transcript pane and the error pane. A hidden pane takes its splitter
  // handle with it; shown again it is back on its side, as large as it was.
  void ShowBattleLogPane(bool shown);
  void ShowErrorPane(bool shown);

  // Redraws the page's controls from the core.
  void Sync();
  void SyncTally();

 private:
  void SyncBattleList();
  void SyncDetail();
  void SyncErrors();
  void ShowSortArrow();
  void OnBattleListSelection();
  void OnTallySelection();

  App& app_;
  PageHost& host_;
  QTableView* listView1_ = nullptr;
  TallyTableModel* tallyModel_ = nullptr;
  QTextEdit* richEdit1_ = nullptr;
  QListWidget* listBox1_ = nullptr;
  QPlainTextEdit* memo1_ = nullptr;
  QWidget* panel6_ = nullptr;
  QWidget* panel9_ = nullptr;
  PaneSplitter* splitter5_ = nullptr;
  PaneSplitter* splitter7_ = nullptr;
  PaneSplitter* splitter8_ = nullptr;

  std::vector<DetailLine> shownDetail_;
  std::size_t shownErrors_ = 0;
};

}  // namespace mizuto
