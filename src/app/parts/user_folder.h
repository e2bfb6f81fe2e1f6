// The program folder of an installed Mizuto. A portable Mizuto (a build tree, the Windows
// zip) keeps Mizuto.ini and the list files beside the program; an installed one cannot
// write there, so each user gets a folder of their own, filled with the shipped lists the
// first time it is used.
#pragma once

#include <string>
#include <vector>

namespace mizuto {

// $XDG_CONFIG_HOME/mizuto/, or $HOME/.config/mizuto/ when XDG_CONFIG_HOME is unset, empty or
// not an absolute path (such a value is to be ignored). Ends in '/'. Empty when neither
// gives an absolute path. The arguments are the variables' values (nullptr when unset).
std::string UserProgramFolder(const char* configHome, const char* home);

// Creates `folder` (and the folders above it) when it is missing and copies into it every
// list file (*.txt) of `defaults` that it lacks; a file the user already has is never
// touched. False with `error` ("path: reason") when the folder cannot be made or a list
// cannot be copied.
bool PrepareUserFolder(const std::string& folder, const std::string& defaults, std::string* error);

// Whether the command line names its own program folder (--program-dir), which then wins
// over the per-user one. `args` are the arguments after the program's name.
bool NamesProgramDir(const std::vector<std::string>& args);

}  // namespace mizuto
