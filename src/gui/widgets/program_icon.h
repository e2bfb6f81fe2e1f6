// The program's icon: a small sailing ship on a blue disc, drawn here rather than shipped
// as an image file.
#pragma once

#include <QIcon>
#include <QImage>

namespace mizuto {

// The icon with hand-drawn pixmaps of 16, 32 and 48 pixels.
QIcon ProgramIcon();

// The picture at `size` pixels square (the desktop's icon files are made from it).
QImage ProgramIconImage(int size);

}  // namespace mizuto
