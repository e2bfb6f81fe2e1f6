// The settings dialog: log folder, the start-up version check, the counter file for
// streaming and the player's name, the settings without a control of their own on the main
// window.
#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace mizuto {

struct App;
struct GuiDialogs;

class SettingsDialog : public QDialog {
  Q_OBJECT

 public:
  // `dialogs` must outlive the dialog: the "参照" button opens its folder browser.
  SettingsDialog(QWidget* parent, GuiDialogs& dialogs);

  QLineEdit* UserNameEdit() const { return playerNameEdit_; }
  QLineEdit* LogDirEdit() const { return logFolderEdit_; }
  QCheckBox* VersionCheckBox() const { return versionCheckBox_; }
  QLineEdit* CounterFileEdit() const { return counterFileEdit_; }

 private:
  void BrowseLogFolder();
  void BrowseCounterFile();
  // Says beside the folder's caption when the folder typed or chosen is not there.
  void CheckLogFolder();

  GuiDialogs& dialogs_;
  QLabel* playerNameLabel_;
  QLabel* logFolderLabel_;
  QLineEdit* playerNameEdit_;
  QLineEdit* logFolderEdit_;
  QPushButton* okButton_;
  QPushButton* cancelButton_;
  QPushButton* browseButton_;
  QCheckBox* versionCheckBox_;
  QLabel* counterFileLabel_;
  QLabel* logFolderWarning_;
  QLineEdit* counterFileEdit_;
  QPushButton* counterBrowseButton_;
};

// Edits the owner's name, the log folder, the version check at start-up and the counter file in a modal dialog; OK writes them back,
// any other way of closing leaves them as they were. The settings file is written only at
// shut-down.
void EditSettingsInDialog(App& app, QWidget* parent, GuiDialogs& dialogs);

}  // namespace mizuto
