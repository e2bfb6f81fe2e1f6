#include "gui/head_to_head_model.h"

#include <QBrush>

#include "gui/tally_table_model.h"

namespace mizuto {

HeadToHeadModel::HeadToHeadModel(const HeadToHeadGrid& grid, QObject* parent)
    : QAbstractTableModel(parent), grid_(grid), rows_(grid.RowCount), columns_(grid.ColCount) {}

void HeadToHeadModel::Reload() {
  beginResetModel();
  rows_ = grid_.RowCount;
  columns_ = grid_.ColCount;
  endResetModel();
}

QColor HeadToHeadModel::FixedCellColour() { return QColor(0xa6, 0xca, 0xf0); }

int HeadToHeadModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rows_;
}

int HeadToHeadModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : columns_;
}

// A view that has not been reset yet may still ask for a cell of the old size.
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
  if (!index.isValid()) return {};
  const int c = index.column();
  const int r = index.row();
  if (!InGrid(c, r)) return {};
  switch (role) {
    case Qt::DisplayRole:
      return ViewText(grid_.Cell(c, r));
    case Qt::BackgroundRole:
      if (c == 0 || r == 0) return QBrush(FixedCellColour());
      return {};
    default:
      return {};
  }
}

Qt::ItemFlags HeadToHeadModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

}  // namespace mizuto
