// Writes the program's icon as PNG files for the desktop's icon theme:
//   mizuto_icon OUTDIR SIZE...   ->  OUTDIR/SIZExSIZE/apps/mizuto.png
// The window draws the same picture (gui/widgets/program_icon.cpp), so the menu, the launcher and
// the window's title bar show one icon.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "gui/widgets/program_icon.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: mizuto_icon OUTDIR SIZE...\n");
    return 2;
  }
  // Painting needs no display; the offscreen platform lets this run on a build machine.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication application(argc, argv);
  const QString out = QString::fromLocal8Bit(argv[1]);
  for (int i = 2; i < argc; ++i) {
    const int size = std::atoi(argv[i]);
    if (size < 16 || size > 1024) {
      std::fprintf(stderr, "mizuto_icon: %s is no icon size\n", argv[i]);
      return 2;
    }
    const QString folder = QStringLiteral("%1/%2x%2/apps").arg(out).arg(size);
    const QString file = folder + QStringLiteral("/mizuto.png");
    if (!QDir().mkpath(folder) || !mizuto::ProgramIconImage(size).save(file, "PNG")) {
      std::fprintf(stderr, "mizuto_icon: cannot write %s\n", qPrintable(file));
      return 1;
    }
  }
  return 0;
}
