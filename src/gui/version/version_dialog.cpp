#include "gui/version/version_dialog.h"

#include <QLabel>

#include "app/owner/app.h"
#include "gui/widgets/gui_dialogs.h"
#include "gui/widgets/gui_text.h"
#include "gui/widgets/program_icon.h"

namespace mizuto {

VersionDialog::VersionDialog(const App& app, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint) {
  setObjectName(QStringLiteral("versionDialog"));
  setWindowTitle(QStringLiteral("バージョン情報"));
  setFont(ProportionalFont(12));
  setFixedSize(228, 48);  // QDialog centres itself over its parent when shown

  iconLabel_ = new QLabel(this);
  iconLabel_->setObjectName(QStringLiteral("programIcon"));
  iconLabel_->setGeometry(8, 8, 33, 33);
  iconLabel_->setScaledContents(true);  // the 32-pixel picture stretched to the 33-pixel box
  iconLabel_->setPixmap(ProgramIcon().pixmap(32, 32));

  titleLabel_ = new QLabel(ToQt(app.ProgramTitle()), this);
  titleLabel_->setObjectName(QStringLiteral("programTitle"));
  titleLabel_->move(48, 8);
  titleLabel_->adjustSize();

  descriptionLabel_ = new QLabel(QStringLiteral("海戦チャットログ解析ツール"), this);
  descriptionLabel_->setObjectName(QStringLiteral("programDescription"));
  descriptionLabel_->setGeometry(48, 24, 175, descriptionLabel_->sizeHint().height());
}

void ShowVersionDialog(const App& app, QWidget* parent, GuiDialogs& dialogs) {
  VersionDialog dialog(app, parent);
  dialogs.Exec(dialog);
}

}  // namespace mizuto
