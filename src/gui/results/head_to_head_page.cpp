#include "gui/results/head_to_head_page.h"

#include <QTableView>
#include <QVBoxLayout>

#include "gui/results/head_to_head_model.h"
#include "gui/results/head_to_head_view.h"

namespace mizuto {

HeadToHeadPage::HeadToHeadPage(const App& app) : app_(app) {
  setObjectName(QStringLiteral("resultsPage"));
  headToHeadGrid_ = new QTableView;
  headToHeadGrid_->setObjectName(QStringLiteral("headToHeadGrid"));
  SetUpHeadToHeadView(headToHeadGrid_);
  gridModel_ = new HeadToHeadModel(app_.Grid, this);
  headToHeadGrid_->setModel(gridModel_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(headToHeadGrid_);
}

void HeadToHeadPage::Sync() {
  if (gridModel_->Update()) namesToFit_ = true;
  FitNames();
}

void HeadToHeadPage::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  FitNames();
}

// Measuring a thousand names costs more than the rest of a redraw of the grid: it waits
// until the page is on screen.
void HeadToHeadPage::FitNames() {
  if (!namesToFit_ || !headToHeadGrid_->isVisible()) return;
  FitNameColumn(headToHeadGrid_, app_.Grid);
  namesToFit_ = false;
}

}  // namespace mizuto
