#include "search/move_supply.h"

#include "board/movegen.h"
#include "search/eval_link.h"
#include "search/search_thread.h"

void sortByScore(Move* moves, Move* end, int* scores) {
  const int n = int(end - moves);
  for (int i = 1; i < n; i++) {
    Move m = moves[i];
    int s = scores[i];
    int j = i;
    for (; j > 0 && scores[j - 1] < s; j--) {
      moves[j] = moves[j - 1];
      scores[j] = scores[j - 1];
    }
    moves[j] = m;
    scores[j] = s;
  }
}

Move* orderChecks(Position& pos, Move* begin, Move* end, int* scores) {
  const int enemyKing = pos.kingSquare(pos.sideToMove ^ 1);
  for (Move* m = begin; m < end;) {
    int see = exchange(pos, *m);
    if (see < 0) {
      *m = *--end;
      continue;
    }
    const int from = moveFrom(*m), to = moveTo(*m);
    int score = (2 * distance(enemyKing, from) - distance(enemyKing, to) + see) *
                tables.unitsOfSlot[slotOf(pos.at(from))];
    if (*m & MoveBatteryCheck) score += 10;
    scores[m - begin] = score;
    ++m;
  }
  sortByScore(begin, end, scores);
  return end;
}

Move* MoveSupply::nextBatch() {
  const Move(&killers)[2] = thread->killers[ply < MaxPly ? ply : MaxPly - 1];
  for (;;) {
    if (stage >= StageKingQuiets && stage < StageQuiescenceStart) return nullptr;
    if (stage >= StageQuietChecks) return nullptr;
    stage++;
    batchBegin = moves;
    batchEnd = moves;
    switch (stage) {
      case StageKiller1:
      case StageKiller2: {
        Move k = killers[stage - StageKiller1];
        if (k && isMoveLegal(*pos, k)) {
          moves[0] = k;
          batchEnd = moves + 1;
        }
        break;
      }
      case StageQuiets: {
        batchEnd = generateQuiets(*pos, moves);
        const Move k0 = stripFlags(killers[0]), k1 = stripFlags(killers[1]);
        for (Move* m = moves; m < batchEnd; m++) {
          Move s = stripFlags(*m);
          if (s == k0 || s == k1) *m = 0;
        }
        while (batchBegin < batchEnd && *batchBegin == 0) batchBegin++;
        break;
      }
      case StageDeposit:
        batchBegin = deposit;
        batchEnd = depositEnd;
        break;
      case StageKingQuiets: {
        // A king step may have been served as a killer already.
        batchEnd = generateKingQuiets(*pos, moves);
        const Move k0 = stripFlags(killers[0]), k1 = stripFlags(killers[1]);
        for (Move* m = moves; m < batchEnd; m++) {
          if (stripFlags(*m) == k0 || stripFlags(*m) == k1) *m = 0;
        }
        break;
      }
      case StageDiscoveredChecks:
        batchEnd = generateDiscoveredChecks(*pos, moves);
        break;
      case StageQuietChecks:
        batchEnd = generateQuietChecks(*pos, moves);
        batchEnd = orderChecks(*pos, moves, batchEnd, scores);
        break;
      default:
        break;
    }
    if (batchBegin < batchEnd) return batchBegin;
  }
}
