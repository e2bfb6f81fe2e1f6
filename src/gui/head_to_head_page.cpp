#include "gui/head_to_head_page.h"

#include <QTableView>
#include <QVBoxLayout>

#include "gui/head_to_head_model.h"
#include "gui/head_to_head_view.h"

namespace mizuto {

HeadToHeadPage::HeadToHeadPage(const App& app) : app_(app) {
  setObjectName(QStringLiteral("TabSheet1"));
  stringGrid1_ = new QTableView;
  stringGrid1_->setObjectName(QStringLiteral("StringGrid1"));
  SetUpHeadToHeadView(stringGrid1_);
  gridModel_ = new HeadToHeadModel(app_.Grid, this);
  stringGrid1_->setModel(gridModel_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(stringGrid1_);
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
  if (!namesToFit_ || !stringGrid1_->isVisible()) return;
  FitNameColumn(stringGrid1_, app_.Grid);
  namesToFit_ = false;
}

}  // namespace mizuto
