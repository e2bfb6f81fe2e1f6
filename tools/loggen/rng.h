// The generator's only source of chance. splitmix64 is tiny and gives the same sequence on
// every platform and library version, which std::*_distribution does not: the same seed
// must always give the same log, byte for byte.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

namespace mizuto::loggen {

class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed) {}

  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }

  // Uniform in [0, n) for n > 0 (multiply-shift on the high 32 bits; the bias is far below
  // anything a log could show).
  int Below(int n) {
    if (n <= 1) return 0;
    return static_cast<int>(((Next() >> 32) * static_cast<std::uint64_t>(n)) >> 32);
  }
  int Between(int lo, int hi) { return lo + Below(hi - lo + 1); }
  bool Percent(int p) { return Below(100) < p; }

  // An index in [0, n) that favours the front of a list: list order is also the order
  // of the check marks, so the first entries are the ones worth counting.
  int Skewed(int n) {
    const int a = Below(n), b = Below(n);
    return a < b ? a : b;
  }

  template <class T>
  const T& Pick(const std::vector<T>& v) {
    return v[static_cast<std::size_t>(Below(static_cast<int>(v.size())))];
  }

  template <class T>
  void Shuffle(std::vector<T>& v) {
    for (std::size_t i = v.size(); i > 1; --i) {
      const std::size_t j = static_cast<std::size_t>(Below(static_cast<int>(i)));
      std::swap(v[i - 1], v[j]);
    }
  }

  // Picks by weight; returns the index of the chosen weight.
  int Weighted(std::initializer_list<int> weights) {
    int total = 0;
    for (int w : weights) total += w;
    int r = Below(total), i = 0;
    for (int w : weights) {
      if (r < w) return i;
      r -= w;
      ++i;
    }
    return i - 1;
  }

 private:
  std::uint64_t state_;
};

// Independent streams from one seed, so that e.g. a larger --size does not change the
// names or the list files.
inline std::uint64_t StreamSeed(std::uint64_t seed, std::uint64_t stream) {
  Rng r(seed ^ (stream * 0xD1B54A32D192ED03ull));
  r.Next();
  return r.Next();
}

}  // namespace mizuto::loggen
