#include "gui/widgets/gui_dialogs.h"

#include <QDialog>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QMessageBox>
#include <QSpacerItem>

namespace mizuto {

namespace {

// The toolkit's chooser writes dates and sizes in the system's language ("1 May"): this
// view of its files writes them in the program's (Japanese, the default locale).
class ProgramLocaleFiles : public QIdentityProxyModel {
 public:
  using QIdentityProxyModel::QIdentityProxyModel;

  QVariant data(const QModelIndex& index, int role) const override {
    const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
    if (role != Qt::DisplayRole || files == nullptr || (index.column() != 1 && index.column() != 3)) {
      return QIdentityProxyModel::data(index, role);
    }
    const QFileInfo info = files->fileInfo(mapToSource(index));
    if (index.column() == 3) return QLocale().toString(info.lastModified(), QLocale::ShortFormat);
    return info.isDir() ? QString() : QLocale().formattedDataSize(info.size());
  }
};

// A chooser of the toolkit's own, in the program's language.
QString Choose(QWidget* parent, const QString& title, const QString& folder, const QString& filter,
               QFileDialog::FileMode mode) {
  QFileDialog chooser(parent, title, folder, filter);
  chooser.setOption(QFileDialog::DontUseNativeDialog);
  if (mode == QFileDialog::Directory) chooser.setOption(QFileDialog::ShowDirsOnly);
  chooser.setFileMode(mode);
  chooser.setProxyModel(new ProgramLocaleFiles(&chooser));
  if (chooser.exec() != QDialog::Accepted) return QString();
  return chooser.selectedFiles().value(0);
}

// A window system draws a box's title in its title bar, which is only as wide as the box: a
// short text under a long title would cut the title. The box is made wide enough for it.
void RoomForTitle(QMessageBox& box) {
  auto* grid = qobject_cast<QGridLayout*>(box.layout());
  if (grid == nullptr) return;
  // The title bar's own font is the window system's: the box's, with room for the icon and
  // the title buttons, stands in for it.
  const int width = box.fontMetrics().horizontalAdvance(box.windowTitle()) + 160;
  grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
                grid->rowCount(), 0, 1, grid->columnCount());
}

int Ask(QMessageBox::Icon icon, QWidget* parent, const QString& caption, const QString& text,
        QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton) {
  QMessageBox box(icon, caption, text, buttons, parent);
  if (defaultButton != QMessageBox::NoButton) box.setDefaultButton(defaultButton);
  RoomForTitle(box);
  return box.exec();
}

}  // namespace

GuiDialogs RealGuiDialogs() {
  GuiDialogs d;
  d.Message = [](QWidget* parent, const QString& text, const QString& caption) {
    Ask(QMessageBox::NoIcon, parent, caption, text, QMessageBox::Ok, QMessageBox::NoButton);
  };
  d.AskYesNo = [](QWidget* parent, const QString& text, const QString& caption) {
    return Ask(QMessageBox::Question, parent, caption, text, QMessageBox::Yes | QMessageBox::No,
               QMessageBox::No) == QMessageBox::Yes;
  };
  d.Error = [](QWidget* parent, const QString& text) {
    Ask(QMessageBox::Critical, parent, QStringLiteral("Mizuto"), text, QMessageBox::Ok,
        QMessageBox::NoButton);
  };
  d.OpenFile = [](QWidget* parent, const QString& initialFolder, const QString& filter) {
    return Choose(parent, QString(), initialFolder, filter, QFileDialog::ExistingFile);
  };
  d.SaveFile = [](QWidget* parent, const QString& suggested, const QString& filter) {
    QFileDialog chooser(parent, QString(), suggested, filter);
    chooser.setOption(QFileDialog::DontUseNativeDialog);
    chooser.setAcceptMode(QFileDialog::AcceptSave);
    chooser.setFileMode(QFileDialog::AnyFile);
    chooser.setDefaultSuffix(QStringLiteral("csv"));
    chooser.setProxyModel(new ProgramLocaleFiles(&chooser));
    if (chooser.exec() != QDialog::Accepted) return QString();
    return chooser.selectedFiles().value(0);
  };
  d.BrowseFolder = [](QWidget* parent, const QString& title, const QString& startFolder) {
    QString folder = Choose(parent, title, startFolder, QString(), QFileDialog::Directory);
    while (folder.size() > 1 && (folder.endsWith('/') || folder.endsWith('\\'))) folder.chop(1);
    return folder;
  };
  d.ChooseFileToWrite = [](QWidget* parent, const QString& title, const QString& start) {
    return Choose(parent, title, start, QStringLiteral("テキストファイル (*.txt);;すべてのファイル (*)"),
                  QFileDialog::AnyFile);
  };
  d.Exec = [](QDialog& dialog) { return dialog.exec(); };
  return d;
}

}  // namespace mizuto
