// The window layer's side of the text rule: the core speaks Shift-JIS, Qt speaks UTF-16.
// Conversion happens here and nowhere else in the widgets.
#pragma once

#include <QFont>
#include <QString>
#include <string>
#include <string_view>

namespace mizuto {

// Shift-JIS bytes -> QString.
QString ToQt(std::string_view sjis);
// QString -> Shift-JIS bytes (unmappable characters become "?").
std::string FromQt(const QString& text);

// The program's fonts at a pixel height: the proportional Gothic face ("ＭＳ Ｐゴシック") and
// the fixed-pitch one ("ＭＳ ゴシック"), each with the faces a Linux desktop has instead.
QFont ProportionalFont(int pixelHeight);
QFont FixedFont(int pixelHeight);

}  // namespace mizuto
