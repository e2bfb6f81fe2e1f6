// A set of the values of a small enum, one bit each: which sides a name was seen on, which
// colours a log line holds. The enum's values are the bit positions, 0 .. kCount - 1.
//
// A set turns into an integer, and back, only where a stored figure or a file format needs
// one (ToStored / FromStored); everywhere else it is asked and combined by its members.
//
// The default constructor is trivial on purpose: a table of sets may be all-zero memory
// handed out by the system (the name table's statistics are), and all-zero is the empty
// set. A set of your own starts empty when value-initialised: `SideSet sides{};`.
#pragma once

#include <bit>
#include <concepts>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <type_traits>

namespace mizuto {

template <class Flag, int kCount, class Bits = std::uint32_t>
class FlagSet {
  static_assert(std::is_enum_v<Flag>);
  static_assert(std::unsigned_integral<Bits>);
  static_assert(kCount > 0 && kCount <= static_cast<int>(sizeof(Bits) * 8));

 public:
  FlagSet() = default;
  constexpr FlagSet(std::initializer_list<Flag> flags) : bits_(0) {
    for (const Flag flag : flags) bits_ |= BitOf(flag);
  }

  // Every flag of the enum.
  static constexpr FlagSet All() { return FlagSet(kAllBits); }

  // The set of a stored integer: bits above the enum's flags are not flags and are dropped,
  // so a damaged figure can never make a set that holds an unknown value.
  template <std::integral Stored>
  static constexpr FlagSet FromStored(Stored stored) {
    return FlagSet(static_cast<Bits>(static_cast<std::make_unsigned_t<Stored>>(stored) & kAllBits));
  }
  // The integer a stored figure keeps: the bit of each flag, ORed.
  constexpr Bits ToStored() const { return bits_; }

  constexpr bool Has(Flag flag) const { return (bits_ & BitOf(flag)) != 0; }
  constexpr bool Empty() const { return bits_ == 0; }
  // Holds `flag` and nothing else.
  constexpr bool Only(Flag flag) const { return bits_ == BitOf(flag); }
  constexpr FlagSet With(Flag flag) const { return FlagSet(bits_ | BitOf(flag)); }
  constexpr FlagSet Without(Flag flag) const { return FlagSet(bits_ & ~BitOf(flag)); }
  // The flag with the lowest value in the set; none for the empty set.
  constexpr std::optional<Flag> Lowest() const {
    if (bits_ == 0) return std::nullopt;
    return static_cast<Flag>(std::countr_zero(bits_));
  }

  friend constexpr FlagSet operator|(FlagSet a, FlagSet b) { return FlagSet(a.bits_ | b.bits_); }
  friend constexpr FlagSet operator&(FlagSet a, FlagSet b) { return FlagSet(a.bits_ & b.bits_); }
  constexpr FlagSet& operator|=(FlagSet other) {
    bits_ |= other.bits_;
    return *this;
  }
  friend constexpr bool operator==(FlagSet a, FlagSet b) { return a.bits_ == b.bits_; }

 private:
  static constexpr Bits kAllBits =
      kCount == static_cast<int>(sizeof(Bits) * 8) ? static_cast<Bits>(~Bits{0})
                                                   : static_cast<Bits>((Bits{1} << kCount) - 1);
  static constexpr Bits BitOf(Flag flag) {
    return static_cast<Bits>(Bits{1} << static_cast<unsigned>(flag));
  }
  constexpr explicit FlagSet(Bits bits) : bits_(bits) {}

  Bits bits_;
};

}  // namespace mizuto
