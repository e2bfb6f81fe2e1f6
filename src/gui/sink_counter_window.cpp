#include "gui/sink_counter_window.h"

#include <QCloseEvent>
#include <QLabel>
#include <QVBoxLayout>

#include "gui/gui_text.h"

namespace mizuto {

SinkCounterWindow::SinkCounterWindow(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("Form4"));
  setWindowTitle(QStringLiteral("撃沈カウント"));
  setFont(ProportionalFont(12));
  setFixedSize(209, 26);
  setWindowOpacity(128.0 / 255.0);
  // The game keeps the keyboard while the score floats above it.
  setAttribute(Qt::WA_ShowWithoutActivating);

  label1_ = new QLabel(QStringLiteral("味方 0 - 0 敵"), this);
  label1_->setObjectName(QStringLiteral("Label1"));
  label1_->setAlignment(Qt::AlignCenter);
  QFont font = ProportionalFont(21);
  font.setBold(true);
  label1_->setFont(font);
  QPalette palette = label1_->palette();
  palette.setColor(QPalette::WindowText, Qt::red);
  label1_->setPalette(palette);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(label1_);
}

void SinkCounterWindow::SetText(const QString& text) { label1_->setText(text); }

QString SinkCounterWindow::Text() const { return label1_->text(); }

void SinkCounterWindow::ShowCentredOn(QWidget* mainWindow) {
  auto centre = [this, mainWindow]() {
    if (!mainWindow) return;
    QRect mine = frameGeometry();
    mine.moveCenter(mainWindow->frameGeometry().center());
    move(mine.topLeft());
  };
  centre();
  show();
  // The frame's size is known only once the window system has the window: centre again
  // with it.
  centre();
}

void SinkCounterWindow::closeEvent(QCloseEvent* event) {
  if (event->spontaneous())
    event->ignore();
  else
    QWidget::closeEvent(event);
}

}  // namespace mizuto
