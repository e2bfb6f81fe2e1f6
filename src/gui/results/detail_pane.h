// The battle detail pane: the transcript lines that the core rendered, each in its colour and
// weight, white on black, long lines wrapped at the pane's width.
//
// A transcript of every battle of a big log runs to a hundred thousand lines and more. The
// pane reads the core's lines in place and lays out only the lines it shows, so showing a new
// transcript costs the same whatever its length; the scroll bar counts lines.
#pragma once

#include <QAbstractScrollArea>
#include <QFont>
#include <QString>
#include <vector>

#include "app/parts/view_models.h"

class QTextLayout;

namespace mizuto {

class DetailPane : public QAbstractScrollArea {
  Q_OBJECT

 public:
  // `lines` must outlive the pane; the pane reads them whenever it draws.
  explicit DetailPane(const std::vector<DetailLine>& lines, QWidget* parent = nullptr);

  // The lines were replaced: the pane shows the new ones from their first line (or with their
  // last line at the bottom, `atEnd`), nothing chosen.
  void LinesReplaced(bool atEnd = false);

  // All lines, one per text line, as a copy of the whole pane gives them.
  QString Text() const;
  // The lines the player chose with the mouse (or Ctrl+A), as Ctrl+C copies them.
  QString SelectedText() const;
  // The first line shown at the top, and where a line is drawn (empty when it is not shown).
  int FirstShownLine() const;
  QRect LineRect(int line) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  struct ShownLine {
    int Line;
    QRect Rect;  // in the viewport
  };
  // Lays out one line at the pane's width; its height.
  int LayOut(int line, QTextLayout& layout) const;
  // The lines that fit the viewport from the scroll bar's line downwards.
  std::vector<ShownLine> ShownLines() const;
  int LineAt(int y) const;
  int LineCount() const { return static_cast<int>(lines_.size()); }
  void UpdateScrollRange();
  void Choose(int line, bool extend);
  void Copy() const;

  const std::vector<DetailLine>& lines_;
  QFont bold_;
  int anchor_ = -1;  // the chosen lines: anchor_ .. end_, both included (-1: none)
  int end_ = -1;
};

}  // namespace mizuto
