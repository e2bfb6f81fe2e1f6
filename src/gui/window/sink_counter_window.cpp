#include "gui/window/sink_counter_window.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <QWindow>

#include "gui/widgets/gui_text.h"

namespace mizuto {

// A window manager decides for itself which buttons a framed window gets, and some put
// minimise and close buttons on every title bar whatever the window asks for. So the window
// has no frame from the window system at all and draws its own narrow caption bar: titled,
// without a single button, with or without a window manager. Dragging the caption moves it.
SinkCounterWindow::SinkCounterWindow(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("sinkCounterWindow"));
  setWindowTitle(QStringLiteral("撃沈カウント"));
  setFont(ProportionalFont(12));
  setFixedSize(209, kCaptionHeight + 26);
  setWindowOpacity(128.0 / 255.0);
  // The game keeps the keyboard while the score floats above it.
  setAttribute(Qt::WA_ShowWithoutActivating);

  caption_ = new QLabel(windowTitle(), this);
  caption_->setObjectName(QStringLiteral("Caption"));
  caption_->setFixedHeight(kCaptionHeight);
  caption_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  caption_->setIndent(4);
  QFont captionFont = ProportionalFont(11);
  captionFont.setBold(true);
  caption_->setFont(captionFont);
  caption_->setAutoFillBackground(true);
  QPalette captionColours = caption_->palette();
  captionColours.setColor(QPalette::Window, QColor(0x0a, 0x24, 0x6a));  // a tool caption's blue
  captionColours.setColor(QPalette::WindowText, Qt::white);
  caption_->setPalette(captionColours);
  caption_->setCursor(Qt::SizeAllCursor);
  caption_->installEventFilter(this);

  scoreLabel_ = new QLabel(QStringLiteral("味方 0 - 0 敵"), this);
  scoreLabel_->setObjectName(QStringLiteral("scoreLabel"));
  scoreLabel_->setFixedHeight(26);
  scoreLabel_->setAlignment(Qt::AlignCenter);
  QFont font = ProportionalFont(21);
  font.setBold(true);
  scoreLabel_->setFont(font);
  QPalette palette = scoreLabel_->palette();
  palette.setColor(QPalette::WindowText, Qt::red);
  scoreLabel_->setPalette(palette);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(caption_);
  layout->addWidget(scoreLabel_);
}

void SinkCounterWindow::SetText(const QString& text) { scoreLabel_->setText(text); }

QString SinkCounterWindow::Text() const { return scoreLabel_->text(); }

void SinkCounterWindow::ShowCentredOn(QWidget* mainWindow) {
  if (mainWindow) {
    QRect mine = frameGeometry();
    mine.moveCenter(mainWindow->frameGeometry().center());
    move(mine.topLeft());
  }
  show();
}

void SinkCounterWindow::closeEvent(QCloseEvent* event) {
  if (event->spontaneous())
    event->ignore();
  else
    QWidget::closeEvent(event);
}

bool SinkCounterWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched != caption_) return QWidget::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::MouseButtonPress: {
      auto* press = static_cast<QMouseEvent*>(event);
      if (press->button() != Qt::LeftButton) break;
      // The window manager moves the window when there is one; by hand otherwise.
      dragging_ = !(windowHandle() && windowHandle()->startSystemMove());
      dragOffset_ = press->globalPosition().toPoint() - pos();
      return true;
    }
    case QEvent::MouseMove:
      if (dragging_) {
        move(static_cast<QMouseEvent*>(event)->globalPosition().toPoint() - dragOffset_);
        return true;
      }
      break;
    case QEvent::MouseButtonRelease:
      dragging_ = false;
      break;
    default:
      break;
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace mizuto
