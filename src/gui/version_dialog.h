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
  QLabel* image1_;
  QLabel* staticText1_;
  QLabel* staticText2_;
};

// Shows the version dialog modally (through the dialog seam) and releases it afterwards.
void VersionExecute(const App& app, QWidget* parent, GuiDialogs& dialogs);

}  // namespace mizuto
