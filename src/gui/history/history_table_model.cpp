#include "gui/history/history_table_model.h"

#include "gui/widgets/row_icons.h"
#include "gui/results/tally_table_model.h"

namespace mizuto {

HistoryTableModel::HistoryTableModel(const HistoryTable& table, QObject* parent)
    : QAbstractTableModel(parent),
      table_(table),
      revision_(table.Revision),
      rows_(static_cast<int>(table.Rows.size())),
      columns_(static_cast<int>(table.Columns.size())) {}

bool HistoryTableModel::Update() {
  if (table_.Revision == revision_) return false;
  beginResetModel();
  revision_ = table_.Revision;
  rows_ = static_cast<int>(table_.Rows.size());
  columns_ = static_cast<int>(table_.Columns.size());
  endResetModel();
  return true;
}

int HistoryTableModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int HistoryTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : columns_; }

QVariant HistoryTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rows_ || index.column() >= columns_) return {};
  const std::size_t r = static_cast<std::size_t>(index.row());
  const std::size_t c = static_cast<std::size_t>(index.column());
  if (r >= table_.Rows.size() || c >= table_.Columns.size()) return {};
  // A battle row is read from the history when it is first shown.
  const HistoryTableRow& row = table_.Row(r);
  switch (role) {
    case Qt::DisplayRole:
      return c < row.Cells.size() ? ViewText(row.Cells[c]) : QString();
    case Qt::DecorationRole:
      if (c == 0 && row.Icon >= 0 && row.Icon < kRowIconCount) return RowIcons()[row.Icon];
      return {};
    case Qt::TextAlignmentRole:
      return static_cast<int>((table_.Columns[c].RightAligned ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    default:
      return {};
  }
}

QVariant HistoryTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= columns_ ||
      static_cast<std::size_t>(section) >= table_.Columns.size()) {
    return QAbstractTableModel::headerData(section, orientation, role);
  }
  const TallyColumn& column = table_.Columns[static_cast<std::size_t>(section)];
  if (role == Qt::DisplayRole) return ViewText(column.Caption);
  if (role == Qt::TextAlignmentRole) {
    return static_cast<int>((column.RightAligned ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
  }
  return {};
}

}  // namespace mizuto
