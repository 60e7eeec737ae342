#pragma once
// The shared transposition table: 16-byte entries, four to a 64-byte cluster, one cluster per
// cache line. All search threads read and write it without locks; every entry carries a lock
// word (the key XOR every other word) so that a torn entry written half by one thread and half by
// another simply fails to match.
#include <cstddef>
#include <cstdint>

#include "board/position.h"

// Bound types.
constexpr uint8_t BoundNone = 0;
constexpr uint8_t BoundExact = 1;
constexpr uint8_t BoundLower = 2;  // true score >= score
constexpr uint8_t BoundUpper = 3;  // true score <= score

struct TtEntry {
  uint32_t lock = 0;
  uint32_t move = 0;
  int16_t score = 0;
  int16_t depth = 0;
  uint16_t unused = 0;
  uint8_t generation = 0;
  uint8_t bound = 0;

  uint32_t payload() const { return uint32_t(uint16_t(score)) | (uint32_t(uint16_t(depth)) << 16); }
};
static_assert(sizeof(TtEntry) == 16, "a table entry is four 32-bit words");

// Counters a thread keeps about its table traffic.
struct TtCounters {
  uint64_t probes = 0;
  uint64_t hits = 0;
  uint64_t cuts = 0;
  uint64_t updates = 0;     // a store rewrote the entry of the same position
  uint64_t newStores = 0;   // a store took a victim slot
  uint64_t overwrites = 0;  // ... and that victim was of the current generation
};

class Tt {
 public:
  explicit Tt(uint64_t kilobytes);
  Tt(const Tt&) = delete;
  Tt& operator=(const Tt&) = delete;
  ~Tt();

  // The table at the largest power of two not above `kilobytes` (within the bounds below).
  // False when that memory cannot be had: the table stays as it was, contents and all.
  bool resize(uint64_t kilobytes);
  void clear();
  void newSearch() { generation_ = uint8_t(generation_ + 1); }

  // Copies the position's entry to `out` (lock replaced by the check value); false on a miss.
  // A hit whose move cannot capture what now stands on its target loses its move.
  bool probe(const Position& pos, TtEntry& out) const;
  // Stores move, score, depth and bound of `entry` for the position.
  void store(const Position& pos, TtEntry entry, TtCounters& counters);
  void deletePosition(const Position& pos);
  void prefetch(const Position& pos) const { __builtin_prefetch(slots_ + clusterIndex(pos)); }
  // The same for a position known by its key and side to move.
  void prefetch(uint64_t key, int sideToMove) const {
    __builtin_prefetch(slots_ + ((key + 4 * uint64_t(sideToMove)) & indexMask_ & ~uint64_t(3)));
  }

  // Per mille of the table holding entries of the running search, from a sample of its first
  // thousand entries (the index spreads positions evenly, so the start stands for the whole).
  int fillPerMille() const;

  uint64_t sizeBytes() const { return sizeBytes_; }
  uint64_t entryCount() const { return entryCount_; }
  uint8_t generation() const { return generation_; }

 private:
  friend struct TtTestAccess;  // the tests tear entries as two racing threads could
  uint64_t clusterIndex(const Position& pos) const { return index(pos) & ~uint64_t(3); }
  uint64_t index(const Position& pos) const {
    return (pos.hashKey + 4 * uint64_t(pos.sideToMove)) & indexMask_;
  }
  void zero();

  // Stored form of an entry: four words, each read and written as one 32-bit access.
  struct Slot {
    uint32_t word[4];
  };

  Slot* slots_ = nullptr;
  uint64_t sizeBytes_ = 0;
  uint64_t entryCount_ = 0;
  uint64_t indexMask_ = 0;
  uint8_t generation_ = 0;
};

// The table's size at start, unless the settings file says otherwise, and the most a protocol
// may ask for: what the index (the key's low 32 bits, four to a cluster) can address on a
// 64-bit machine, 2 GB where addresses have 32 bits.
constexpr uint32_t DefaultTableMb = 64;
constexpr int MaxTableMb = sizeof(void*) >= 8 ? 65536 : 2048;
