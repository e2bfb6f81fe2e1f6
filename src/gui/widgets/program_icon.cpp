#include "gui/widgets/program_icon.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace mizuto {

// Drawn on a 48-unit grid and scaled, so every size shows the same picture.
QImage ProgramIconImage(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 48.0, size / 48.0);

  // Sea-blue disc with a darker rim.
  p.setPen(QPen(QColor(0x12, 0x3a, 0x78), 2.0));
  p.setBrush(QColor(0x2a, 0x6f, 0xc9));
  p.drawEllipse(QRectF(1.5, 1.5, 45, 45));

  // Mast.
  p.setPen(QPen(QColor(0x5a, 0x3a, 0x1a), 1.6));
  p.drawLine(QPointF(23, 8), QPointF(23, 33));

  // Two sails, the main one before the mast and a jib behind it.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xfa, 0xf6, 0xe8));
  QPainterPath mainSail;
  mainSail.moveTo(24.5, 9);
  mainSail.quadTo(35, 20, 35, 31);
  mainSail.lineTo(24.5, 31);
  mainSail.closeSubpath();
  p.drawPath(mainSail);
  QPainterPath jib;
  jib.moveTo(21.5, 12);
  jib.lineTo(21.5, 31);
  jib.lineTo(13, 31);
  jib.closeSubpath();
  p.drawPath(jib);

  // Hull.
  p.setBrush(QColor(0x7a, 0x45, 0x1c));
  QPainterPath hull;
  hull.moveTo(9, 33);
  hull.lineTo(39, 33);
  hull.lineTo(34, 39);
  hull.lineTo(14, 39);
  hull.closeSubpath();
  p.drawPath(hull);

  // A wave under the bow, left out at 16 px where it would only blur.
  if (size >= 32) {
    p.setPen(QPen(QColor(0xd8, 0xec, 0xff), 1.4));
    p.setBrush(Qt::NoBrush);
    QPainterPath wave;
    wave.moveTo(10, 42);
    wave.quadTo(14, 40, 18, 42);
    wave.quadTo(22, 44, 26, 42);
    wave.quadTo(30, 40, 34, 42);
    wave.quadTo(36, 43, 38, 42);
    p.drawPath(wave);
  }
  p.end();
  return image;
}

QIcon ProgramIcon() {
  QIcon icon;
  for (int size : {16, 32, 48}) icon.addPixmap(QPixmap::fromImage(ProgramIconImage(size)));
  return icon;
}

}  // namespace mizuto
