#include "gui/results/battle_results_page.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "app/commands/main_commands.h"
#include "app/owner/result_views.h"
#include "gui/results/battle_row_delegate.h"
#include "gui/results/detail_pane.h"
#include "gui/widgets/fixed_header.h"
#include "gui/widgets/gui_text.h"
#include "gui/widgets/page_host.h"
#include "gui/widgets/pane_splitter.h"
#include "gui/results/tally_table_model.h"
#include "tally/battle_list_view.h"
#include "tally/tally_table.h"

namespace mizuto {

BattleResultsPage::BattleResultsPage(App& app, PageHost& host) : app_(app), host_(host) {
  setObjectName(QStringLiteral("battleResultsPage"));
  QWidget* tallyPanel = BuildTallyTable();
  BuildTranscript();
  QWidget* battleListPanel = BuildBattleList();
  BuildErrorPane();
  LayOutPanes(tallyPanel, battleListPanel);
}

QWidget* BattleResultsPage::BuildTallyTable() {
  tallyTable_ = new QTableView;
  tallyTable_->setObjectName(QStringLiteral("tallyTable"));
  tallyTable_->setHorizontalHeader(new FixedHeader(Qt::Horizontal, -1, tallyTable_));
  tallyTable_->setFont(FixedFont(12));
  tallyTable_->setShowGrid(true);
  tallyTable_->setSelectionBehavior(QAbstractItemView::SelectRows);
  tallyTable_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  tallyTable_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tallyTable_->setWordWrap(false);
  tallyTable_->setIconSize(QSize(16, 16));
  tallyTable_->verticalHeader()->hide();
  tallyTable_->verticalHeader()->setDefaultSectionSize(18);
  tallyTable_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  tallyTable_->horizontalHeader()->setSectionsClickable(true);
  tallyTable_->horizontalHeader()->setHighlightSections(false);
  tallyTable_->setContextMenuPolicy(Qt::CustomContextMenu);
  tallyModel_ = new TallyTableModel(app_.TallyTable, this);
  tallyTable_->setModel(tallyModel_);
  connect(tallyTable_->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int c) {
    host_.RunCommand([&] { SortTallyByColumn(app_, c); });
    SyncTally();
    host_.SyncActions();
  });
  connect(tallyTable_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this] { OnTallySelection(); });
  auto* tallyPanel = FillingPanel("tallyPanel", tallyTable_);
  tallyPanel->setMinimumHeight(50);
  return tallyPanel;
}

void BattleResultsPage::BuildTranscript() {
  battleTranscript_ = new DetailPane(app_.Detail.Lines());
  battleTranscript_->setObjectName(QStringLiteral("battleTranscript"));
  battleTranscript_->setContextMenuPolicy(Qt::CustomContextMenu);
  transcriptPanel_ = FillingPanel("transcriptPanel", battleTranscript_);
  transcriptPanel_->setMinimumWidth(50);
}

QWidget* BattleResultsPage::BuildBattleList() {
  battleList_ = new QListWidget;
  battleList_->setObjectName(QStringLiteral("battleList"));
  battleList_->setFont(FixedFont(12));
  battleList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  battleList_->setUniformItemSizes(true);
  battleList_->setItemDelegate(new BattleRowDelegate(battleList_));
  battleList_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(battleList_, &QListWidget::itemSelectionChanged, this, [this] { OnBattleListSelection(); });
  connect(battleList_, &QListWidget::itemDoubleClicked, this, [this] {
    host_.RunCommand([this] { ShowSelectedBattles(app_); });
    host_.SyncAll();
  });
  auto* battleListPanel = FillingPanel("battleListPanel", battleList_);
  battleListPanel->setMinimumHeight(50);
  return battleListPanel;
}

void BattleResultsPage::BuildErrorPane() {
  errorPane_ = new QPlainTextEdit;
  errorPane_->setObjectName(QStringLiteral("errorPane"));
  errorPane_->setReadOnly(true);
  errorPane_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  errorPanePanel_ = FillingPanel("errorPanePanel", errorPane_);
  errorPanePanel_->setMinimumHeight(50);
}

void BattleResultsPage::LayOutPanes(QWidget* tallyPanel, QWidget* battleListPanel) {
  // The panes docked to an edge keep their sizes in the settings.
  WindowGeometry& sizes = app_.Geometry;
  errorSplitter_ = new PaneSplitter("errorSplitter", Qt::Vertical);
  errorSplitter_->AddFilling(battleListPanel);
  errorSplitter_->AddDocked(errorPanePanel_, PaneSplitter::Edge::Trailing, &sizes.ErrorPaneHeight);
  auto* listAndErrorsPanel = FillingPanel("listAndErrorsPanel", errorSplitter_);
  listAndErrorsPanel->setMinimumWidth(50);

  transcriptSplitter_ = new PaneSplitter("transcriptSplitter", Qt::Horizontal);
  transcriptSplitter_->AddDocked(transcriptPanel_, PaneSplitter::Edge::Leading, &sizes.TranscriptPaneWidth);
  transcriptSplitter_->AddFilling(listAndErrorsPanel);
  auto* lowerPanel = FillingPanel("lowerPanel", transcriptSplitter_);
  lowerPanel->setMinimumHeight(50);

  tallySplitter_ = new PaneSplitter("tallySplitter", Qt::Vertical);
  tallySplitter_->AddFilling(tallyPanel);
  tallySplitter_->AddDocked(lowerPanel, PaneSplitter::Edge::Trailing, &sizes.LowerPanesHeight);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(tallySplitter_);
}

void BattleResultsPage::Refit() {
  for (PaneSplitter* splitter : {tallySplitter_, transcriptSplitter_, errorSplitter_}) splitter->Refit();
}

void BattleResultsPage::ShowBattleLogPane(bool shown) {
  transcriptPanel_->setVisible(shown);
  transcriptSplitter_->Refit();
}

void BattleResultsPage::ShowErrorPane(bool shown) {
  errorPanePanel_->setVisible(shown);
  errorSplitter_->Refit();
}

void BattleResultsPage::Sync() {
  SyncBattleList();
  SyncDetail();
  SyncErrors();
  SyncTally();
}

void BattleResultsPage::SyncBattleList() {
  // Rows and selection written here are the core's own: the list does not report them back.
  const QSignalBlocker quiet(battleList_);
  const BattleListView& list = app_.BattleList;
  const int rows = list.Count();
  battleList_->setUpdatesEnabled(false);
  while (battleList_->count() > rows) delete battleList_->takeItem(battleList_->count() - 1);
  for (int i = 0; i < rows; ++i) {
    const QString text = ToQt(list.Rows[static_cast<std::size_t>(i)]);
    if (i < battleList_->count()) {
      QListWidgetItem* item = battleList_->item(i);
      if (item->text() != text) item->setText(text);
    } else {
      battleList_->addItem(text);
    }
  }
  for (int i = 0; i < rows; ++i) {
    const bool want = list.IsSelected(i);
    if (battleList_->item(i)->isSelected() != want) battleList_->item(i)->setSelected(want);
  }
  if (list.FocusRow >= 0 && list.FocusRow < rows) {
    battleList_->selectionModel()->setCurrentIndex(battleList_->model()->index(list.FocusRow, 0),
                                                 QItemSelectionModel::NoUpdate);
    if (list.IsSelected(list.FocusRow)) battleList_->scrollToItem(battleList_->item(list.FocusRow));
  }
  battleList_->setToolTip(ToQt(list.Hint));
  battleList_->setUpdatesEnabled(true);
}

void BattleResultsPage::SyncDetail() {
  if (app_.Detail.Revision() == shownDetail_) return;
  battleTranscript_->LinesReplaced(app_.DetailShowsEnd);
  shownDetail_ = app_.Detail.Revision();
}

void BattleResultsPage::SyncErrors() {
  if (app_.ErrorLines.size() < shownErrors_) {
    errorPane_->clear();
    shownErrors_ = 0;
  }
  if (app_.ErrorLines.size() == shownErrors_) return;
  QString text;
  for (std::size_t i = shownErrors_; i < app_.ErrorLines.size(); ++i) {
    if (i > shownErrors_) text += QLatin1Char('\n');
    text += ToQt(app_.ErrorLines[i]);
  }
  errorPane_->appendPlainText(text);
  shownErrors_ = app_.ErrorLines.size();
}

void BattleResultsPage::SyncTally() {
  // The rows and the selection written here are the core's own: the view's selection model
  // keeps quiet about them (rows taken away or a new selection), and the view is told to
  // paint the selection afterwards.
  QItemSelectionModel* selection = tallyTable_->selectionModel();
  const QSignalBlocker quiet(selection);
  ShowSortArrow();
  // Most commands leave the table as it is (a transcript switch, a selection): then there is
  // nothing to draw.
  const TallyTableModel::Change change = tallyModel_->Update();
  if (change == TallyTableModel::Change::None) return;
  // Columns are as wide as their captions, the name column as wide as the longest name.
  QHeaderView* header = tallyTable_->horizontalHeader();
  if (change == TallyTableModel::Change::Columns) {
    for (int c = 1; c < tallyModel_->columnCount(); ++c) {
      header->resizeSection(c, header->sectionSizeHint(c));
    }
  }
  if (tallyModel_->columnCount() > 0) {
    tallyTable_->resizeColumnToContents(0);
    if (header->sectionSize(0) < 100) header->resizeSection(0, 100);
  }
  QItemSelection selected;
  const auto& rows = app_.TallyTable.Rows;
  const int lastColumn = tallyModel_->columnCount() - 1;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (!rows[i].Selected) continue;
    const int r = static_cast<int>(i);
    selected.select(tallyModel_->index(r, 0), tallyModel_->index(r, std::max(0, lastColumn)));
  }
  selection->select(selected, QItemSelectionModel::ClearAndSelect);
  tallyTable_->viewport()->update();
}

void BattleResultsPage::ShowSortArrow() {
  // The header flips its own arrow on a click; the core's sort state is what counts.
  const TallyTableView& table = app_.TallyTable;
  QHeaderView* header = tallyTable_->horizontalHeader();
  const bool shown = table.Sorted && table.SortColumn >= 0 &&
                     static_cast<std::size_t>(table.SortColumn) < table.Columns.size();
  header->setSortIndicatorShown(shown);
  if (shown) {
    header->setSortIndicator(table.SortColumn,
                             TallySortIsDescending(table) ? Qt::DescendingOrder : Qt::AscendingOrder);
    // The columns are as wide as their captions: the arrow needs its room beside it.
    const int wanted = header->sectionSizeHint(table.SortColumn);
    if (header->sectionSize(table.SortColumn) < wanted) header->resizeSection(table.SortColumn, wanted);
  }
}

void BattleResultsPage::OnBattleListSelection() {
  BattleListView& list = app_.BattleList;
  for (int i = 0; i < list.Count() && i < battleList_->count(); ++i) {
    list.Selected[static_cast<std::size_t>(i)] = battleList_->item(i)->isSelected() ? 1 : 0;
  }
  list.FocusRow = battleList_->currentRow();
  host_.RunCommand([this] { SelectBattles(app_); });
  battleList_->setToolTip(ToQt(list.Hint));
}

void BattleResultsPage::OnTallySelection() {
  auto& rows = app_.TallyTable.Rows;
  QItemSelectionModel* selection = tallyTable_->selectionModel();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    rows[i].Selected = selection->isRowSelected(static_cast<int>(i), QModelIndex());
  }
  host_.RunCommand([this] { SelectTallyRows(app_); });
  host_.SyncActions();
}

}  // namespace mizuto
