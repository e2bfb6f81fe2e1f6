// Every modal thing the window layer shows goes through this seam: the program uses real
// message boxes and file choosers, a test pre-answers them so nothing ever waits on a click.
#pragma once

#include <QString>
#include <functional>

class QDialog;
class QWidget;

namespace mizuto {

struct GuiDialogs {
  // A plain message box with an OK button and no icon.
  std::function<void(QWidget* parent, const QString& text, const QString& caption)> Message;
  // A Yes/No question; true for Yes.
  std::function<bool(QWidget* parent, const QString& text, const QString& caption)> AskYesNo;
  // The toolkit's standard error box for an error that escaped a command.
  std::function<void(QWidget* parent, const QString& text)> Error;
  // A file-open dialog; the chosen path, or the empty string when cancelled.
  std::function<QString(QWidget* parent, const QString& initialFolder, const QString& filter)>
      OpenFile;
  // A file-save dialog offering `suggested`; the chosen path, or the empty string when
  // cancelled. A file already there is only replaced once the player agreed.
  std::function<QString(QWidget* parent, const QString& suggested, const QString& filter)> SaveFile;
  // A folder browser that opens at `startFolder`; the chosen folder without a trailing
  // separator, or empty when cancelled.
  std::function<QString(QWidget* parent, const QString& title, const QString& startFolder)>
      BrowseFolder;
  // A chooser of a file to be written, which need not exist yet; the chosen path, or empty
  // when cancelled.
  std::function<QString(QWidget* parent, const QString& title, const QString& start)> ChooseFileToWrite;
  // Runs a modal dialog and returns its result (QDialog::Accepted or Rejected).
  std::function<int(QDialog& dialog)> Exec;
};

// The seam wired to the real toolkit dialogs. The file and folder choosers are the toolkit's
// own, not the desktop's, so they speak the program's language (Japanese) whatever the
// desktop's is.
GuiDialogs RealGuiDialogs();

}  // namespace mizuto
