#include <QBrush>
#include <QFrame>
#include <QHeaderView>
#include <QIcon>
#include <QImage>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTableView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QToolButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>

#include "gui/results/battle_row_delegate.h"
#include "gui/results/detail_pane.h"
#include "gui/widgets/fixed_header.h"
#include "gui/results/head_to_head_model.h"
#include "gui/results/head_to_head_view.h"
#include "gui/widgets/page_host.h"
#include "gui/widgets/row_icons.h"
#include "gui/settings/settings_page.h"
#include "gui/results/tally_table_model.h"
#include "support/test_support.h"

namespace mizuto {
namespace {

using test::S;

std::string Utf8(const QVariant& value) { return value.toString().toStdString(); }

TallyTableView SmallTable() {
  TallyTableView table;
  table.Columns = {{S("名前"), false}, {S("戦闘数"), true}, {S("与撃沈"), true}, {S("被撃沈"), true}};
  table.Rows.push_back(TallyRow{S("ﾊﾝｶｸ提督"), 9, 4, {"3", "33.3%", "1"}, false});
  table.Rows.push_back(TallyRow{"Bob", 1, 0, {"1", "0", "0"}, false});
  // Built before the last column was added: one cell short.
  table.Rows.push_back(TallyRow{"Carol", 42, 7, {"2", "5"}, false});
  return table;
}

TEST(TallyTableModel, ShowsCaptionsCellsIconsAndAlignmentOfTheCoreRows) {
  const TallyTableView table = SmallTable();
  TallyTableModel model(table);
  ASSERT_EQ(model.rowCount(), 3);
  ASSERT_EQ(model.columnCount(), 4);

  EXPECT_EQ(Utf8(model.headerData(0, Qt::Horizontal)), "名前");
  EXPECT_EQ(Utf8(model.index(0, 0).data()), "ﾊﾝｶｸ提督");
  EXPECT_EQ(Utf8(model.index(0, 1).data()), "3");
  EXPECT_EQ(Utf8(model.index(0, 2).data()), "33.3%");
  EXPECT_EQ(Utf8(model.index(2, 2).data()), "5");
  EXPECT_EQ(Utf8(model.index(2, 3).data()), "");  // missing cell: empty, not a crash

  for (int c = 0; c < 4; ++c) {
    const int expected = c == 0 ? Qt::AlignLeft : Qt::AlignRight;
    EXPECT_EQ(model.index(1, c).data(Qt::TextAlignmentRole).toInt() & Qt::AlignHorizontal_Mask, expected);
    EXPECT_EQ(model.headerData(c, Qt::Horizontal, Qt::TextAlignmentRole).toInt() & Qt::AlignHorizontal_Mask,
              expected);
  }

  // Only the name column carries the row's icon; an index outside the list shows none.
  const QVariant icon = model.index(0, 0).data(Qt::DecorationRole);
  ASSERT_TRUE(icon.canConvert<QIcon>());
  EXPECT_EQ(icon.value<QIcon>().cacheKey(), RowIcons()[9].cacheKey());
  EXPECT_EQ(model.index(1, 0).data(Qt::DecorationRole).value<QIcon>().cacheKey(),
            RowIcons()[1].cacheKey());
  for (int c = 1; c < 4; ++c) EXPECT_FALSE(model.index(0, c).data(Qt::DecorationRole).isValid());
  EXPECT_FALSE(model.index(2, 0).data(Qt::DecorationRole).isValid());
}

TEST(TallyTableModel, UpdateAnnouncesRowsAndCellsAndResetsOnlyForNewColumns) {
  TallyTableView table = SmallTable();
  TallyTableModel model(table);
  QTableView view;
  view.setModel(&model);
  view.show();
  QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
  QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);
  QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
  QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);

  // The core did not touch the table: nothing to tell.
  EXPECT_EQ(model.Update(), TallyTableModel::Change::None);

  // The core rebuilt with fewer rows; until Update the views keep the old shape, and a
  // question about a row that is gone must not reach into the core's vectors.
  table.Rows.resize(1);
  ++table.Revision;
  EXPECT_EQ(model.rowCount(), 3);
  EXPECT_FALSE(model.index(2, 0).data().isValid());
  EXPECT_EQ(model.Update(), TallyTableModel::Change::Cells);
  EXPECT_EQ(view.verticalHeader()->count(), 1);
  ASSERT_EQ(removed.count(), 1);
  EXPECT_EQ(removed[0][1].toInt(), 1);  // rows 1 .. 2 went
  EXPECT_EQ(removed[0][2].toInt(), 2);
  ASSERT_EQ(changes.count(), 1);
  EXPECT_EQ(changes[0][0].toModelIndex(), model.index(0, 0));
  EXPECT_EQ(changes[0][1].toModelIndex(), model.index(0, 3));

  // A sort reorders the rows in place: every cell is announced, the rows stay.
  table = SmallTable();
  std::swap(table.Rows[0], table.Rows[1]);
  table.Revision = 7;
  EXPECT_EQ(model.Update(), TallyTableModel::Change::Cells);
  ASSERT_EQ(inserted.count(), 1);
  EXPECT_EQ(inserted[0][1].toInt(), 1);
  EXPECT_EQ(inserted[0][2].toInt(), 2);
  EXPECT_EQ(Utf8(model.index(0, 0).data()), "Bob");
  EXPECT_EQ(Utf8(model.index(1, 0).data()), "ﾊﾝｶｸ提督");
  EXPECT_EQ(changes.count(), 2);
  EXPECT_EQ(resets.count(), 0);

  // Other columns: the one change that resets the model.
  table.Columns.resize(2);
  table.Columns[1].Caption = S("突撃");
  ++table.Revision;
  EXPECT_EQ(model.Update(), TallyTableModel::Change::Columns);
  EXPECT_EQ(resets.count(), 1);
  EXPECT_EQ(view.horizontalHeader()->count(), 2);
  EXPECT_EQ(Utf8(model.headerData(1, Qt::Horizontal)), "突撃");
}

HeadToHeadGrid SmallGrid() {
  HeadToHeadGrid grid;
  grid.Reset(3, 3);
  grid.ColumnHeaders[1] = S("甲");  // victims along row 0
  grid.ColumnHeaders[2] = "Bob";
  grid.RowHeaders[1] = S("甲");  // takers down column 0
  grid.RowHeaders[2] = "Carol";
  auto set = [&](int c, int r, HeadToHeadGrid::CellKind kind, int count) {
    grid.Kinds[grid.DataIndex(c, r)] = kind;
    grid.Counts[grid.DataIndex(c, r)] = count;
  };
  set(1, 1, HeadToHeadGrid::CellKind::Self, 0);
  set(2, 1, HeadToHeadGrid::CellKind::Number, 2);
  set(1, 2, HeadToHeadGrid::CellKind::Number, 0);
  set(2, 2, HeadToHeadGrid::CellKind::Number, 15);
  return grid;
}

TEST(HeadToHeadModel, TheGridsFirstRowAndColumnAreTheSkyBlueHeaders) {
  const HeadToHeadGrid grid = SmallGrid();
  HeadToHeadModel model(grid);
  ASSERT_EQ(model.rowCount(), 2);
  ASSERT_EQ(model.columnCount(), 2);

  EXPECT_EQ(Utf8(model.headerData(0, Qt::Horizontal)), "甲");
  EXPECT_EQ(Utf8(model.headerData(1, Qt::Horizontal)), "Bob");
  EXPECT_EQ(Utf8(model.headerData(0, Qt::Vertical)), "甲");
  EXPECT_EQ(Utf8(model.headerData(1, Qt::Vertical)), "Carol");
  EXPECT_EQ(Utf8(model.headerData(1, Qt::Vertical, Qt::ToolTipRole)), "Carol");
  EXPECT_FALSE(model.headerData(2, Qt::Vertical).isValid());
  EXPECT_EQ(Utf8(model.index(0, 0).data()), "-");
  // Taker 甲 (row 0) took victim Bob (column 1) twice; Carol (row 1) never took 甲.
  EXPECT_EQ(Utf8(model.index(0, 1).data()), "2");
  EXPECT_EQ(Utf8(model.index(1, 0).data()), "0");
  EXPECT_EQ(Utf8(model.index(1, 1).data()), "15");

  for (const Qt::Orientation o : {Qt::Horizontal, Qt::Vertical}) {
    const QVariant background = model.headerData(0, o, Qt::BackgroundRole);
    ASSERT_TRUE(background.canConvert<QBrush>());
    EXPECT_EQ(background.value<QBrush>().color(), QColor(0xa6, 0xca, 0xf0));
  }
  EXPECT_FALSE(model.index(1, 1).data(Qt::BackgroundRole).isValid());
}

TEST(HeadToHeadModel, AMillionCellGridIsReadInPlaceAndUpdatesAnnounceTheNewShape) {
  HeadToHeadGrid grid;
  grid.Reset(1001, 1001);
  grid.ColumnHeaders[1000] = S("最後の被撃沈者");
  grid.RowHeaders[999] = "Taker999";
  grid.Kinds[grid.DataIndex(1000, 999)] = HeadToHeadGrid::CellKind::Number;
  grid.Counts[grid.DataIndex(1000, 999)] = 7;

  HeadToHeadModel model(grid);
  EXPECT_EQ(model.rowCount(), 1000);
  EXPECT_EQ(model.columnCount(), 1000);
  EXPECT_EQ(Utf8(model.headerData(999, Qt::Horizontal)), "最後の被撃沈者");
  EXPECT_EQ(Utf8(model.headerData(998, Qt::Vertical)), "Taker999");
  EXPECT_EQ(Utf8(model.index(998, 999).data()), "7");

  QTableView view;
  view.setModel(&model);
  view.resize(300, 200);
  view.show();
  view.scrollTo(model.index(998, 999));
  EXPECT_FALSE(view.grab().isNull());

  // The model holds no copy: a change in the core's grid is what it answers next.
  grid.Counts[grid.DataIndex(1000, 999)] = 8;
  EXPECT_EQ(Utf8(model.index(998, 999).data()), "8");
  EXPECT_FALSE(model.Update());  // the same grid: nothing to announce

  // The next refresh shrinks the grid before the view is told: stale questions get no
  // answer; the update then takes the rows and columns away without a reset.
  QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
  QSignalSpy headers(&model, &QAbstractItemModel::headerDataChanged);
  grid.Reset(3, 2);
  grid.ColumnHeaders[2] = "Bob";
  EXPECT_FALSE(model.index(998, 999).data().isValid());
  EXPECT_FALSE(model.headerData(999, Qt::Horizontal).isValid());
  EXPECT_TRUE(model.Update());
  EXPECT_EQ(model.rowCount(), 1);
  EXPECT_EQ(model.columnCount(), 2);
  EXPECT_EQ(view.verticalHeader()->count(), 1);
  EXPECT_EQ(view.horizontalHeader()->count(), 2);
  EXPECT_EQ(view.horizontalHeader()->model()->headerData(1, Qt::Horizontal).toString(), "Bob");
  EXPECT_EQ(resets.count(), 0);
  EXPECT_EQ(headers.count(), 2);
}

// The colour of the grid's picture at a point of the view.
QColor PixelAt(QTableView& view, QPoint at) {
  return QColor(view.grab().toImage().pixel(at));
}

// A grid in the window's head-to-head view, its name column fitted, 400 × 250, shown.
struct ShownGrid {
  explicit ShownGrid(const HeadToHeadGrid& grid) : Model(grid) {
    SetUpHeadToHeadView(&View);
    View.setModel(&Model);
    FitNameColumn(&View, grid);
    View.resize(400, 250);
    View.show();
  }
  HeadToHeadModel Model;
  QTableView View;
};

TEST(HeadToHeadView, NamesStayInViewWhenScrolledAndTheNameColumnFitsTheLongestName) {
  HeadToHeadGrid grid;
  grid.Reset(41, 31);
  for (int c = 1; c < 41; ++c) grid.ColumnHeaders[static_cast<std::size_t>(c)] = "V" + std::to_string(c);
  for (int r = 1; r < 31; ++r) grid.RowHeaders[static_cast<std::size_t>(r)] = "T" + std::to_string(r);
  grid.RowHeaders[5] = S("とても長い名前の提督さん");
  ShownGrid shown(grid);
  HeadToHeadModel& model = shown.Model;
  QTableView& view = shown.View;
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));

  // The takers' column is wide enough for the longest name.
  QHeaderView* names = view.verticalHeader();
  const int longest = QFontMetrics(names->font()).horizontalAdvance(QStringLiteral("とても長い名前の提督さん"));
  EXPECT_GE(names->width(), longest);
  EXPECT_LE(names->width(), kMaxNameColumnWidth);
  EXPECT_EQ(view.horizontalHeader()->height(), 18);
  EXPECT_EQ(names->sectionSize(0), 18);
  EXPECT_EQ(view.horizontalHeader()->sectionSize(0), 50);

  // Scrolled to the far right and bottom, the first row and column are still on screen,
  // sky blue, with the names of the rows and columns now in view.
  const QColor skyBlue(0xa6, 0xca, 0xf0);
  const QPoint inNameColumn(names->x() + 3, view.horizontalHeader()->height() + 9);
  const QPoint inHeaderRow(names->width() + 20, 3);
  EXPECT_EQ(PixelAt(view, inNameColumn), skyBlue);
  EXPECT_EQ(PixelAt(view, inHeaderRow), skyBlue);
  view.horizontalScrollBar()->setValue(view.horizontalScrollBar()->maximum());
  view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum());
  ASSERT_GT(view.horizontalScrollBar()->value(), 0);
  ASSERT_GT(view.verticalScrollBar()->value(), 0);
  EXPECT_TRUE(names->isVisible());
  EXPECT_TRUE(view.horizontalHeader()->isVisible());
  EXPECT_EQ(PixelAt(view, inNameColumn), skyBlue);
  EXPECT_EQ(PixelAt(view, inHeaderRow), skyBlue);
  EXPECT_EQ(names->logicalIndexAt(names->height() - 2), 29);          // "T30", the last taker
  EXPECT_EQ(view.horizontalHeader()->logicalIndexAt(view.viewport()->width() - 2), 39);

  // The victims' row and the cells start where the names end.
  EXPECT_EQ(view.horizontalHeader()->geometry().left(), names->geometry().right() + 1);
  EXPECT_EQ(view.viewport()->geometry().left(), names->geometry().right() + 1);

  // A name longer than the limit is cut at the limit; the whole name is the tooltip.
  grid.RowHeaders[7] = std::string(80, 'W');
  FitNameColumn(&view, grid);
  EXPECT_EQ(names->width(), kMaxNameColumnWidth);
  EXPECT_EQ(view.horizontalHeader()->geometry().left(), names->geometry().right() + 1);
  EXPECT_EQ(view.viewport()->geometry().left(), names->geometry().right() + 1);
  EXPECT_EQ(model.headerData(6, Qt::Vertical, Qt::ToolTipRole).toString(), QString(80, 'W'));
}

// A victim's name in a 50-pixel column, a taker's beyond the name column's limit: each is cut
// with "…" where it no longer fits, between characters, and a short one is shown whole.
TEST(HeadToHeadView, HeaderTextsThatDoNotFitAreCutWithAnEllipsis) {
  HeadToHeadGrid grid;
  grid.Reset(4, 4);
  grid.ColumnHeaders[1] = S("とても長い名前の提督さん");
  grid.ColumnHeaders[2] = "V2";
  grid.RowHeaders[1] = S(std::string(40, 'W').c_str()) + S("長い名前");
  grid.RowHeaders[2] = "T2";
  ShownGrid shown(grid);
  HeadToHeadModel& model = shown.Model;
  QTableView& view = shown.View;
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));

  for (auto* header : {static_cast<FixedHeader*>(view.horizontalHeader()),
                       static_cast<FixedHeader*>(view.verticalHeader())}) {
    const QString full = model.headerData(0, header->orientation()).toString();
    const QString shown = header->ShownText(0);
    ASSERT_TRUE(shown.endsWith(QChar(0x2026))) << shown.toStdString();
    EXPECT_TRUE(full.startsWith(shown.chopped(1))) << shown.toStdString();
    const int room = header->orientation() == Qt::Horizontal ? header->sectionSize(0) : header->width();
    EXPECT_LT(QFontMetrics(header->font()).horizontalAdvance(shown), room - 3) << shown.toStdString();
    EXPECT_EQ(header->ShownText(1), model.headerData(1, header->orientation()).toString());
  }
}

// Rows as the core labels them: relabelled as NPC, a battle's score stays in the column of
// the others'; rows without a score are drawn as they are.
TEST(BattleRowDelegate, TheScoreStaysInItsColumnWhenABattleIsRelabelledAsNpc) {
  BattleRowDelegate delegate;
  const QLocale locale;
  const struct {
    const char* Row;
    const char* Shown;
  } cases[] = {
      {"ＢＣ　[集]  4戦目 味方陣営           － : 敵陣営   9-9",
       "ＢＣ　[集]  4戦目 味方陣営           － : 敵陣営       9-9"},
      {"ＢＣ　[集]  4戦目 味方陣営           － : 敵陣営 (NPC) 9-9",
       "ＢＣ　[集]  4戦目 味方陣営           － : 敵陣営 (NPC) 9-9"},
      {"ＢＣ　[×] 37戦目 味方陣営           × : 敵陣営   11-15",
       "ＢＣ　[×] 37戦目 味方陣営           × : 敵陣営       11-15"},
      {"模擬大[集]  1戦目 碧海ナギ           交戦 → ○ : Driftwood_56   ",
       "模擬大[集]  1戦目 碧海ナギ           交戦 → ○ : Driftwood_56   "},
      {"模擬大[集]  1戦目 碧海ナギ           交戦 → ○ : Driftwood_56 (NPC) ",
       "模擬大[集]  1戦目 碧海ナギ           交戦 → ○ : Driftwood_56 (NPC) "},
      {"<<<   3戦目 戦闘中 >>>", "<<<   3戦目 戦闘中 >>>"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(delegate.displayText(QString::fromUtf8(c.Row), locale).toStdString(), c.Shown) << c.Row;
  }
}

// How many pixels of a line's band have (about) this colour.
int PixelsOf(const QImage& image, const QRect& band, QRgb colour) {
  int n = 0;
  const QColor want = QColor::fromRgb(colour);
  for (int y = band.top(); y <= band.bottom() && y < image.height(); ++y) {
    for (int x = band.left(); x <= band.right() && x < image.width(); ++x) {
      const QColor p = image.pixelColor(x, y);
      if (std::abs(p.red() - want.red()) < 24 && std::abs(p.green() - want.green()) < 24 &&
          std::abs(p.blue() - want.blue()) < 24) {
        ++n;
      }
    }
  }
  return n;
}

TEST(DetailPane, ShowsEveryLineExactlyInItsColourAndWeightAndReplacesTheText) {
  std::vector<DetailLine> lines = {{"<b>&amp;  two  spaces</b>", 0x4040ff, true},
                                   {S("味方の船が撃沈されました"), 0xff4040, false},
                                   {"", 0x80aaff, false},
                                   {"a\nb", 0x00c0c0, true},
                                   {S("【大砲】 &gt; <i>"), 0x00c000, true}};
  DetailPane pane(lines);
  EXPECT_EQ(pane.frameShape(), QFrame::NoFrame);
  EXPECT_EQ(pane.font().pixelSize(), 12);
  EXPECT_EQ(pane.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(pane.palette().color(QPalette::Base), QColor(Qt::black));
  pane.resize(400, 255);
  pane.show();
  pane.LinesReplaced();

  // The texts exactly as they are; a stray line break inside a text stays on its line.
  EXPECT_EQ(pane.Text().toStdString(),
            "<b>&amp;  two  spaces</b>\n味方の船が撃沈されました\n\na b\n【大砲】 &gt; <i>");
  // Each line in its colour, on black; a bold line draws more of its colour than the same
  // text in the regular weight would, which the ink of the two texts below compares.
  const QImage image = pane.viewport()->grab().toImage();
  const QRgb colours[] = {0x4040ff, 0xff4040, 0x80aaff, 0x00c0c0, 0x00c000};
  for (int i = 0; i < 5; ++i) {
    const QRect band = pane.LineRect(i);
    ASSERT_FALSE(band.isEmpty()) << i;
    for (int j = 0; j < 5; ++j) {
      if (j == 2) continue;  // the empty line shows no ink
      EXPECT_EQ(PixelsOf(image, band, colours[j]) > 3, i == j) << "line " << i << " colour " << j;
    }
    EXPECT_GT(PixelsOf(image, band, 0x000000), band.width()) << i;  // the black ground
  }
  std::vector<DetailLine> weights = {{"WWWW", 0xffffff, true}, {"WWWW", 0xffffff, false}};
  DetailPane weighed(weights);
  weighed.resize(200, 100);
  weighed.show();
  weighed.LinesReplaced();
  const QImage ink = weighed.viewport()->grab().toImage();
  EXPECT_GT(PixelsOf(ink, weighed.LineRect(0), 0xffffff), PixelsOf(ink, weighed.LineRect(1), 0xffffff));

  // New lines replace the text; the pane starts at the top, nothing chosen.
  lines = {{"one", 0xffffff, false}, {"two", 0x800000, true}};
  pane.LinesReplaced();
  EXPECT_EQ(pane.Text().toStdString(), "one\ntwo");
  EXPECT_EQ(pane.FirstShownLine(), 0);
  EXPECT_TRUE(pane.SelectedText().isEmpty());
  lines.clear();
  pane.LinesReplaced();
  EXPECT_TRUE(pane.Text().isEmpty());
  EXPECT_EQ(pane.verticalScrollBar()->maximum(), 0);
}

TEST(DetailPane, ABigTranscriptScrollsByLinesWrapsAtTheWidthAndCopiesWhatIsChosen) {
  std::vector<DetailLine> lines;
  for (int i = 0; i < 200000; ++i) {
    lines.push_back({S("【大砲】") + "P" + std::to_string(i), i % 3 == 0 ? 0x4040ffu : 0xffffffu,
                     i % 5 == 0});
  }
  lines[1].Text = S(std::string(60, 'W').c_str()) + S("の長い行");
  DetailPane pane(lines);
  pane.resize(185, 255);
  pane.show();
  pane.LinesReplaced();

  // A long line wraps at the pane's width into more than one row.
  EXPECT_GT(pane.LineRect(1).height(), 2 * pane.LineRect(0).height() - 1);
  EXPECT_EQ(pane.LineRect(1).top(), pane.LineRect(0).bottom() + 1);
  EXPECT_TRUE(pane.LineRect(100).isEmpty());  // far below: not laid out

  // The scroll bar counts lines; at its end the last line sits at the bottom edge.
  QScrollBar* bar = pane.verticalScrollBar();
  pane.setFocus();
  QTest::keyClick(&pane, Qt::Key_End, Qt::ControlModifier);
  EXPECT_EQ(bar->value(), bar->maximum());
  EXPECT_GT(bar->maximum(), 199970);
  EXPECT_LT(bar->maximum(), 199999);
  const QRect last = pane.LineRect(199999);
  ASSERT_FALSE(last.isEmpty());
  EXPECT_LE(last.bottom(), pane.viewport()->height() - 1);
  EXPECT_GT(last.bottom(), pane.viewport()->height() - 1 - last.height() - 8);
  QTest::keyClick(&pane, Qt::Key_PageUp);
  EXPECT_LT(bar->value(), bar->maximum());
  QTest::keyClick(&pane, Qt::Key_Home, Qt::ControlModifier);
  EXPECT_EQ(pane.FirstShownLine(), 0);

  // Lines chosen with the mouse (a click, then a shift-click) are what Ctrl+C copies.
  QTest::mouseClick(pane.viewport(), Qt::LeftButton, {}, pane.LineRect(2).center());
  QTest::mouseClick(pane.viewport(), Qt::LeftButton, Qt::ShiftModifier, pane.LineRect(4).center());
  EXPECT_EQ(pane.SelectedText().toStdString(), "【大砲】P2\n【大砲】P3\n【大砲】P4");
  QApplication::clipboard()->clear();
  QTest::keyClick(&pane, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "【大砲】P2\n【大砲】P3\n【大砲】P4");
  QTest::keyClick(&pane, Qt::Key_A, Qt::ControlModifier);
  EXPECT_TRUE(pane.SelectedText().startsWith(QString::fromUtf8("【大砲】P0\n")));
  EXPECT_TRUE(pane.SelectedText().endsWith(QString::fromUtf8("\n【大砲】P199999")));

  // Lines that shrink under the pane before it is told are not read past their end.
  bar->setValue(bar->maximum());
  lines.resize(3);
  pane.viewport()->repaint();
  pane.LinesReplaced();
  EXPECT_EQ(bar->maximum(), 0);
}

// Counts of the opaque pixels of each kind in a 16 x 16 picture.
struct PixelCensus {
  int Green = 0, DarkGreen = 0, Red = 0, Grey = 0, Blue = 0, Black = 0;
};

PixelCensus Census(const QImage& image) {
  PixelCensus census;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QColor p = image.pixelColor(x, y);
      if (p.alpha() < 255) continue;
      const int r = p.red(), g = p.green(), b = p.blue();
      if (r < 0x10 && g < 0x10 && b < 0x10) ++census.Black;
      else if (g > 0x90 && r < 0x60 && b < 0x60) ++census.Green;
      else if (g > 0x40 && g < 0x70 && r < 0x20 && b < 0x30) ++census.DarkGreen;
      else if (r > 0xc0 && g < 0x50 && b < 0x50) ++census.Red;
      else if (b > 0xc0 && r < 0x40 && g < 0x60) ++census.Blue;
      else if (r > 0x80 && r == g && g == b) ++census.Grey;
    }
  }
  return census;
}

TEST(RowIcons, SeventeenDistinctSixteenPixelFiguresInTheirColours) {
  const QList<QIcon>& icons = RowIcons();
  ASSERT_EQ(icons.size(), 17);
  EXPECT_EQ(&RowIcons(), &icons);  // drawn once
  std::vector<QImage> images;
  for (const QIcon& icon : icons) {
    ASSERT_TRUE(icon.availableSizes().contains(QSize(16, 16)));
    images.push_back(icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32));
    ASSERT_EQ(images.back().size(), QSize(16, 16));
  }
  for (std::size_t i = 0; i < images.size(); ++i) {
    for (std::size_t j = i + 1; j < images.size(); ++j) EXPECT_NE(images[i], images[j]) << i << "," << j;
  }

  std::vector<PixelCensus> c;
  for (const QImage& image : images) c.push_back(Census(image));
  auto has = [&](std::initializer_list<int> icons, int PixelCensus::*kind, bool present) {
    for (int i : icons) {
      const int n = c[static_cast<std::size_t>(i)].*kind;
      EXPECT_EQ(n > 2, present) << "icon " << i << " has " << n;
    }
  };
  // No side: grey with a blue question mark. Own side green, enemy red, both sides both.
  has({0}, &PixelCensus::Grey, true);
  has({0, 8, 10, 11, 13}, &PixelCensus::Blue, true);  // the question and check marks
  has({1, 2, 3, 9, 12}, &PixelCensus::Blue, false);
  has({1, 3, 11, 12, 13}, &PixelCensus::Green, true);
  has({0, 2, 8, 9, 10, 4, 5, 6, 7, 14, 15, 16}, &PixelCensus::Green, false);
  has({2, 3, 8, 9, 10, 11, 12, 13}, &PixelCensus::Red, true);
  has({0, 1}, &PixelCensus::Red, false);
  has({9, 10, 12, 13}, &PixelCensus::Black, true);  // sunglasses
  has({0, 1, 2, 3, 8, 11}, &PixelCensus::Black, false);
  // The variants that the table never picks are dark green.
  has({4, 5, 6, 7, 14, 15, 16}, &PixelCensus::DarkGreen, true);
}


// --- the settings page ---

class QuietHost : public PageHost {
 public:
  void RunCommand(const std::function<void()>& command) override { command(); }
  void SyncAll() override {}
  void SyncActions() override {}
  void SyncTimer() override {}
  void ShowError(const QString&) override {}
  const Dialogs& Ask() const override { return ask_; }

 private:
  Dialogs ask_;
};

QRect InPanel(QWidget* w, QWidget* panel) { return QRect(w->mapTo(panel, QPoint(0, 0)), w->size()); }

// The page lays its controls out by their own sizes: at a large font (a large scale) or in a
// short window, no box, field or label is cut or lies over another, and a column taller than
// the page is scrolled to.
TEST(SettingsPageLayout, NothingIsCutOrOverlapsAtAnyFontOrSize) {
  const struct {
    int PointSize;
    QSize Page;
  } cases[] = {{9, {800, 600}}, {12, {500, 300}}, {12, {512, 330}}, {16, {900, 400}}, {20, {1000, 250}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.PointSize) + "pt " + std::to_string(c.Page.width()) + "x" +
                 std::to_string(c.Page.height()));
    const QFont saved = QApplication::font();
    QFont font = saved;
    font.setPointSize(c.PointSize);
    QApplication::setFont(font);  // as a scaled screen's font is, from the start
    App app;
    QuietHost host;
    auto page = std::make_unique<SettingsPage>(app, host);
    std::map<std::string, std::unique_ptr<QAction>> actions;
    page->BindSwitches([&](const char* name) {
      auto& a = actions[name];
      // The longest caption of the menu's switches, for every box.
      if (!a) a = std::make_unique<QAction>(QStringLiteral("チャットルーム１表示(&1)"));
      a->setCheckable(true);
      return a.get();
    });
    page->resize(c.Page);
    page->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(page.get()));
    QApplication::processEvents();

    auto* scroller = page->findChild<QScrollArea*>(QStringLiteral("switchScroller"));
    ASSERT_NE(scroller, nullptr);
    QWidget* panel = scroller->widget();
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(page->rect().contains(QRect(scroller->mapTo(page.get(), QPoint(0, 0)), scroller->size())));
    QList<QWidget*> controls;
    for (QWidget* w : panel->findChildren<QWidget*>()) {
      if (qobject_cast<QCheckBox*>(w) || qobject_cast<QLineEdit*>(w) || qobject_cast<QLabel*>(w) ||
          qobject_cast<QToolButton*>(w)) {
        controls << w;
      }
    }
    EXPECT_EQ(panel->findChildren<QCheckBox*>().size(), 15);  // NPC, thirteen switches, active mode
    for (QWidget* w : controls) {
      SCOPED_TRACE(w->objectName().toStdString());
      EXPECT_TRUE(panel->rect().contains(InPanel(w, panel)));
      if (qobject_cast<QToolButton*>(w)) {
        EXPECT_GE(w->height(), 4);
        continue;
      }
      const QSize hint = qobject_cast<QLineEdit*>(w) ? QSize(w->fontMetrics().horizontalAdvance(QStringLiteral("100")),
                                                             w->sizeHint().height())
                                                     : w->sizeHint();
      EXPECT_GE(w->width(), hint.width());
      EXPECT_GE(w->height(), hint.height());
      for (QWidget* other : controls) {
        if (other != w && other->parentWidget() != w && w->parentWidget() != other) {
          EXPECT_FALSE(InPanel(w, panel).intersects(InPanel(other, panel))) << other->objectName().toStdString();
        }
      }
    }
    // The whole column is reachable: the scroll bar covers what the view does not show.
    QScrollBar* bar = scroller->verticalScrollBar();
    EXPECT_EQ(bar->maximum(), std::max(0, panel->height() - scroller->viewport()->height()));
    EXPECT_GE(panel->height(), panel->minimumSizeHint().height());
    page.reset();
    QApplication::setFont(saved);
  }
}

}  // namespace
}  // namespace mizuto
