#include "gui/gui_dialogs.h"

#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>

namespace mizuto {

GuiDialogs RealGuiDialogs() {
  GuiDialogs d;
  d.Message = [](QWidget* parent, const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, parent);
    box.exec();
  };
  d.AskYesNo = [](QWidget* parent, const QString& text, const QString& caption) {
    return QMessageBox::question(parent, caption, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
  };
  d.Error = [](QWidget* parent, const QString& text) {
    QMessageBox::critical(parent, QStringLiteral("Mizuto"), text, QMessageBox::Ok);
  };
  d.OpenFile = [](QWidget* parent, const QString& initialFolder, const QString& filter) {
    return QFileDialog::getOpenFileName(parent, QString(), initialFolder, filter, nullptr,
                                        QFileDialog::DontUseNativeDialog);
  };
  d.BrowseFolder = [](QWidget* parent, const QString& title, const QString& startFolder) {
    QString folder = QFileDialog::getExistingDirectory(
        parent, title, startFolder, QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    while (folder.size() > 1 && (folder.endsWith('/') || folder.endsWith('\\'))) folder.chop(1);
    return folder;
  };
  d.Exec = [](QDialog& dialog) { return dialog.exec(); };
  return d;
}

}  // namespace mizuto
