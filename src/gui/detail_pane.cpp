#include "gui/detail_pane.h"

#include <QColor>
#include <QFrame>
#include <QPalette>
#include <QPointer>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextOption>

#include "gui/gui_text.h"

namespace mizuto {

namespace {

QTextCharFormat LineFormat(const DetailLine& line) {
  QTextCharFormat format;
  format.setForeground(QColor::fromRgb(static_cast<QRgb>(line.Colour & 0xFFFFFFu)));
  format.setFontWeight(line.Bold ? QFont::Bold : QFont::Normal);
  return format;
}

// A line break inside a text would start a paragraph of its own and put the pane out of
// step with the lines; the reader splits the log at line ends, so this only guards.
void KeepOnOneParagraph(QString& text) {
  for (QChar& ch : text) {
    const char16_t u = ch.unicode();
    if (u == u'\n' || u == u'\r' || u == QChar::ParagraphSeparator || u == QChar::LineSeparator ||
        u == 0xFDD0 || u == 0xFDD1) {  // the document's frame marks
      ch = QChar(u' ');
    }
  }
}

}  // namespace

void SetUpDetailPane(QTextEdit* pane) {
  pane->setReadOnly(true);
  pane->setFrameShape(QFrame::NoFrame);
  pane->setFont(ProportionalFont(12));
  pane->document()->setDefaultFont(ProportionalFont(12));
  pane->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  pane->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // Japanese lines have no spaces to break at: wrap at the pane's edge, anywhere if need be.
  pane->setLineWrapMode(QTextEdit::WidgetWidth);
  pane->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  pane->setAcceptRichText(false);
  QPalette palette = pane->palette();
  for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    palette.setColor(group, QPalette::Base, Qt::black);
    palette.setColor(group, QPalette::Text, Qt::white);
  }
  pane->setPalette(palette);
  pane->setAutoFillBackground(true);
}

void FillDetailPane(QTextEdit* pane, const std::vector<DetailLine>& lines) {
  const bool updates = pane->updatesEnabled();
  pane->setUpdatesEnabled(false);

  // The lines go into a document that no view shows yet: a shown document lays itself out
  // again after every paragraph, which made a big transcript several times slower.
  QTextDocument* old = pane->document();
  auto* document = new QTextDocument(pane);
  document->setUndoRedoEnabled(false);  // a read-only transcript needs no undo history
  document->setDefaultFont(old->defaultFont());
  document->setDocumentMargin(old->documentMargin());
  document->setDefaultStyleSheet(old->defaultStyleSheet());

  QTextCursor cursor(document);
  const QTextBlockFormat blockFormat;
  QTextCharFormat format;
  std::uint32_t formatColour = 0;
  bool formatBold = false;
  bool haveFormat = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const DetailLine& line = lines[i];
    if (!haveFormat || line.Colour != formatColour || line.Bold != formatBold) {
      format = LineFormat(line);
      formatColour = line.Colour;
      formatBold = line.Bold;
      haveFormat = true;
    }
    if (i == 0) {
      cursor.setBlockCharFormat(format);
    } else {
      cursor.insertBlock(blockFormat, format);
    }
    QString text = ToQt(line.Text);
    KeepOnOneParagraph(text);
    cursor.insertText(text, format);
  }

  // The edit deletes a document it made itself when it gets another; one that a previous
  // fill gave it is ours to delete.
  const QPointer<QTextDocument> previous(old);
  pane->setDocument(document);
  if (previous && previous->parent() == pane) delete previous.data();

  // The transcript is read from its first line.
  pane->setTextCursor(QTextCursor(document));
  pane->verticalScrollBar()->setValue(0);
  pane->setUpdatesEnabled(updates);
}

}  // namespace mizuto
