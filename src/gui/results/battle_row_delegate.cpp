#include "gui/results/battle_row_delegate.h"

#include <QRegularExpression>

namespace mizuto {

QString BattleRowDelegate::displayText(const QVariant& value, const QLocale& locale) const {
  const QString row = QStyledItemDelegate::displayText(value, locale);
  // "... : opponent" + ' ' + mark + ' ' + score, the mark being "(NPC)" or a space.
  static const QRegularExpression scored(QStringLiteral("^(.* )(\\(NPC\\)| ) (\\d+-\\d+)$"));
  const QRegularExpressionMatch m = scored.match(row);
  if (!m.hasMatch()) return row;
  return m.captured(1) + m.captured(2).leftJustified(5, QLatin1Char(' ')) + QLatin1Char(' ') +
         m.captured(3);
}

}  // namespace mizuto
