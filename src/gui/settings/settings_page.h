// The settings page: the skill and item check lists, the NPC switch, the check boxes that
// mirror the transcript switches, and the active mode with its interval.
#pragma once

#include <QWidget>
#include <functional>

#include "app/owner/app.h"

class QAction;
class QCheckBox;
class QLineEdit;
class QListWidget;

namespace mizuto {

class PageHost;
class PaneSplitter;

class SettingsPage : public QWidget {
  Q_OBJECT

 public:
  // `app` must outlive the page.
  SettingsPage(App& app, PageHost& host);

  // Binds the check boxes that mirror an action to it (by the action's object name): a box
  // shows the action's caption and state and triggers it.
  void BindSwitches(const std::function<QAction*(const char*)>& action);
  // Lays the check lists out from the kept sizes.
  void Refit();
  // Fills the check lists with the reference lists' names and the core's check marks.
  void FillCheckLists();
  // Redraws the NPC switch and the interval field from the core.
  void Sync();

 private:
  void BuildCheckLists();
  // The NPC switch, the boxes that mirror the transcript switches and the active mode, in
  // a column that scrolls when the page is too short for it; returns the column.
  QWidget* BuildSwitchPanel();
  // The active-mode box, the interval field and its arrows.
  QWidget* BuildActiveModePanel();
  void OnIntervalText(const QString& text);
  void OnIntervalEditingFinished();
  void StepInterval(int delta);

  App& app_;
  PageHost& host_;
  QListWidget* skillChecks_ = nullptr;
  QListWidget* itemChecks_ = nullptr;
  QCheckBox* npcCheck_ = nullptr;
  QLineEdit* intervalField_ = nullptr;
  PaneSplitter* splitter_ = nullptr;
};

}  // namespace mizuto
