#include "search/move_order.h"

#include "search/eval_link.h"
#include "search/history.h"
#include "search/node_rules.h"

namespace {

// Favours the centre for king evasions.
constexpr int8_t centreByFileRank[8][8] = {
    {-9, -8, -7, -6, -6, -7, -8, -9}, {-8, -5, -4, -3, -3, -4, -5, -8},
    {-7, -4, -1, 0, 0, -1, -4, -7},   {-6, -3, 0, 3, 3, 0, -3, -6},
    {-6, -3, 0, 3, 3, 0, -3, -6},     {-7, -4, -1, 0, 0, -1, -4, -7},
    {-8, -5, -4, -3, -3, -4, -5, -8}, {-9, -8, -7, -6, -6, -7, -8, -9}};
inline int centre(int sq) { return centreByFileRank[rankOf(sq)][fileOf(sq)]; }

// Above any history score.
constexpr int ThreatAnswerBonus = 1 << 16;

}  // namespace

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

Move* orderCaptures(const Position& pos, Move* begin, Move* end, int* scores, Move*& losing) {
  const Move previous = pos.ply > 0 ? pos.moveHistory[pos.ply - 1] : 0;
  const int recaptureSquare = previous ? moveTo(previous) : -1;
  const int enemyKing = pos.kingSquare(pos.sideToMove ^ 1);
  Move* out = begin;
  for (Move* m = begin; m < end; m++) {
    const int e = exchange(pos, *m);
    int score;
    if (moveTo(*m) == recaptureSquare) {
      score = e >= 0 ? 999 : 998;
    } else if (e < 0) {
      *losing++ = *m;
      continue;
    } else {
      score = e;
      // A capture that does not bear on the king afterwards comes a hair later.
      const int piece = pos.at(moveFrom(*m));
      if (!(tables.pieceMask[piece] & attackMaskOf(enemyKing - moveTo(*m)))) score -= 1;
    }
    scores[out - begin] = score;
    *out++ = *m;
  }
  sortByScore(begin, out, scores);
  return out;
}

Move* orderQuiescenceCaptures(const Position& pos, Move* begin, Move* end, int* scores,
                              Move tableMove, Move preferred, int threshold, bool checkTest,
                              int& largestDropped) {
  const int side = int(pos.sideToMove);
  const int enemyKing = pos.kingSquare(side ^ 1);
  preferred = stripFlags(preferred);
  tableMove = stripFlags(tableMove);
  largestDropped = 0;
  Move* out = begin;
  for (Move* m = begin; m < end; m++) {
    const Move move = *m;
    const int from = moveFrom(move), to = moveTo(move);
    const int capturedUnits = tables.unitsOfSlot[slotOf(moveCaptured(move))];
    int score;
    if (tableMove && stripFlags(move) == tableMove) {
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
    scores[out - begin] = score;
    *out++ = move;
  }
  sortByScore(begin, out, scores);
  return out;
}

void orderEvasions(const Position& pos, Move* begin, Move* end, int* scores, Move tableMove) {
  tableMove = stripFlags(tableMove);
  const int king = pos.kingSquare(int(pos.sideToMove));
  for (Move* m = begin; m < end; m++) {
    int score;
    if (tableMove && stripFlags(*m) == tableMove) {
      score = 0x7FFFFFFF;
    } else if (moveFrom(*m) == king) {
      score = tables.unitsOfSlot[slotOf(moveCaptured(*m))] * 0x10000 + centre(moveTo(*m)) -
              centre(king);
    } else {
      score = int(uint32_t(exchange(pos, *m)) << 16) | 2;
    }
    scores[m - begin] = score;
  }
  sortByScore(begin, end, scores);
}

Move* orderQuiets(const Position& pos, const History& history, Move* begin, Move* end, int* scores,
                  Move threat) {
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
  Move* out = begin;
  for (Move* m = begin; m < end; m++) {
    if (!*m) continue;
    scores[out - begin] = history.score(pos, *m) + (answersThreat(*m) ? ThreatAnswerBonus : 0);
    *out++ = *m;
  }
  sortByScore(begin, out, scores);
  return out;
}

Move* orderChecks(const Position& pos, Move* begin, Move* end, int* scores) {
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
