#pragma once
// The shared transposition table: 16-byte entries, four to a 64-byte cluster, one cluster per
// cache line. All search threads read and write it without locks; every entry carries a lock
// word (key XOR payload) so that a torn entry written half by one thread and half by another
// simply fails to match.
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
  uint32_t probes = 0;
  uint32_t hits = 0;
  uint32_t cuts = 0;
  uint32_t updates = 0;     // a store rewrote the entry of the same position
  uint32_t newStores = 0;   // a store took a victim slot
  uint32_t overwrites = 0;  // ... and that victim was of the current generation
};

class Tt {
 public:
  explicit Tt(uint32_t kilobytes);
  Tt(const Tt&) = delete;
  Tt& operator=(const Tt&) = delete;
  ~Tt();

  void resize(uint32_t kilobytes);
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
    __builtin_prefetch(slots_ + ((uint32_t(key) + 4 * sideToMove) & indexMask_ & ~3u));
  }

  // Per mille of the table filled, from the summed store counters of all threads.
  uint32_t fillPerMille(uint64_t newStores, uint64_t overwrites) const;

  uint32_t sizeBytes() const { return sizeBytes_; }
  uint32_t entryCount() const { return entryCount_; }
  uint8_t generation() const { return generation_; }

 private:
  uint32_t clusterIndex(const Position& pos) const {
    return (uint32_t(pos.hashKey) + 4 * pos.sideToMove) & indexMask_ & ~3u;
  }
  uint32_t index(const Position& pos) const {
    return (uint32_t(pos.hashKey) + 4 * pos.sideToMove) & indexMask_;
  }
  void zero();

  // Stored form of an entry: four words, each read and written as one 32-bit access.
  struct Slot {
    uint32_t word[4];
  };

  Slot* slots_ = nullptr;
  uint32_t sizeBytes_ = 0;
  uint32_t entryCount_ = 0;
  uint32_t indexMask_ = 0;
  uint8_t generation_ = 0;
};

// The table's size at start, unless the settings file says otherwise, and the most a protocol
// may ask for.
constexpr uint32_t DefaultTableMb = 64;
constexpr int MaxTableMb = 4096;

// The program-wide table.
extern Tt tt;
