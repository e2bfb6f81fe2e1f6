#include "gui/version_dialog.h"

#include <QLabel>

#include "app/app.h"
#include "gui/gui_dialogs.h"
#include "gui/gui_text.h"
#include "gui/program_icon.h"

namespace mizuto {

VersionDialog::VersionDialog(const App& app, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint) {
  setObjectName(QStringLiteral("versionDialog"));
  setWindowTitle(QStringLiteral("バージョン情報"));
  setFont(ProportionalFont(12));
  setFixedSize(228, 48);  // QDialog centres itself over its parent when shown

  image1_ = new QLabel(this);
  image1_->setObjectName(QStringLiteral("Image1"));
  image1_->setGeometry(8, 8, 33, 33);
  image1_->setScaledContents(true);  // the 32-pixel picture stretched to the 33-pixel box
  image1_->setPixmap(ProgramIcon().pixmap(32, 32));

  staticText1_ = new QLabel(ToQt(app.ProgramTitle()), this);
  staticText1_->setObjectName(QStringLiteral("StaticText1"));
  staticText1_->move(48, 8);
  staticText1_->adjustSize();

  staticText2_ = new QLabel(QStringLiteral("海戦チャットログ解析ツール"), this);
  staticText2_->setObjectName(QStringLiteral("StaticText2"));
  staticText2_->setGeometry(48, 24, 175, staticText2_->sizeHint().height());
}

void VersionExecute(const App& app, QWidget* parent, GuiDialogs& dialogs) {
  VersionDialog dialog(app, parent);
  dialogs.Exec(dialog);
}

}  // namespace mizuto
