#include "gui/widgets/gui_text.h"

#include <QStringList>

#include "text/codec.h"

namespace mizuto {

QString ToQt(std::string_view sjis) {
  const std::string utf8 = SjisToUtf8(sjis);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string FromQt(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  return Utf8ToSjis(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

namespace {

QFont FontOf(const QStringList& families, int pixelHeight) {
  QFont font;
  font.setFamilies(families);
  font.setPixelSize(pixelHeight);
  return font;
}

}  // namespace

QFont ProportionalFont(int pixelHeight) {
  return FontOf({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"),
                 QStringLiteral("IPAexGothic"), QStringLiteral("Noto Sans CJK JP"),
                 QStringLiteral("sans-serif")},
                pixelHeight);
}

QFont FixedFont(int pixelHeight) {
  QFont font = FontOf({QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAGothic"),
                       QStringLiteral("Noto Sans Mono CJK JP"), QStringLiteral("monospace")},
                      pixelHeight);
  font.setStyleHint(QFont::TypeWriter);
  return font;
}

}  // namespace mizuto
