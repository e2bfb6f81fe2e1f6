#include "gui/settings/settings_dialog.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/owner/app.h"
#include "gui/widgets/gui_dialogs.h"
#include "gui/widgets/gui_text.h"

namespace mizuto {

namespace {

constexpr int kEditHeight = 20;

// An edit box with its caption 3 pixels above it, the way the layout places both.
QLineEdit* LabeledEdit(QWidget* parent, const QString& name, const QString& caption, int x,
                       int y, int width, QLabel** label) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  edit->setGeometry(x, y, width, kEditHeight);
  *label = new QLabel(caption, parent);
  (*label)->setObjectName(name + QStringLiteral("Label"));
  (*label)->setBuddy(edit);
  (*label)->adjustSize();
  (*label)->move(x, y - 3 - (*label)->height());
  return edit;
}

QPushButton* Button(QWidget* parent, const QString& name, const QString& caption, int x,
                    int y, int width, int height) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setGeometry(x, y, width, height);
  button->setAutoDefault(false);
  return button;
}

// The edit's text as Shift-JIS. When the user left it as it was, the original bytes are
// kept: converting them to a QString and back is not always the identity (a malformed or
// duplicate-coded character would come back changed), and pressing OK alone must not
// rewrite a setting.
std::string EditedText(const QLineEdit& edit, const std::string& original) {
  const QString text = edit.text();
  if (text == ToQt(original)) return original;
  return FromQt(text);
}

// The folder is a path, shown and taken as UTF-8; one shown unchanged stays as it was (a
// setting read with bytes that are no Shift-JIS keeps them in the settings file).
Utf8Path EditedFolder(const QLineEdit& edit, const Utf8Path& original) {
  const QString text = edit.text();
  if (text == QString::fromStdString(original.Utf8())) return original;
  return Utf8Path::FromUtf8(text.toStdString());
}

}  // namespace

SettingsDialog::SettingsDialog(QWidget* parent, GuiDialogs& dialogs)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint),
      dialogs_(dialogs) {
  setObjectName(QStringLiteral("settingsDialog"));
  setWindowTitle(QStringLiteral("設定"));
  setFont(ProportionalFont(12));
  setFixedSize(353, 172);  // QDialog centres itself over its parent when shown

  logFolderEdit_ = LabeledEdit(this, QStringLiteral("logFolderEdit"),
                              QStringLiteral("ログフォルダ"), 8, 24, 297, &logFolderLabel_);
  browseButton_ = Button(this, QStringLiteral("browseButton"), QStringLiteral("参照"), 304, 24, 41, 20);
  logFolderWarning_ = new QLabel(QStringLiteral("このフォルダはありません"), this);
  logFolderWarning_->setObjectName(QStringLiteral("logFolderWarning"));
  logFolderWarning_->setStyleSheet(QStringLiteral("color: #c00000;"));
  logFolderWarning_->adjustSize();
  logFolderWarning_->move(logFolderLabel_->geometry().right() + 12, logFolderLabel_->y());
  versionCheckBox_ = new QCheckBox(QStringLiteral("起動時に最新バージョンをチェックする"), this);
  versionCheckBox_->setObjectName(QStringLiteral("versionCheckBox"));
  versionCheckBox_->setGeometry(8, 56, 233, versionCheckBox_->sizeHint().height());
  counterFileEdit_ = LabeledEdit(this, QStringLiteral("counterFileEdit"),
                                 QStringLiteral("撃沈カウントを書くファイル（配信用、空欄なら書かない）"), 8, 96, 297,
                                 &counterFileLabel_);
  counterFileEdit_->setToolTip(QStringLiteral("アクティブモードの間、撃沈カウントの表示をこのファイルに書き続けます"));
  counterBrowseButton_ =
      Button(this, QStringLiteral("counterBrowseButton"), QStringLiteral("参照"), 304, 96, 41, 20);
  playerNameEdit_ = LabeledEdit(this, QStringLiteral("playerNameEdit"),
                              QStringLiteral("プレイヤー名"), 8, 136, 121, &playerNameLabel_);
  okButton_ = Button(this, QStringLiteral("okButton"), QStringLiteral("OK"), 192, 136, 75, 25);
  cancelButton_ =
      Button(this, QStringLiteral("cancelButton"), QStringLiteral("キャンセル"), 272, 136, 75, 25);
  okButton_->setDefault(true);

  // OK first, then Cancel, then the fields from top to bottom.
  setTabOrder(okButton_, cancelButton_);
  setTabOrder(cancelButton_, logFolderEdit_);
  setTabOrder(logFolderEdit_, browseButton_);
  setTabOrder(browseButton_, versionCheckBox_);
  setTabOrder(versionCheckBox_, counterFileEdit_);
  setTabOrder(counterFileEdit_, counterBrowseButton_);
  setTabOrder(counterBrowseButton_, playerNameEdit_);
  okButton_->setFocus();

  connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
  connect(browseButton_, &QPushButton::clicked, this, &SettingsDialog::BrowseLogFolder);
  connect(counterBrowseButton_, &QPushButton::clicked, this, &SettingsDialog::BrowseCounterFile);
  connect(logFolderEdit_, &QLineEdit::textChanged, this, &SettingsDialog::CheckLogFolder);
  CheckLogFolder();
}

void SettingsDialog::CheckLogFolder() {
  // A folder that is not there would only grey 最新のログを読込 later, with nothing said
  // here; it is still taken (a drive not mounted yet comes back).
  const QString folder = logFolderEdit_->text();
  logFolderWarning_->setVisible(!folder.isEmpty() && !QFileInfo(folder).isDir());
}

void SettingsDialog::BrowseLogFolder() {
  // The chooser opens at the log folder as the dialog shows it, when that folder exists,
  // else at the home folder.
  const QString logDir = logFolderEdit_->text();
  const QString start =
      !logDir.isEmpty() && QFileInfo(logDir).isDir() ? logDir : QDir::homePath();
  const QString folder = dialogs_.BrowseFolder(this, QStringLiteral("ログフォルダの選択"), start);
  if (!folder.isEmpty()) logFolderEdit_->setText(folder);
}

void SettingsDialog::BrowseCounterFile() {
  const QString current = counterFileEdit_->text();
  const QString start = current.isEmpty() ? QDir::homePath() : current;
  const QString file = dialogs_.ChooseFileToWrite(this, QStringLiteral("撃沈カウントを書くファイルの選択"), start);
  if (!file.isEmpty()) counterFileEdit_->setText(file);
}

void EditSettingsInDialog(App& app, QWidget* parent, GuiDialogs& dialogs) {
  SettingsDialog dialog(parent, dialogs);
  dialog.UserNameEdit()->setText(ToQt(app.UserName));
  dialog.LogDirEdit()->setText(QString::fromStdString(app.LogDir.Utf8()));
  dialog.VersionCheckBox()->setChecked(app.CheckVersionAtStart != 0);
  dialog.CounterFileEdit()->setText(QString::fromStdString(app.StreamCounter.Path()));
  if (dialogs.Exec(dialog) != QDialog::Accepted) return;
  app.UserName = EditedText(*dialog.UserNameEdit(), app.UserName);
  app.LogDir = EditedFolder(*dialog.LogDirEdit(), app.LogDir);
  app.CheckVersionAtStart = dialog.VersionCheckBox()->isChecked() ? 1 : 0;
  app.StreamCounter.SetPath(dialog.CounterFileEdit()->text().trimmed().toStdString());
}

}  // namespace mizuto
