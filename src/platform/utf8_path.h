// A path as the program spells it everywhere inside: UTF-8 (widened at the system call on
// Windows). Settings and messages are Shift-JIS text in plain std::strings; a path of this
// type is made only from UTF-8 on purpose (FromUtf8), so a setting's text cannot reach the
// file system unconverted, nor a path be shown as if it were text.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>

#include "platform/platform.h"

namespace mizuto {

class Utf8Path {
 public:
  Utf8Path() = default;
  static Utf8Path FromUtf8(std::string utf8) {
    Utf8Path path;
    path.utf8_ = std::move(utf8);
    return path;
  }

  const std::string& Utf8() const { return utf8_; }
  bool Empty() const { return utf8_.empty(); }
  std::filesystem::path Native() const { return platform::NativePath(utf8_); }
  // The entry `name` (UTF-8) of this folder.
  Utf8Path Child(std::string_view name) const { return FromUtf8(utf8_ + "/" + std::string(name)); }

  bool operator==(const Utf8Path&) const = default;

 private:
  std::string utf8_;
};

}  // namespace mizuto
