#include "gui/widgets/elided_label.h"

#include <QPainter>
#include <QStyle>

namespace mizuto {

QSize ElidedLabel::minimumSizeHint() const {
  return QSize(0, QLabel::minimumSizeHint().height());
}

QSize ElidedLabel::sizeHint() const { return QSize(0, QLabel::sizeHint().height()); }

void ElidedLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect area = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
  const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, area.width());
  style()->drawItemText(&painter, area, QStyle::visualAlignment(layoutDirection(), alignment()),
                        palette(), isEnabled(), shown, foregroundRole());
  // Where the text was cut, all of it is the tooltip.
  const QString tip = shown == text() ? QString() : text();
  if (toolTip() != tip) setToolTip(tip);
}

}  // namespace mizuto
