// The head-to-head page: who took whose ships, as a grid whose first row and column stay in
// view.
#pragma once

#include <QWidget>

#include "app/owner/app.h"

class QTableView;

namespace mizuto {

class HeadToHeadModel;

class HeadToHeadPage : public QWidget {
  Q_OBJECT

 public:
  // `app` must outlive the page: the grid's model reads the core's grid in place.
  explicit HeadToHeadPage(const App& app);

  // Redraws the grid from the core.
  void Sync();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FitNames();

  const App& app_;
  QTableView* headToHeadGrid_ = nullptr;
  HeadToHeadModel* gridModel_ = nullptr;
  bool namesToFit_ = false;  // the grid changed since its name column was fitted
};

}  // namespace mizuto
