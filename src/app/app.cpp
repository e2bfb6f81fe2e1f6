#include "app/app.h"

#include "text/codec.h"

namespace mizuto {

App::App() : UserName("YOU"), SinkCounterText(Utf8ToSjis("味方 0 - 0 敵")) {
  Caption = ProgramTitle();
}

#ifndef MIZUTO_VERSION
#error "MIZUTO_VERSION comes from project() in CMakeLists.txt"
#endif
const char* ProgramTitleUtf8() { return "Mizuto Ver" MIZUTO_VERSION; }

std::string App::ProgramTitle() const { return ProgramTitleUtf8(); }

}  // namespace mizuto
