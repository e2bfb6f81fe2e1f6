#include "gui/tally_table_model.h"

#include <algorithm>

#include "gui/gui_text.h"
#include "gui/row_icons.h"

namespace mizuto {

QString ViewText(std::string_view sjis) {
  for (const char ch : sjis) {
    if (static_cast<unsigned char>(ch) >= 0x80) return ToQt(sjis);
  }
  return QString::fromLatin1(sjis.data(), static_cast<qsizetype>(sjis.size()));
}

TallyTableModel::TallyTableModel(const TallyTableView& table, QObject* parent)
    : QAbstractTableModel(parent),
      table_(table),
      rows_(static_cast<int>(table.Rows.size())),
      columns_(static_cast<int>(table.Columns.size())),
      revision_(table.Revision),
      shownColumns_(table.Columns) {}

namespace {

bool SameColumns(const std::vector<TallyColumn>& a, const std::vector<TallyColumn>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](const TallyColumn& x, const TallyColumn& y) {
                      return x.Caption == y.Caption && x.RightAligned == y.RightAligned;
                    });
}

}  // namespace

TallyTableModel::Change TallyTableModel::Update() {
  if (table_.Revision == revision_) return Change::None;
  revision_ = table_.Revision;
  const int rows = static_cast<int>(table_.Rows.size());
  if (!SameColumns(shownColumns_, table_.Columns)) {
    beginResetModel();
    rows_ = rows;
    columns_ = static_cast<int>(table_.Columns.size());
    shownColumns_ = table_.Columns;
    endResetModel();
    return Change::Columns;
  }
  if (rows < rows_) {
    beginRemoveRows(QModelIndex(), rows, rows_ - 1);
    rows_ = rows;
    endRemoveRows();
  } else if (rows > rows_) {
    beginInsertRows(QModelIndex(), rows_, rows - 1);
    rows_ = rows;
    endInsertRows();
  }
  if (rows_ > 0 && columns_ > 0) {
    emit dataChanged(index(0, 0), index(rows_ - 1, columns_ - 1));
  }
  return Change::Cells;
}

int TallyTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rows_;
}

int TallyTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : columns_;
}

QVariant TallyTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const std::size_t r = static_cast<std::size_t>(index.row());
  const std::size_t c = static_cast<std::size_t>(index.column());
  if (r >= table_.Rows.size() || c >= table_.Columns.size()) return {};
  const TallyRow& row = table_.Rows[r];
  switch (role) {
    case Qt::DisplayRole:
      if (c == 0) return ViewText(row.Caption);
      // A row built before a column was added simply has no text there yet.
      if (c - 1 < row.Cells.size()) return ViewText(row.Cells[c - 1]);
      return QString();
    case Qt::DecorationRole:
      if (c == 0 && row.Icon >= 0 && row.Icon < kRowIconCount) return RowIcons()[row.Icon];
      return {};
    case Qt::TextAlignmentRole:
      return static_cast<int>((table_.Columns[c].RightAligned ? Qt::AlignRight : Qt::AlignLeft) |
                              Qt::AlignVCenter);
    default:
      return {};
  }
}

QVariant TallyTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 ||
      static_cast<std::size_t>(section) >= table_.Columns.size() || section >= columns_) {
    return QAbstractTableModel::headerData(section, orientation, role);
  }
  const TallyColumn& column = table_.Columns[static_cast<std::size_t>(section)];
  switch (role) {
    case Qt::DisplayRole:
      return ViewText(column.Caption);
    case Qt::TextAlignmentRole:
      return static_cast<int>((column.RightAligned ? Qt::AlignRight : Qt::AlignLeft) |
                              Qt::AlignVCenter);
    default:
      return {};
  }
}

Qt::ItemFlags TallyTableModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

}  // namespace mizuto
