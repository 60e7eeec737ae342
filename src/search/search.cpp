// The main search and the quiescence search. A node of the main search takes its steps in this
// order: draws and mate distance, the table, the endgame tables (Syzygy, then the bitbases),
// reverse futility, the null move, internal deepening, then its moves as the move picker hands
// them out (the table move, the mate killer, the futility base set once those are done, then the
// generated moves, late ones reduced or pruned, and shared with idle threads at a split point),
// and last the fail-low extension. One move loop, searchMoves, serves the node and every thread
// at a split point.
#include "search/search.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#include "board/makemove.h"
#include "board/movegen.h"
#include "search/bitbase.h"
#include "search/eval_link.h"
#include "search/move_picker.h"
#include "search/parallel.h"
#include "search/search_controller.h"
#include "search/split_point.h"
#include "search/time_control.h"
#include "search/tt.h"

namespace {

// The search's constants, named for the rules they tune. The score margins are in the
// evaluation's units, where a pawn is worth 84: a new fit of the pawn moves them with it.
constexpr int QuiescenceEntryDepth = 4;  // the main search hands over with checks for 4 plies
constexpr int MaxSearchPly = 99;         // deeper nodes go straight to the quiescence search
constexpr int NullMoveDepthCut = 4;      // the null move is searched 4 plies shallower,
constexpr int NullMoveDepthDivisor = 4;  // ... and one more for every 4 plies of depth
constexpr int ReverseFutilityMaxDepth = 6;
constexpr int ReverseFutilityMargin = 71;  // per ply of depth
// Late-move pruning: off the principal variation, at depth d the quiet moves after the first
// LateMoveCount[d] are not searched unless they give check.
constexpr int LateMovePruningMaxDepth = 4;
constexpr int LateMoveCount[LateMovePruningMaxDepth + 1] = {0, 5, 8, 13, 20};
constexpr int NullVerifyOfficers = 4;  // below this many officers a null cut-off is verified
constexpr int HashMoveDepthSlack = 2;  // a table move that shallow is still tried first
constexpr int IidDepthCut = 2;         // internal deepening searches 2 plies less than the move
constexpr int IidCutNodeMinDepth = 3;  // ... and at expected cut nodes only from that depth
constexpr int FutilityMaxDepth = 4;
constexpr int FutilityMargin[FutilityMaxDepth + 1] = {0, 42, 126, 210, 294};
constexpr int PawnEndingExtensionHashMove = 3;  // plies added for a capture into a pawn ending
constexpr int PawnEndingExtension = 1;
constexpr int EvasionStandMargin = 42;      // in check, this far below alpha only captures help
constexpr int QuiescenceDeltaMargin = 210;  // captures that cannot come this close are dropped
constexpr int XrayTableDepth = 1;           // table depth of a quiescence node after an x-ray check
constexpr int NoThreat = 8;                 // an off-board square: the null move found no threat
constexpr int MaxQuietsRemembered = 64;     // quiet moves a node remembers for the history
constexpr int TableProbeDepthBonus = 6;     // a Syzygy answer holds at any depth: stored deeper
// Late-move reductions grow with the depth and with the move's place in the list:
// base + ln(depth) * ln(move number) / divisor plies, one less at PV nodes, and a ply less (or
// more) for every HistoryReductionStep of a quiet move's history.
constexpr double ReductionBase = 0.7;
constexpr double ReductionDivisor = 2.0;
constexpr int HistoryReductionStep = History::Max / 2;  // history worth one ply of reduction

constexpr Move CaptureOrPromotion = 0x07FF0000;

inline bool isQuiet(Move m) { return (m & CaptureOrPromotion) == 0; }
inline int unitsOf(int piece) { return tables.unitsOfSlot[slotOf(piece)]; }
bool hasOfficers(uint32_t material) { return officerCount(material) != 0; }
inline bool hasMoreThanKing(uint32_t material) {
  return pawnCount(material) || pieceUnits(material);
}

inline void shiftKillers(SearchThread& t, int ply, Move m) {
  m = stripFlags(m);
  if (m == t.killers[ply][0]) return;
  t.killers[ply][1] = t.killers[ply][0];
  t.killers[ply][0] = m;
}

inline void store(SearchThread& t, int ply, Move m, int score, int depth, uint8_t bound) {
  tableStore(t.controller->table(), t.pos, ply, m, score, depth, bound, t.counters.tt);
}

// A move refutes the node: the table keeps its score as a lower bound, the killers learn it
// (unless `remember` is off: re-searches of moves the killers already know) and it becomes the
// node's line. Returns the score.
inline int cutOff(SearchThread& t, int ply, Move move, int value, int depth, bool inCheck,
                  bool remember = true) {
  store(t, ply, move, value, depth, BoundLower);
  if (remember) {
    if (value > MateBound) t.mateKiller[ply] = stripFlags(move);
    if (isQuiet(move) && !inCheck) shiftKillers(t, ply, move);
  }
  t.pv[ply].set(move);
  return value;
}

// Polled every 256 interior nodes: the hard time limit and the node limit, which never end the
// first iteration (a move is never played unsearched).
bool limitReached(const SearchThread& t) {
  const TimeControl& time = t.controller->times();
  if (time.depth <= 1) return false;
  if (time.elapsed() > time.limitMs) return true;
  return time.nodeLimit && searchNodes(t) >= time.nodeLimit;
}

// A limit ends the whole search: with helpers running every thread must stop, not just the one
// that noticed.
void stopOnLimit(SearchThread& t) {
  if (t.controller->searchThreads > 1)
    t.controller->stopAll();
  else
    t.stop = 1;
}

// Extension for a move just made (newDepth below depth): a capture of a piece into a pawn
// ending, or a recapture in a balanced position.
int extensionFor(const Position& pos, Move m, Move lastMove, int newDepth, int type,
                 int pawnEndingPlies) {
  const int captured = moveCaptured(m);
  if (captured && !isPawnPiece(captured) &&
      officerCount(pos.material[White]) + officerCount(pos.material[Black]) == 0)
    return pawnEndingPlies;
  if (newDepth > 2 && lastMove && !isQuiet(lastMove) && moveTo(m) == moveTo(lastMove)) {
    if (type == PvNode) return 1;
    const int w = pawnCount(pos.material[White]) + pieceUnits(pos.material[White]);
    const int b = pawnCount(pos.material[Black]) + pieceUnits(pos.material[Black]);
    const int balance = w > b ? w - b : b - w;
    if (balance <= (newDepth < 5 ? newDepth : 5)) return 1;
  }
  return 0;
}

// Whether a quiet move must not be reduced: it attacks something worth more, it answers the
// threat found by the null move, or it pushes a passed pawn.
bool reductionExempt(SearchThread& t, Move m, int threatSquare) {
  Position& pos = t.pos;
  const int from = moveFrom(m), to = moveTo(m);
  const int piece = pos.at(from);
  const int side = int(pos.sideToMove);
  const int enemy = colourBase(side ^ 1);
  bool pattern = false;
  if (isPawnPiece(piece)) {
    if (isPassedPawn(t.eval, side, from)) return true;
    const int ahead = to + pawnStep[side];
    for (int sq : {ahead - 1, ahead + 1}) {
      const int target = pos.at(sq);
      if (target != Guard && (target & 0xC0) == enemy && !isPawnPiece(target)) pattern = true;
    }
    // A pawn attacking a pawn is no threat worth a full-depth search.
  } else if (slotOf(piece) >= KnightSlot && slotOf(piece) < BishopSlot) {
    for (int step : knightSteps) {
      const int target = pos.at(to + step);
      if (target != Guard && (target & 0xC0) == enemy && slotOf(target) >= BishopSlot)
        pattern = true;
    }
  } else if (slotOf(piece) >= BishopSlot) {
    const uint8_t lines = tables.pieceMask[piece] & 0x30;
    const int moveLine = directionOf(to - from);
    for (int slot = RookSlot; slot < QueenEnd && !pattern; slot++) {
      if (slot == RookEnd) continue;
      const int sq = pos.pieceSquare[enemy + slot];
      if (sq == NoSquare) {
        if (slot < RookEnd)
          slot = RookEnd;  // rook list ended: go on with the queens
        else
          break;
        continue;
      }
      if (sq & 0x88) continue;
      if (!(lines & attackMaskOf(sq - to))) continue;
      const int dir = directionOf(sq - to);
      if (dir == moveLine || dir == -moveLine) continue;
      int s = to + dir;
      while (s != sq && (pos.at(s) == Empty || s == from)) s += dir;
      if (s == sq) pattern = true;
    }
  }
  if (from == threatSquare) pattern = true;
  if (!pattern) return false;
  return unitsOf(moveCaptured(m)) > unitsOf(piece) || exchange(pos, m) >= 0;
}

// Quiescence: a side without pieces whose pawns cannot move and whose king has no safe square
// is stalemated.
bool pawnStalemate(const Position& pos) {
  const int side = int(pos.sideToMove);
  const int base = colourBase(side);
  const int enemy = colourBase(side ^ 1);
  for (int slot = PawnSlot; slot < PawnEnd; slot++) {
    const int sq = pos.pieceSquare[base + slot];
    if (sq == NoSquare) break;
    if (sq & 0x88) continue;
    const int ahead = sq + pawnStep[side];
    if (pos.at(ahead) == Empty) return false;
    for (int target : {pos.at(ahead - 1), pos.at(ahead + 1)})
      if (target != Guard && (target & 0xC0) == enemy) return false;
  }
  const int king = pos.kingSquare(side);
  for (int step : kingSteps) {
    const int sq = king + step;
    const int there = pos.at(sq);
    if (there == Guard || (there != Empty && (there & 0xC0) == base)) continue;
    if (!isAttacked(pos, side ^ 1, sq)) return false;
  }
  return true;
}

// Plies of reduction by depth and move number (both capped at 63).
struct ReductionTable {
  int8_t plies[64][64];
  ReductionTable() {
    for (int d = 0; d < 64; d++)
      for (int m = 0; m < 64; m++)
        plies[d][m] =
            d && m ? int8_t(ReductionBase + std::log(d) * std::log(m) / ReductionDivisor) : 0;
  }
};
const ReductionTable reductionTable;

// The reduction of a late move that may be reduced: at least one ply, and never so much that
// the reduced search would not reach below the node's next ply.
int lateMoveReduction(const SearchThread& t, Move move, int newDepth, int moveNumber, bool pv) {
  int r = reductionTable.plies[newDepth < 63 ? newDepth : 63][moveNumber < 63 ? moveNumber : 63];
  if (pv) r--;
  if (isQuiet(move)) r -= t.history.score(t.pos, move) / HistoryReductionStep;
  if (r < 1) r = 1;
  return r < newDepth ? r : newDepth;
}

// Futility at expected all-nodes: whether a move cannot lift a score of `base` above alpha.
// Pawn moves to the last two ranks and checks are never pruned (the check test runs last, as it
// is the dearest, and may flag the move).
inline bool futile(const Position& pos, Move& move, int side, int alpha, int base, int enemyKing,
                   bool& checkKnown, bool& checks) {
  const int gain = 100 * unitsOf(moveCaptured(move)) + (movePromotion(move) ? 800 : 0);
  const int piece = pos.at(moveFrom(move));
  const int to = moveTo(move);
  const bool advancedPawn =
      isPawnPiece(piece) && (side == White ? rankOf(to) >= 6 : rankOf(to) <= 1);
  if (alpha <= base + gain || advancedPawn) return false;
  checks = checkTest(pos, move, enemyKing);
  checkKnown = true;
  return !checks;
}

// Late-move pruning of a quiet move, at nodes where it applies (not PV, not in check, a score
// that is no loss already found).
inline bool lateMovePruned(const Position& pos, Move& move, int depth, int moveNumber,
                           int enemyKing, bool& checkKnown, bool& checks) {
  if (depth > LateMovePruningMaxDepth || moveNumber <= LateMoveCount[depth] || !isQuiet(move))
    return false;
  if (!checkKnown) checks = checkTest(pos, move, enemyKing);
  checkKnown = true;
  return !checks;
}

// The reduction of a move (0 for none): late moves (the quiet stages) that give no check and
// are not exempt for what they attack or answer.
inline int reductionOf(SearchThread& t, Move& move, int newDepth, int moveNumber, int type,
                       int enemyKing, int threatSquare, bool checkKnown, bool checks) {
  if (!checkKnown) checks = checkTest(t.pos, move, enemyKing);
  if (checks || reductionExempt(t, move, threatSquare)) return 0;
  return lateMoveReduction(t, move, newDepth, moveNumber, type == PvNode);
}

// One node of the main search, as its steps share it.
struct Node {
  SearchThread& t;
  Position& pos;
  const int ply;
  int alpha;
  const int beta;
  const int depth;
  const Move lastMove;
  int type;
  const bool inCheck;
  const int side;
  int newDepth = 0;
  Move hashMove = 0;
  Move threat = 0;  // the reply that refuted the null move
  int threatSquare = NoThreat;
  int futilityBase = Infinity;
  int staticEval = -Infinity;  // corrected, table-bounded; where pruned on (not PV, not in check)
  int rawEval = -Infinity;     // the evaluation itself, wherever not in check
  int tableScore = 0;          // the table's score for the node, if it has one
  uint8_t tableBound = BoundNone;
  bool reductions = false;
  bool lateMovesReady = false;  // the futility base and reductions are set (prepareLateMoves)
  int best = -Infinity;
  Move bestMove = 0;
  int searched = 0;
  int quietCount = 0;
  Move quietsTried[MaxQuietsRemembered];  // quiet moves searched without a cut-off

  Node(SearchThread& thread, int nodePly, int a, int b, int d, Move last, int nodeType, bool check)
      : t(thread),
        pos(thread.pos),
        ply(nodePly),
        alpha(a),
        beta(b),
        depth(d),
        lastMove(last),
        type(nodeType),
        inCheck(check),
        side(int(thread.pos.sideToMove)) {}

  // The node's result teaches the correction of its pawn structure, unless it is only a bound
  // on the static score's own side, or the result of a capture (that is about the capture).
  void learnCorrection(int value, uint8_t bound, Move move) {
    if (rawEval == -Infinity || t.stop || (move && !isQuiet(move)) || value >= WinBound ||
        value <= -WinBound)
      return;
    const int corrected = t.correction.corrected(pos, rawEval);
    if ((bound == BoundLower && value <= corrected) || (bound == BoundUpper && value >= corrected))
      return;
    t.correction.learn(pos, rawEval, value, depth);
  }

  void triedQuiet(Move move) {
    if (isQuiet(move) && quietCount < MaxQuietsRemembered) quietsTried[quietCount++] = move;
  }
  // A quiet refutation out of check teaches the history (the evasions have their own order).
  void rewardQuiet(Move move) {
    if (isQuiet(move) && !inCheck) t.history.reward(pos, move, depth, quietsTried, quietCount);
  }

  // A searched move beat alpha: it raises alpha and becomes the node's line.
  void raiseAlpha(Move move, int value) {
    alpha = value;
    t.pv[ply].extend(move, t.pv[ply + 1]);
    t.counters.pvChanges++;
  }
};

// The table: a stored result may decide the node; otherwise its move is tried first if it is
// legal and its search was not much shallower.
inline bool probeTable(Node& n, int& value) {
  n.t.counters.tt.probes++;
  TtEntry e;
  if (!n.t.controller->table().probe(n.pos, e)) return false;
  n.t.counters.tt.hits++;
  const int s = scoreFromTable(e.score, n.ply);
  const Move m = stripFlags(e.move);
  n.tableScore = s;
  n.tableBound = e.bound;
  if (n.type != PvNode && tableCut(s, e.depth, e.bound, n.depth, n.alpha, n.beta)) {
    n.t.counters.tt.cuts++;
    if (s >= n.beta && m && isQuiet(m) && !n.inCheck) shiftKillers(n.t, n.ply, m);
    n.t.pv[n.ply].set(m);
    value = s;
    return true;
  }
  if (m && !(n.type == PvNode && e.bound == BoundUpper) &&
      e.depth >= n.depth - HashMoveDepthSlack && (n.inCheck || isMoveLegal(n.pos, m)))
    n.hashMove = m;
  return false;
}

// Whether a node that the tables call lost is mated already (a mate the search can show).
inline bool matedHere(const Node& n) {
  Move evasions[MaxMoves];
  return n.inCheck && generateEvasions(n.pos, evasions, n.lastMove) == evasions;
}

// The Syzygy tables, asked right after a capture or pawn move (their WDL answer assumes the
// 50-move clock at zero) in positions without castling rights, few enough men and enough depth
// left. Their result ends the node: a win as a lower bound (a mate may be nearer), a loss as an
// upper bound, a draw as exact; it is stored so that the next visit finds it in the table.
inline bool probeSyzygy(Node& n, int& value) {
  const SearchThresholds& limits = n.t.controller->thresholds;
  if (n.depth < limits.syzygyDepth || n.pos.fiftyMoveCount() != 0 || n.pos.castleRights != 0 ||
      menOnBoard(n.pos) > limits.syzygyMen)
    return false;
  TableWdl wdl;
  if (!n.t.controller->syzygy.probeWdl(n.pos, wdl)) return false;
  n.t.counters.tableHits++;
  const int s = tableResultScore(wdl, limits.syzygyRule50, n.ply);
  if (s < 0 && matedHere(n)) {
    value = n.ply - Infinity;
    return true;
  }
  const uint8_t bound = s > 0 ? BoundLower : s < 0 ? BoundUpper : BoundExact;
  store(n.t, n.ply, 0, s, std::min(n.depth + TableProbeDepthBonus, MaxSearchPly), bound);
  value = s;
  return true;
}

// The bitbases: a known win, loss or draw is stored; it decides the node unless the position
// is past the probe ply and worth exploring for a faster win.
inline bool probeBitbases(Node& n, int& value) {
  const SearchThresholds& limits = n.t.controller->thresholds;
  const int men = bitbaseMen(n.pos);
  if (men > limits.bitbaseProbeLimit || n.pos.epSquare != 0 ||
      (men > limits.bitbaseFreeLimit && n.ply >= limits.bitbasePlyLimit))
    return false;
  int s;
  if (!n.t.controller->bitbases.probe(n.pos, s)) return false;
  n.t.counters.tableHits++;
  if (s < -WinBound && matedHere(n)) {
    value = n.ply - Infinity;
    return true;
  }
  s = scoreFromTable(s, n.ply);  // nearer wins score higher
  const uint8_t bound = s >= n.beta ? BoundLower : s > n.alpha ? BoundExact : BoundUpper;
  store(n.t, n.ply, 0, s, n.depth, bound);
  value = s;
  if (men > limits.bitbaseFreeLimit && n.ply >= limits.bitbasePlyLimit - 1) return true;
  return s >= -(WinBound - 1) && s <= WinBound - 1;
}

// Reverse futility: near the leaves, a static score that stays above beta by a margin that
// grows with the depth is taken as the node's score.
inline bool reverseFutility(const Node& n, int& value) {
  if (n.type == PvNode || n.inCheck || n.depth > ReverseFutilityMaxDepth || n.beta > WinBound - 1 ||
      n.beta < -(WinBound - 1) || n.staticEval - ReverseFutilityMargin * n.depth < n.beta)
    return false;
  value = n.staticEval;
  return true;
}

// The null move at nodes off the principal variation whose static score reaches beta: if passing
// still holds beta, so will a real move (with few pieces, where zugzwang is real, only after a
// reduced search of our own agrees). When it fails, the refutation is the threat the quiet moves
// are ordered and reduced against.
inline bool tryNullMove(Node& n, int& value) {
  SearchThread& t = n.t;
  if (n.depth < 2 || !n.lastMove || n.inCheck || n.type == PvNode || n.beta > WinBound - 1 ||
      n.staticEval < n.beta || !hasOfficers(n.pos.material[n.side]))
    return false;
  const int nullDepth = n.depth - NullMoveDepthCut - n.depth / NullMoveDepthDivisor;
  const uint32_t before = t.counters.total();
  t.counters.nullDepth++;
  const UndoInfo undo = saveUndo(n.pos);
  makeNullMove(n.pos);
  const int nullValue = -search(t, n.ply + 1, -n.beta, -n.beta + 1, nullDepth, 0, AllNode);
  unmakeNullMove(n.pos, undo);
  t.counters.nullDepth--;
  t.counters.nullTries++;
  if (t.counters.nullDepth == 0) t.counters.nullNodes += t.counters.total() - before;
  value = 0;
  if (t.stop) return true;
  if (nullValue >= n.beta && nullValue < WinBound) {
    bool holds = true;
    if (officerCount(n.pos.material[n.side]) < NullVerifyOfficers) {
      const int verified = search(t, n.ply, n.alpha, n.beta, nullDepth, n.lastMove, PvNode);
      if (t.stop) return true;
      t.pv[n.ply].clear();
      holds = verified >= n.beta;
    }
    if (holds) {
      t.counters.nullCuts++;
      store(t, n.ply, 0, nullValue, n.depth, BoundLower);
      value = nullValue;
      return true;
    }
  }
  n.threat = t.pv[n.ply + 1][0];
  if ((n.lastMove & MoveSearchFlag) && n.threat && moveFrom(n.threat) == moveTo(n.lastMove)) {
    value = -Infinity;  // the reduced move that led here walks into the threat
    return true;
  }
  n.threatSquare = n.threat ? moveTo(n.threat) : NoThreat;
  return false;
}

// Internal iterative deepening: without a table move, a shallower search of the node finds
// one; a mate it proves decides the node at once.
inline bool internalDeepening(Node& n, int& value) {
  SearchThread& t = n.t;
  if (n.hashMove || n.depth < 2 ||
      !(n.type == PvNode || (n.type == CutNode && n.newDepth >= IidCutNodeMinDepth)))
    return false;
  const uint32_t before = t.counters.total();
  t.counters.iidDepth++;
  value = search(t, n.ply, n.alpha, n.beta, n.newDepth - IidDepthCut, n.lastMove, n.type);
  t.counters.iidDepth--;
  if (t.counters.iidDepth == 0) t.counters.iidNodes += t.counters.total() - before;
  if (t.stop) {
    value = 0;
    return true;
  }
  n.hashMove = t.pv[n.ply][0];
  if (n.hashMove && !n.inCheck && !isMoveLegal(n.pos, n.hashMove)) n.hashMove = 0;
  if (value > MateBound && value >= n.beta) {
    t.mateKiller[n.ply] = n.hashMove;
    return true;
  }
  return value < -MateBound && value < n.alpha;
}

// Futility base: near the leaves, at nodes expected to fail low, a move that cannot lift the
// static evaluation plus a margin above alpha is not searched.
inline void setFutilityBase(Node& n) {
  if (hasOfficers(n.pos.material[n.side ^ 1]) && n.depth <= FutilityMaxDepth && n.type != PvNode &&
      !n.inCheck && n.alpha >= -(WinBound - 1) && n.alpha <= WinBound - 1) {
    if (n.alpha > n.staticEval) n.futilityBase = n.staticEval + FutilityMargin[n.depth];
  }
}

// Past the table move and the mate killer: the futility base and, where moves may be reduced,
// the pawn entry that the reduction exemptions read.
inline void prepareLateMoves(Node& n) {
  setFutilityBase(n);
  n.reductions = n.depth >= 2 && !n.inCheck;
  if (n.reductions) n.t.eval.probePawnHash();
  n.lateMovesReady = true;
}

enum class MoveOutcome { Illegal, Stopped, ReducedHeld, Searched };

// The searches of one move of a node: makes it, extends it (a capture into a pawn ending by
// `pawnEndingPlies`), tries the reduced search when `reduction` is set, then the null-window
// and full-window searches, and takes it back. `value` is the move's score unless the move was
// illegal or the thread was stopped. A reduced search that held (ReducedHeld) leaves alpha
// alone: the move counts as searched and failed low.
inline MoveOutcome searchMove(Node& n, const UndoInfo& undo, Move move, int reduction,
                              int pawnEndingPlies, int& value) {
  SearchThread& t = n.t;
  Position& pos = n.pos;
  const int ply = n.ply, alpha = n.alpha, beta = n.beta;
  const Move made = makeMove(pos, move);
  if (!made) return MoveOutcome::Illegal;
  t.controller->table().prefetch(pos);
  int d = n.newDepth;
  bool extended = false;
  if (n.newDepth < n.depth) {
    const int ext = extensionFor(pos, made, n.lastMove, n.newDepth, n.type, pawnEndingPlies);
    d += ext;
    extended = ext != 0;
  }
  if (reduction && !extended && !givesCheck(made)) {
    t.counters.reduceTries++;
    value = -search(t, ply + 1, -alpha - 1, -alpha, n.newDepth - reduction, made | MoveSearchFlag,
                    CutNode);
    if (t.stop) {
      unmakeMove(pos, move, undo);
      return MoveOutcome::Stopped;
    }
    if (value <= alpha) {
      unmakeMove(pos, move, undo);
      return MoveOutcome::ReducedHeld;
    }
    t.counters.reduceFails++;
  }
  if (beta > alpha + 1 && n.searched > 0) {
    value = -search(t, ply + 1, -alpha - 1, -alpha, d, made, CutNode);
    if (value > alpha && !t.stop) value = -search(t, ply + 1, -beta, -alpha, d, made, PvNode);
  } else {
    value = -search(t, ply + 1, -beta, -alpha, d, made, -n.type);
  }
  unmakeMove(pos, move, undo);
  return t.stop ? MoveOutcome::Stopped : MoveOutcome::Searched;
}

// The mate killer is a probe, not one of the node's moves: a null-window search one ply
// shallower that decides the node if the move still mates (the killers need not learn it
// again). Otherwise it is forgotten and comes again in its own stage.
inline bool probeMateKiller(Node& n, const UndoInfo& undo, Move killer, int& value) {
  SearchThread& t = n.t;
  const Move made = makeMove(n.pos, killer);
  if (!made) return false;
  t.controller->table().prefetch(n.pos);
  value = -search(t, n.ply + 1, -n.beta, -n.beta + 1, n.depth - 1, made, -n.type);
  unmakeMove(n.pos, killer, undo);
  if (t.stop) {
    value = 0;
    return true;
  }
  if (value >= n.beta) {
    cutOff(t, n.ply, killer, value, n.depth, n.inCheck, false);
    return true;
  }
  t.mateKiller[n.ply] = 0;
  return false;
}

// A move refuted the node: the counters, the history, the table, the killers and the
// correction learn it.
inline void refuteNode(Node& n, Move move, int value, Stage stage) {
  SearchThread& t = n.t;
  t.counters.cutNodes++;
  if (n.searched == 0) t.counters.firstMoveCuts++;
  if (stage == Stage::Killer1 || stage == Stage::Killer2) t.counters.killerCuts++;
  n.rewardQuiet(move);
  cutOff(t, n.ply, move, value, n.depth, n.inCheck);
  n.learnCorrection(value, BoundLower, move);
}

// A move beat this thread's best at a split point: if it also beats the shared alpha, it
// becomes the split point's best and the owner's line.
inline void raiseSharedBest(Node& n, SplitPoint& sp, Move move, int value) {
  if (value <= sp.alpha.load(std::memory_order_relaxed)) return;
  std::lock_guard<SpinLockBackoff> guard(sp.lock);
  if (value <= sp.alpha.load(std::memory_order_relaxed)) return;
  sp.alpha.store(value, std::memory_order_relaxed);
  sp.bestScore.store(value, std::memory_order_relaxed);
  sp.bestMove.store(stripFlags(move), std::memory_order_relaxed);
  sp.owner->pv[n.ply].extend(move, n.t.pv[n.ply + 1]);
  n.t.counters.pvChanges++;
}

// The next move of a split point, taken under its lock with its stage; the thread's view of the
// node numbers it after the moves the owner searched before the split.
inline Move takeShared(SplitPoint& sp, Node& n, Stage& stage) {
  std::lock_guard<SpinLockBackoff> guard(sp.lock);
  const Move move = sp.picker->next();
  stage = sp.picker->stage();
  n.searched = sp.searchedBefore + sp.handedOut++;
  return move;
}

enum class Sharing { NotShared, Decided, Searched };

// Offers the rest of the node to idle threads and searches it with them (the move in hand goes
// back to the picker, which then generates the rest for all of them). When the node was shared,
// its best, best move and alpha are then the split point's; Decided sets `value`.
inline Sharing shareNode(Node& n, MovePicker& picker, int& value) {
  SearchThread& t = n.t;
  if (n.depth < t.controller->thresholds.splitDepth || t.splitCount >= MaxSplitPoints ||
      n.searched == 0 || !trySplit(t, t.splits[t.splitCount]))
    return Sharing::NotShared;
  SplitPoint& sp = t.splits[t.splitCount];
  const uint64_t adminStart = microTicks();
  sp.type = n.type;
  sp.ply = n.ply;
  sp.alpha.store(n.alpha, std::memory_order_relaxed);
  sp.beta = n.beta;
  sp.depth = n.depth;
  const Move* history = n.pos.moveHistory + (n.pos.ply - n.ply);
  for (int i = 0; i < n.ply; i++) sp.path[i] = history[i];
  sp.key = n.pos.hashKey;
  sp.state.store(SplitPathWritten, std::memory_order_release);
  sp.bestScore.store(n.best, std::memory_order_relaxed);
  sp.bestMove.store(n.bestMove, std::memory_order_relaxed);
  sp.newDepth = n.newDepth;
  sp.futilityBase = n.futilityBase;
  sp.reductions = n.reductions;
  sp.searchedBefore = n.searched;
  sp.inCheck = n.inCheck;
  sp.threatSquare = n.threatSquare;
  sp.hashMove = n.inCheck ? 0 : n.hashMove;
  sp.lastMove = n.lastMove;
  picker.putBack();
  picker.share();
  sp.picker = &picker;
  sp.handedOut = 0;
  sp.state.store(SplitReady, std::memory_order_release);
  t.adminMicros = t.adminMicros + (microTicks() - adminStart);
  runSplitPoint(t, sp);
  value = 0;
  if (t.stop) return Sharing::Decided;
  n.best = sp.bestScore.load(std::memory_order_relaxed);
  n.bestMove = sp.bestMove.load(std::memory_order_relaxed);
  if (n.best >= n.beta) {
    value = cutOff(t, n.ply, n.bestMove, n.best, n.depth, n.inCheck);
    n.learnCorrection(n.best, BoundLower, n.bestMove);
    return Sharing::Decided;
  }
  const int splitAlpha = sp.alpha.load(std::memory_order_relaxed);
  if (splitAlpha > n.alpha) n.alpha = splitAlpha;
  if (n.type == CutNode) n.type = AllNode;
  return Sharing::Searched;
}

// The move loop of a node, which every thread at a split point (`sp`) runs too: takes the moves
// as the picker hands them out (at a split point under its lock), prunes, splits, reduces,
// extends and searches them, and keeps the scores (at a split point in its shared alpha and
// best). True when that decided the node, with its score in `value`: a cut-off, a stop, a mate
// killer that still mates, or at a split point a cut-off by any thread.
bool searchMoves(Node& n, MovePicker& picker, SplitPoint* sp, const UndoInfo& undo, int& value) {
  SearchThread& t = n.t;
  Position& pos = n.pos;
  const int ownKing = pos.kingSquare(n.side);
  const int enemyKing = pos.kingSquare(n.side ^ 1);
  const int lastTarget = n.lastMove ? moveTo(n.lastMove) : -1;
  for (;;) {
    if (t.stop) {
      value = 0;
      return true;
    }
    Move move;
    Stage stage;
    if (sp) {
      move = takeShared(*sp, n, stage);
    } else {
      move = picker.next();
      stage = picker.stage();
      if (!n.lateMovesReady && isGenerated(stage)) prepareLateMoves(n);
    }
    if (!move) return false;
    if (isPinnedMove(pos, ownKing, moveFrom(move), moveTo(move))) continue;
    if (sp) {
      // The shared alpha, which every thread at the split point raises.
      n.alpha = sp->alpha.load(std::memory_order_relaxed);
      if (n.alpha >= n.beta) return true;  // a cut-off elsewhere ended the node
    }
    if (stage == Stage::MateKiller) {
      if (probeMateKiller(n, undo, move, value)) return true;
      continue;
    }

    int reduction = 0;
    if (isGenerated(stage)) {
      // Futility as the node has it, but at a split point the good captures are exempt.
      bool checkKnown = false, checks = false;
      if (n.type == AllNode && moveTo(move) != lastTarget && n.futilityBase < Infinity &&
          !(sp && stage == Stage::GoodCaptures) &&
          futile(pos, move, n.side, n.alpha, n.futilityBase, enemyKing, checkKnown, checks)) {
        if (n.futilityBase > n.best) n.best = n.futilityBase;
        n.searched++;
        t.counters.pruned++;
        continue;
      }
      if (n.type != PvNode && !n.inCheck && isLate(stage) && n.best > -(WinBound - 1) &&
          lateMovePruned(pos, move, n.depth, n.searched + 1, enemyKing, checkKnown, checks)) {
        n.searched++;
        t.counters.pruned++;
        continue;
      }
      if (!sp) {
        const Sharing sharing = shareNode(n, picker, value);
        if (sharing == Sharing::Decided) return true;
        if (sharing == Sharing::Searched) return false;
      }
      // Reduction candidates are decided on the position before the move.
      if (n.reductions && isLate(stage))
        reduction = reductionOf(t, move, n.newDepth, n.searched + 1, n.type, enemyKing,
                                n.threatSquare, checkKnown, checks);
    }

    const int pawnEndingPlies =
        stage == Stage::TableMove ? PawnEndingExtensionHashMove : PawnEndingExtension;
    const MoveOutcome outcome = searchMove(n, undo, move, reduction, pawnEndingPlies, value);
    if (outcome == MoveOutcome::Illegal) continue;
    if (outcome == MoveOutcome::Stopped) {
      value = 0;
      return true;
    }
    if (outcome == MoveOutcome::ReducedHeld) {
      if (value > n.best) n.best = value;
      n.searched++;
      n.type = AllNode;
      n.triedQuiet(move);
      continue;
    }
    if (value >= n.beta) {
      if (sp) {
        abortSplit(t, *sp, stripFlags(move), value);
        t.counters.cutNodes++;
      } else {
        refuteNode(n, move, value, stage);
      }
      return true;
    }
    n.triedQuiet(move);
    if (value > n.best) {
      n.best = value;
      n.bestMove = move;
      if (sp)
        raiseSharedBest(n, *sp, move, value);
      else if (value > n.alpha)
        n.raiseAlpha(move, value);
    }
    n.searched++;
    if (n.type == CutNode) n.type = AllNode;
  }
}

// Fail-low extension: a pawn attack on the best piece, or a winning recapture, deserves a
// deeper look before the node is given up.
inline bool failLowExtension(Node& n, const UndoInfo& undo, int originalAlpha, int& value) {
  SearchThread& t = n.t;
  if (n.best > originalAlpha || !n.lastMove || !n.bestMove) return false;
  const Move bestMove = n.bestMove;
  const int bestFrom = moveFrom(bestMove);
  const int lastTarget = moveTo(n.lastMove);
  const int attacker = n.pos.at(lastTarget);
  const int ahead = bestFrom + pawnStep[n.side];
  const bool pawnAttack = isPawnPiece(attacker) && colourOf(attacker) != n.side &&
                          (lastTarget == ahead - 1 || lastTarget == ahead + 1);
  const bool winningRecapture = moveTo(bestMove) == lastTarget &&
                                unitsOf(moveCaptured(bestMove)) > unitsOf(moveCaptured(n.lastMove));
  if (!pawnAttack && !winningRecapture) return false;
  const Move made = makeMove(n.pos, bestMove);
  if (!made) return false;
  value = -search(t, n.ply + 1, -n.beta, -n.alpha, n.newDepth + 1, made, -n.type);
  unmakeMove(n.pos, bestMove, undo);
  if (t.stop) {
    value = 0;
    return true;
  }
  if (value >= n.beta) {
    cutOff(t, n.ply, bestMove, value, n.depth, n.inCheck, false);
    return true;
  }
  if (value > n.best) {
    n.best = value;
    if (value > n.alpha) {
      n.alpha = value;
      t.pv[n.ply].extend(bestMove, t.pv[n.ply + 1]);
    }
  }
  return false;
}

}  // namespace

int qsearch(SearchThread& t, int ply, int alpha, int beta, int qdepth, Move lastMove) {
  if (t.stop) return 0;
  if (ply > t.selDepth) t.selDepth = ply;
  t.counters.quiescence++;
  t.pv[ply].clear();
  Position& pos = t.pos;

  if (isQuiet(lastMove) && reversalDraw(pos, ply, beta, t.pv[ply].moves)) return 0;
  if (fiftyMoveDraw(pos) || materialDraw(pos) || repetitionDraw(pos, ply)) return 0;
  const bool inCheck = (lastMove & MoveCheckFlags) != 0;
  const int side = int(pos.sideToMove);
  if (!inCheck && !hasOfficers(pos.material[side]) && pawnStalemate(pos)) return 0;
  const bool nullWindow = beta == alpha + 1;
  if (nullWindow) {
    int score;
    if (mateDistancePrune(ply, alpha, beta, inCheck, score)) return score;
  }
  if (ply >= MaxPly) return t.eval.evaluate();

  const bool xray = !inCheck && (lastMove & MoveBatteryCheck);
  const int tableDepth = xray ? XrayTableDepth : qdepth - QuiescenceEntryDepth;
  Move hashMove = 0;
  t.counters.tt.probes++;
  TtEntry e;
  if (t.controller->table().probe(pos, e)) {
    t.counters.tt.hits++;
    const int s = scoreFromTable(e.score, ply);
    if (nullWindow && tableCut(s, e.depth, e.bound, tableDepth, alpha, beta)) {
      t.counters.tt.cuts++;
      t.pv[ply].set(e.move);
      return s;
    }
    hashMove = stripFlags(e.move);
  }

  MovePicker picker;
  int best = -Infinity;
  int childDepth = 0;
  const int originalAlpha = alpha;

  if (inCheck) {
    picker.startEvasions(t, ply, lastMove, hashMove);
    int left = picker.remaining();
    if (nullWindow && left > 0) {
      const int eval = t.correction.corrected(pos, t.eval.evaluate());
      if (alpha > eval + EvasionStandMargin) {
        // Far below alpha only captures and promotions can help; the rest stand at eval.
        if (picker.keepCapturesOnly()) best = eval;
        left = picker.remaining();
      }
    }
    if (qdepth < QuiescenceEntryDepth) {
      if (left < 2)
        qdepth = 1;
      else if (left > 2)
        qdepth = 0;
    }
    childDepth = qdepth;
  } else if (xray) {
    picker.startAllMoves(t, ply);
    childDepth = 0;
  } else {
    if (beta < -(MateBound - 1)) return -MateBound;
    if (alpha >= MateBound) {
      best = MateBound;
    } else {
      if (bitbaseMen(pos) <= t.controller->thresholds.bitbaseFreeLimit && pos.epSquare == 0) {
        int score;
        if (t.controller->bitbases.probe(pos, score)) {
          t.counters.tableHits++;
          return scoreFromTable(score, ply);
        }
      }
      int eval = t.eval.evaluate();
      if (eval > -Infinity) {
        eval = t.correction.corrected(pos, eval);
        if (eval >= beta) return eval;
        best = eval;
        if (eval > alpha) alpha = eval;
      }
    }
    // Captures that cannot come within a margin of alpha are dropped (the best of them counts
    // as the score they stand for).
    int margin = 0, threshold = 0;
    const uint32_t w = pos.material[White], b = pos.material[Black];
    const bool bigPieces = (bishopCount(w) + rookCount(w) + queenCount(w)) &&
                           (bishopCount(b) + rookCount(b) + queenCount(b));
    if (nullWindow && bigPieces) {
      margin = QuiescenceDeltaMargin;
      threshold = alpha - best - margin;
    }
    const int dropped = picker.startQuiescence(t, ply, hashMove, threshold, qdepth > 0);
    if (dropped) best = best + dropped + margin;
    childDepth = qdepth / QuiescenceEntryDepth;
  }

  const int ownKing = pos.kingSquare(side);
  const UndoInfo undo = saveUndo(pos);
  Move bestMove = 0;
  for (Move move; (move = picker.next());) {
    if (isPinnedMove(pos, ownKing, moveFrom(move), moveTo(move))) continue;
    // The next move's child entry loads while this move's subtree is searched.
    if (const Move following = picker.peek())
      t.controller->table().prefetch(keyAfter(pos, following), side ^ 1);
    const Move made = makeMove(pos, move);
    if (!made) continue;
    t.controller->table().prefetch(pos);
    int value;
    if (beta > alpha + 1 && best > -Infinity) {
      value = -qsearch(t, ply + 1, -alpha - 1, -alpha, childDepth, made);
      if (value > alpha && !t.stop) value = -qsearch(t, ply + 1, -beta, -alpha, childDepth, made);
    } else {
      value = -qsearch(t, ply + 1, -beta, -alpha, childDepth, made);
    }
    unmakeMove(pos, move, undo);
    if (t.stop) return 0;
    if (value >= beta) {
      t.captureKiller[ply] = stripFlags(move);
      return cutOff(t, ply, move, value, tableDepth, inCheck);
    }
    if (value > best) {
      best = value;
      bestMove = move;
      if (value > alpha) {
        alpha = value;
        t.pv[ply].extend(move, t.pv[ply + 1]);
      }
    }
  }

  if (best == -Infinity) {
    t.counters.endNodes++;
    return inCheck ? ply - Infinity : 0;
  }
  store(t, ply, bestMove, best, tableDepth, best <= originalAlpha ? BoundUpper : BoundExact);
  return best;
}

int search(SearchThread& t, int ply, int alpha, int beta, int depth, Move lastMove, int type) {
  if (t.stop) return 0;
  if (depth < 1 || ply > MaxSearchPly) {
    t.counters.frontier++;
    return qsearch(t, ply, alpha, beta, QuiescenceEntryDepth, lastMove);
  }
  if ((++t.counters.interior & 255) == 0) {
    t.publishedNodes = t.counters.total();
    if (limitReached(t)) {
      stopOnLimit(t);
      return 0;
    }
  }
  Position& pos = t.pos;
  t.pv[ply].clear();

  if (reversalDraw(pos, ply, beta, t.pv[ply].moves)) return 0;
  if (fiftyMoveDraw(pos) || materialDraw(pos) || repetitionDraw(pos, ply)) return 0;

  const bool inCheck = (lastMove & MoveCheckFlags) != 0;
  if (type != PvNode) {
    int score;
    if (mateDistancePrune(ply, alpha, beta, inCheck, score)) return score;
  }

  Node n(t, ply, alpha, beta, depth, lastMove, type, inCheck);
  const int side = n.side;
  int value;
  if (probeTable(n, value)) return value;
  if (probeSyzygy(n, value)) return value;
  if (probeBitbases(n, value)) return value;
  if (!inCheck) {
    n.rawEval = t.eval.evaluate();
    if (type != PvNode)
      n.staticEval =
          tableBoundedEval(t.correction.corrected(pos, n.rawEval), n.tableScore, n.tableBound);
  }
  if (reverseFutility(n, value)) return value;
  if (tryNullMove(n, value)) return value;

  // Check extension (not for a bare king, nor for a check that merely hangs the checking
  // piece), and a king in check answers no null-move threat.
  n.newDepth = depth - 1;
  if (inCheck) {
    if (hasMoreThanKing(pos.material[side]) && !losingDirectCheck(pos, lastMove))
      n.newDepth = depth;
    n.threatSquare = NoThreat;
  }
  if (internalDeepening(n, value)) return value;

  const int originalAlpha = n.alpha;
  const UndoInfo undo = saveUndo(pos);
  MovePicker picker;
  if (inCheck) {
    picker.startEvasions(t, ply, lastMove, n.hashMove);
    // A single evasion is extended.
    if (hasMoreThanKing(pos.material[side]) && picker.remaining() == 1 && n.newDepth <= depth)
      n.newDepth++;
  } else {
    picker.startMain(t, ply, n.hashMove, type != PvNode, n.threat);  // no mate killer at PV
  }
  if (searchMoves(n, picker, nullptr, undo, value)) return value;

  if (n.searched == 0) {
    t.counters.endNodes++;
    return inCheck ? ply - Infinity : 0;  // mated or stalemated
  }

  if (failLowExtension(n, undo, originalAlpha, value)) return value;

  if (n.best > originalAlpha) {
    t.counters.pvNodes++;
    if (isQuiet(n.bestMove) && !inCheck) shiftKillers(t, ply, n.bestMove);
    store(t, ply, n.bestMove, n.best, depth, BoundExact);
    n.learnCorrection(n.best, BoundExact, n.bestMove);
  } else {
    t.counters.allNodes++;
    store(t, ply, n.bestMove, n.best, depth, BoundUpper);
    n.learnCorrection(n.best, BoundUpper, n.bestMove);
  }
  return n.best;
}

void searchSplitPoint(SearchThread& t, SplitPoint& sp) {
  // This thread's view of the node: its own best and node type, the shared alpha.
  Node n(t, sp.ply, sp.alpha.load(std::memory_order_relaxed), sp.beta, sp.depth, sp.lastMove,
         sp.type, sp.inCheck);
  n.newDepth = sp.newDepth;
  n.threatSquare = sp.threatSquare;
  n.futilityBase = sp.futilityBase;
  n.reductions = sp.reductions;
  n.lateMovesReady = true;
  n.best = sp.bestScore.load(std::memory_order_relaxed);
  n.bestMove = sp.bestMove.load(std::memory_order_relaxed);
  if (n.reductions) t.eval.probePawnHash();
  const UndoInfo undo = saveUndo(t.pos);
  int value;
  if (searchMoves(n, *sp.picker, &sp, undo, value)) return;

  if (n.best > sp.bestScore.load(std::memory_order_relaxed)) {
    std::lock_guard<SpinLockBackoff> guard(sp.lock);
    if (n.best > sp.bestScore.load(std::memory_order_relaxed)) {
      sp.bestScore.store(n.best, std::memory_order_relaxed);
      sp.bestMove.store(stripFlags(n.bestMove), std::memory_order_relaxed);
    }
  }
}
