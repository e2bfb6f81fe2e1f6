#include "gui/results/head_to_head_view.h"

#include <QAbstractButton>
#include <QFontMetrics>
#include <QHeaderView>
#include <QTableView>

#include "gui/widgets/fixed_header.h"
#include "gui/widgets/gui_text.h"
#include "gui/results/head_to_head_model.h"

namespace mizuto {

namespace {

constexpr int kColumnWidth = 50;
constexpr int kRowHeight = 18;
constexpr int kTextPadding = 8;  // the section's padding and border around its text

}  // namespace

void SetUpHeadToHeadView(QTableView* grid) {
  grid->setHorizontalHeader(new FixedHeader(Qt::Horizontal, kRowHeight, grid));
  grid->setVerticalHeader(new FixedHeader(Qt::Vertical, kColumnWidth, grid));
  grid->setFont(ProportionalFont(11));
  grid->setShowGrid(true);
  grid->setSelectionBehavior(QAbstractItemView::SelectRows);
  grid->setSelectionMode(QAbstractItemView::ContiguousSelection);
  grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid->setWordWrap(false);

  // The fixed cells are drawn flat, like the others, in their own colour: a style sheet
  // gives the same picture with every widget style.
  const QString colour = HeadToHeadModel::FixedCellColour().name();
  const QString fixedCells =
      QStringLiteral("background-color: %1; color: black; border: none;"
                     " border-right: 1px solid #a0a0a0; border-bottom: 1px solid #a0a0a0;"
                     " padding-left: 2px; padding-right: 2px;")
          .arg(colour);
  for (QHeaderView* header : {grid->horizontalHeader(), grid->verticalHeader()}) {
    header->setFont(ProportionalFont(11));
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setMinimumSectionSize(1);
    header->setStyleSheet(QStringLiteral("QHeaderView::section { %1 }").arg(fixedCells));
  }
  grid->horizontalHeader()->setDefaultSectionSize(kColumnWidth);
  grid->horizontalHeader()->setFixedHeight(kRowHeight);
  grid->verticalHeader()->setDefaultSectionSize(kRowHeight);
  grid->verticalHeader()->setFixedWidth(kColumnWidth);
  grid->horizontalHeader()->setTextElideMode(Qt::ElideRight);
  grid->verticalHeader()->setTextElideMode(Qt::ElideRight);
  // The top-left cell, where the two headers meet.
  if (auto* corner = grid->findChild<QAbstractButton*>()) {
    corner->setStyleSheet(QStringLiteral("QTableCornerButton::section { %1 }").arg(fixedCells));
  }
}

void FitNameColumn(QTableView* grid, const HeadToHeadGrid& cells) {
  QHeaderView* header = grid->verticalHeader();
  const QFontMetrics metrics(header->font());
  int width = kColumnWidth;
  for (int r = 1; r < cells.RowCount && static_cast<std::size_t>(r) < cells.RowHeaders.size();
       ++r) {
    const std::string& name = cells.RowHeaders[static_cast<std::size_t>(r)];
    width = std::max(width, metrics.horizontalAdvance(ToQt(name)) + kTextPadding);
    if (width >= kMaxNameColumnWidth) break;
  }
  header->setFixedWidth(std::min(width, kMaxNameColumnWidth));
  // The row of victims and the cells start where the names end.
  QMetaObject::invokeMethod(grid, "updateGeometries");
}

}  // namespace mizuto
