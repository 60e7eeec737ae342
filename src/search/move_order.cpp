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

// Above any history score.
constexpr int ThreatAnswerBonus = 1 << 16;

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

int orderQuiescenceCaptures(MoveSupply& s, int ply, int threshold, bool checkTest, Move hashMove) {
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

void orderQuiets(MoveSupply& s, Move threat) {
  Position& pos = *s.pos;
  const History& history = s.thread->history;
  // A move that takes the threatened piece away, or blocks the threat's line, comes first
  // unless it loses material.
  const int tFrom = threat ? moveFrom(threat) : -1, tTo = threat ? moveTo(threat) : -1;
  const int step = threat && (attackMaskOf(tTo - tFrom) & 0x30) ? directionOf(tTo - tFrom) : 0;
  auto answersThreat = [&](Move m) {
    if (!threat) return false;
    bool answers = moveFrom(m) == tTo;
    for (int sq = tFrom + step; step && !answers && sq != tTo; sq += step)
      answers = sq == moveTo(m);
    return answers && exchange(pos, m) >= 0;
  };
  Move* out = s.batchBegin;
  for (Move* m = s.batchBegin; m < s.batchEnd; m++) {
    if (!*m) continue;
    s.scores[out - s.batchBegin] =
        history.score(pos, *m) + (answersThreat(*m) ? ThreatAnswerBonus : 0);
    *out++ = *m;
  }
  s.batchEnd = out;
  sortByScore(s.batchBegin, s.batchEnd, s.scores);
}
