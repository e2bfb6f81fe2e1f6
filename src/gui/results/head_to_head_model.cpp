#include "gui/results/head_to_head_model.h"

#include <QBrush>

#include "gui/results/tally_table_model.h"

namespace mizuto {

HeadToHeadModel::HeadToHeadModel(const HeadToHeadGrid& grid, QObject* parent)
    : CoreTableModel(std::max(0, grid.RowCount - 1), std::max(0, grid.ColCount - 1), grid.Revision,
                     parent),
      grid_(grid) {}

bool HeadToHeadModel::Update() {
  if (!TakeRevision(grid_.Revision)) return false;
  ResizeRows(std::max(0, grid_.RowCount - 1));
  ResizeColumns(std::max(0, grid_.ColCount - 1));
  if (rows_ > 0) emit headerDataChanged(Qt::Vertical, 0, rows_ - 1);
  if (columns_ > 0) emit headerDataChanged(Qt::Horizontal, 0, columns_ - 1);
  AnnounceCells();
  return true;
}

QColor HeadToHeadModel::FixedCellColour() { return QColor(0xa6, 0xca, 0xf0); }

// A view that has not been told of a change yet may still ask for a cell of the old size.
bool HeadToHeadModel::InGrid(int c, int r) const {
  if (c < 0 || r < 0 || c >= grid_.ColCount || r >= grid_.RowCount) return false;
  if (static_cast<std::size_t>(c) >= grid_.ColumnHeaders.size() ||
      static_cast<std::size_t>(r) >= grid_.RowHeaders.size()) {
    return false;
  }
  if (c == 0 || r == 0) return true;
  const std::size_t i = grid_.DataIndex(c, r);
  return i < grid_.Kinds.size() && i < grid_.Counts.size();
}

QVariant HeadToHeadModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || role != Qt::DisplayRole) return {};
  const int c = index.column() + 1;
  const int r = index.row() + 1;
  if (!InGrid(c, r)) return {};
  return ViewText(grid_.Cell(c, r));
}

QVariant HeadToHeadModel::headerData(int section, Qt::Orientation orientation, int role) const {
  const bool horizontal = orientation == Qt::Horizontal;
  if (section < 0 || section >= (horizontal ? columns_ : rows_)) return {};
  const int c = horizontal ? section + 1 : 0;
  const int r = horizontal ? 0 : section + 1;
  if (!InGrid(c, r)) return {};
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:  // the whole name where the section is too narrow for it
      return ViewText(grid_.Cell(c, r));
    case Qt::BackgroundRole:
      return QBrush(FixedCellColour());
    case Qt::TextAlignmentRole:
      return static_cast<int>(Qt::AlignLeft | Qt::AlignVCenter);
    default:
      return {};
  }
}

Qt::ItemFlags HeadToHeadModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

}  // namespace mizuto
