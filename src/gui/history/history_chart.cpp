#include "gui/history/history_chart.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QGraphicsSimpleTextItem>
#include <QHelpEvent>
#include <QLineSeries>
#include <QStackedBarSeries>
#include <QToolTip>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "app/history/history_page_model.h"
#include "gui/widgets/gui_text.h"

namespace mizuto {
namespace {

struct ResultLook {
  const char* Caption;
  QRgb Colour;
  std::int64_t DayRow::*Count;
};
// Won and lost stand out; the battles nobody won are quieter.
constexpr ResultLook kResults[] = {
    {"勝", 0x3a7bd5, &DayRow::Won},     {"敗", 0xd64541, &DayRow::Lost},
    {"引分", 0x9e9e9e, &DayRow::Drawn}, {"逃げられ", 0xe0b030, &DayRow::Escaped},
    {"撤退", 0x8e6bbf, &DayRow::Withdrawn},
};
// A plot is rarely taller than this many ticks' worth of readable labels.
constexpr int kTickIntervals = 5;
// The room below zero, as a share of the axis: a point at zero is drawn whole.
constexpr double kBelowZero = 0.04;

QValueAxis* IntegerValueAxis(std::int64_t highest, const QString& title) {
  const IntegerAxis ticks = IntegerAxisFor(highest, kTickIntervals);
  auto* axis = new QValueAxis;
  const double top = static_cast<double>(ticks.Top);
  axis->setRange(-kBelowZero * top, top);
  axis->setTickType(QValueAxis::TicksDynamic);
  axis->setTickAnchor(0);
  axis->setTickInterval(static_cast<double>(ticks.Step));
  axis->setLabelFormat(QStringLiteral("%d"));
  axis->setLabelsFont(ProportionalFont(10));
  axis->setTitleText(title);
  axis->setTitleFont(ProportionalFont(10));
  return axis;
}

// "MM/DD": the year is in the range above.
QString ShortDate(const std::string& date) {
  return QString::fromStdString(date.size() == 10 ? date.substr(5, 2) + "/" + date.substr(8) : date);
}

}  // namespace

HistoryChart::HistoryChart(QWidget* parent) : QChartView(parent) {
  setObjectName(QStringLiteral("historyChart"));
  setRenderHint(QPainter::Antialiasing);
  // The chart is small and its items move together when it is laid out again: drawn whole,
  // no piece of a line's old place stays behind.
  setViewportUpdateMode(QGraphicsView::FullViewportUpdate);
  // With the switch of views above it, the chart's pane is no taller at its least than the
  // battles table beside it: the window can still be made as small as before.
  setMinimumHeight(96);
  // Hints follow the pointer without a button pressed.
  setMouseTracking(true);
  viewport()->setMouseTracking(true);
  // The view's own chart: one set in its place would be released by the view, not deleted.
  QChart* c = chart();
  c->setMargins(QMargins(2, 2, 2, 2));
  c->legend()->setAlignment(Qt::AlignBottom);
  c->legend()->setFont(ProportionalFont(11));
  connect(c, &QChart::plotAreaChanged, this, [this] { PlaceWeekLabels(); });
  SetDays({});
}

void HistoryChart::SetDays(const std::vector<DayRow>& days) {
  days_ = days;
  weeks_ = WeeksOf(days_);
  Rebuild();
}

void HistoryChart::SetView(View view) {
  if (view == view_) return;
  view_ = view;
  Rebuild();
}

QStringList HistoryChart::WeekBattleLabels() const {
  QStringList texts;
  for (const QGraphicsSimpleTextItem* label : weekLabels_) texts << label->text();
  return texts;
}

void HistoryChart::Rebuild() {
  hint_.clear();
  QChart* c = chart();
  for (QGraphicsSimpleTextItem* label : weekLabels_) delete label;
  weekLabels_.clear();
  c->removeAllSeries();
  for (QAbstractAxis* axis : c->axes()) {
    c->removeAxis(axis);
    delete axis;
  }
  resultSets_.clear();
  ownDown_ = enemyDown_ = winRate_ = nullptr;
  columns_ = nullptr;
  axisX_ = new QBarCategoryAxis;
  axisX_->setLabelsFont(ProportionalFont(10));
  axisX_->setTruncateLabels(false);
  c->addAxis(axisX_, Qt::AlignBottom);
  if (view_ == View::Days) {
    BuildDays();
  } else {
    BuildWeeks();
  }
  LabelAxis();
  PlaceWeekLabels();
}

void HistoryChart::BuildDays() {
  QChart* c = chart();
  auto* bars = new QStackedBarSeries;
  bars->setBarWidth(0.8);
  std::int64_t mostBattles = 0, mostDown = 0;
  for (const DayRow& d : days_) {
    mostBattles = std::max(mostBattles, DayBattles(d));
    mostDown = std::max({mostDown, d.OwnDown, d.EnemyDown});
  }
  for (const ResultLook& look : kResults) {
    auto* set = new QBarSet(QString::fromUtf8(look.Caption));
    set->setColor(QColor(look.Colour));
    set->setBorderColor(QColor(look.Colour));
    for (const DayRow& day : days_) *set << static_cast<qreal>(day.*look.Count);
    bars->append(set);
    resultSets_.push_back(set);
  }
  ownDown_ = new QLineSeries;
  ownDown_->setName(QStringLiteral("味方沈没"));
  ownDown_->setPen(QPen(QColor(0x8b1a1a), 1.5));
  enemyDown_ = new QLineSeries;
  enemyDown_->setName(QStringLiteral("敵沈没"));
  enemyDown_->setPen(QPen(QColor(0x1a3f8b), 1.5, Qt::DashLine));
  for (std::size_t i = 0; i < days_.size(); ++i) {
    ownDown_->append(static_cast<qreal>(i), static_cast<qreal>(days_[i].OwnDown));
    enemyDown_->append(static_cast<qreal>(i), static_cast<qreal>(days_[i].EnemyDown));
  }
  // Markers would hide a day's small bar; only a range of one day, a single point that no
  // line draws, needs them.
  for (QLineSeries* line : {ownDown_, enemyDown_}) {
    line->setPointsVisible(days_.size() == 1);
    line->setMarkerSize(6);
  }
  c->addSeries(bars);
  c->addSeries(ownDown_);
  c->addSeries(enemyDown_);
  columns_ = bars;

  // Battles and ships lost each on an axis of their own: a day of hundreds of battles
  // would otherwise flatten the lines, and the lines' days the bars.
  QValueAxis* battles = IntegerValueAxis(mostBattles, QStringLiteral("戦闘"));
  QValueAxis* down = IntegerValueAxis(mostDown, QStringLiteral("沈没"));
  down->setGridLineVisible(false);
  down->setLabelsColor(QColor(0x1a3f8b));
  c->addAxis(battles, Qt::AlignLeft);
  c->addAxis(down, Qt::AlignRight);
  bars->attachAxis(axisX_);
  bars->attachAxis(battles);
  for (QLineSeries* line : {ownDown_, enemyDown_}) {
    line->attachAxis(axisX_);
    line->attachAxis(down);
  }
}

void HistoryChart::BuildWeeks() {
  QChart* c = chart();
  winRate_ = new QLineSeries;
  winRate_->setName(QStringLiteral("週ごとの勝率"));
  winRate_->setPen(QPen(QColor(0x3a7bd5), 2));
  winRate_->setPointsVisible(true);
  winRate_->setMarkerSize(7);
  for (std::size_t i = 0; i < weeks_.size(); ++i) {
    const double rate = WinRatePercent(weeks_[i]);
    if (rate < 0) continue;  // a week without battles has no rate
    winRate_->append(static_cast<qreal>(i), rate);
    auto* label = new QGraphicsSimpleTextItem(QStringLiteral("%1戦").arg(weeks_[i].Battles), c);
    label->setFont(ProportionalFont(10));
    label->setZValue(10);
    label->setData(0, static_cast<int>(i));
    weekLabels_.push_back(label);
  }
  c->addSeries(winRate_);
  columns_ = winRate_;
  auto* rate = new QValueAxis;
  // Room above 100 and below 0, so that a point there is drawn whole, with its label.
  rate->setRange(-6, 112);
  rate->setTickType(QValueAxis::TicksDynamic);
  rate->setTickAnchor(0);
  rate->setTickInterval(25);
  rate->setLabelFormat(QStringLiteral("%d%%"));
  rate->setLabelsFont(ProportionalFont(10));
  rate->setTitleText(QStringLiteral("勝率"));
  rate->setTitleFont(ProportionalFont(10));
  c->addAxis(rate, Qt::AlignLeft);
  winRate_->attachAxis(axisX_);
  winRate_->attachAxis(rate);
}

// Every column gets a category; when there are more than the axis has room for, only every
// so many is written. A category axis wants its captions distinct, so the unwritten ones
// are made of different numbers of zero-width spaces.
void HistoryChart::LabelAxis() {
  if (axisX_ == nullptr) return;
  const std::size_t count = view_ == View::Days ? days_.size() : weeks_.size();
  const QFontMetrics metrics(ProportionalFont(10));
  const int upright = metrics.height() + 4;
  const int flat = metrics.horizontalAdvance(QStringLiteral("00/00")) + 10;
  const int room = std::max(100, static_cast<int>(chart()->plotArea().width()));
  const bool tilted = static_cast<int>(count) * flat > room;
  const int each = tilted ? upright : flat;
  const std::size_t every =
      std::max<std::size_t>(1, (count * static_cast<std::size_t>(each) + room - 1) / static_cast<std::size_t>(room));
  QStringList captions;
  int blank = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (i % every == 0) {
      captions << ShortDate(view_ == View::Days ? days_[i].Date : weeks_[i].Monday) +
                      (view_ == View::Weeks ? QStringLiteral("～") : QString());
    } else {
      captions << QString(++blank, QChar(0x200B));
    }
  }
  axisX_->setLabelsAngle(tilted ? -90 : 0);
  if (axisX_->categories() != captions) axisX_->setCategories(captions);
}

void HistoryChart::PlaceWeekLabels() {
  if (winRate_ == nullptr) return;
  const QList<QPointF> points = winRate_->points();
  const QRectF plot = chart()->plotArea();
  const qsizetype count = std::min<qsizetype>(static_cast<qsizetype>(weekLabels_.size()), points.size());
  for (qsizetype i = 0; i < count; ++i) {
    QGraphicsSimpleTextItem* label = weekLabels_[static_cast<std::size_t>(i)];
    const QRectF box = label->boundingRect();
    const QPointF at = chart()->mapToPosition(points[i], winRate_);
    // Beside the point on the side the line leaves free: below it when the line goes on
    // upwards, above it otherwise; left of it where the plot ends.
    const QPointF neighbour = points[i + 1 < points.size() ? i + 1 : std::max<qsizetype>(i - 1, 0)];
    const bool below = neighbour.y() > points[i].y();
    const double x = at.x() + 6 + box.width() > plot.right() ? at.x() - 6 - box.width() : at.x() + 6;
    label->setPos(x, below ? at.y() + 4 : at.y() - box.height() - 4);
  }
}

int HistoryChart::ColumnAt(const QPoint& viewportPoint) const {
  const std::size_t count = view_ == View::Days ? days_.size() : weeks_.size();
  if (columns_ == nullptr || count == 0) return -1;
  const QPointF inChart = chart()->mapFromScene(mapToScene(viewportPoint));
  const QRectF plot = chart()->plotArea();
  if (!plot.contains(inChart)) return -1;
  const double x = chart()->mapToValue(inChart, columns_).x();
  const long column = std::lround(x);
  if (column < 0 || static_cast<std::size_t>(column) >= count) return -1;
  return static_cast<int>(column);
}

void HistoryChart::ShowHint(int column, const QPoint& globalPos) {
  if (column < 0) {
    if (!hint_.isEmpty()) QToolTip::hideText();
    hint_.clear();
    return;
  }
  const auto at = static_cast<std::size_t>(column);
  const QString hint = ToQt(view_ == View::Days ? HistoryDayHint(days_[at]) : WeekHint(weeks_[at]));
  if (hint == hint_) return;
  hint_ = hint;
  QToolTip::showText(globalPos, hint_, this);
}

void HistoryChart::mouseMoveEvent(QMouseEvent* event) {
  ShowHint(ColumnAt(event->position().toPoint()), event->globalPosition().toPoint());
  QChartView::mouseMoveEvent(event);
}

void HistoryChart::leaveEvent(QEvent* event) {
  ShowHint(-1, QPoint());
  QChartView::leaveEvent(event);
}

void HistoryChart::resizeEvent(QResizeEvent* event) {
  QChartView::resizeEvent(event);
  LabelAxis();
  PlaceWeekLabels();
}

// The scene answers the toolkit's own hint request with its items' hints, which are none:
// that would take the column's figures away again as soon as the pointer rests.
bool HistoryChart::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::ToolTip && !hint_.isEmpty()) {
    QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), hint_, this);
    return true;
  }
  return QChartView::viewportEvent(event);
}

}  // namespace mizuto
