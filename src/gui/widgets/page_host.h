// What a page of the main window asks of the window it sits in: commands run at the event
// boundary, and redraws of what lies outside the page.
#pragma once

#include <functional>

#include "app/parts/dialogs.h"

class QString;

namespace mizuto {

class PageHost {
 public:
  // Runs a command of the core: an error that escapes is shown, the program goes on.
  virtual void RunCommand(const std::function<void()>& command) = 0;
  // Redraws every control from the core's view models.
  virtual void SyncAll() = 0;
  // Redraws the actions' enabled and checked states only.
  virtual void SyncActions() = 0;
  // Gives the active-mode timer the core's period and running state.
  virtual void SyncTimer() = 0;
  virtual void ShowError(const QString& text) = 0;
  // The questions and notices a command of the core may ask.
  virtual const Dialogs& Ask() const = 0;

 protected:
  ~PageHost() = default;
};

}  // namespace mizuto
