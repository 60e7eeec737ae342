#pragma once
// The per-thread pawn hash: the static pawn-structure evaluation and the pawn facts other terms
// reuse, stored per pawn configuration (keyed by the position's pawn key).
#include <cstddef>
#include <cstdint>

#include "eval/eval_build.h"

MELVOK_EVAL_BEGIN

// What one side's pawns look like; 18 bytes.
struct PawnSide {
  uint8_t openFiles;  // files without own pawns, bit n = file n
  uint8_t passerCount;
  uint8_t passers[8];   // squares of the passed pawns, in piece-list order
  uint8_t passerFiles;  // files holding own passed pawns
  uint8_t lightPawns;   // own pawns on light squares
  int8_t shelter[3];    // own pawns' shelter for a king in zone 0, 1, 2
  int8_t storm[3];      // enemy pawns' storm against zone 0, 1, 2
};
static_assert(sizeof(PawnSide) == 18);

// One entry: one cache line.
struct PawnEntry {
  uint32_t check;  // high word of the pawn key
  int16_t mg;      // middle-game pawn score, White minus Black
  int16_t eg;      // end-game pawn score, White minus Black
  PawnSide side[2];
  uint8_t unused[20];
};
static_assert(sizeof(PawnEntry) == 64);
static_assert(offsetof(PawnEntry, side) == 8 && offsetof(PawnEntry, unused) == 44);

class PawnHash {
 public:
  static constexpr uint32_t DefaultEntries = 65536;

  PawnHash() = default;
  ~PawnHash();
  PawnHash(const PawnHash&) = delete;
  PawnHash& operator=(const PawnHash&) = delete;

  // The slot for a key; the index is the low bits of the key's low word.
  PawnEntry& slot(uint64_t pawnKey) { return entries_[uint32_t(pawnKey) & mask_]; }
  uint32_t size() const { return mask_ + 1; }

  uint64_t hits = 0;
  uint64_t misses = 0;

 private:
  friend void resizePawnHash(PawnHash& hash, uint32_t entries);
  PawnEntry* entries_ = nullptr;
  uint32_t mask_ = 0;
};

// (Re)allocates the table with the largest power of two not above `entries` (at least one),
// zeroed, with the check word of entry 0 set to 1 so that the pawnless key 0 cannot match an
// empty entry. Counters are reset. A failed allocation is fatal.
void resizePawnHash(PawnHash& hash, uint32_t entries);

MELVOK_EVAL_END
