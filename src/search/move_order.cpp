#include "search/move_order.h"

#include "board/movegen.h"
#include "search/eval_link.h"
#include "search/node_rules.h"
#include "search/search_thread.h"

namespace {

// Favours the centre for king evasions.
constexpr int8_t centreByFileRank[8][8] = {
    {-9, -8, -7, -6, -6, -7, -8, -9}, {-8, -5, -4, -3, -3, -4, -5, -8},
    {-7, -4, -1, 0, 0, -1, -4, -7},   {-6, -3, 0, 3, 3, 0, -3, -6},
    {-6, -3, 0, 3, 3, 0, -3, -6},     {-7, -4, -1, 0, 0, -1, -4, -7},
    {-8, -5, -4, -3, -3, -4, -5, -8}, {-9, -8, -7, -6, -6, -7, -8, -9}};
inline int centre(int sq) { return centreByFileRank[rankOf(sq)][fileOf(sq)]; }

inline int unitsOf(int piece) { return tables.unitsOfSlot[slotOf(piece)]; }


}  // namespace

bool attacksFrom(const Position& pos, int piece, int from, int to, int target) {
  const uint8_t mask = tables.pieceMask[piece] & 0x3B & attackMaskOf(target - to);
  if (!mask) return false;
  if (!(mask & 0x30)) return true;
  const int step = directionOf(target - to);
  for (int sq = to + step; sq != target; sq += step) {
    if (pos.at(sq) != Empty && sq != from) return false;
  }
  return true;
}

void orderCaptures(MoveSupply& s) {
  Position& pos = *s.pos;
  const Move previous = pos.ply > 0 ? pos.moveHistory[pos.ply - 1] : 0;
  const int recaptureSquare = previous ? moveTo(previous) : -1;
  const int enemyKing = pos.kingSquare(pos.sideToMove ^ 1);
  Move* out = s.batchBegin;
  for (Move* m = s.batchBegin; m < s.batchEnd; m++) {
    const int e = exchange(pos, *m);
    int score;
    if (moveTo(*m) == recaptureSquare) {
      score = e >= 0 ? 999 : 998;
    } else if (e < 0) {
      *s.depositEnd++ = *m;
      continue;
    } else {
      score = e;
      // A capture that does not bear on the king afterwards comes a hair later.
      const int piece = pos.at(moveFrom(*m));
      if (!(tables.pieceMask[piece] & attackMaskOf(enemyKing - moveTo(*m)))) score -= 1;
    }
    s.scores[out - s.batchBegin] = score;
    *out++ = *m;
  }
  s.batchEnd = out;
  sortByScore(s.batchBegin, s.batchEnd, s.scores);
}

int orderQuiescenceCaptures(MoveSupply& s, int ply, int threshold, bool checkTest,
                            Move hashMove) {
  Position& pos = *s.pos;
  const int side = int(pos.sideToMove);
  const int enemyKing = pos.kingSquare(side ^ 1);
  const Move preferred = stripFlags(s.thread->captureKiller[ply < MaxPly ? ply : MaxPly - 1]);
  hashMove = stripFlags(hashMove);
  int largestDropped = 0;
  Move* out = s.batchBegin;
  for (Move* m = s.batchBegin; m < s.batchEnd; m++) {
    const Move move = *m;
    const int from = moveFrom(move), to = moveTo(move);
    const int capturedUnits = tables.unitsOfSlot[slotOf(moveCaptured(move))];
    int score;
    if (hashMove && stripFlags(move) == hashMove) {
      score = 0x7FFFFFFF;
    } else if (opensLineToKing(pos, from, to, enemyKing, side)) {
      score = capturedUnits + 1;
    } else {
      if (threshold > 0 && !movePromotion(move)) {
        const int v = 100 * capturedUnits;
        if (threshold > v && !(checkTest && attacksFrom(pos, pos.at(from), from, to, enemyKing))) {
          if (v > largestDropped) largestDropped = v;
          continue;
        }
      }
      const int e = exchange(pos, move);
      if (e < 0) continue;
      score = stripFlags(move) == preferred ? 0x7F100 : e;
    }
    s.scores[out - s.batchBegin] = score;
    *out++ = move;
  }
  s.batchEnd = out;
  sortByScore(s.batchBegin, s.batchEnd, s.scores);
  return largestDropped;
}

void orderEvasions(MoveSupply& s, Move lastMove, Move hashMove) {
  Position& pos = *s.pos;
  s.stage = StageEvasions;
  s.batchBegin = s.moves;
  s.batchEnd = generateEvasions(pos, s.moves, lastMove);
  hashMove = stripFlags(hashMove);
  const int king = pos.kingSquare(int(pos.sideToMove));
  for (Move* m = s.batchBegin; m < s.batchEnd; m++) {
    int score;
    if (hashMove && stripFlags(*m) == hashMove) {
      score = 0x7FFFFFFF;
    } else if (moveFrom(*m) == king) {
      score = tables.unitsOfSlot[slotOf(moveCaptured(*m))] * 0x10000 + centre(moveTo(*m)) -
              centre(king);
    } else {
      score = int(uint32_t(exchange(pos, *m)) << 16) | 2;
    }
    s.scores[m - s.batchBegin] = score;
  }
  sortByScore(s.batchBegin, s.batchEnd, s.scores);
}

void orderThreatResponses(MoveSupply& s, Move threat) {
  Position& pos = *s.pos;
  Move* front = s.batchBegin + 1;  // the first move stays in place
  Move* end = s.batchEnd;
  if (front >= end) return;

  // Brings the moves that `wanted` accepts to the front, keeping their order.
  auto bringForward = [&](auto wanted) {
    for (Move* m = front; m < end; m++) {
      if (*m == 0 || !wanted(*m)) continue;
      Move chosen = *m;
      for (Move* k = m; k > front; k--) k[0] = k[-1];
      *front++ = chosen;
    }
  };

  if (threat) {
    const int tFrom = moveFrom(threat), tTo = moveTo(threat);
    const uint8_t line = attackMaskOf(tTo - tFrom) & 0x30;
    const int step = line ? directionOf(tTo - tFrom) : 0;
    bringForward([&](Move m) {
      bool answers = moveFrom(m) == tTo;
      if (!answers && step) {
        for (int sq = tFrom + step; sq != tTo; sq += step) {
          if (sq == moveTo(m)) {
            answers = true;
            break;
          }
        }
      }
      return answers && exchange(pos, m) >= 0;
    });
  }

  // Killers of the same side from two and four plies earlier.
  Move earlier[6] = {};
  int count = 0;
  for (int back = 2; back <= 4; back += 2) {
    if (s.ply - back < 0) break;
    const int p = s.ply - back;
    earlier[count++] = stripFlags(s.thread->killers[p][0]);
    earlier[count++] = stripFlags(s.thread->killers[p][1]);
    earlier[count++] = stripFlags(s.thread->mateKiller[p]);
  }
  if (count) {
    bringForward([&](Move m) {
      const Move sm = stripFlags(m);
      for (int i = 0; i < count; i++)
        if (earlier[i] && earlier[i] == sm) return true;
      return false;
    });
  }

  // Checking moves go last: they are never reduced and rarely the quiet move that refutes.
  const int enemyKing = pos.kingSquare(int(pos.sideToMove) ^ 1);
  for (Move* m = front; m < end;) {
    if (*m && attacksFrom(pos, pos.at(moveFrom(*m)), moveFrom(*m), moveTo(*m), enemyKing)) {
      Move t = *m;
      *m = *--end;
      *end = t;
    } else {
      ++m;
    }
  }
}
