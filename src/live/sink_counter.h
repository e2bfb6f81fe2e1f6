// The sink counter window's text: ships put out of action on each side in this battle.
#pragma once

#include <cstdint>
#include <string>

namespace mizuto {

// "味方 " O " - " E " 敵" in Shift-JIS.
std::string SinkCountText(std::int32_t own, std::int32_t enemy);

}  // namespace mizuto
