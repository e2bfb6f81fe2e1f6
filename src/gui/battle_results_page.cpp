#include "gui/battle_results_page.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QTableView>
#include <QTextEdit>
#include <QVBoxLayout>
#include <algorithm>

#include "app/main_commands.h"
#include "app/result_views.h"
#include "gui/detail_pane.h"
#include "gui/fixed_header.h"
#include "gui/gui_text.h"
#include "gui/page_host.h"
#include "gui/pane_splitter.h"
#include "gui/tally_table_model.h"
#include "tally/battle_list_view.h"
#include "tally/tally_table.h"

namespace mizuto {

BattleResultsPage::BattleResultsPage(App& app, PageHost& host) : app_(app), host_(host) {
  setObjectName(QStringLiteral("Page1"));

  listView1_ = new QTableView;
  listView1_->setObjectName(QStringLiteral("ListView1"));
  listView1_->setHorizontalHeader(new FixedHeader(Qt::Horizontal, -1, listView1_));
  listView1_->setFont(FixedFont(12));
  listView1_->setShowGrid(true);
  listView1_->setSelectionBehavior(QAbstractItemView::SelectRows);
  listView1_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  listView1_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  listView1_->setWordWrap(false);
  listView1_->setIconSize(QSize(16, 16));
  listView1_->verticalHeader()->hide();
  listView1_->verticalHeader()->setDefaultSectionSize(18);
  listView1_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  listView1_->horizontalHeader()->setSectionsClickable(true);
  listView1_->horizontalHeader()->setHighlightSections(false);
  listView1_->setContextMenuPolicy(Qt::CustomContextMenu);
  tallyModel_ = new TallyTableModel(app_.TallyTable, this);
  listView1_->setModel(tallyModel_);
  connect(listView1_->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int c) {
    host_.RunCommand([&] { ListView1ColumnClick(app_, c); });
    SyncTally();
    host_.SyncActions();
  });
  connect(listView1_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this] { OnTallySelection(); });
  auto* panel4 = FillingPanel("Panel4", listView1_);
  panel4->setMinimumHeight(50);

  richEdit1_ = new QTextEdit;
  richEdit1_->setObjectName(QStringLiteral("RichEdit1"));
  SetUpDetailPane(richEdit1_);
  richEdit1_->setContextMenuPolicy(Qt::CustomContextMenu);
  panel6_ = FillingPanel("Panel6", richEdit1_);
  panel6_->setMinimumWidth(50);

  listBox1_ = new QListWidget;
  listBox1_->setObjectName(QStringLiteral("ListBox1"));
  listBox1_->setFont(FixedFont(12));
  listBox1_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  listBox1_->setUniformItemSizes(true);
  listBox1_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(listBox1_, &QListWidget::itemSelectionChanged, this, [this] { OnBattleListSelection(); });
  connect(listBox1_, &QListWidget::itemDoubleClicked, this, [this] {
    host_.RunCommand([this] { ListBox1DblClick(app_); });
    host_.SyncAll();
  });
  auto* panel8 = FillingPanel("Panel8", listBox1_);
  panel8->setMinimumHeight(50);

  memo1_ = new QPlainTextEdit;
  memo1_->setObjectName(QStringLiteral("Memo1"));
  memo1_->setReadOnly(true);
  memo1_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  panel9_ = FillingPanel("Panel9", memo1_);
  panel9_->setMinimumHeight(50);

  // The panes docked to an edge keep the sizes of the settings (Sp1 .. Sp3).
  WindowGeometry& sizes = app_.Geometry;
  splitter8_ = new PaneSplitter("Splitter8", Qt::Vertical);
  splitter8_->AddFilling(panel8);
  splitter8_->AddDocked(panel9_, PaneSplitter::Edge::Trailing, &sizes.Sp3);
  auto* panel7 = FillingPanel("Panel7", splitter8_);
  panel7->setMinimumWidth(50);

  splitter7_ = new PaneSplitter("Splitter7", Qt::Horizontal);
  splitter7_->AddDocked(panel6_, PaneSplitter::Edge::Leading, &sizes.Sp2);
  splitter7_->AddFilling(panel7);
  auto* panel5 = FillingPanel("Panel5", splitter7_);
  panel5->setMinimumHeight(50);

  splitter5_ = new PaneSplitter("Splitter5", Qt::Vertical);
  splitter5_->AddFilling(panel4);
  splitter5_->AddDocked(panel5, PaneSplitter::Edge::Trailing, &sizes.Sp1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(splitter5_);
}

void BattleResultsPage::Refit() {
  for (PaneSplitter* splitter : {splitter5_, splitter7_, splitter8_}) splitter->Refit();
}

void BattleResultsPage::ShowBattleLogPane(bool shown) {
  panel6_->setVisible(shown);
  splitter7_->Refit();
}

void BattleResultsPage::ShowErrorPane(bool shown) {
  panel9_->setVisible(shown);
  splitter8_->Refit();
}

void BattleResultsPage::Sync() {
  SyncBattleList();
  SyncDetail();
  SyncErrors();
  SyncTally();
}

void BattleResultsPage::SyncBattleList() {
  // Rows and selection written here are the core's own: the list does not report them back.
  const QSignalBlocker quiet(listBox1_);
  const BattleListView& list = app_.BattleList;
  const int rows = list.Count();
  listBox1_->setUpdatesEnabled(false);
  while (listBox1_->count() > rows) delete listBox1_->takeItem(listBox1_->count() - 1);
  for (int i = 0; i < rows; ++i) {
    const QString text = ToQt(list.Rows[static_cast<std::size_t>(i)]);
    if (i < listBox1_->count()) {
      QListWidgetItem* item = listBox1_->item(i);
      if (item->text() != text) item->setText(text);
    } else {
      listBox1_->addItem(text);
    }
  }
  for (int i = 0; i < rows; ++i) {
    const bool want = list.IsSelected(i);
    if (listBox1_->item(i)->isSelected() != want) listBox1_->item(i)->setSelected(want);
  }
  if (list.FocusRow >= 0 && list.FocusRow < rows) {
    listBox1_->selectionModel()->setCurrentIndex(listBox1_->model()->index(list.FocusRow, 0),
                                                 QItemSelectionModel::NoUpdate);
    if (list.IsSelected(list.FocusRow)) listBox1_->scrollToItem(listBox1_->item(list.FocusRow));
  }
  listBox1_->setToolTip(ToQt(list.Hint));
  listBox1_->setUpdatesEnabled(true);
}

void BattleResultsPage::SyncDetail() {
  if (app_.Detail == shownDetail_) return;
  FillDetailPane(richEdit1_, app_.Detail);
  shownDetail_ = app_.Detail;
}

void BattleResultsPage::SyncErrors() {
  if (app_.ErrorLines.size() < shownErrors_) {
    memo1_->clear();
    shownErrors_ = 0;
  }
  if (app_.ErrorLines.size() == shownErrors_) return;
  QString text;
  for (std::size_t i = shownErrors_; i < app_.ErrorLines.size(); ++i) {
    if (i > shownErrors_) text += QLatin1Char('\n');
    text += ToQt(app_.ErrorLines[i]);
  }
  memo1_->appendPlainText(text);
  shownErrors_ = app_.ErrorLines.size();
}

void BattleResultsPage::SyncTally() {
  // The rows and the selection written here are the core's own: the view's selection model
  // keeps quiet about them (rows taken away or a new selection), and the view is told to
  // paint the selection afterwards.
  QItemSelectionModel* selection = listView1_->selectionModel();
  const QSignalBlocker quiet(selection);
  ShowSortArrow();
  // Most commands leave the table as it is (a transcript switch, a selection): then there is
  // nothing to draw.
  const TallyTableModel::Change change = tallyModel_->Update();
  if (change == TallyTableModel::Change::None) return;
  // Columns are as wide as their captions, the name column as wide as the longest name.
  QHeaderView* header = listView1_->horizontalHeader();
  if (change == TallyTableModel::Change::Columns) {
    for (int c = 1; c < tallyModel_->columnCount(); ++c) {
      header->resizeSection(c, header->sectionSizeHint(c));
    }
  }
  if (tallyModel_->columnCount() > 0) {
    listView1_->resizeColumnToContents(0);
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
  listView1_->viewport()->update();
}

void BattleResultsPage::ShowSortArrow() {
  // The header flips its own arrow on a click; the core's sort state is what counts.
  const TallyTableView& table = app_.TallyTable;
  QHeaderView* header = listView1_->horizontalHeader();
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
  for (int i = 0; i < list.Count() && i < listBox1_->count(); ++i) {
    list.Selected[static_cast<std::size_t>(i)] = listBox1_->item(i)->isSelected() ? 1 : 0;
  }
  list.FocusRow = listBox1_->currentRow();
  host_.RunCommand([this] { ListBox1Click(app_); });
  listBox1_->setToolTip(ToQt(list.Hint));
}

void BattleResultsPage::OnTallySelection() {
  auto& rows = app_.TallyTable.Rows;
  QItemSelectionModel* selection = listView1_->selectionModel();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    rows[i].Selected = selection->isRowSelected(static_cast<int>(i), QModelIndex());
  }
  host_.RunCommand([this] { ListView1SelectItem(app_); });
  host_.SyncActions();
}

}  // namespace mizuto
