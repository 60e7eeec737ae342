#pragma once
// Score units and the checks every node of the two recursive searches makes before it looks
// at moves: the draw rules, mate-distance pruning and the table cut test, plus the check test
// that the pruning and reduction rules share.
#include <cstdint>

#include "board/position.h"
#include "search/syzygy.h"
#include "search/tt.h"

constexpr int Infinity = 30000;
constexpr int MateBound = 29000;  // beyond: a mate score
constexpr int WinBound = 3000;    // beyond: a won or lost score (mates, table and bitbase wins)
constexpr int MaxPly = 120;       // killer and pv rows; qsearch stands pat beyond
constexpr int PvRows = 128;

// Endgame-table wins score in a band of their own: below every mate, so that a mate the search
// proves beats a win the tables promise, and above every other won score (bitbase wins, mop-up
// values). A table win found `distance` plies from where it is scored is worth
// TablebaseWin - distance, so that nearer table wins score higher; in the search the distance is
// the ply, at the root it is the distance to the next capture or pawn move.
constexpr int TablebaseWin = MateBound - 1000;
constexpr int TablebaseMaxDistance = 1024;
static_assert(TablebaseWin < MateBound - PvRows && TablebaseWin - TablebaseMaxDistance > 20000,
              "the table band lies between the mates and the bitbase wins (below 10000)");

// A table result as a score at `distance`: wins and losses in the table band, draws 0, and with
// the 50-move rule on, cursed wins and blessed losses draws too.
inline int tableResultScore(TableWdl wdl, bool fiftyMoveRule, int distance) {
  const int win =
      TablebaseWin - (distance < TablebaseMaxDistance ? distance : TablebaseMaxDistance);
  switch (wdl) {
    case TableWdl::Win:
      return win;
    case TableWdl::Loss:
      return -win;
    case TableWdl::CursedWin:
      return fiftyMoveRule ? 0 : win;
    case TableWdl::BlessedLoss:
      return fiftyMoveRule ? 0 : -win;
    default:
      return 0;
  }
}

// Masks the search and check flags off a stored, killer or pv move.
constexpr Move stripFlags(Move m) { return m & MoveCompareMask; }

// Scores stored relative to the node, read back relative to the root.
inline int scoreToTable(int score, int ply) {
  return score > WinBound ? score + ply : score < -WinBound ? score - ply : score;
}
inline int scoreFromTable(int score, int ply) {
  return score > WinBound ? score - ply : score < -WinBound ? score + ply : score;
}

// Stores a node's result in the table: its move, its score (made relative to the node), the
// depth searched and the bound the score is.
inline void tableStore(Tt& table, const Position& pos, int ply, Move move, int score, int depth,
                       uint8_t bound, TtCounters& counters) {
  TtEntry e;
  e.move = stripFlags(move);
  e.score = int16_t(scoreToTable(score, ply));
  e.depth = int16_t(depth);
  e.bound = bound;
  table.store(pos, e, counters);
}

// Whether m (not yet made) gives direct or discovered check to the king on kingSquare. A slider
// whose line to the king is blocked by exactly one knight or bigger piece of either side marks
// the move with MoveBatteryCheck (an x-ray on the king) and counts as checking.
bool checkTest(const Position& pos, Move& m, int kingSquare);

// Whether the check that `lastMove` gave comes from the moved piece alone and that piece can be
// won by exchange: such a check is a sacrifice, not a forcing line worth a ply more.
bool losingDirectCheck(const Position& pos, Move lastMove);

// Whether moving the piece on `from` to `to` uncovers a slider of `side` onto `king`: the
// origin was the only piece between them and the target leaves that line.
inline bool opensLineToKing(const Position& pos, int from, int to, int king, int side) {
  const uint8_t line = attackMaskOf(from - king) & 0x30;
  if (!line) return false;
  const int step = directionOf(from - king);
  if ((attackMaskOf(to - king) & 0x30) && directionOf(to - king) == step) return false;
  int sq = king + step;
  while (pos.at(sq) == Empty) sq += step;
  if (sq != from) return false;
  for (sq += step; pos.at(sq) == Empty; sq += step) {
  }
  const int piece = pos.at(sq);
  return piece != Guard && colourOf(piece) == side && (tables.pieceMask[piece] & line);
}

// Draw rules; each answers whether the node is drawn (score 0).
// Reversal: the opponent took back its last move and we could take back ours; writes that
// reversal into `pvLine` (two words).
bool reversalDraw(const Position& pos, int ply, int beta, Move* pvLine);
inline bool fiftyMoveDraw(const Position& pos) { return pos.fiftyMoveCount() >= 100; }
bool materialDraw(const Position& pos);
bool repetitionDraw(const Position& pos, int ply);

// Mate-distance pruning: true with `score` to return, or false with alpha possibly raised.
bool mateDistancePrune(int ply, int& alpha, int beta, bool inCheck, int& score);

// Whether a stored entry (score already relative to the root) decides the node.
bool tableCut(int storedScore, int storedDepth, int bound, int depth, int alpha, int beta);

// The static score a node prunes on, corrected by a stored search result: a searched score
// knows more than the evaluation, so a lower bound above it or an upper bound below it
// replaces it (won or lost scores excepted: pruning margins mean nothing there).
inline int tableBoundedEval(int staticEval, int storedScore, int bound) {
  if (storedScore >= WinBound || storedScore <= -WinBound) return staticEval;
  if (bound == BoundExact) return storedScore;
  if (bound == BoundLower && storedScore > staticEval) return storedScore;
  if (bound == BoundUpper && storedScore < staticEval) return storedScore;
  return staticEval;
}
