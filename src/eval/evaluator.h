#pragma once
// The static evaluation. One Evaluator per search thread: it reads the thread's Position and
// owns the thread's pawn hash and evaluation cache, so nothing here is shared between threads.
#include <cstdint>

#include "board/position.h"
#include "eval/eval_tables.h"
#include "eval/pawn_hash.h"

MELVOK_EVAL_BEGIN

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

// The weighted values of a pawn structure that the other terms read: its middle-game and
// end-game scores (White minus Black) and each side's shelter and storm by king zone. The engine
// keeps them in the pawn hash entry; the tuning build computes them afresh, with their traces.
struct PawnValues {
  Score mg = 0, eg = 0;
  Score shelter[2][3] = {}, storm[2][3] = {};
};

inline int middleGame(const PawnEntry& e) { return e.mg; }
inline int endGame(const PawnEntry& e) { return e.eg; }
inline int shelterOf(const PawnEntry& e, int side, int zone) { return e.side[side].shelter[zone]; }
inline int stormOf(const PawnEntry& e, int side, int zone) { return e.side[side].storm[zone]; }
inline const Score& middleGame(const PawnValues& v) { return v.mg; }
inline const Score& endGame(const PawnValues& v) { return v.eg; }
inline const Score& shelterOf(const PawnValues& v, int side, int zone) {
  return v.shelter[side][zone];
}
inline const Score& stormOf(const PawnValues& v, int side, int zone) { return v.storm[side][zone]; }

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
#ifdef MELVOK_EVAL_TRACE
  // The score with its dependence on every weight (nothing remembered is used).
  TracedScore trace();
#endif
  // Forgets the remembered scores (evaluations and material imbalances; not the pawn hash).
  void clearCache();

  // The pawn hash entry of the current pawn key, refilled on a miss.
  PawnEntry& probePawnHash();
  PawnEntry& pawnEntry() const { return *entry_; }
  PawnHash& pawnHash() { return pawnHash_; }

  // Terms, exposed for the search and for tests. White's view unless a side is given.
  Score pawnScore();
  Score passedPawnTerm(int side);
  Score pawnRace();
  Score kingTerm(int side);
  Score pieceTerm(int side);

  uint64_t calls = 0;

 private:
  Score compute();
  // materialImbalance through a small table: a search meets few material mixes.
  Score imbalance(uint32_t white, uint32_t black);
  void ensurePawnEntry();
  // kingTerm and pieceTerm with the pawn entry known to be current.
  Score kingScore(int side);
  Score pieceScore(int side);
  // The pawn structure's weighted values: in the pawn entry, or in the tuning build afresh.
#ifdef MELVOK_EVAL_TRACE
  const PawnValues& pawnValues() const { return pawnValues_; }
  PawnValues pawnValues_;
#else
  const PawnEntry& pawnValues() const { return *entry_; }
#endif

  Position* pos_;
  PawnEntry* entry_ = nullptr;
  PawnHash pawnHash_;
  EvalCacheEntry cache_[CacheEntries];
  // All zero is a valid entry: two bare kings are level.
  ImbalanceCacheEntry imbalanceCache_[ImbalanceEntries] = {};
};

// White's view: the value of the material mix beyond the plain piece values.
Score materialImbalance(uint32_t white, uint32_t black);

// Fills the static part of a pawn entry (scores and both side records) for a position.
void fillPawnEntry(PawnEntry& entry, const Position& pos);
// The same, with the weighted values also given as scores (as the tuning build needs them).
void fillPawnEntry(PawnEntry& entry, const Position& pos, PawnValues& values);
// One side's static pawn-structure terms; fills its side record (zone values excepted).
void pawnStructure(const Position& pos, int side, PawnSide& record, Score& mg, Score& eg);

// Chebyshev distance between two squares: the king's moves from one to the other.
inline int distance(int a, int b) {
  const int df = (a & 7) - (b & 7), dr = (a >> 4) - (b >> 4);
  const int f = df < 0 ? -df : df, r = dr < 0 ? -dr : dr;
  return f > r ? f : r;
}
inline bool isLightSquare(int sq) { return ((sq + (sq >> 4)) & 1) != 0; }

MELVOK_EVAL_END
