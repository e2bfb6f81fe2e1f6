// The active mode's interval: whole seconds between two reads of the followed log. One rule
// for the window's field and its arrows, the settings file and the timer, so that the period
// in force is always the one the field shows.
#pragma once

#include <cstdint>

namespace mizuto {

inline constexpr int kMinIntervalSeconds = 1;
inline constexpr int kMaxIntervalSeconds = 100;
// Until the player or the settings file sets another.
inline constexpr int kDefaultIntervalSeconds = 10;

// A number of seconds brought into the rule's range (as a typed 0 becomes 1, 250 becomes 100).
constexpr int ClampIntervalSeconds(std::int64_t seconds) {
  if (seconds < kMinIntervalSeconds) return kMinIntervalSeconds;
  if (seconds > kMaxIntervalSeconds) return kMaxIntervalSeconds;
  return static_cast<int>(seconds);
}

constexpr int IntervalMilliseconds(int seconds) { return seconds * 1000; }

}  // namespace mizuto
