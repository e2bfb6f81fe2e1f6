#include "gui/fixed_header.h"

namespace mizuto {

FixedHeader::FixedHeader(Qt::Orientation orientation, int thickness, QWidget* parent)
    : QHeaderView(orientation, parent), thickness_(thickness) {}

QSize FixedHeader::sizeHint() const {
  const bool horizontal = orientation() == Qt::Horizontal;
  if (thickness_ < 0) {
    if (count() == 0) return QHeaderView::sizeHint();
    const QSize measured = QHeaderView::sizeHint();
    thickness_ = horizontal ? measured.height() : measured.width();
  }
  return horizontal ? QSize(length(), thickness_) : QSize(thickness_, length());
}

}  // namespace mizuto
