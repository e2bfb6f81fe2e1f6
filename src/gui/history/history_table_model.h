// A table of the History page as a Qt table model: reads the core's rows in place and
// starts afresh whenever the core counted a change (a new answer or a new order).
#pragma once

#include <QAbstractTableModel>
#include <cstdint>

#include "app/history/history_page_model.h"

namespace mizuto {

class HistoryTableModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // `table` must outlive the model (it is a table of the App's HistoryPage).
  explicit HistoryTableModel(const HistoryTable& table, QObject* parent = nullptr);

  // Tells the views of the core's change, if there was one; true when there was.
  bool Update();

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

 private:
  const HistoryTable& table_;
  std::uint64_t revision_ = 0;
  int rows_ = 0, columns_ = 0;  // as last told to the views
};

}  // namespace mizuto
