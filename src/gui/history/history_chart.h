// The History page's chart, in two views. By day: the battles of each day of the range
// stacked by result on their own axis, and the ships each side lost that day as two lines
// on another, every day of the range in its place. By week: the win rate of each week as
// a line, the number of battles beside each point. Resting the pointer anywhere in a day's
// (or week's) column shows its figures.
#pragma once

#include <QChartView>
#include <vector>

#include "app/season/history_chart_data.h"

class QBarCategoryAxis;
class QBarSet;
class QGraphicsSimpleTextItem;
class QLineSeries;

namespace mizuto {

class HistoryChart : public QChartView {
  Q_OBJECT

 public:
  enum class View { Days, Weeks };

  explicit HistoryChart(QWidget* parent = nullptr);

  // Draws these days (ascending, every day of the range: FillDays); none: an empty chart.
  void SetDays(const std::vector<DayRow>& days);
  void SetView(View view);
  View CurrentView() const { return view_; }

  // The day view's bars by result (勝, 敗, 引分, 逃げられ, 撤退) and lines (味方沈没, 敵沈没).
  const std::vector<QBarSet*>& ResultSets() const { return resultSets_; }
  QLineSeries* OwnDownLine() const { return ownDown_; }
  QLineSeries* EnemyDownLine() const { return enemyDown_; }
  // The week view's line and the battles written beside its points.
  QLineSeries* WinRateLine() const { return winRate_; }
  QStringList WeekBattleLabels() const;
  const std::vector<WeekRow>& Weeks() const { return weeks_; }
  // The hint for the column last hovered (empty when the pointer left the plot).
  QString Hint() const { return hint_; }
  // The column (day or week) under a point of the viewport; -1 outside the plot.
  int ColumnAt(const QPoint& viewportPoint) const;

 protected:
  bool viewportEvent(QEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Rebuild();
  void BuildDays();
  void BuildWeeks();
  void LabelAxis();
  void PlaceWeekLabels();
  void ShowHint(int column, const QPoint& globalPos);

  View view_ = View::Days;
  std::vector<DayRow> days_;
  std::vector<WeekRow> weeks_;
  std::vector<QBarSet*> resultSets_;
  QLineSeries* ownDown_ = nullptr;
  QLineSeries* enemyDown_ = nullptr;
  QLineSeries* winRate_ = nullptr;
  QAbstractSeries* columns_ = nullptr;  // the series whose x values are the columns
  QBarCategoryAxis* axisX_ = nullptr;
  std::vector<QGraphicsSimpleTextItem*> weekLabels_;
  QString hint_;
};

}  // namespace mizuto
