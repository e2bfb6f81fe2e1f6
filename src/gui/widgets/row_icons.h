// The small pictures in front of the tally table's names: who stood on which side and who
// took whom out, at a glance.
#pragma once

#include <QIcon>
#include <QList>

namespace mizuto {

// The 17 row icons, 16 x 16 pixels, indexed as the core's TallyRow::Icon:
//   0 grey figure with a blue question mark (no side recorded)
//   1 green figure, 2 red figure, 3 figure split diagonally green / red
//   8 red with a check mark, 9 red with sunglasses, 10 red with both
//  11 split with a check mark, 12 split with sunglasses, 13 split with both
//   4-7 and 14-16 the same kinds of figures in dark green; the table never picks them.
// Drawn once, on first use (a QGuiApplication must exist by then).
const QList<QIcon>& RowIcons();

inline constexpr int kRowIconCount = 17;
inline constexpr int kRowIconSize = 16;

}  // namespace mizuto
