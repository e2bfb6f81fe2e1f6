// What the window's two table models over the core share: the core changes its table in
// place and counts a revision; the model keeps the size it last told the views (a view must
// never be answered from rows it does not know) and tells them of rows and columns added or
// taken away at the end.
#pragma once

#include <QAbstractTableModel>
#include <cstdint>

namespace mizuto {

class CoreTableModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;

 protected:
  CoreTableModel(int rows, int columns, std::uint64_t revision, QObject* parent);

  // False when the views have already seen `revision`; otherwise remembers it.
  bool TakeRevision(std::uint64_t revision);
  // Tells the views of the rows or columns added or taken away at the end.
  void ResizeRows(int rows);
  void ResizeColumns(int columns);
  // Tells the views that every cell they show may have changed.
  void AnnounceCells();
  // A new shape for everything: the one change that resets the views.
  void Reset(int rows, int columns);

  int rows_ = 0;  // as last told to the views
  int columns_ = 0;

 private:
  std::uint64_t revision_ = 0;
};

}  // namespace mizuto
