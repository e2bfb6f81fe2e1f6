#include "gui/history_chart.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QCursor>
#include <QHelpEvent>
#include <QLineSeries>
#include <QStackedBarSeries>
#include <QToolTip>
#include <QValueAxis>
#include <algorithm>

#include "app/history_page.h"
#include "gui/gui_text.h"

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

}  // namespace

HistoryChart::HistoryChart(QWidget* parent) : QChartView(parent) {
  setObjectName(QStringLiteral("historyChart"));
  setRenderHint(QPainter::Antialiasing);
  setMinimumHeight(120);
  // The view's own chart: one set in its place would be released by the view, not deleted.
  QChart* c = chart();
  c->setMargins(QMargins(2, 2, 2, 2));
  c->legend()->setAlignment(Qt::AlignBottom);
  c->legend()->setFont(ProportionalFont(11));
  SetDays({});
}

void HistoryChart::SetDays(const std::vector<DayRow>& days) {
  days_ = days;
  hint_.clear();
  QChart* c = chart();
  c->removeAllSeries();
  for (QAbstractAxis* axis : c->axes()) {
    c->removeAxis(axis);
    delete axis;
  }
  resultSets_.clear();

  auto* bars = new QStackedBarSeries;
  for (const ResultLook& look : kResults) {
    auto* set = new QBarSet(QString::fromUtf8(look.Caption));
    set->setColor(QColor(look.Colour));
    set->setBorderColor(QColor(look.Colour));
    for (const DayRow& day : days_) *set << static_cast<qreal>(day.*look.Count);
    bars->append(set);
    resultSets_.push_back(set);
    connect(set, &QBarSet::hovered, this, [this](bool inside, int index) { OnHovered(inside, index); });
  }
  ownDown_ = new QLineSeries;
  ownDown_->setName(QStringLiteral("味方沈没"));
  ownDown_->setPen(QPen(QColor(0x8b1a1a), 2));
  enemyDown_ = new QLineSeries;
  enemyDown_->setName(QStringLiteral("敵沈没"));
  enemyDown_->setPen(QPen(QColor(0x1a3f8b), 2, Qt::DashLine));
  // A range of one day is one point: without its marker the line would not show at all.
  for (QLineSeries* line : {ownDown_, enemyDown_}) {
    line->setPointsVisible(true);
    line->setMarkerSize(6);
  }
  QStringList dates;
  qreal highest = 1;
  for (std::size_t i = 0; i < days_.size(); ++i) {
    const DayRow& d = days_[i];
    // The year is in the range above; a day needs only month and day.
    dates << QString::fromStdString(d.Date.size() == 10 ? d.Date.substr(5, 2) + "/" + d.Date.substr(8) : d.Date);
    ownDown_->append(static_cast<qreal>(i), static_cast<qreal>(d.OwnDown));
    enemyDown_->append(static_cast<qreal>(i), static_cast<qreal>(d.EnemyDown));
    const qreal battles = static_cast<qreal>(d.Won + d.Lost + d.Drawn + d.Escaped + d.Withdrawn);
    highest = std::max({highest, battles, static_cast<qreal>(d.OwnDown), static_cast<qreal>(d.EnemyDown)});
  }
  c->addSeries(bars);
  c->addSeries(ownDown_);
  c->addSeries(enemyDown_);

  auto* axisX = new QBarCategoryAxis;
  axisX->append(dates);
  axisX->setLabelsFont(ProportionalFont(10));
  // A month of days side by side leaves each label less room than its text: upright, the
  // labels need only their height.
  axisX->setLabelsAngle(days_.size() > 10 ? -90 : 0);
  axisX->setTruncateLabels(false);
  auto* axisY = new QValueAxis;
  // Room above the highest point, so that a line's point there is drawn whole, not cut in
  // half by the plot's edge.
  axisY->setRange(0, highest > 0 ? highest * 1.1 : 1);
  axisY->setLabelFormat(QStringLiteral("%d"));
  axisY->setLabelsFont(ProportionalFont(10));
  axisY->applyNiceNumbers();
  c->addAxis(axisX, Qt::AlignBottom);
  c->addAxis(axisY, Qt::AlignLeft);
  for (QAbstractSeries* series : c->series()) {
    series->attachAxis(axisX);
    series->attachAxis(axisY);
  }
}

void HistoryChart::OnHovered(bool inside, int day) {
  if (!inside || day < 0 || static_cast<std::size_t>(day) >= days_.size()) {
    hint_.clear();
    QToolTip::hideText();
    return;
  }
  hint_ = ToQt(HistoryDayHint(days_[static_cast<std::size_t>(day)]));
  QToolTip::showText(QCursor::pos(), hint_, this);
}

// The scene answers the toolkit's own hint request with its items' hints, which are none:
// that would take the bar's figures away again as soon as the pointer rests.
bool HistoryChart::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::ToolTip && !hint_.isEmpty()) {
    QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), hint_, this);
    return true;
  }
  return QChartView::viewportEvent(event);
}

}  // namespace mizuto
