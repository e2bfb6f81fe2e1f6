// The head-to-head grid as a Qt table model. The grid's first row (the victims) and first
// column (the takers) are the model's header sections, so a view keeps them in view however
// far it scrolls; the counts are the cells. The core keeps the counts as numbers; a cell
// becomes text only when a view paints it, so a grid of a million cells costs nothing here.
#pragma once


#include "app/parts/view_models.h"
#include "gui/widgets/core_table_model.h"

namespace mizuto {

class HeadToHeadModel : public CoreTableModel {
  Q_OBJECT

 public:
  // `grid` must outlive the model (it is the App's Grid). Model row r, column c is the
  // grid's cell (c + 1, r + 1); the horizontal header section c is the grid's cell (c + 1, 0)
  // and the vertical one r is (0, r + 1).
  explicit HeadToHeadModel(const HeadToHeadGrid& grid, QObject* parent = nullptr);

  // Tells the views what the core changed since the last call (from the grid's revision):
  // rows and columns added or taken away at the end, every header and cell announced as
  // changed. False when the grid is the one the views already show.
  bool Update();

  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // The background of the header cells.
  static QColor FixedCellColour();

 private:
  bool InGrid(int c, int r) const;

  const HeadToHeadGrid& grid_;
};

}  // namespace mizuto
