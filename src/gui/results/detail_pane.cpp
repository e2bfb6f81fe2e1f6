#include "gui/results/detail_pane.h"

#include <QApplication>
#include <QClipboard>
#include <QFrame>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QScrollBar>
#include <QTextLayout>
#include <QTextOption>
#include <algorithm>
#include <cmath>

#include "gui/widgets/gui_text.h"

namespace mizuto {

namespace {

constexpr int kMargin = 4;  // around the text, as a text document keeps it

// A line break inside a text would draw two lines where the core has one; the reader splits
// the log at line ends, so this only guards.
QString OneLine(const DetailLine& line) {
  QString text = ToQt(line.Text);
  for (QChar& ch : text) {
    const char16_t u = ch.unicode();
    if (u == u'\n' || u == u'\r' || u == QChar::ParagraphSeparator || u == QChar::LineSeparator) {
      ch = QChar(u' ');
    }
  }
  return text;
}

}  // namespace

DetailPane::DetailPane(const std::vector<DetailLine>& lines, QWidget* parent)
    : QAbstractScrollArea(parent), lines_(lines) {
  setFrameShape(QFrame::NoFrame);
  setFont(ProportionalFont(12));
  bold_ = font();
  bold_.setBold(true);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setFocusPolicy(Qt::StrongFocus);
  QPalette palette = this->palette();
  for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    palette.setColor(group, QPalette::Base, Qt::black);
    palette.setColor(group, QPalette::Text, Qt::white);
  }
  setPalette(palette);
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(true);
  verticalScrollBar()->setSingleStep(1);
}

void DetailPane::LinesReplaced(bool atEnd) {
  anchor_ = end_ = -1;
  UpdateScrollRange();
  // A transcript is read from its first line; one that is being written, at its newest.
  QScrollBar* bar = verticalScrollBar();
  bar->setValue(atEnd ? bar->maximum() : 0);
  viewport()->update();
}

QString DetailPane::Text() const {
  QStringList all;
  for (const DetailLine& line : lines_) all << OneLine(line);
  return all.join(QLatin1Char('\n'));
}

QString DetailPane::SelectedText() const {
  if (anchor_ < 0) return QString();
  QStringList chosen;
  const int last = std::min(std::max(anchor_, end_), LineCount() - 1);
  for (int i = std::min(anchor_, end_); i <= last; ++i) {
    chosen << OneLine(lines_[static_cast<std::size_t>(i)]);
  }
  return chosen.join(QLatin1Char('\n'));
}

int DetailPane::FirstShownLine() const { return verticalScrollBar()->value(); }

QRect DetailPane::LineRect(int line) const {
  for (const ShownLine& shown : ShownLines()) {
    if (shown.Line == line) return shown.Rect;
  }
  return QRect();
}

int DetailPane::LayOut(int line, QTextLayout& layout) const {
  const DetailLine& d = lines_[static_cast<std::size_t>(line)];
  layout.setText(OneLine(d));
  layout.setFont(d.Bold ? bold_ : font());
  // Japanese lines have no spaces to break at: wrap at the pane's edge, anywhere if need be.
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  layout.setTextOption(option);
  const qreal width = std::max(1, viewport()->width() - 2 * kMargin);
  qreal height = 0;
  layout.beginLayout();
  for (QTextLine row = layout.createLine(); row.isValid(); row = layout.createLine()) {
    row.setLineWidth(width);
    row.setPosition(QPointF(0, height));
    height += row.height();
  }
  layout.endLayout();
  return std::max(1, static_cast<int>(std::ceil(height)));
}

std::vector<DetailPane::ShownLine> DetailPane::ShownLines() const {
  std::vector<ShownLine> shown;
  const int bottom = viewport()->height();
  int y = kMargin;
  for (int i = FirstShownLine(); i < LineCount() && y < bottom; ++i) {
    QTextLayout layout;
    const int height = LayOut(i, layout);
    shown.push_back({i, QRect(0, y, viewport()->width(), height)});
    y += height;
  }
  return shown;
}

int DetailPane::LineAt(int y) const {
  const std::vector<ShownLine> shown = ShownLines();
  if (shown.empty()) return -1;
  for (const ShownLine& s : shown) {
    if (y < s.Rect.bottom() + 1) return s.Line;
  }
  return shown.back().Line;
}

// The last line can come up to the bottom edge and no further: the range ends at the first
// line from which the rest fits the viewport. Only the lines of one screen are laid out.
void DetailPane::UpdateScrollRange() {
  const int room = viewport()->height() - 2 * kMargin;
  int first = LineCount();
  int used = 0;
  while (first > 0) {
    QTextLayout layout;
    const int height = LayOut(first - 1, layout);
    if (used + height > room && first < LineCount()) break;
    used += height;
    --first;
  }
  QScrollBar* bar = verticalScrollBar();
  bar->setRange(0, std::max(0, first));
  bar->setPageStep(std::max(1, LineCount() - first));
}

void DetailPane::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  const QPalette& colours = palette();
  const int low = std::min(anchor_, end_), high = std::max(anchor_, end_);
  for (const ShownLine& shown : ShownLines()) {
    const DetailLine& d = lines_[static_cast<std::size_t>(shown.Line)];
    const bool chosen = anchor_ >= 0 && shown.Line >= low && shown.Line <= high;
    if (chosen) painter.fillRect(shown.Rect, colours.brush(QPalette::Highlight));
    QTextLayout layout;
    LayOut(shown.Line, layout);
    painter.setPen(chosen ? colours.color(QPalette::HighlightedText)
                          : QColor::fromRgb(static_cast<QRgb>(d.Colour & 0xFFFFFFu)));
    layout.draw(&painter, QPointF(kMargin, shown.Rect.top()));
  }
}

void DetailPane::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollRange();
}

void DetailPane::scrollContentsBy(int, int) { viewport()->update(); }

void DetailPane::Choose(int line, bool extend) {
  if (line < 0) return;
  if (!extend || anchor_ < 0) anchor_ = line;
  end_ = line;
  viewport()->update();
}

void DetailPane::Copy() const {
  const QString chosen = SelectedText();
  if (!chosen.isEmpty()) QApplication::clipboard()->setText(chosen);
}

void DetailPane::keyPressEvent(QKeyEvent* event) {
  QScrollBar* bar = verticalScrollBar();
  if (event->matches(QKeySequence::Copy)) {
    Copy();
  } else if (event->matches(QKeySequence::SelectAll)) {
    if (LineCount() > 0) {
      anchor_ = 0;
      end_ = LineCount() - 1;
      viewport()->update();
    }
  } else if (event->matches(QKeySequence::MoveToStartOfDocument) || event->key() == Qt::Key_Home) {
    bar->setValue(bar->minimum());
  } else if (event->matches(QKeySequence::MoveToEndOfDocument) || event->key() == Qt::Key_End) {
    bar->setValue(bar->maximum());
  } else {
    QAbstractScrollArea::keyPressEvent(event);  // arrows and pages scroll
  }
}

void DetailPane::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QAbstractScrollArea::mousePressEvent(event);
    return;
  }
  Choose(LineAt(event->position().toPoint().y()), event->modifiers() & Qt::ShiftModifier);
}

void DetailPane::mouseMoveEvent(QMouseEvent* event) {
  if (event->buttons() & Qt::LeftButton) Choose(LineAt(event->position().toPoint().y()), true);
}

}  // namespace mizuto
