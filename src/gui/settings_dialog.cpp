#include "gui/settings_dialog.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/app.h"
#include "gui/gui_dialogs.h"
#include "gui/gui_text.h"

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

}  // namespace

SettingsDialog::SettingsDialog(QWidget* parent, GuiDialogs& dialogs)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint),
      dialogs_(dialogs) {
  setObjectName(QStringLiteral("Form3"));
  setWindowTitle(QStringLiteral("設定"));
  setFont(ProportionalFont(12));
  setFixedSize(353, 132);  // QDialog centres itself over its parent when shown

  labeledEdit2_ = LabeledEdit(this, QStringLiteral("LabeledEdit2"),
                              QStringLiteral("ログフォルダ"), 8, 24, 297, &label2_);
  button3_ = Button(this, QStringLiteral("Button3"), QStringLiteral("参照"), 304, 24, 41, 20);
  checkBox1_ = new QCheckBox(QStringLiteral("起動時に最新バージョンをチェックする"), this);
  checkBox1_->setObjectName(QStringLiteral("CheckBox1"));
  checkBox1_->setGeometry(8, 56, 233, checkBox1_->sizeHint().height());
  labeledEdit1_ = LabeledEdit(this, QStringLiteral("LabeledEdit1"),
                              QStringLiteral("プレイヤー名"), 8, 96, 121, &label1_);
  button1_ = Button(this, QStringLiteral("Button1"), QStringLiteral("OK"), 192, 96, 75, 25);
  button2_ =
      Button(this, QStringLiteral("Button2"), QStringLiteral("キャンセル"), 272, 96, 75, 25);
  button1_->setDefault(true);

  // OK first, then Cancel, then the fields from top to bottom.
  setTabOrder(button1_, button2_);
  setTabOrder(button2_, labeledEdit2_);
  setTabOrder(labeledEdit2_, button3_);
  setTabOrder(button3_, checkBox1_);
  setTabOrder(checkBox1_, labeledEdit1_);
  button1_->setFocus();

  connect(button1_, &QPushButton::clicked, this, &QDialog::accept);
  connect(button2_, &QPushButton::clicked, this, &QDialog::reject);
  connect(button3_, &QPushButton::clicked, this, &SettingsDialog::Button3Click);
}

void SettingsDialog::Button3Click() {
  // The chooser opens at the log folder as the dialog shows it, when that folder exists,
  // else at the home folder.
  const QString logDir = labeledEdit2_->text();
  const QString start =
      !logDir.isEmpty() && QFileInfo(logDir).isDir() ? logDir : QDir::homePath();
  const QString folder = dialogs_.BrowseFolder(this, QStringLiteral("ログフォルダの選択"), start);
  if (!folder.isEmpty()) labeledEdit2_->setText(folder);
}

void SettingExecute(App& app, QWidget* parent, GuiDialogs& dialogs) {
  SettingsDialog dialog(parent, dialogs);
  dialog.UserNameEdit()->setText(ToQt(app.UserName));
  dialog.LogDirEdit()->setText(ToQt(app.LogDir));
  dialog.VerChkBox()->setChecked(app.VerChk != 0);
  if (dialogs.Exec(dialog) != QDialog::Accepted) return;
  app.UserName = EditedText(*dialog.UserNameEdit(), app.UserName);
  app.LogDir = EditedText(*dialog.LogDirEdit(), app.LogDir);
  app.VerChk = dialog.VerChkBox()->isChecked() ? 1 : 0;
}

}  // namespace mizuto
