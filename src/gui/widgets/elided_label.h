// A one-line label that never asks for more room than it is given: a text wider than the
// label is cut with "…" (the whole text becomes its tooltip). The status bar's text is one, so
// a long status never widens the window.
#pragma once

#include <QLabel>

namespace mizuto {

class ElidedLabel : public QLabel {
  Q_OBJECT

 public:
  using QLabel::QLabel;

  QSize minimumSizeHint() const override;
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace mizuto
