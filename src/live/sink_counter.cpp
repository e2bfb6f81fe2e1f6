#include "live/sink_counter.h"

#include "text/codec.h"

namespace mizuto {

std::string SinkCountText(std::int32_t own, std::int32_t enemy) {
  return SJ("味方 ") + std::to_string(own) + " - " + std::to_string(enemy) + SJ(" 敵");
}

}  // namespace mizuto
