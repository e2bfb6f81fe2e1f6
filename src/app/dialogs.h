// The seam for modal questions and notices: the window shows real message boxes, tests
// and the report answer them directly. Texts are Shift-JIS.
#pragma once

#include <functional>
#include <string>

namespace mizuto {

struct Dialogs {
  // A plain message box with an OK button.
  std::function<void(const std::string& text, const std::string& caption)> Message;
  // A Yes/No question; true for Yes.
  std::function<bool(const std::string& text, const std::string& caption)> AskYesNo;
};

}  // namespace mizuto
