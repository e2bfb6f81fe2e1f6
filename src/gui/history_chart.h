// The History page's chart: the battles of each day stacked by result, and the ships each
// side lost that day as two lines. Hovering a day's bar shows its figures.
#pragma once

#include <QChartView>
#include <vector>

#include "history/history_rows.h"

class QBarSet;
class QLineSeries;

namespace mizuto {

class HistoryChart : public QChartView {
  Q_OBJECT

 public:
  explicit HistoryChart(QWidget* parent = nullptr);

  // Draws these days (ascending); none: an empty chart.
  void SetDays(const std::vector<DayRow>& days);

  // The bars by result (勝, 敗, 引分, 逃げられ, 撤退) and the lines (味方沈没, 敵沈没).
  const std::vector<QBarSet*>& ResultSets() const { return resultSets_; }
  QLineSeries* OwnDownLine() const { return ownDown_; }
  QLineSeries* EnemyDownLine() const { return enemyDown_; }
  // The hint shown for the bar last hovered (empty when the pointer left it).
  QString Hint() const { return hint_; }

 protected:
  bool viewportEvent(QEvent* event) override;

 private:
  void OnHovered(bool inside, int day);

  std::vector<DayRow> days_;
  std::vector<QBarSet*> resultSets_;
  QLineSeries* ownDown_ = nullptr;
  QLineSeries* enemyDown_ = nullptr;
  QString hint_;
};

}  // namespace mizuto
