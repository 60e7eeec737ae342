#pragma once
// Staged move supply: hands a node its moves in batches so that a node that cuts off early
// never generates what it does not need. Main search: killers (stages 2, 3), quiet moves (4),
// the captures the search put aside (5), king moves (6). Quiescence search: discovered checks
// (11), then quiet checks (12) filtered and ordered by orderChecks.
#include <cstdint>

#include "board/position.h"

struct SearchThread;

constexpr int StageMainStart = 1;
constexpr int StageKiller1 = 2;
constexpr int StageKiller2 = 3;
constexpr int StageQuiets = 4;
constexpr int StageDeposit = 5;
constexpr int StageKingQuiets = 6;
constexpr int StageEvasions = 8;
constexpr int StageQuiescenceStart = 10;
constexpr int StageDiscoveredChecks = 11;
constexpr int StageQuietChecks = 12;

struct MoveSupply {
  SearchThread* thread = nullptr;
  Position* pos = nullptr;
  int ply = 0;
  int stage = 0;
  Move* batchBegin = nullptr;
  Move* batchEnd = nullptr;
  Move* depositEnd = nullptr;
  Move moves[MaxMoves];
  Move deposit[MaxMoves];  // captures put aside by orderCaptures
  int scores[MaxMoves];    // scratch for the orderings

  void start(SearchThread& t, Position& p, int nodePly, int firstStage) {
    thread = &t;
    pos = &p;
    ply = nodePly;
    stage = firstStage;
    batchBegin = batchEnd = moves;
    depositEnd = deposit;
  }
  // The first move of the next non-empty batch (its end in batchEnd), or null when exhausted.
  Move* nextBatch();
};

// Drops quiet checks that lose material, orders the rest; returns the new end.
Move* orderChecks(Position& pos, Move* begin, Move* end, int* scores);

// Sorts moves [begin, end) by descending score; equal scores keep their order.
void sortByScore(Move* begin, Move* end, int* scores);
