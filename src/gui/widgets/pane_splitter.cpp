#include "gui/widgets/pane_splitter.h"

#include <QResizeEvent>
#include <QVBoxLayout>
#include <algorithm>

namespace mizuto {

PaneSplitter::PaneSplitter(const char* name, Qt::Orientation orientation)
    : QSplitter(orientation) {
  setObjectName(QLatin1String(name));
  setHandleWidth(3);
  setChildrenCollapsible(false);
  connect(this, &QSplitter::splitterMoved, this, [this](int, int index) { HandleMoved(index); });
}

void PaneSplitter::AddFilling(QWidget* pane) {
  addWidget(pane);
  panes_.push_back(Pane{});
  setStretchFactor(count() - 1, 1);
}

void PaneSplitter::AddDocked(QWidget* pane, Edge edge, int* size) {
  addWidget(pane);
  panes_.push_back(Pane{edge, size});
  setStretchFactor(count() - 1, 0);
}

void PaneSplitter::Refit() {
  const int n = count();
  if (n != static_cast<int>(panes_.size())) return;
  const QRect area = contentsRect();
  int room = orientation() == Qt::Horizontal ? area.width() : area.height();
  int shown = 0;
  for (int i = 0; i < n; ++i) {
    if (widget(i)->isHidden()) continue;
    if (++shown > 1) room -= handleWidth();
    if (panes_[static_cast<std::size_t>(i)].Size) room -= *panes_[static_cast<std::size_t>(i)].Size;
  }
  QList<int> sizes;
  for (int i = 0; i < n; ++i) {
    const Pane& pane = panes_[static_cast<std::size_t>(i)];
    // Where the room is short, the splitter squeezes the panes on screen; the kept sizes
    // stay as they are.
    sizes << (pane.Size ? std::max(0, *pane.Size) : std::max(1, room));
  }
  setSizes(sizes);
}

void PaneSplitter::resizeEvent(QResizeEvent* event) {
  QSplitter::resizeEvent(event);
  Refit();
}

// The handle with this index lies between pane index - 1 and pane index. It sizes the pane
// on its docked side: a pane docked left or top lies before its handle, one docked right or
// bottom after it. A docked neighbour on the other side keeps its size, so the filling pane
// gives or takes the difference.
void PaneSplitter::HandleMoved(int index) {
  const QList<int> now = sizes();
  auto keep = [&](int i, Edge edge) {
    if (i < 0 || i >= static_cast<int>(panes_.size()) || i >= now.size()) return;
    const Pane& pane = panes_[static_cast<std::size_t>(i)];
    if (pane.Size && pane.Side == edge && now[i] > 0) *pane.Size = now[i];
  };
  keep(index - 1, Edge::Leading);
  keep(index, Edge::Trailing);
  Refit();
}

QWidget* FillingPanel(const char* name, QWidget* child) {
  auto* panel = new QWidget;
  panel->setObjectName(QLatin1String(name));
  auto* layout = new QVBoxLayout(panel);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(child);
  return panel;
}

}  // namespace mizuto
