// A fixed set of byte strings looked for together in one pass over a text.
//
// The analysis asks many questions of one line ("which of these 31 messages comes first in
// the table?", "does it also hold X, and where?"). Searching for each literal separately
// walks the line once per literal; this set walks it once, recording the first occurrence
// of every member, and answers all those questions from that.
//
// Matching is bytewise, exactly as FindBytes: an occurrence may start on any byte (also
// inside a double-byte character), positions are 1-based, and an empty member never
// matches. Members may repeat and may be of any length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mizuto {

class LiteralSet {
 public:
  LiteralSet() = default;
  explicit LiteralSet(const std::vector<std::string>& literals) { Assign(literals); }

  // Replaces the members (member k is literals[k]).
  void Assign(const std::vector<std::string>& literals);
  // True when the members are exactly `literals`, in that order.
  bool Holds(const std::vector<std::string>& literals) const;
  std::size_t Size() const { return lengths_.size(); }

  // first[k] := the 1-based position of the first occurrence of member k in `text`, 0 when
  // it does not occur. `first` must hold Size() entries. Returns the members found among
  // the first 64 as bits (bit k for member k), so "which comes first in the set's order"
  // is one bit scan.
  std::uint64_t FindFirst(std::string_view text, std::size_t* first) const;

  struct Hit {
    int Index = -1;            // the lowest member index occurring in the text; -1: none
    std::size_t Position = 0;  // the first occurrence of that member (1-based); 0: none
  };
  // The member that comes first in the set's order among those occurring anywhere in the
  // text (not the leftmost occurrence).
  Hit FindLowest(std::string_view text) const;

 private:
  // Members are found through a few of their bytes. Those of four bytes or more: by four
  // bytes, probed only at every Stride-th position of the text; a member is filed under
  // the four bytes at each of Stride consecutive offsets a .. a+Stride-1 (a window inside
  // the member; Stride is at most the shortest such member's length - 3), so exactly one
  // probe falls on each of its occurrences.
  // Shorter members: by their first two bytes or their one byte, at every position.
  // A table maps a key to its candidates (ascending member) by open addressing.
  struct Candidate {
    std::uint32_t Member = 0;
    std::uint32_t Offset = 0;  // of the key's bytes in the member
    std::size_t Length = 0;    // of the member
    std::size_t Bytes = 0;     // where the member is in bytes_
  };
  struct Slot {
    std::uint32_t Key = 0;
    std::uint32_t Begin = 0;  // into Candidates
    std::uint32_t Count = 0;  // 0: the slot is free
  };
  struct KeyTable {
    std::vector<Slot> Slots;
    std::vector<Candidate> Candidates;
    std::uint32_t Mask = 0;
    int Shift = 32;
    std::size_t Stride = 1;
    // One bit per value of a longer hash, set for the keys: a probe on none of them (most
    // are) is settled by one bit, without a branch that follows table slots.
    std::vector<std::uint64_t> Filter;
    int FilterShift = 32;

    bool Empty() const { return Candidates.empty(); }
    // `keyed` holds (key, candidate) pairs.
    void Build(std::vector<std::pair<std::uint32_t, Candidate>> keyed, std::size_t stride);
  };

  // Calls onMatch(member, position) for the occurrences of the members; position is
  // 1-based. Occurrences come in no strict order: per table, the probes go from the left,
  // but one probe may report several (of different starts). After a probe, Scan stops when
  // onMatch has returned false. Members above *skipAbove are not verified (the caller may
  // lower it as it goes).
  template <int Width, typename OnMatch>
  bool ScanTable(const KeyTable& table, std::string_view text, const std::uint32_t* skipAbove,
                 OnMatch& onMatch) const;
  template <typename OnMatch>
  void Scan(std::string_view text, const std::uint32_t* skipAbove, OnMatch onMatch) const;

  std::string bytes_;                  // the members, one after another
  std::vector<std::size_t> offsets_;  // of each member in bytes_
  std::vector<std::size_t> lengths_;
  KeyTable long_;    // members of 4 bytes or more, by 4 bytes at sampled positions
  KeyTable short_;   // members of 2 or 3 bytes, by their first 2
  KeyTable single_;  // members of 1 byte
};

}  // namespace mizuto
