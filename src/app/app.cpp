#include "app/app.h"

#include "text/codec.h"

namespace mizuto {

App::App() : SinkCounterText(Utf8ToSjis("味方 0 - 0 敵")) {
  Caption = ProgramTitle();
}

#ifndef MIZUTO_VERSION
#error "MIZUTO_VERSION comes from project() in CMakeLists.txt"
#endif
const char* ProgramTitleUtf8() { return "Mizuto Ver" MIZUTO_VERSION; }

std::string App::ProgramTitle() const { return ProgramTitleUtf8(); }

std::string WindowTitle(const App& app) {
  if (app.CurrentLogPath.empty()) return app.Caption;
  // The path is UTF-8, with either separator on Windows.
  const std::size_t slash = app.CurrentLogPath.find_last_of("/\\");
  const std::string name = slash == std::string::npos ? app.CurrentLogPath : app.CurrentLogPath.substr(slash + 1);
  return Utf8ToSjis(name) + " - " + app.Caption;
}

}  // namespace mizuto
