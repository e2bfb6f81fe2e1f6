// The program's icon: a small sailing ship on a blue disc, drawn here rather than shipped
// as an image file.
#pragma once

#include <QIcon>

namespace mizuto {

// The icon with hand-drawn pixmaps of 16, 32 and 48 pixels.
QIcon ProgramIcon();

}  // namespace mizuto
