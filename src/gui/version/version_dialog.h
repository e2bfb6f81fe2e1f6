// The Help menu's small "about" box: the program's icon, title and a one-line notice.
#pragma once

#include <QDialog>

class QLabel;

namespace mizuto {

struct App;
struct GuiDialogs;

class VersionDialog : public QDialog {
  Q_OBJECT

 public:
  VersionDialog(const App& app, QWidget* parent);

 private:
  QLabel* iconLabel_;
  QLabel* titleLabel_;
  QLabel* descriptionLabel_;
};

// Shows the version dialog modally (through the dialog seam) and releases it afterwards.
void ShowVersionDialog(const App& app, QWidget* parent, GuiDialogs& dialogs);

}  // namespace mizuto
