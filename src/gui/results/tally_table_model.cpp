#include "gui/results/tally_table_model.h"

#include <algorithm>

#include "gui/widgets/gui_text.h"
#include "gui/widgets/row_icons.h"

namespace mizuto {

QString ViewText(std::string_view sjis) {
  for (const char ch : sjis) {
    if (static_cast<unsigned char>(ch) >= 0x80) return ToQt(sjis);
  }
  return QString::fromLatin1(sjis.data(), static_cast<qsizetype>(sjis.size()));
}

TallyTableModel::TallyTableModel(const TallyTableView& table, QObject* parent)
    : CoreTableModel(static_cast<int>(table.Rows.size()), static_cast<int>(table.Columns.size()),
                     table.Revision, parent),
      table_(table),
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
  if (!TakeRevision(table_.Revision)) return Change::None;
  if (!SameColumns(shownColumns_, table_.Columns)) {
    shownColumns_ = table_.Columns;
    Reset(static_cast<int>(table_.Rows.size()), static_cast<int>(table_.Columns.size()));
    return Change::Columns;
  }
  ResizeRows(static_cast<int>(table_.Rows.size()));
  AnnounceCells();
  return Change::Cells;
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
