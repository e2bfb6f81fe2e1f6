// The head-to-head grid: who took whom out in the counted battles.
#pragma once

namespace mizuto {

struct App;

void FillHeadToHead(App& app);

}  // namespace mizuto
