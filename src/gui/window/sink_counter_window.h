// The small half-transparent window that floats above the game in active mode and shows
// the running score of ships put out of action. It shows what the core's sink counter
// text says; the main window shows, hides and rewrites it.
#pragma once

#include <QWidget>

class QLabel;

namespace mizuto {

class SinkCounterWindow : public QWidget {
  Q_OBJECT

 public:
  // The height of the window's own narrow caption bar above the score.
  static constexpr int kCaptionHeight = 14;

  // A tool window owned by the main window (`owner`), created hidden.
  explicit SinkCounterWindow(QWidget* owner);

  void SetText(const QString& text);
  QString Text() const;
  // Shows the window centred on the main window, without taking the keyboard focus.
  void ShowCentredOn(QWidget* mainWindow);

 protected:
  // Only switching active mode off hides the window: a close request from the window
  // system (there is no close button, but a keyboard shortcut can still ask) is refused.
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QLabel* caption_;
  QLabel* scoreLabel_;
  QPoint dragOffset_;  // where the caption was grabbed, while it is dragged by hand
  bool dragging_ = false;
};

}  // namespace mizuto
