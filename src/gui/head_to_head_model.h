// The head-to-head grid as a Qt table model. The core keeps the counts as numbers; a cell
// becomes text only when a view paints it, so a grid of a million cells costs nothing here.
#pragma once

#include <QAbstractTableModel>

#include "app/view_models.h"

namespace mizuto {

class HeadToHeadModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // `grid` must outlive the model (it is the App's Grid). Model row r, column c is the
  // grid's cell (c, r); row 0 and column 0 are the grid's own header cells.
  explicit HeadToHeadModel(const HeadToHeadGrid& grid, QObject* parent = nullptr);

  // Call after the core rebuilt the grid.
  void Reload();

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // The background of the header cells.
  static QColor FixedCellColour();

 private:
  bool InGrid(int c, int r) const;

  const HeadToHeadGrid& grid_;
  int rows_ = 0;  // as last told to the views
  int columns_ = 0;
};

}  // namespace mizuto
