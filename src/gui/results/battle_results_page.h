// The battle results page: the tally table above; the transcript of the chosen battles, the
// battle list and the error pane below. Each control is redrawn from the core's view models
// only where they changed.
#pragma once

#include <QWidget>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "app/owner/app.h"

class QListWidget;
class QPlainTextEdit;
class QTableView;

namespace mizuto {

class DetailPane;
class PageHost;
class PaneSplitter;
class TallyTableModel;

class BattleResultsPage : public QWidget {
  Q_OBJECT

 public:
  // `app` must outlive the page: its models read the core's tables in place.
  BattleResultsPage(App& app, PageHost& host);

  QTableView* TallyView() const { return tallyTable_; }
  DetailPane* DetailView() const { return battleTranscript_; }
  QListWidget* BattleListBox() const { return battleList_; }

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
  // The page's parts, built in this order; each returns the panel that holds it, where the
  // layout needs it.
  QWidget* BuildTallyTable();
  void BuildTranscript();
  QWidget* BuildBattleList();
  void BuildErrorPane();
  void LayOutPanes(QWidget* tallyPanel, QWidget* battleListPanel);
  void SyncBattleList();
  void SyncDetail();
  void SyncErrors();
  void ShowSortArrow();
  void OnBattleListSelection();
  void OnTallySelection();

  App& app_;
  PageHost& host_;
  QTableView* tallyTable_ = nullptr;
  TallyTableModel* tallyModel_ = nullptr;
  DetailPane* battleTranscript_ = nullptr;
  QListWidget* battleList_ = nullptr;
  QPlainTextEdit* errorPane_ = nullptr;
  QWidget* transcriptPanel_ = nullptr;
  QWidget* errorPanePanel_ = nullptr;
  PaneSplitter* tallySplitter_ = nullptr;
  PaneSplitter* transcriptSplitter_ = nullptr;
  PaneSplitter* errorSplitter_ = nullptr;

  std::uint64_t shownDetail_ = 0;  // the transcript's revision shown
  std::size_t shownErrors_ = 0;
};

}  // namespace mizuto
