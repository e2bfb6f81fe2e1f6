#include "app/app.h"

#include "text/codec.h"

namespace mizuto {

App::App() : UserName("YOU"), SinkCounterText(Utf8ToSjis("味方 0 - 0 敵")) {
  Caption = ProgramTitle();
}

std::string App::ProgramTitle() const { return kProgramTitleUtf8; }

}  // namespace mizuto
