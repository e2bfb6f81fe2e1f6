// The seam for modal questions and notices: the window shows real message boxes, tests
// and the report answer them directly. Texts are Shift-JIS; paths UTF-8.
#pragma once

#include <functional>
#include <string>

namespace mizuto {

struct Dialogs {
  // A plain message box with an OK button.
  std::function<void(const std::string& text, const std::string& caption)> Message;
  // A Yes/No question; true for Yes.
  std::function<bool(const std::string& text, const std::string& caption)> AskYesNo;
  // A save dialog offering `suggested` (a path); the path chosen, or empty when cancelled.
  std::function<std::string(const std::string& suggested)> SaveFile;
};

}  // namespace mizuto
