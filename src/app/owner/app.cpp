#include "app/owner/app.h"

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

std::string LogFileName(const std::string& path) {
  // The path is UTF-8, with either separator on Windows.
  const std::size_t slash = path.find_last_of("/\\");
  return Utf8ToSjis(slash == std::string::npos ? path : path.substr(slash + 1));
}

std::string WindowTitle(const App& app) {
  if (app.CurrentLogPath.empty() || !app.LogLoaded) return app.Caption;
  return LogFileName(app.CurrentLogPath) + " - " + app.Caption;
}

}  // namespace mizuto
