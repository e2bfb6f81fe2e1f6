#include "gui/widgets/row_icons.h"

#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>

namespace mizuto {

namespace {

const QColor kGreen(0x20, 0xb0, 0x30);
const QColor kRed(0xe0, 0x28, 0x28);
const QColor kGrey(0x9a, 0x9a, 0x9a);
const QColor kDarkGreen(0x0a, 0x5a, 0x1e);
const QColor kBlue(0x10, 0x30, 0xf0);
const QColor kOutline(0x30, 0x30, 0x30);

enum Mark : unsigned { kNone = 0, kCheck = 1, kShades = 2, kQuestion = 4 };

struct IconLook {
  QColor Body;
  QColor Split;  // the lower-right half's colour when the figure is split, else invalid
  unsigned Marks;
};

// A head and shoulders, leaving room on the right for a mark.
QPainterPath FigurePath() {
  QPainterPath path;
  path.addEllipse(QRectF(3.5, 0.5, 7, 7));
  QPainterPath body;
  body.moveTo(1.5, 15.5);
  body.lineTo(1.5, 12.0);
  body.cubicTo(1.5, 9.0, 4.0, 8.0, 7.0, 8.0);
  body.cubicTo(10.0, 8.0, 12.5, 9.0, 12.5, 12.0);
  body.lineTo(12.5, 15.5);
  body.closeSubpath();
  return path.united(body);
}

void DrawFigure(QPainter& p, const IconLook& look) {
  const QPainterPath figure = FigurePath();
  p.fillPath(figure, look.Body);
  if (look.Split.isValid()) {
    // Lower-right triangle of the square in the second colour.
    QPainterPath half;
    half.addPolygon(QPolygonF({QPointF(16, 0), QPointF(16, 16), QPointF(0, 16)}));
    half.closeSubpath();
    p.fillPath(figure.intersected(half), look.Split);
  }
  p.setPen(QPen(kOutline, 1.0));
  p.drawPath(figure);
}

void DrawShades(QPainter& p) {
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::black);
  p.drawRect(QRectF(3.5, 2.5, 3, 2));
  p.drawRect(QRectF(7.5, 2.5, 3, 2));
  p.drawRect(QRectF(6.0, 3.0, 2, 1));  // the bridge
}

void DrawCheck(QPainter& p) {
  QPen pen(kBlue, 2.0);
  pen.setCapStyle(Qt::RoundCap);
  pen.setJoinStyle(Qt::RoundJoin);
  p.setPen(pen);
  p.setBrush(Qt::NoBrush);
  p.drawPolyline(QPolygonF({QPointF(8.5, 10.5), QPointF(11.0, 13.5), QPointF(15.0, 7.0)}));
}

void DrawQuestion(QPainter& p) {
  QPen pen(kBlue, 1.6);
  pen.setCapStyle(Qt::FlatCap);
  p.setPen(pen);
  p.setBrush(Qt::NoBrush);
  QPainterPath hook;
  hook.moveTo(10.0, 4.0);
  hook.cubicTo(10.0, 0.5, 15.0, 0.5, 15.0, 3.5);
  hook.cubicTo(15.0, 6.0, 12.5, 6.0, 12.5, 9.0);
  p.drawPath(hook);
  p.setPen(Qt::NoPen);
  p.setBrush(kBlue);
  p.drawRect(QRectF(11.7, 10.5, 1.8, 1.8));
}

QIcon MakeIcon(const IconLook& look) {
  QImage image(kRowIconSize, kRowIconSize, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  {
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    DrawFigure(p, look);
    if (look.Marks & kShades) DrawShades(p);
    if (look.Marks & kCheck) DrawCheck(p);
    if (look.Marks & kQuestion) DrawQuestion(p);
  }
  return QIcon(QPixmap::fromImage(image));
}

QList<QIcon>* icons = nullptr;

// Pixmaps must go before the application object does; a later application draws them anew.
void DropIcons() {
  delete icons;
  icons = nullptr;
}

}  // namespace

const QList<QIcon>& RowIcons() {
  if (icons == nullptr) {
    const QColor none;
    const IconLook looks[kRowIconCount] = {
        {kGrey, none, kQuestion},              // 0
        {kGreen, none, kNone},                 // 1
        {kRed, none, kNone},                   // 2
        {kGreen, kRed, kNone},                 // 3
        {kDarkGreen, none, kNone},             // 4
        {kDarkGreen, kRed, kNone},             // 5
        {kDarkGreen, none, kCheck},            // 6
        {kDarkGreen, none, kShades},           // 7
        {kRed, none, kCheck},                  // 8
        {kRed, none, kShades},                 // 9
        {kRed, none, kCheck | kShades},        // 10
        {kGreen, kRed, kCheck},                // 11
        {kGreen, kRed, kShades},               // 12
        {kGreen, kRed, kCheck | kShades},      // 13
        {kDarkGreen, none, kCheck | kShades},  // 14
        {kDarkGreen, kRed, kCheck},            // 15
        {kDarkGreen, kRed, kShades},           // 16
    };
    icons = new QList<QIcon>();
    icons->reserve(kRowIconCount);
    for (const IconLook& look : looks) icons->append(MakeIcon(look));
    qAddPostRoutine(DropIcons);
  }
  return *icons;
}

}  // namespace mizuto
