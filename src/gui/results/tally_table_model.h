// The tally table as a Qt table model: reads the core's rows in place, converts a cell's
// text only when a view asks for it.
#pragma once

#include <vector>

#include "app/parts/view_models.h"
#include "gui/widgets/core_table_model.h"

namespace mizuto {

class TallyTableModel : public CoreTableModel {
  Q_OBJECT

 public:
  // `table` must outlive the model (it is the App's TallyTable).
  explicit TallyTableModel(const TallyTableView& table, QObject* parent = nullptr);

  enum class Change { None, Cells, Columns };
  // Tells the views what the core changed since the last call, from the table's revision:
  // nothing; the cells (rows added or taken away at the end, every shown cell announced as
  // changed, which costs the views a repaint of what they show); or the columns, the one
  // change that resets the model.
  Change Update();

  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  const TallyTableView& table_;
  std::vector<TallyColumn> shownColumns_;
};

// A core text for a view. Numbers are the bulk of the table and pure ASCII, which needs no
// code-page conversion.
QString ViewText(std::string_view sjis);

}  // namespace mizuto
