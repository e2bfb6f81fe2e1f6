// How the battle list draws its rows. A row of a battle with a score ends in the NPC mark
// ("(NPC)" or one space) and the score: drawn as the core wrote them, a battle relabelled as
// NPC would push its score four columns to the right of every other row's. The list draws
// the mark in a slot as wide as "(NPC)", so the scores stay in one column; the row's text
// itself is the core's.
#pragma once

#include <QStyledItemDelegate>

namespace mizuto {

class BattleRowDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  QString displayText(const QVariant& value, const QLocale& locale) const override;
};

}  // namespace mizuto
