#include "search/tt.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/log.h"
#include "base/platform.h"

namespace {

// Entries are shared between threads without locks; each word is one relaxed atomic access,
// which is a plain load or store on the machine.
inline uint32_t loadWord(const uint32_t& w) { return __atomic_load_n(&w, __ATOMIC_RELAXED); }
inline void storeWord(uint32_t& w, uint32_t v) { __atomic_store_n(&w, v, __ATOMIC_RELAXED); }

constexpr uint64_t MinKilobytes = 256;
constexpr uint64_t MaxKilobytes = uint64_t(MaxTableMb) * 1024;

uint64_t tableKilobytes(uint64_t request) {
  if (request <= 1) return MinKilobytes;
  if (request > MaxKilobytes) request = MaxKilobytes;
  uint64_t size = 1;
  while (size <= request / 2) size <<= 1;
  return size < MinKilobytes ? MinKilobytes : size;
}

// The check word of an entry: the key's high half XOR every other word, so that an entry
// whose words come from two different stores never matches.
inline uint32_t checkOf(uint32_t w0, uint32_t w1, uint32_t w2, uint32_t w3) {
  return w0 ^ w1 ^ w2 ^ w3;
}

inline uint32_t lastWord(uint8_t generation, uint8_t bound) {
  return (uint32_t(generation) << 16) | (uint32_t(bound) << 24);
}

}  // namespace

Tt::Tt(uint64_t kilobytes) {
  if (!resize(kilobytes) && !resize(MinKilobytes)) {
    std::fputs("FATAL: failed to malloc Tt!\n", stderr);
    std::abort();
  }
}

Tt::~Tt() { freeLargeBlock(slots_); }

bool Tt::resize(uint64_t kilobytes) {
  const uint64_t bytes = tableKilobytes(kilobytes) * 1024;
  if (bytes == sizeBytes_) return true;
  // The new table is had before the old one goes, so that a refusal leaves the engine with the
  // table it had.
  Slot* fresh =
      bytes <= SIZE_MAX ? static_cast<Slot*>(allocateLargeBlock(size_t(bytes), 128)) : nullptr;
  if (!fresh) {
    logInfo("tt: no memory for %llu MB, the table stays at %llu MB\n",
            (unsigned long long)(bytes >> 20), (unsigned long long)(sizeBytes_ >> 20));
    return false;
  }
  freeLargeBlock(slots_);
  slots_ = fresh;
  sizeBytes_ = bytes;
  entryCount_ = sizeBytes_ / 16;
  indexMask_ = entryCount_ - 1;
  clear();
  logInfo("tt.kb     =%llu\n", (unsigned long long)(sizeBytes_ / 1024));
  logInfo("tt.entries=%llx\n", (unsigned long long)entryCount_);
  logInfo("tt.addr   =%p\n", static_cast<void*>(slots_));
  return true;
}

void Tt::zero() { std::memset(static_cast<void*>(slots_), 0, sizeBytes_); }

void Tt::clear() {
  generation_ = 0;
  zero();
  generation_ = 1;
}

bool Tt::probe(const Position& pos, TtEntry& out) const {
  const uint64_t first = index(pos);
  const uint32_t check = uint32_t(pos.hashKey >> 32);
  for (uint32_t i = 0; i < 4; i++) {
    const Slot& slot = slots_[first ^ i];
    uint32_t w0 = loadWord(slot.word[0]), w1 = loadWord(slot.word[1]);
    uint32_t w2 = loadWord(slot.word[2]), w3 = loadWord(slot.word[3]);
    // An all-zero word 3 is an empty slot, even when the check value happens to be 0.
    if (checkOf(w0, w1, w2, w3) != check || w3 == 0) continue;
    out.lock = check;
    out.move = w1;
    out.score = int16_t(w2 & 0xFFFF);
    out.depth = int16_t(w2 >> 16);
    out.unused = 0;
    out.generation = uint8_t(w3 >> 16);
    out.bound = uint8_t(w3 >> 24);
    // The lock may collide: a move that captures must still find its victim's kind there.
    int captured = moveCaptured(out.move);
    if (captured == 0) return true;
    int onTarget = pos.at(moveTo(out.move));
    if (onTarget == captured) return true;
    if (out.move & MoveEnPassant) onTarget = pos.at(moveTo(out.move) ^ 16);
    if (tables.kindOfSlot[slotOf(onTarget)] == tables.kindOfSlot[slotOf(captured)] &&
        onTarget != Empty && onTarget != Guard) {
      out.move = (out.move & ~0x00FF0000u) | (uint32_t(onTarget) << 16);
    } else {
      out.move = 0;
    }
    return true;
  }
  return false;
}

void Tt::store(const Position& pos, TtEntry entry, TtCounters& counters) {
  const uint64_t first = index(pos);
  const uint32_t check = uint32_t(pos.hashKey >> 32);
  const uint32_t payload = entry.payload();
  const uint32_t w3 = lastWord(generation_, entry.bound);
  const uint32_t w0 = check ^ entry.move ^ payload ^ w3;

  for (uint32_t i = 0; i < 4; i++) {
    Slot& slot = slots_[first ^ i];
    const uint32_t s1 = loadWord(slot.word[1]), s2 = loadWord(slot.word[2]);
    const uint32_t s3 = loadWord(slot.word[3]);
    if (checkOf(loadWord(slot.word[0]), s1, s2, s3) != check || s3 == 0) continue;
    // Same position: a deeper entry survives unless the new bound is the more useful one.
    int storedDepth = int16_t(s2 >> 16);
    if (storedDepth > entry.depth) {
      int storedScore = int16_t(s2 & 0xFFFF);
      uint8_t storedBound = uint8_t(s3 >> 24);
      bool replace = false;
      switch (storedBound) {
        case BoundExact:
          replace = false;
          break;
        case BoundLower:
          replace = entry.score > storedScore && entry.bound == BoundLower;
          break;
        case BoundUpper:
          replace = entry.score < storedScore && entry.bound != BoundLower;
          break;
        default:
          replace = entry.bound != BoundLower;
          break;
      }
      if (!replace) return;
    }
    counters.updates++;
    storeWord(slot.word[0], w0);
    storeWord(slot.word[1], entry.move);
    storeWord(slot.word[2], payload);
    storeWord(slot.word[3], w3);
    return;
  }

  // No entry of this position: replace the shallowest, entries of older searches first.
  uint64_t victim = first;
  int victimRating = 0;
  for (uint32_t i = 0; i < 4; i++) {
    const Slot& slot = slots_[first ^ i];
    int rating = int16_t(loadWord(slot.word[2]) >> 16);
    if (uint8_t(loadWord(slot.word[3]) >> 16) != generation_) rating -= 8192;
    if (i == 0) {
      victimRating = rating > 8192 ? 8192 : rating;
    } else if (rating < victimRating) {
      victim = first ^ i;
      victimRating = rating;
    }
  }
  Slot& slot = slots_[victim];
  counters.newStores++;
  if (uint8_t(loadWord(slot.word[3]) >> 16) == generation_) counters.overwrites++;
  storeWord(slot.word[0], w0);
  storeWord(slot.word[1], entry.move);
  storeWord(slot.word[2], payload);
  storeWord(slot.word[3], w3);
}

void Tt::deletePosition(const Position& pos) {
  const uint64_t first = index(pos);
  const uint32_t check = uint32_t(pos.hashKey >> 32);
  for (uint32_t i = 0; i < 4; i++) {
    Slot& slot = slots_[first ^ i];
    const uint32_t w3 = loadWord(slot.word[3]);
    if (checkOf(loadWord(slot.word[0]), loadWord(slot.word[1]), loadWord(slot.word[2]), w3) !=
            check ||
        w3 == 0)
      continue;
    for (uint32_t& w : slot.word) storeWord(w, 0);
  }
}

int Tt::fillPerMille() const {
  constexpr uint64_t Sample = 1000;
  int used = 0;
  for (uint64_t i = 0; i < Sample && i < entryCount_; i++) {
    const uint32_t w3 = loadWord(slots_[i].word[3]);
    if (w3 != 0 && uint8_t(w3 >> 16) == generation_) used++;
  }
  return int(uint64_t(used) * 1000 / std::min(Sample, entryCount_));
}
