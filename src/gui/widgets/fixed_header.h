// A table header whose thickness (the height of a horizontal header, the width of a vertical
// one) does not depend on its sections. A table view asks its headers for their size hint
// after every change of its model, and a header answers by laying out the text of up to two
// hundred sections: with a thousand names that cost more than the rest of a load's drawing.
// This one takes the thickness it was given, or measures once, and answers from that.
// Its sections' texts are cut with "…" where they do not fit.
#pragma once

#include <QHeaderView>

namespace mizuto {

class FixedHeader : public QHeaderView {
  Q_OBJECT

 public:
  // `thickness` in pixels, or -1 to measure it once, the first time there are sections.
  FixedHeader(Qt::Orientation orientation, int thickness, QWidget* parent = nullptr);

  QSize sizeHint() const override;
  // The text a section shows: with an elide mode, cut with "…" to the room its label has.
  QString ShownText(int logicalIndex) const;

 protected:
  // A style sheet's header draws the label without the elide mode and cuts a long text
  // anywhere, in the middle of a character: the text comes already cut from here.
  void initStyleOptionForIndex(QStyleOptionHeader* option, int logicalIndex) const override;

 private:
  mutable int thickness_;
};

}  // namespace mizuto
