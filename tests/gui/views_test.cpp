#include <QBrush>
#include <QFrame>
#include <QHeaderView>
#include <QIcon>
#include <QImage>
#include <QSignalSpy>
#include <QTableView>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>

#include <gtest/gtest.h>

#include "gui/detail_pane.h"
#include "gui/head_to_head_model.h"
#include "gui/row_icons.h"
#include "gui/tally_table_model.h"
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

TEST(TallyTableModel, ReloadPublishesTheCoreChangesAndStaleQuestionsGetNoAnswer) {
  TallyTableView table = SmallTable();
  TallyTableModel model(table);
  QTableView view;
  view.setModel(&model);
  view.show();
  QSignalSpy resets(&model, &QAbstractItemModel::modelReset);

  // The core rebuilt with fewer rows and columns; until Reload the views keep the old shape
  // and a question about a row that is gone must not reach into the core's vectors.
  table.Rows.resize(1);
  table.Columns.resize(2);
  EXPECT_EQ(model.rowCount(), 3);
  EXPECT_FALSE(model.index(2, 0).data().isValid());
  EXPECT_FALSE(model.index(0, 3).data().isValid());

  model.Reload();
  EXPECT_EQ(resets.count(), 1);
  EXPECT_EQ(view.verticalHeader()->count(), 1);
  EXPECT_EQ(view.horizontalHeader()->count(), 2);

  // A sort in the core reorders the rows in place; Reload shows the new order.
  table = SmallTable();
  std::swap(table.Rows[0], table.Rows[1]);
  model.Reload();
  EXPECT_EQ(Utf8(model.index(0, 0).data()), "Bob");
  EXPECT_EQ(Utf8(model.index(1, 0).data()), "ﾊﾝｶｸ提督");
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

TEST(HeadToHeadModel, ModelRowIsTheGridRowAndHeaderCellsAreSkyBlue) {
  const HeadToHeadGrid grid = SmallGrid();
  HeadToHeadModel model(grid);
  ASSERT_EQ(model.rowCount(), 3);
  ASSERT_EQ(model.columnCount(), 3);

  EXPECT_EQ(Utf8(model.index(0, 0).data()), "");
  EXPECT_EQ(Utf8(model.index(0, 1).data()), "甲");
  EXPECT_EQ(Utf8(model.index(0, 2).data()), "Bob");
  EXPECT_EQ(Utf8(model.index(2, 0).data()), "Carol");
  EXPECT_EQ(Utf8(model.index(1, 1).data()), "-");
  // Taker 甲 (row 1) took victim Bob (column 2) twice; Carol (row 2) never took 甲.
  EXPECT_EQ(Utf8(model.index(1, 2).data()), "2");
  EXPECT_EQ(Utf8(model.index(2, 1).data()), "0");
  EXPECT_EQ(Utf8(model.index(2, 2).data()), "15");

  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) {
      const QVariant background = model.index(r, c).data(Qt::BackgroundRole);
      if (r == 0 || c == 0) {
        ASSERT_TRUE(background.canConvert<QBrush>()) << r << "," << c;
        EXPECT_EQ(background.value<QBrush>().color(), HeadToHeadModel::FixedCellColour());
      } else {
        EXPECT_FALSE(background.isValid()) << r << "," << c;
      }
    }
  }
}

TEST(HeadToHeadModel, AMillionCellGridIsReadInPlaceAndStaleSizesAreSafe) {
  HeadToHeadGrid grid;
  grid.Reset(1001, 1001);
  grid.ColumnHeaders[1000] = S("最後の被撃沈者");
  grid.RowHeaders[999] = "Taker999";
  grid.Kinds[grid.DataIndex(1000, 999)] = HeadToHeadGrid::CellKind::Number;
  grid.Counts[grid.DataIndex(1000, 999)] = 7;

  HeadToHeadModel model(grid);
  EXPECT_EQ(model.rowCount(), 1001);
  EXPECT_EQ(model.columnCount(), 1001);
  EXPECT_EQ(Utf8(model.index(0, 1000).data()), "最後の被撃沈者");
  EXPECT_EQ(Utf8(model.index(999, 0).data()), "Taker999");
  EXPECT_EQ(Utf8(model.index(999, 1000).data()), "7");

  QTableView view;
  view.setModel(&model);
  view.resize(300, 200);
  view.show();
  view.scrollTo(model.index(999, 1000));
  EXPECT_FALSE(view.grab().isNull());

  // The model holds no copy: a change in the core's grid is what it answers next.
  grid.Counts[grid.DataIndex(1000, 999)] = 8;
  EXPECT_EQ(Utf8(model.index(999, 1000).data()), "8");

  // The next refresh shrinks the grid before the view is told.
  grid.Reset(2, 2);
  EXPECT_FALSE(model.index(999, 1000).data().isValid());
  EXPECT_FALSE(model.index(0, 1000).data().isValid());
}

struct LineLook {
  std::string Text;
  QRgb Colour;
  bool Bold;
};

std::vector<LineLook> PaneLines(const QTextEdit& pane) {
  std::vector<LineLook> out;
  for (QTextBlock block = pane.document()->begin(); block.isValid(); block = block.next()) {
    const QTextCharFormat format =
        block.begin().atEnd() ? block.charFormat() : block.begin().fragment().charFormat();
    out.push_back({block.text().toStdString(), format.foreground().color().rgb() & 0xFFFFFFu,
                   format.fontWeight() >= QFont::Bold});
  }
  return out;
}

TEST(DetailPane, ShowsEveryLineExactlyInItsColourAndWeightAndReplacesTheText) {
  QTextEdit pane;
  SetUpDetailPane(&pane);
  EXPECT_TRUE(pane.isReadOnly());
  EXPECT_EQ(pane.frameShape(), QFrame::NoFrame);
  EXPECT_EQ(pane.font().pixelSize(), 12);
  EXPECT_EQ(pane.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(pane.palette().color(QPalette::Base), QColor(Qt::black));
  EXPECT_EQ(pane.palette().color(QPalette::Text), QColor(Qt::white));
  pane.resize(185, 255);
  pane.show();

  FillDetailPane(&pane, {{"<b>&amp;  two  spaces</b>", 0x4040ff, true},
                         {S("味方の船が撃沈されました"), 0xff4040, false},
                         {"", 0x80aaff, false},
                         {"a\nb", 0x008080, true},
                         {S("【大砲】 &gt; <i>"), 0x008080, true}});
  const std::vector<LineLook> first = PaneLines(pane);
  ASSERT_EQ(first.size(), 5u);
  EXPECT_EQ(first[0].Text, "<b>&amp;  two  spaces</b>");
  EXPECT_EQ(first[0].Colour, 0x4040ffu);
  EXPECT_TRUE(first[0].Bold);
  EXPECT_EQ(first[1].Text, "味方の船が撃沈されました");
  EXPECT_EQ(first[1].Colour, 0xff4040u);
  EXPECT_FALSE(first[1].Bold);
  EXPECT_EQ(first[2].Text, "");
  EXPECT_EQ(first[2].Colour, 0x80aaffu);
  // A stray line break inside a text stays in its own paragraph.
  EXPECT_EQ(first[3].Text, "a b");
  EXPECT_EQ(first[4].Text, "【大砲】 &gt; <i>");
  EXPECT_EQ(first[4].Colour, 0x008080u);
  EXPECT_TRUE(first[4].Bold);

  // A second fill replaces the text, it does not append; the view starts at the top.
  FillDetailPane(&pane, {{"one", 0xffffff, false}, {"two", 0x800000, true}});
  const std::vector<LineLook> second = PaneLines(pane);
  ASSERT_EQ(second.size(), 2u);
  EXPECT_EQ(second[1].Colour, 0x800000u);
  EXPECT_TRUE(second[1].Bold);
  EXPECT_EQ(pane.toPlainText().toStdString(), "one\ntwo");
  EXPECT_EQ(pane.textCursor().position(), 0);
  EXPECT_TRUE(pane.updatesEnabled());

  FillDetailPane(&pane, {});
  EXPECT_TRUE(pane.toPlainText().isEmpty());
  EXPECT_EQ(pane.document()->blockCount(), 1);
}

TEST(DetailPane, RepeatedFillsOfABigTranscriptKeepOneDocument) {
  QTextEdit pane;
  SetUpDetailPane(&pane);
  pane.show();
  std::vector<DetailLine> lines;
  for (int i = 0; i < 20000; ++i) {
    lines.push_back({S("【大砲】") + "P" + std::to_string(i), i % 3 == 0 ? 0x4040ffu : 0xffffffu,
                     i % 5 == 0});
  }
  for (int round = 0; round < 3; ++round) FillDetailPane(&pane, lines);
  EXPECT_EQ(pane.findChildren<QTextDocument*>().size(), 1);
  ASSERT_EQ(pane.document()->blockCount(), 20000);
  EXPECT_EQ(pane.document()->lastBlock().text().toStdString(), "【大砲】P19999");
  const QTextBlock fifteenth = pane.document()->findBlockByNumber(15);
  EXPECT_EQ(fifteenth.begin().fragment().charFormat().foreground().color().rgb() & 0xFFFFFFu,
            0x4040ffu);
  EXPECT_GE(fifteenth.begin().fragment().charFormat().fontWeight(), QFont::Bold);
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

}  // namespace
}  // namespace mizuto
