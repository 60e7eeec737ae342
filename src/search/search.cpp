#include "search/search.h"

#include <atomic>

#include "board/makemove.h"
#include "board/movegen.h"
#include "search/bitbase.h"
#include "search/eval_link.h"
#include "search/move_order.h"
#include "search/move_supply.h"
#include "search/parallel.h"
#include "search/search_controller.h"
#include "search/split_point.h"
#include "search/time_control.h"
#include "search/tt.h"

namespace {

constexpr Move CaptureOrPromotion = 0x07FF0000;
constexpr int futilityMargin[5] = {0, 50, 150, 450, 1150};

inline bool isQuiet(Move m) { return (m & CaptureOrPromotion) == 0; }
inline int unitsOf(int piece) { return tables.unitsOfSlot[slotOf(piece)]; }

inline void shiftKillers(SearchThread& t, int ply, Move m) {
  m = stripFlags(m);
  if (m == t.killers[ply][0]) return;
  t.killers[ply][1] = t.killers[ply][0];
  t.killers[ply][0] = m;
}

inline void store(SearchThread& t, int ply, Move m, int score, int depth, uint8_t bound) {
  TtEntry e;
  e.move = stripFlags(m);
  e.score = int16_t(scoreToTable(score, ply));
  e.depth = int16_t(depth);
  e.bound = bound;
  tt.store(t.pos, e, t.counters.tt);
}

inline void setPv(SearchThread& t, int ply, Move m) {
  t.pv[ply][0] = stripFlags(m);
  t.pv[ply][1] = 0;
}

inline void extendPv(SearchThread& t, int ply, Move m) {
  Move* to = t.pv[ply];
  const Move* from = t.pv[ply + 1];
  *to++ = stripFlags(m);
  while ((*to++ = *from++) != 0) {
  }
}

// Polled every 256 interior nodes: the hard time limit and the node limit.
bool limitReached(const SearchThread& t) {
  if (timeControl.elapsed() > timeControl.limitMs) return true;
  return timeControl.nodeLimit && searchNodes(t) >= timeControl.nodeLimit;
}

// A limit ends the whole search: with helpers running every thread must stop, not just the one
// that noticed.
void stopOnLimit(SearchThread& t) {
  if (activeThreads() > 1)
    searchController.stopAll();
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

// A null move: the side to move passes. Recorded in the history as an irreversible 0 move so
// that repetition scans stop there.
struct NullUndo {
  uint16_t lastIrreversible;
  uint8_t epSquare;
};

NullUndo makeNull(Position& pos) {
  NullUndo u{pos.lastIrreversible, pos.epSquare};
  pos.keyHistory[pos.ply] = pos.hashKey;
  pos.moveHistory[pos.ply] = 0;
  pos.ply++;
  pos.lastIrreversible = uint16_t(pos.ply);
  if (pos.epSquare) {
    pos.hashKey ^= zobrist[pos.epSquare];
    pos.epSquare = 0;
  }
  pos.sideToMove ^= 1;
  return u;
}

void unmakeNull(Position& pos, const NullUndo& u) {
  pos.sideToMove ^= 1;
  pos.ply--;
  pos.hashKey = pos.keyHistory[pos.ply];
  pos.epSquare = u.epSquare;
  pos.lastIrreversible = u.lastIrreversible;
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
        if (slot < RookEnd) slot = RookEnd;  // rook list ended: go on with the queens
        else break;
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

bool hasOfficers(uint32_t material) { return officerCount(material) != 0; }

enum class MoveOutcome { Illegal, Stopped, ReducedHeld, Searched };

// The searches of one move of a node: makes it, extends it, tries the reduced search when
// `reduce` allows, then the null-window and full-window searches, and takes it back. `value`
// is the move's score unless the move was illegal or the thread was stopped. A reduced search
// that held (ReducedHeld) leaves alpha alone: the move counts as searched and failed low.
inline MoveOutcome searchMove(SearchThread& t, const UndoInfo& undo, int ply, int alpha,
                              int beta, int depth, int newDepth, Move lastMove, int type,
                              Move move, bool reduce, bool searchedBefore, int& value) {
  Position& pos = t.pos;
  const Move made = makeMove(pos, move);
  if (!made) return MoveOutcome::Illegal;
  tt.prefetch(pos);
  int d = newDepth;
  bool extended = false;
  if (newDepth < depth) {
    const int ext = extensionFor(pos, made, lastMove, newDepth, type, 1);
    d += ext;
    extended = ext != 0;
  }
  if (reduce && !extended && !givesCheck(made)) {
    t.counters.reduceTries++;
    value = -search(t, ply + 1, -alpha - 1, -alpha, newDepth - 1, made | MoveSearchFlag, CutNode);
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
  if (beta > alpha + 1 && searchedBefore) {
    value = -search(t, ply + 1, -alpha - 1, -alpha, d, made, CutNode);
    if (value > alpha && !t.stop) value = -search(t, ply + 1, -beta, -alpha, d, made, PvNode);
  } else {
    value = -search(t, ply + 1, -beta, -alpha, d, made, -type);
  }
  unmakeMove(pos, move, undo);
  return t.stop ? MoveOutcome::Stopped : MoveOutcome::Searched;
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

// Copies a node's remaining moves into a split point in the order the node would search them:
// the rest of the current batch, then every later stage (the quiet moves ordered against the
// threat), without empty words and the hash move already searched.
void collectRemainingMoves(SplitPoint& sp, MoveSupply& supply, Move* m, Move searchedHash,
                           Move threat, bool inCheck) {
  int n = 0;
  sp.stage2Start = sp.stage4Start = -1;
  for (;;) {
    if (sp.stage2Start < 0 && supply.stage >= StageKiller1) sp.stage2Start = n;
    if (sp.stage4Start < 0 && supply.stage >= StageQuiets) sp.stage4Start = n;
    for (; m < supply.batchEnd; m++)
      if (*m && stripFlags(*m) != searchedHash && n < MaxMoves) sp.moves[n++] = *m;
    if (inCheck) break;
    m = supply.nextBatch();
    if (!m) break;
    if (supply.stage == StageQuiets) {
      orderThreatResponses(supply, threat);
      m = supply.batchBegin;
    }
  }
  if (sp.stage2Start < 0) sp.stage2Start = n;
  if (sp.stage4Start < 0) sp.stage4Start = n;
  sp.moves[n] = 0;
  sp.count = n;
}

}  // namespace

int qsearch(SearchThread& t, int ply, int alpha, int beta, int qdepth, Move lastMove) {
  if (t.stop) return 0;
  if (ply > t.selDepth) t.selDepth = ply;
  t.counters.quiescence++;
  t.pv[ply][0] = 0;
  Position& pos = t.pos;

  if (isQuiet(lastMove) && reversalDraw(pos, ply, beta, t.pv[ply])) return 0;
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
  const int tableDepth = xray ? 1 : qdepth - 4;
  Move hashMove = 0;
  t.counters.tt.probes++;
  TtEntry e;
  if (tt.probe(pos, e)) {
    t.counters.tt.hits++;
    const int s = scoreFromTable(e.score, ply);
    if (nullWindow && tableCut(s, e.depth, e.bound, tableDepth, alpha, beta)) {
      t.counters.tt.cuts++;
      setPv(t, ply, e.move);
      return s;
    }
    hashMove = stripFlags(e.move);
  }

  MoveSupply supply;
  supply.start(t, pos, ply, StageQuiescenceStart);
  int best = -Infinity;
  int childDepth = 0;
  bool checks = false;
  const int originalAlpha = alpha;

  if (inCheck) {
    orderEvasions(supply, lastMove, hashMove);
    const int n = int(supply.batchEnd - supply.batchBegin);
    int left = n;
    if (nullWindow && n > 0) {
      const int eval = t.eval.evaluate();
      if (alpha > eval + 50) {
        // Far below alpha only captures and promotions can help; the rest stand at eval.
        Move* out = supply.batchBegin;
        for (Move* m = supply.batchBegin; m < supply.batchEnd; m++)
          if (!isQuiet(*m)) *out++ = *m;
        if (out != supply.batchEnd) best = eval;
        supply.batchEnd = out;
        left = int(out - supply.batchBegin);
      }
    }
    if (qdepth < 4) {
      if (left < 2) qdepth = 1;
      else if (left > 2) qdepth = 0;
    }
    childDepth = qdepth;
  } else if (xray) {
    supply.batchEnd = generateMoves(pos, supply.moves);
    childDepth = 0;
  } else {
    if (beta < -(MateBound - 1)) return -MateBound;
    if (alpha >= MateBound) {
      best = MateBound;
    } else {
      const SearchLimits& limits = searchController.limits;
      if (bitbaseMen(pos) <= limits.bitbaseFreeLimit && pos.epSquare == 0) {
        int score;
        if (bitbases.probe(pos, score)) return scoreFromTable(score, ply);
      }
      const int eval = t.eval.evaluate();
      if (eval > -Infinity) {
        if (eval >= beta) return eval;
        best = eval;
        if (eval > alpha) alpha = eval;
      }
    }
    supply.batchEnd = generateCaptures(pos, supply.moves);
    if (supply.batchEnd > supply.batchBegin) {
      int margin = 0, threshold = 0;
      const uint32_t w = pos.material[White], b = pos.material[Black];
      const bool bigPieces = (bishopCount(w) + rookCount(w) + queenCount(w)) &&
                             (bishopCount(b) + rookCount(b) + queenCount(b));
      if (nullWindow && bigPieces) {
        margin = 250;
        threshold = alpha - best - margin;
      }
      const int dropped = orderQuiescenceCaptures(supply, ply, threshold, qdepth > 0, hashMove);
      if (dropped) best = best + dropped + margin;
    }
    checks = qdepth > 0;
    childDepth = qdepth / 4;
  }

  const int ownKing = pos.kingSquare(side);
  const UndoInfo undo = saveUndo(pos);
  Move bestMove = 0;
  Move* m = supply.batchBegin;
  for (;;) {
    for (; m < supply.batchEnd; m++) {
      const Move move = *m;
      if (!move || isPinnedMove(pos, ownKing, moveFrom(move), moveTo(move))) continue;
      // The next move's child entry loads while this move's subtree is searched.
      if (m + 1 < supply.batchEnd && m[1]) tt.prefetch(keyAfter(pos, m[1]), side ^ 1);
      const Move made = makeMove(pos, move);
      if (!made) continue;
      tt.prefetch(pos);
      int value;
      if (beta > alpha + 1 && best > -Infinity) {
        value = -qsearch(t, ply + 1, -alpha - 1, -alpha, childDepth, made);
        if (value > alpha && !t.stop)
          value = -qsearch(t, ply + 1, -beta, -alpha, childDepth, made);
      } else {
        value = -qsearch(t, ply + 1, -beta, -alpha, childDepth, made);
      }
      unmakeMove(pos, move, undo);
      if (t.stop) return 0;
      if (value >= beta) {
        store(t, ply, move, value, tableDepth, BoundLower);
        if (value > MateBound) t.mateKiller[ply] = stripFlags(move);
        t.captureKiller[ply] = stripFlags(move);
        if (isQuiet(move) && !inCheck) shiftKillers(t, ply, move);
        setPv(t, ply, move);
        return value;
      }
      if (value > best) {
        best = value;
        bestMove = move;
        if (value > alpha) {
          alpha = value;
          extendPv(t, ply, move);
        }
      }
    }
    if (!checks) break;
    m = supply.nextBatch();
    if (!m) break;
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
  if (depth < 1 || ply > 99) {
    t.counters.frontier++;
    return qsearch(t, ply, alpha, beta, 4, lastMove);
  }
  if ((++t.counters.interior & 255) == 0) {
    t.publishedNodes = t.counters.total();
    if (limitReached(t)) {
      stopOnLimit(t);
      return 0;
    }
  }
  Position& pos = t.pos;
  t.pv[ply][0] = 0;

  // Draws.
  if (reversalDraw(pos, ply, beta, t.pv[ply])) return 0;
  if (fiftyMoveDraw(pos) || materialDraw(pos) || repetitionDraw(pos, ply)) return 0;

  const bool inCheck = (lastMove & MoveCheckFlags) != 0;
  const int side = int(pos.sideToMove);
  if (type != PvNode) {
    int score;
    if (mateDistancePrune(ply, alpha, beta, inCheck, score)) return score;
  }

  // Transposition table.
  Move hashMove = 0;
  t.counters.tt.probes++;
  TtEntry e;
  if (tt.probe(pos, e)) {
    t.counters.tt.hits++;
    const int s = scoreFromTable(e.score, ply);
    const Move m = stripFlags(e.move);
    if (type != PvNode && tableCut(s, e.depth, e.bound, depth, alpha, beta)) {
      t.counters.tt.cuts++;
      if (s >= beta && m && isQuiet(m) && !inCheck) shiftKillers(t, ply, m);
      setPv(t, ply, m);
      return s;
    }
    if (m && !(type == PvNode && e.bound == BoundUpper) && e.depth >= depth - 2 &&
        (inCheck || isMoveLegal(pos, m)))
      hashMove = m;
  }

  // Bitbases.
  const SearchLimits& limits = searchController.limits;
  const int men = bitbaseMen(pos);
  if (men <= limits.bitbaseProbeLimit && pos.epSquare == 0 &&
      !(men > limits.bitbaseFreeLimit && ply >= limits.bitbasePlyLimit)) {
    int s;
    if (bitbases.probe(pos, s)) {
      if (inCheck && s < -WinBound) {
        Move evasions[MaxMoves];
        if (generateEvasions(pos, evasions, lastMove) == evasions) return ply - Infinity;
      }
      s = scoreFromTable(s, ply);  // nearer wins score higher
      store(t, ply, 0, s, depth, s >= beta ? BoundLower : s > alpha ? BoundExact : BoundUpper);
      if (men > limits.bitbaseFreeLimit && ply >= limits.bitbasePlyLimit - 1) return s;
      if (s >= -(WinBound - 1) && s <= WinBound - 1) return s;
    }
  }

  // Null move.
  int threatSquare = 8;
  Move threat = 0;
  if (depth >= 2 && lastMove && !inCheck && type == CutNode && beta <= WinBound - 1 &&
      hasOfficers(pos.material[side])) {
    const uint32_t before = t.counters.total();
    t.counters.nullDepth++;
    const NullUndo nullUndo = makeNull(pos);
    const int value = -search(t, ply + 1, -beta, -beta + 1, depth - 4, 0, AllNode);
    unmakeNull(pos, nullUndo);
    t.counters.nullDepth--;
    t.counters.nullTries++;
    if (t.counters.nullDepth == 0) t.counters.nullNodes += t.counters.total() - before;
    if (t.stop) return 0;
    bool failed = true;
    if (value >= beta && value < WinBound) {
      failed = false;
      // With few pieces zugzwang is real: confirm with a reduced search of our own.
      if (officerCount(pos.material[side]) < 4) {
        const int verified = search(t, ply, alpha, beta, depth - 4, lastMove, PvNode);
        if (t.stop) return 0;
        t.pv[ply][0] = 0;
        failed = verified < beta;
      }
      if (!failed) {
        t.counters.nullCuts++;
        store(t, ply, 0, value, depth, BoundLower);
        return value;
      }
    }
    threat = t.pv[ply + 1][0];
    if ((lastMove & MoveSearchFlag) && threat && moveFrom(threat) == moveTo(lastMove))
      return -Infinity;  // the reduced move that led here walks into the threat
    threatSquare = threat ? moveTo(threat) : 8;
  }

  int newDepth = depth - 1;
  if (inCheck) {
    if (pawnCount(pos.material[side]) || pieceUnits(pos.material[side])) newDepth = depth;
    threatSquare = 8;
  }

  // Internal iterative deepening.
  if (!hashMove && depth >= 2 && (type == PvNode || (type == CutNode && newDepth >= 3))) {
    const uint32_t before = t.counters.total();
    t.counters.iidDepth++;
    const int value = search(t, ply, alpha, beta, newDepth - 2, lastMove, type);
    t.counters.iidDepth--;
    if (t.counters.iidDepth == 0) t.counters.iidNodes += t.counters.total() - before;
    if (t.stop) return 0;
    hashMove = t.pv[ply][0];
    if (hashMove && !inCheck && !isMoveLegal(pos, hashMove)) hashMove = 0;
    if (value > MateBound && value >= beta) {
      t.mateKiller[ply] = hashMove;
      return value;
    }
    if (value < -MateBound && value < alpha) return value;
  }

  const int originalAlpha = alpha;
  int best = -Infinity;
  Move bestMove = 0;
  int searched = 0;
  const UndoInfo undo = saveUndo(pos);

  // Hash move first.
  Move searchedHash = 0;
  if (hashMove && !inCheck) {
    searchedHash = hashMove;
    const Move made = makeMove(pos, hashMove);
    if (made) {
      tt.prefetch(pos);
      int d = newDepth;
      if (newDepth < depth) d += extensionFor(pos, made, lastMove, newDepth, type, 3);
      const int value = -search(t, ply + 1, -beta, -alpha, d, made, -type);
      unmakeMove(pos, hashMove, undo);
      if (t.stop) return 0;
      if (value >= beta) {
        store(t, ply, hashMove, value, depth, BoundLower);
        if (value > MateBound) t.mateKiller[ply] = hashMove;
        if (isQuiet(hashMove)) shiftKillers(t, ply, hashMove);
        t.counters.firstMoveCuts++;
        t.counters.cutNodes++;
        setPv(t, ply, hashMove);
        return value;
      }
      best = value;
      bestMove = hashMove;
      searched = 1;
      if (value > alpha) {
        alpha = value;
        extendPv(t, ply, hashMove);
        t.counters.pvChanges++;
      }
      if (type == CutNode) type = AllNode;
    }
  }

  // Mate killer.
  const Move mateKiller = t.mateKiller[ply];
  if (type != PvNode && !inCheck && mateKiller && mateKiller != hashMove &&
      isMoveLegal(pos, mateKiller) &&
      (unitsOf(moveCaptured(mateKiller)) > unitsOf(pos.at(moveFrom(mateKiller))) ||
       exchange(pos, mateKiller) >= 0)) {
    const Move made = makeMove(pos, mateKiller);
    if (made) {
      tt.prefetch(pos);
      const int value = -search(t, ply + 1, -beta, -beta + 1, depth - 1, made, -type);
      unmakeMove(pos, mateKiller, undo);
      if (t.stop) return 0;
      if (value >= beta) {
        store(t, ply, mateKiller, value, depth, BoundLower);
        setPv(t, ply, mateKiller);
        return value;
      }
      t.mateKiller[ply] = 0;
    }
  }

  // Futility base and reductions.
  int futilityBase = Infinity;
  if (hasOfficers(pos.material[side ^ 1]) && depth <= 4 && type != PvNode && !inCheck &&
      alpha >= -(WinBound - 1) && alpha <= WinBound - 1) {
    const int eval = t.eval.evaluate();
    if (alpha > eval) futilityBase = eval + futilityMargin[depth];
  }
  const bool reductions = depth >= 2 && !inCheck;
  if (reductions) t.eval.probePawnHash();

  // The moves.
  MoveSupply supply;
  supply.start(t, pos, ply, StageMainStart);
  if (inCheck) {
    orderEvasions(supply, lastMove, hashMove);
    if ((pawnCount(pos.material[side]) || pieceUnits(pos.material[side])) &&
        supply.batchEnd - supply.batchBegin == 1 && newDepth <= depth)
      newDepth++;
  } else {
    supply.batchEnd = generateCaptures(pos, supply.moves);
    orderCaptures(supply);
  }
  const int ownKing = pos.kingSquare(side);
  const int enemyKing = pos.kingSquare(side ^ 1);
  const int lastTarget = lastMove ? moveTo(lastMove) : -1;

  Move cutMove = 0;
  int cutValue = 0;
  bool splitDone = false;
  Move* m = supply.batchBegin;
  for (;;) {
    for (; m < supply.batchEnd; m++) {
      Move move = *m;
      if (!move || stripFlags(move) == searchedHash) continue;
      const int from = moveFrom(move), to = moveTo(move);
      if (isPinnedMove(pos, ownKing, from, to)) continue;
      if (t.stop) return 0;

      // Futility at expected all-nodes.
      bool checkKnown = false, checks = false;
      if (type == AllNode && to != lastTarget && futilityBase < Infinity &&
          futile(pos, move, side, alpha, futilityBase, enemyKing, checkKnown, checks)) {
        if (futilityBase > best) best = futilityBase;
        searched++;
        t.counters.pruned++;
        continue;
      }

      // Parallel split: offer the rest of the node to idle threads.
      if (depth >= limits.splitDepth && t.splitCount < MaxSplitPoints && searched > 0 &&
          trySplit(t, t.splits[t.splitCount])) {
        SplitPoint& sp = t.splits[t.splitCount];
        const uint64_t adminStart = microTicks();
        sp.type = type;
        sp.ply = ply;
        sp.alpha.store(alpha, std::memory_order_relaxed);
        sp.beta = beta;
        sp.depth = depth;
        const Move* history = pos.moveHistory + (pos.ply - ply);
        for (int i = 0; i < ply; i++) sp.path[i] = history[i];
        sp.key = pos.hashKey;
        sp.state.store(2, std::memory_order_release);
        sp.bestScore.store(best, std::memory_order_relaxed);
        sp.bestMove.store(bestMove, std::memory_order_relaxed);
        sp.newDepth = newDepth;
        sp.futilityBase = futilityBase;
        sp.reductions = reductions;
        sp.threatSquare = threatSquare;
        sp.hashMove = searchedHash;
        sp.lastMove = lastMove;
        collectRemainingMoves(sp, supply, m, searchedHash, threat, inCheck);
        sp.state.store(3, std::memory_order_release);
        t.adminMicros = t.adminMicros + (microTicks() - adminStart);
        runSplitPoint(t, sp);
        if (t.stop) return 0;
        best = sp.bestScore.load(std::memory_order_relaxed);
        bestMove = sp.bestMove.load(std::memory_order_relaxed);
        if (best >= beta) {
          store(t, ply, bestMove, best, depth, BoundLower);
          if (best > MateBound) t.mateKiller[ply] = stripFlags(bestMove);
          if (isQuiet(bestMove) && !inCheck) shiftKillers(t, ply, bestMove);
          setPv(t, ply, bestMove);
          return best;
        }
        const int splitAlpha = sp.alpha.load(std::memory_order_relaxed);
        if (splitAlpha > alpha) alpha = splitAlpha;
        if (type == CutNode) type = AllNode;
        splitDone = true;
        break;
      }

      // Reduction candidates are decided on the position before the move.
      bool reduce = false;
      if (reductions && supply.stage >= StageQuiets) {
        if (!checkKnown) checks = checkTest(pos, move, enemyKing);
        reduce = !checks && !reductionExempt(t, move, threatSquare);
      }

      int value = 0;
      const MoveOutcome outcome = searchMove(t, undo, ply, alpha, beta, depth, newDepth, lastMove,
                                             type, move, reduce, searched > 0, value);
      if (outcome == MoveOutcome::Illegal) continue;
      if (outcome == MoveOutcome::Stopped) return 0;
      if (outcome == MoveOutcome::ReducedHeld) {
        if (value > best) best = value;
        searched++;
        type = AllNode;
        continue;
      }
      if (value >= beta) {
        cutMove = move;
        cutValue = value;
        break;
      }
      if (value > best) {
        best = value;
        bestMove = move;
        if (value > alpha) {
          alpha = value;
          extendPv(t, ply, move);
          t.counters.pvChanges++;
        }
      }
      searched++;
      if (type == CutNode) type = AllNode;
    }
    if (cutMove || inCheck || splitDone) break;
    m = supply.nextBatch();
    if (!m) break;
    if (supply.stage == StageQuiets) {
      orderThreatResponses(supply, threat);
      m = supply.batchBegin;
    }
  }

  // Cut-off.
  if (cutMove) {
    store(t, ply, cutMove, cutValue, depth, BoundLower);
    t.counters.cutNodes++;
    if (searched == 0) t.counters.firstMoveCuts++;
    if (supply.stage == StageKiller1 || supply.stage == StageKiller2) t.counters.killerCuts++;
    if (cutValue > MateBound) t.mateKiller[ply] = stripFlags(cutMove);
    if (isQuiet(cutMove) && !inCheck) shiftKillers(t, ply, cutMove);
    setPv(t, ply, cutMove);
    return cutValue;
  }

  if (searched == 0) {
    t.counters.endNodes++;
    return inCheck ? ply - Infinity : 0;
  }

  // Fail-low extension: a pawn attack on the best piece, or a winning recapture, deserves a
  // deeper look before the node is given up.
  if (best <= originalAlpha && lastMove && bestMove) {
    const int bestFrom = moveFrom(bestMove);
    const int attacker = pos.at(moveTo(lastMove));
    const int ahead = bestFrom + pawnStep[side];
    const bool pawnAttack = isPawnPiece(attacker) && colourOf(attacker) != side &&
                            (moveTo(lastMove) == ahead - 1 || moveTo(lastMove) == ahead + 1);
    const bool winningRecapture = moveTo(bestMove) == moveTo(lastMove) &&
                                  unitsOf(moveCaptured(bestMove)) > unitsOf(moveCaptured(lastMove));
    if (pawnAttack || winningRecapture) {
      const Move made = makeMove(pos, bestMove);
      if (made) {
        const int value = -search(t, ply + 1, -beta, -alpha, newDepth + 1, made, -type);
        unmakeMove(pos, bestMove, undo);
        if (t.stop) return 0;
        if (value >= beta) {
          store(t, ply, bestMove, value, depth, BoundLower);
          setPv(t, ply, bestMove);
          return value;
        }
        if (value > best) {
          best = value;
          if (value > alpha) {
            alpha = value;
            extendPv(t, ply, bestMove);
          }
        }
      }
    }
  }

  if (best > originalAlpha) {
    t.counters.pvNodes++;
    if (isQuiet(bestMove) && !inCheck) shiftKillers(t, ply, bestMove);
    store(t, ply, bestMove, best, depth, BoundExact);
  } else {
    t.counters.allNodes++;
    store(t, ply, bestMove, best, depth, BoundUpper);
  }
  return best;
}

void searchSplitPoint(SearchThread& t, SplitPoint& sp) {
  Position& pos = t.pos;
  const int ply = sp.ply, beta = sp.beta, depth = sp.depth, newDepth = sp.newDepth;
  const Move lastMove = sp.lastMove;
  const int side = int(pos.sideToMove);
  const int ownKing = pos.kingSquare(side);
  const int enemyKing = pos.kingSquare(side ^ 1);
  const int lastTarget = lastMove ? moveTo(lastMove) : -1;
  const UndoInfo undo = saveUndo(pos);
  // This thread's view of the node: its own best and node type, the shared alpha.
  int type = sp.type;
  int best = sp.bestScore.load(std::memory_order_relaxed);
  Move bestMove = sp.bestMove.load(std::memory_order_relaxed);
  if (sp.reductions) t.eval.probePawnHash();

  for (;;) {
    if (t.stop) return;
    const int i = sp.next.fetch_add(1, std::memory_order_relaxed);
    if (i >= sp.count) break;
    Move move = sp.moves[i];
    if (isPinnedMove(pos, ownKing, moveFrom(move), moveTo(move))) continue;
    const int alpha = sp.alpha.load(std::memory_order_relaxed);
    if (alpha >= beta) return;

    // Futility as in the node itself, but captures (the moves before the killers) are exempt.
    bool checkKnown = false, checks = false;
    if (type == AllNode && i >= sp.stage2Start && moveTo(move) != lastTarget &&
        sp.futilityBase < Infinity &&
        futile(pos, move, side, alpha, sp.futilityBase, enemyKing, checkKnown, checks)) {
      if (sp.futilityBase > best) best = sp.futilityBase;
      t.counters.pruned++;
      continue;
    }
    bool reduce = false;
    if (sp.reductions && i >= sp.stage4Start) {
      if (!checkKnown) checks = checkTest(pos, move, enemyKing);
      reduce = !checks && !reductionExempt(t, move, sp.threatSquare);
    }

    int value = 0;
    const MoveOutcome outcome = searchMove(t, undo, ply, alpha, beta, depth, newDepth, lastMove,
                                           type, move, reduce, true, value);
    if (outcome == MoveOutcome::Illegal) continue;
    if (outcome == MoveOutcome::Stopped) return;
    if (outcome == MoveOutcome::ReducedHeld) {
      if (value > best) best = value;
      type = AllNode;
      continue;
    }
    if (value >= beta) {
      abortSplit(t, sp, stripFlags(move), value);
      t.counters.cutNodes++;
      return;
    }
    if (value > best) {
      best = value;
      bestMove = move;
      if (value > sp.alpha.load(std::memory_order_relaxed)) {
        std::lock_guard<SpinLockBackoff> guard(sp.lock);
        if (value > sp.alpha.load(std::memory_order_relaxed)) {
          sp.alpha.store(value, std::memory_order_relaxed);
          sp.bestScore.store(value, std::memory_order_relaxed);
          sp.bestMove.store(stripFlags(move), std::memory_order_relaxed);
          Move* to = sp.owner->pv[ply];
          const Move* from = t.pv[ply + 1];
          *to++ = stripFlags(move);
          while ((*to++ = *from++) != 0) {
          }
          t.counters.pvChanges++;
        }
      }
    }
    if (type == CutNode) type = AllNode;
  }

  if (best > sp.bestScore.load(std::memory_order_relaxed)) {
    std::lock_guard<SpinLockBackoff> guard(sp.lock);
    if (best > sp.bestScore.load(std::memory_order_relaxed)) {
      sp.bestScore.store(best, std::memory_order_relaxed);
      sp.bestMove.store(stripFlags(bestMove), std::memory_order_relaxed);
    }
  }
}

bool playPath(Position& pos, const Move* path, int from, int to, PathUndo& undo) {
  undo.count = 0;
  for (int i = from; i < to; i++) {
    const Move m = path[i];
    undo.undo[undo.count] = saveUndo(pos);
    if (m == 0) {
      makeNull(pos);
    } else if (!makeMove(pos, m & ~MoveCheckFlags)) {
      takeBackPath(pos, undo);
      return false;
    }
    undo.moves[undo.count++] = m & ~MoveCheckFlags;
  }
  return true;
}

void takeBackPath(Position& pos, PathUndo& undo) {
  while (undo.count > 0) {
    undo.count--;
    const Move m = undo.moves[undo.count];
    const UndoInfo& u = undo.undo[undo.count];
    if (m == 0)
      unmakeNull(pos, NullUndo{u.lastIrreversible, u.epSquare});
    else
      unmakeMove(pos, m, u);
  }
}
