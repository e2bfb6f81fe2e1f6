#include "gui/history/history_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/season/history_chart_data.h"
#include "app/history/history_csv.h"
#include "app/history/history_forget.h"
#include "app/history/history_page_model.h"
#include "app/owner/history_recorder.h"
#include "gui/widgets/gui_text.h"
#include "gui/history/history_chart.h"
#include "gui/history/history_table_model.h"
#include "gui/widgets/page_host.h"

namespace mizuto {
namespace {

constexpr const char* kDateFormat = "yyyy-MM-dd";
// The name filter asks the history once the player stops typing for this long.
constexpr int kNameDelayMs = 250;

QTableView* NewTable(const char* name) {
  auto* table = new QTableView;
  table->setObjectName(QLatin1String(name));
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setWordWrap(false);
  table->verticalHeader()->hide();
  table->verticalHeader()->setDefaultSectionSize(18);
  table->horizontalHeader()->setHighlightSections(false);
  table->horizontalHeader()->setSectionsClickable(true);
  return table;
}

QComboBox* NewChoice(const char* name, const std::vector<std::string>& captions) {
  auto* box = new QComboBox;
  box->setObjectName(QLatin1String(name));
  for (const std::string& caption : captions) box->addItem(ToQt(caption));
  return box;
}

QWidget* Titled(const QString& title, QWidget* content) {
  auto* panel = new QWidget;
  auto* layout = new QVBoxLayout(panel);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(1);
  layout->addWidget(new QLabel(title));
  layout->addWidget(content);
  return panel;
}

std::vector<int> ColumnWidths(const QTableView* table) {
  std::vector<int> widths;
  const QHeaderView* header = table->horizontalHeader();
  for (int c = 0; c < header->count(); ++c) widths.push_back(header->sectionSize(c));
  return widths;
}

void ApplyWidths(QTableView* table, const std::vector<int>& widths) {
  QHeaderView* header = table->horizontalHeader();
  for (int c = 0; c < header->count() && static_cast<std::size_t>(c) < widths.size(); ++c) {
    if (widths[static_cast<std::size_t>(c)] > 0) header->resizeSection(c, widths[static_cast<std::size_t>(c)]);
  }
}

std::vector<int> Sizes(const QSplitter* splitter) {
  std::vector<int> sizes;
  for (int size : splitter->sizes()) sizes.push_back(size);
  return sizes;
}

void ApplySizes(QSplitter* splitter, const std::vector<int>& sizes) {
  if (sizes.size() != static_cast<std::size_t>(splitter->count())) {
    // Nothing kept (or kept for another layout): both sides alike.
    splitter->setSizes(QList<int>(splitter->count(), 1000));
    return;
  }
  QList<int> list;
  for (int size : sizes) list << size;
  splitter->setSizes(list);
}

// The arrow is always "shown", on no column while the table is as answered: a header
// then keeps room for it beside every caption, and a narrow caption (勝) is not covered
// once its column is sorted.
void ShowSortArrow(QTableView* view, const HistoryTable& table) {
  QHeaderView* header = view->horizontalHeader();
  header->setSortIndicatorShown(true);
  header->setSortIndicator(table.SortColumn, table.Descending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

// The width a table needs to show every column without scrolling.
// (What the columns' contents and captions ask for, not their widths now: a last column
// that stretches is as wide as its pane.)
int NeededWidth(const QTableView* table) {
  const QHeaderView* header = table->horizontalHeader();
  int width = table->verticalScrollBar()->sizeHint().width() + 2 * table->frameWidth();
  for (int c = 0; c < header->count(); ++c) {
    width += std::max(static_cast<const QAbstractItemView*>(table)->sizeHintForColumn(c), header->sectionSizeHint(c));
  }
  return width;
}

QToolButton* NewViewButton(const char* name, const QString& caption) {
  auto* button = new QToolButton;
  button->setObjectName(QLatin1String(name));
  button->setText(caption);
  button->setCheckable(true);
  button->setAutoExclusive(true);
  button->setAutoRaise(true);
  return button;
}

}  // namespace

HistoryPage::HistoryPage(App& app, PageHost& host) : app_(app), host_(host) {
  setObjectName(QStringLiteral("historyPage"));
  auto* filterBar = new QWidget;
  filterBar->setObjectName(QStringLiteral("historyFilterBar"));
  BuildFilterBar(filterBar);

  summary_ = new QLabel;
  summary_->setObjectName(QStringLiteral("historySummary"));
  summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  error_ = new QLabel;
  error_->setObjectName(QStringLiteral("historyError"));
  error_->setWordWrap(true);
  error_->setStyleSheet(QStringLiteral("color: #b00000;"));
  error_->hide();
  BuildTables();
  BuildSplitters();

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->setSpacing(2);
  layout->addWidget(filterBar);
  layout->addWidget(summary_);
  layout->addWidget(error_);
  layout->addWidget(splitter_, 1);
  ShowFilter();
}

// The season's three tables (sorted by a click on a column's caption) and the chart.
void HistoryPage::BuildTables() {
  opponents_ = NewTable("historyOpponents");
  opponentModel_ = new HistoryTableModel(app_.HistoryPage.Opponents, this);
  opponents_->setModel(opponentModel_);
  players_ = NewTable("historyPlayers");
  playerModel_ = new HistoryTableModel(app_.HistoryPage.Players, this);
  players_->setModel(playerModel_);
  battles_ = NewTable("historyBattles");
  battleModel_ = new HistoryTableModel(app_.HistoryPage.Battles, this);
  battles_->setModel(battleModel_);
  battles_->setSelectionMode(QAbstractItemView::SingleSelection);
  battles_->horizontalHeader()->setStretchLastSection(true);  // the label takes what is left
  battles_->setFont(FixedFont(12));  // the labels line up as in the battle list
  chart_ = new HistoryChart;

  const std::pair<QTableView*, HistoryTable*> sortable[] = {{opponents_, &app_.HistoryPage.Opponents},
                                                           {players_, &app_.HistoryPage.Players},
                                                           {battles_, &app_.HistoryPage.Battles}};
  for (const auto& [view, table] : sortable) {
    connect(view->horizontalHeader(), &QHeaderView::sectionClicked, this, [this, table = table](int column) {
      host_.RunCommand([&] { SortHistoryTable(*table, column); });
      Redraw();
    });
  }
  connect(battles_, &QTableView::doubleClicked, this, [this](const QModelIndex& index) { OpenBattle(index); });
  battles_->installEventFilter(this);
  BuildBattleMenu();
}

// Opponents beside players above, battles beside the chart below.
void HistoryPage::BuildSplitters() {
  upperSplitter_ = new QSplitter(Qt::Horizontal);
  upperSplitter_->setObjectName(QStringLiteral("historyUpperSplitter"));
  upperSplitter_->addWidget(Titled(QStringLiteral("相手"), opponents_));
  upperSplitter_->addWidget(Titled(QStringLiteral("プレイヤー"), players_));
  lowerSplitter_ = new QSplitter(Qt::Horizontal);
  lowerSplitter_->setObjectName(QStringLiteral("historyLowerSplitter"));
  lowerSplitter_->addWidget(Titled(QStringLiteral("戦闘（ダブルクリックかEnterでログを開く）"), battles_));
  lowerSplitter_->addWidget(ChartPanel());
  splitter_ = new QSplitter(Qt::Vertical);
  splitter_->setObjectName(QStringLiteral("historySplitter"));
  splitter_->addWidget(upperSplitter_);
  splitter_->addWidget(lowerSplitter_);
  for (QSplitter* s : {splitter_, upperSplitter_, lowerSplitter_}) s->setChildrenCollapsible(false);
}

// The chart with its two views: the days of the range, or the win rate week by week.
QWidget* HistoryPage::ChartPanel() {
  auto* days = NewViewButton("historyChartDays", QStringLiteral("日ごと"));
  auto* weeks = NewViewButton("historyChartWeeks", QStringLiteral("週ごとの勝率"));
  days->setChecked(true);
  connect(days, &QToolButton::toggled, this, [this](bool on) {
    if (on) chart_->SetView(HistoryChart::View::Days);
  });
  connect(weeks, &QToolButton::toggled, this, [this](bool on) {
    if (on) chart_->SetView(HistoryChart::View::Weeks);
  });
  auto* switches = new QHBoxLayout;
  switches->setContentsMargins(0, 0, 0, 0);
  switches->addWidget(days);
  switches->addWidget(weeks);
  switches->addStretch(1);
  auto* panel = new QWidget;
  auto* layout = new QVBoxLayout(panel);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(1);
  layout->addLayout(switches);
  layout->addWidget(chart_, 1);
  return panel;
}

// The three tables as CSV files, each through a save dialog.
QToolButton* HistoryPage::CsvButton() {
  auto* button = new QToolButton;
  button->setObjectName(QStringLiteral("historyCsv"));
  button->setText(QStringLiteral("CSV保存"));
  button->setToolTip(QStringLiteral("表をCSVファイル（Shift-JIS）に保存します"));
  button->setPopupMode(QToolButton::InstantPopup);
  auto* menu = new QMenu(button);
  const std::tuple<const char*, QString, HistoryTableKind> entries[] = {
      {"historyCsvOpponents", QStringLiteral("相手の表(&O)..."), HistoryTableKind::Opponents},
      {"historyCsvPlayers", QStringLiteral("プレイヤーの表(&P)..."), HistoryTableKind::Players},
      {"historyCsvBattles", QStringLiteral("戦闘の表(&B)..."), HistoryTableKind::Battles}};
  for (const auto& [name, caption, kind] : entries) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    connect(action, &QAction::triggered, this, [this, kind = kind] {
      host_.RunCommand([&] {
        std::string error;
        if (!SaveHistoryTableCsv(app_, kind, host_.Ask(), &error) && !error.empty()) {
          host_.ShowError(QString::fromStdString(error));
        }
      });
      host_.SyncAll();
    });
  }
  button->setMenu(menu);
  return button;
}

bool HistoryPage::eventFilter(QObject* watched, QEvent* event) {
  // Enter opens the selected battle as a double-click does.
  if (watched == battles_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && battles_->currentIndex().isValid()) {
      OpenBattle(battles_->currentIndex());
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

// The name field, which asks once the player pauses in typing, and its 部分一致 switch.
void HistoryPage::BuildNameFilter() {
  nameFilter_ = new QLineEdit;
  nameFilter_->setObjectName(QStringLiteral("historyName"));
  nameFilter_->setPlaceholderText(QStringLiteral("相手・プレイヤーの名前"));
  nameFilter_->setClearButtonEnabled(true);
  nameDelay_ = new QTimer(this);
  nameDelay_->setSingleShot(true);
  nameDelay_->setInterval(kNameDelayMs);
  connect(nameFilter_, &QLineEdit::textChanged, nameDelay_, qOverload<>(&QTimer::start));
  connect(nameDelay_, &QTimer::timeout, this, [this] {
    app_.HistoryPage.Settings.Name = FromQt(nameFilter_->text());
    FilterChanged();
  });
  partialName_ = new QCheckBox(QStringLiteral("部分一致"));
  partialName_->setObjectName(QStringLiteral("historyPartialName"));
  partialName_->setToolTip(QStringLiteral("名前の一部が一致する相手・プレイヤーも探します"));
  connect(partialName_, &QCheckBox::toggled, this, [this](bool checked) {
    app_.HistoryPage.Settings.PartialName = checked;
    FilterChanged();
  });
}

void HistoryPage::BuildFilterBar(QWidget* bar) {
  auto* rows = new QVBoxLayout(bar);
  rows->setContentsMargins(0, 0, 0, 0);
  rows->setSpacing(2);
  fromDate_ = new QDateEdit;
  fromDate_->setObjectName(QStringLiteral("historyFrom"));
  toDate_ = new QDateEdit;
  toDate_->setObjectName(QStringLiteral("historyTo"));
  for (QDateEdit* edit : {fromDate_, toDate_}) {
    edit->setDisplayFormat(QLatin1String(kDateFormat));
    edit->setCalendarPopup(true);
    connect(edit, &QDateEdit::dateChanged, this, [this] {
      app_.HistoryPage.Settings.From = fromDate_->date().toString(QLatin1String(kDateFormat)).toStdString();
      app_.HistoryPage.Settings.To = toDate_->date().toString(QLatin1String(kDateFormat)).toStdString();
      FilterChanged();
    });
  }
  auto* recent = new QPushButton(QStringLiteral("最近の30日"));
  recent->setObjectName(QStringLiteral("historyRecent"));
  recent->setToolTip(QStringLiteral("今日までの30日間（今日とその前の29日）を表示します"));
  connect(recent, &QPushButton::clicked, this, [this] {
    app_.HistoryPage.Settings.From.clear();
    app_.HistoryPage.Settings.To.clear();
    FilterChanged();
  });
  typeChoice_ = NewChoice("historyType", HistoryTypeChoices());
  sizeChoice_ = NewChoice("historySize", HistorySizeChoices());
  againstChoice_ = NewChoice("historyAgainst", HistoryAgainstChoices());
  const std::pair<QComboBox*, int HistoryPageSettings::*> choices[] = {
      {typeChoice_, &HistoryPageSettings::Type},
      {sizeChoice_, &HistoryPageSettings::Size},
      {againstChoice_, &HistoryPageSettings::Against}};
  for (const auto& [box, field] : choices) {
    connect(box, &QComboBox::currentIndexChanged, this, [this, field = field](int index) {
      app_.HistoryPage.Settings.*field = index;
      FilterChanged();
    });
  }
  BuildNameFilter();

  // Two rows, so the page needs no more width than the other pages do.
  auto* range = new QHBoxLayout;
  range->addWidget(new QLabel(QStringLiteral("期間")));
  range->addWidget(fromDate_);
  range->addWidget(new QLabel(QStringLiteral("～")));
  range->addWidget(toDate_);
  range->addWidget(recent);
  range->addStretch(1);
  range->addWidget(CsvButton());
  auto* kinds = new QHBoxLayout;
  kinds->addWidget(typeChoice_);
  kinds->addWidget(sizeChoice_);
  kinds->addWidget(againstChoice_);
  kinds->addWidget(nameFilter_, 1);
  kinds->addWidget(partialName_);
  rows->addLayout(range);
  rows->addLayout(kinds);
}

void HistoryPage::FilterChanged() {
  // A filter set while the page is hidden (its settings at start-up) waits for the page.
  if (!isVisible()) return;
  Refresh();
}

void HistoryPage::Refresh() {
  host_.RunCommand([this] { RefreshHistoryPage(app_); });
  Redraw();
}

void HistoryPage::Sync() {
  if (!isVisible()) return;
  // Every tick syncs the window: an import the tick began beside it (the history was
  // locked by another program) is not waited for here; the window syncs again once it is
  // done.
  if (HistoryPageOutdated(app_) && !app_.History.OwedImportGoingOn()) {
    Refresh();
    return;
  }
  Redraw();
}

void HistoryPage::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (HistoryPageOutdated(app_)) Refresh();
  ApplyLayout();
}

// The range the history answered for and the filter, as the controls show them; the
// controls' own signals stay quiet meanwhile, as nothing was chosen.
void HistoryPage::ShowFilter() {
  const HistoryPageView& page = app_.HistoryPage;
  const HistoryPageSettings& s = page.Settings;
  const QSignalBlocker quietFrom(fromDate_), quietTo(toDate_), quietType(typeChoice_), quietSize(sizeChoice_),
      quietAgainst(againstChoice_), quietName(nameFilter_), quietPartial(partialName_);
  auto dateOf = [](const std::string& text) {
    const QDate date = QDate::fromString(QString::fromStdString(text), QLatin1String(kDateFormat));
    return date.isValid() ? date : QDate::currentDate();
  };
  fromDate_->setDate(dateOf(page.Range.From));
  toDate_->setDate(dateOf(page.Range.To));
  typeChoice_->setCurrentIndex(s.Type);
  sizeChoice_->setCurrentIndex(s.Size);
  againstChoice_->setCurrentIndex(s.Against);
  if (FromQt(nameFilter_->text()) != s.Name) nameFilter_->setText(ToQt(s.Name));
  partialName_->setChecked(s.PartialName);
}

void HistoryPage::Redraw() {
  const HistoryPageView& page = app_.HistoryPage;
  for (auto [view, model, table] : {std::tuple{opponents_, opponentModel_, &page.Opponents},
                                    std::tuple{players_, playerModel_, &page.Players},
                                    std::tuple{battles_, battleModel_, &page.Battles}}) {
    const int columns = model->columnCount();
    const std::vector<int> widths = ColumnWidths(view);
    if (model->Update() && model->columnCount() == columns) ApplyWidths(view, widths);  // a reset forgets them
    ShowSortArrow(view, *table);
  }
  if (shownRevision_ == page.Revision) return;
  shownRevision_ = page.Revision;
  ShowFilter();
  summary_->setText(ToQt(page.Summary));
  // The error pane said it once; the page says it as long as it lasts.
  const std::string& error = page.ErrorText.empty() ? app_.History.ErrorText() : page.ErrorText;
  error_->setText(ToQt(error));
  error_->setVisible(!error.empty());
  // Every day of the range, those without battles too: the axis keeps the calendar.
  chart_->SetDays(FillDays(page.Days, page.Range.From, page.Range.To));
  ApplyLayout();
}

void HistoryPage::ApplyLayout() {
  // Once the tables have their columns: a width kept for a column that is not there yet
  // would be lost.
  if (layoutApplied_ || opponentModel_->columnCount() == 0) return;
  layoutApplied_ = true;
  const HistoryPageSettings& s = app_.HistoryPage.Settings;
  // Without kept widths the columns are as wide as what they show.
  for (auto [view, widths] : {std::pair{opponents_, &s.OpponentColumns}, std::pair{players_, &s.PlayerColumns},
                              std::pair{battles_, &s.BattleColumns}}) {
    if (widths->empty()) {
      view->resizeColumnsToContents();
    } else {
      ApplyWidths(view, *widths);
    }
  }
  ApplySizes(splitter_, s.Splitter);
  // Nothing kept: each table as wide as its columns need, as far as its neighbour leaves
  // room (the opponents' few columns leave the players' many the rest).
  if (s.UpperSplitter.size() == 2) {
    ApplySizes(upperSplitter_, s.UpperSplitter);
  } else {
    ShareWidth(upperSplitter_, NeededWidth(opponents_), NeededWidth(players_));
  }
  if (s.LowerSplitter.size() == 2) {
    ApplySizes(lowerSplitter_, s.LowerSplitter);
  } else {
    ShareWidth(lowerSplitter_, NeededWidth(battles_), 0);
  }
}

// Gives the first pane what it needs, up to three fifths of the width: a second pane that
// cannot show all its columns anyway scrolls either way, and the first need not.
void HistoryPage::ShareWidth(QSplitter* splitter, int first, int second) {
  const int total = std::max(splitter->width(), width()) - splitter->handleWidth();
  int left = first;
  if (left + second > total) left = std::min(first, total * 3 / 5);
  left = std::clamp(left, total / 4, total * 3 / 4);
  splitter->setSizes({left, total - left});
}

void HistoryPage::StoreLayout() {
  // A page never shown has nothing laid out: what was kept stays.
  if (!layoutApplied_) return;
  HistoryPageSettings& s = app_.HistoryPage.Settings;
  s.OpponentColumns = ColumnWidths(opponents_);
  s.PlayerColumns = ColumnWidths(players_);
  s.BattleColumns = ColumnWidths(battles_);
  s.Splitter = Sizes(splitter_);
  s.UpperSplitter = Sizes(upperSplitter_);
  s.LowerSplitter = Sizes(lowerSplitter_);
}

void HistoryPage::BuildBattleMenu() {
  auto* menu = new QMenu(this);
  menu->setObjectName(QStringLiteral("historyBattleMenu"));
  QAction* forget = menu->addAction(QStringLiteral("この戦闘のログを履歴から外す(&D)..."));
  forget->setObjectName(QStringLiteral("historyForgetLog"));
  connect(forget, &QAction::triggered, this, [this] { ForgetLogOf(battles_->currentIndex()); });
  battles_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(battles_, &QWidget::customContextMenuRequested, menu, [this, menu, forget](const QPoint& p) {
    const QModelIndex at = battles_->indexAt(p);
    if (at.isValid()) battles_->setCurrentIndex(at);
    forget->setEnabled(battles_->currentIndex().isValid());
    menu->popup(battles_->viewport()->mapToGlobal(p));
  });
}

void HistoryPage::ForgetLogOf(const QModelIndex& index) {
  const auto& rows = app_.HistoryPage.Battles.Rows;
  if (!index.isValid() || static_cast<std::size_t>(index.row()) >= rows.size()) return;
  const int source = rows[static_cast<std::size_t>(index.row())].Source;
  bool forgotten = false;
  host_.RunCommand([&] { forgotten = ForgetHistoryBattleLog(app_, source, host_.Ask()); });
  // The page's answers counted the log: they are asked again at once.
  if (forgotten) Refresh();
  host_.SyncAll();
}

void HistoryPage::OpenBattle(const QModelIndex& index) {
  const auto& rows = app_.HistoryPage.Battles.Rows;
  if (!index.isValid() || static_cast<std::size_t>(index.row()) >= rows.size()) return;
  const int source = rows[static_cast<std::size_t>(index.row())].Source;
  HistoryBattleOpen opened = HistoryBattleOpen::NoSuchRow;
  host_.RunCommand([&] { opened = OpenHistoryBattle(app_, source, host_.Ask()); });
  host_.SyncAll();
  if (opened == HistoryBattleOpen::Loaded) emit BattleOpened();
}

}  // namespace mizuto
