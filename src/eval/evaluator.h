#pragma once
// The static evaluation. One Evaluator per search thread: it reads the thread's Position and
// owns the thread's pawn hash and evaluation cache, so nothing here is shared between threads.
#include <cstdint>

#include "board/position.h"
#include "eval/pawn_hash.h"

struct EvalCacheEntry {
  uint32_t keyLow;
  uint32_t keyHigh;
  int32_t score;
};

// A remembered material imbalance: it depends on the two material counters alone.
struct ImbalanceCacheEntry {
  uint32_t white;
  uint32_t black;
  int32_t value;
};

class Evaluator {
 public:
  static constexpr int CacheEntries = 1024;
  static constexpr int ImbalanceEntries = 256;

  // Allocates the pawn hash with the usual 65536 entries.
  explicit Evaluator(Position& pos);
  Evaluator(const Evaluator&) = delete;
  Evaluator& operator=(const Evaluator&) = delete;

  // Evaluate another position record from now on (cached scores stay valid: they are keyed).
  void attach(Position& pos) { pos_ = &pos; }
  Position& position() const { return *pos_; }

  // Score of the position for the side to move, in centipawns. Leaves pawnEntry() current.
  int evaluate();
  // The same score computed from scratch, bypassing (and not filling) the evaluation cache.
  int evaluateUncached();
  // Forgets the remembered scores (evaluations and material imbalances; not the pawn hash).
  void clearCache();

  // The pawn hash entry of the current pawn key, refilled on a miss.
  PawnEntry& probePawnHash();
  PawnEntry& pawnEntry() const { return *entry_; }
  PawnHash& pawnHash() { return pawnHash_; }

  // Terms, exposed for the search and for tests. White's view unless a side is given.
  int pawnScore();
  int passedPawnTerm(int side);
  int pawnRace();
  int kingTerm(int side);
  int pieceTerm(int side);

  uint64_t calls = 0;

 private:
  int compute();
  // materialImbalance through a small table: a search meets few material mixes.
  int imbalance(uint32_t white, uint32_t black);
  void ensurePawnEntry();
  // kingTerm and pieceTerm with the pawn entry known to be current.
  int kingScore(int side);
  int pieceScore(int side);

  Position* pos_;
  PawnEntry* entry_ = nullptr;
  PawnHash pawnHash_;
  EvalCacheEntry cache_[CacheEntries];
  // All zero is a valid entry: two bare kings are level.
  ImbalanceCacheEntry imbalanceCache_[ImbalanceEntries] = {};
};

// White's view: the value of the material mix beyond the plain piece values.
int materialImbalance(uint32_t white, uint32_t black);

// Fills the static part of a pawn entry (scores and both side records) for a position.
void fillPawnEntry(PawnEntry& entry, const Position& pos);
// One side's static pawn-structure terms; fills its side record (zone values excepted).
void pawnStructure(const Position& pos, int side, PawnSide& record, int& mg, int& eg);

// Chebyshev distance between two squares: the king's moves from one to the other.
inline int distance(int a, int b) {
  const int df = (a & 7) - (b & 7), dr = (a >> 4) - (b >> 4);
  const int f = df < 0 ? -df : df, r = dr < 0 ? -dr : dr;
  return f > r ? f : r;
}
inline bool isLightSquare(int sq) { return ((sq + (sq >> 4)) & 1) != 0; }
