// The sink counter window's text: ships put out of action on each side in this battle.
#pragma once

#include <cstdint>
#include <string>

namespace mizuto {

struct App;

// "味方 " O " - " E " 敵" in Shift-JIS.
std::string SinkCountText(std::int32_t own, std::int32_t enemy);

// Rewrites the sink counter window's label from the two counters of the analysis state.
void ShowSinkCount(App& app);

}  // namespace mizuto
