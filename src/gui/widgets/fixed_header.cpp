#include "gui/widgets/fixed_header.h"

#include <QStyle>
#include <QStyleOptionHeader>

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

QString FixedHeader::ShownText(int logicalIndex) const {
  QStyleOptionHeader option;
  initStyleOption(&option);
  initStyleOptionForIndex(&option, logicalIndex);
  return option.text;
}

void FixedHeader::initStyleOptionForIndex(QStyleOptionHeader* option, int logicalIndex) const {
  QHeaderView::initStyleOptionForIndex(option, logicalIndex);
  if (textElideMode() == Qt::ElideNone || option->text.isEmpty()) return;
  // The section's rectangle, as the header paints it, gives the style's label room.
  const bool horizontal = orientation() == Qt::Horizontal;
  const int size = sectionSize(logicalIndex);
  const QRect saved = option->rect;
  option->rect = horizontal ? QRect(0, 0, size, height()) : QRect(0, 0, width(), size);
  const QRect label = style()->subElementRect(QStyle::SE_HeaderLabel, option, this);
  option->rect = saved;
  option->text = option->fontMetrics.elidedText(option->text, textElideMode(), label.width());
}

}  // namespace mizuto
