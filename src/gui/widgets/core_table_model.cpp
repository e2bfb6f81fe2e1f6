#include "gui/widgets/core_table_model.h"

namespace mizuto {

CoreTableModel::CoreTableModel(int rows, int columns, std::uint64_t revision, QObject* parent)
    : QAbstractTableModel(parent), rows_(rows), columns_(columns), revision_(revision) {}

int CoreTableModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int CoreTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : columns_;
}

bool CoreTableModel::TakeRevision(std::uint64_t revision) {
  if (revision == revision_) return false;
  revision_ = revision;
  return true;
}

void CoreTableModel::ResizeRows(int rows) {
  if (rows < rows_) {
    beginRemoveRows(QModelIndex(), rows, rows_ - 1);
    rows_ = rows;
    endRemoveRows();
  } else if (rows > rows_) {
    beginInsertRows(QModelIndex(), rows_, rows - 1);
    rows_ = rows;
    endInsertRows();
  }
}

void CoreTableModel::ResizeColumns(int columns) {
  if (columns < columns_) {
    beginRemoveColumns(QModelIndex(), columns, columns_ - 1);
    columns_ = columns;
    endRemoveColumns();
  } else if (columns > columns_) {
    beginInsertColumns(QModelIndex(), columns_, columns - 1);
    columns_ = columns;
    endInsertColumns();
  }
}

void CoreTableModel::AnnounceCells() {
  if (rows_ > 0 && columns_ > 0) emit dataChanged(index(0, 0), index(rows_ - 1, columns_ - 1));
}

void CoreTableModel::Reset(int rows, int columns) {
  beginResetModel();
  rows_ = rows;
  columns_ = columns;
  endResetModel();
}

}  // namespace mizuto
