// Iterative deepening at the root: the root move list, the iterations, the search lines and
// the statistics block.
#include "search/think.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/log.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "search/eval_link.h"
#include "search/search_controller.h"
#include "search/syzygy_root.h"

namespace {

// Aspiration: from this depth on an iteration starts with a window this wide on either side of
// the last score; a score outside it widens that side (doubling the margin) and searches again,
// and a margin beyond the last one opens that side fully.
constexpr int AspirationMinDepth = 5;
constexpr int AspirationMargin = 17;
constexpr int AspirationMaxMargin = 544;

// Divides by 1024 until the number fits five digits; the letter says how often.
void magnitude(uint64_t n, char* out, const char* format) {
  static const char letters[] = " kmg";
  int k = 0;
  while (n > 99999 && k < 3) {
    n /= 1024;
    k++;
  }
  std::sprintf(out, format, int(n), letters[k]);
}

double percent(double part, double whole) { return whole > 0 ? 100.0 * part / whole : 0.0; }

bool nodeLimitReached(SearchController& c) {
  return c.times().nodeLimit && c.totalNodes() >= c.times().nodeLimit;
}

// Whether the iteration must stop now: a stop request, the node limit or the time. The first
// iteration always completes (it takes a fraction of a millisecond): a move is never played
// unsearched, however short the clock.
bool interrupted(SearchController& c) {
  if (c.master().stop || c.timeUp) return true;
  if (c.iterationDepth > 1 && (nodeLimitReached(c) || c.times().timeIsUp())) {
    c.timeUp = true;
    return true;
  }
  return false;
}

// After this long a search tells which root move it is on: by then each move takes a while.
constexpr uint32_t CurrentMoveDelayMs = 1000;

void reportCurrentMove(SearchController& c, int depth, int index, Move move) {
  if (!c.listener) return;
  const uint32_t ms = c.times().elapsed();
  if (ms < CurrentMoveDelayMs) return;
  CurrentMoveInfo info;
  info.depth = depth;
  info.move = move;
  info.number = index + 1;
  info.nodes = c.totalNodes();
  info.timeMs = ms;
  info.nps = info.nodes * 1000 / ms;
  info.hashFull = c.table().fillPerMille();
  c.listener->currentMove(info);
}

void storeRoot(SearchController& c, Move m, int score, int depth, uint8_t bound) {
  tableStore(c.table(), c.master().pos, 0, m, score, depth, bound, c.master().counters.tt);
}

// Plays the moves of a line on pos, calling visit(index, check-flagged move) after each, and
// takes them back; stops early at a refused move or when visit returns false.
template <typename Visit>
void walkLine(Position& pos, const Move* line, Visit visit) {
  UndoInfo undo[PvRows];
  Move made[PvRows];
  int i = 0;
  for (; i < PvRows - 1 && line[i]; i++) {
    undo[i] = saveUndo(pos);
    const Move flagged = makeMove(pos, line[i]);
    if (!flagged) break;
    made[i] = line[i];
    if (!visit(i, flagged)) {
      i++;
      break;
    }
  }
  while (i-- > 0) unmakeMove(pos, made[i], undo[i]);
}

bool listed(const std::vector<Move>& moves, Move m) {
  for (const Move listedMove : moves)
    if ((listedMove & MoveCompareMask) == (m & MoveCompareMask)) return true;
  return false;
}

// Whether the search has proven the mate it was asked to look for: one in mateMoves moves or
// fewer for the side to move. An infinite search (analysis, pondering) runs on all the same.
bool mateFound(const SearchController& c) {
  return c.mateMoves > 0 && !c.times().infinite && c.score >= Infinity - (2 * c.mateMoves - 1);
}

// Whether every line's score is a mate that the iteration of `depth` has searched to its end:
// deeper iterations cannot change them.
bool linesProven(const SearchController& c, int depth) {
  for (int i = 0; i < c.lineCount; i++) {
    const int score = c.lineCount > 1 ? c.rootMoves[i].score : int(c.score);
    const int distance = score < 0 ? Infinity + score : Infinity - score;
    if (depth + 1 < distance) return false;
  }
  return true;
}

void sortRootMoves(RootMove* begin, RootMove* end) {
  for (RootMove* i = begin + 1; i < end; i++) {
    RootMove r = *i;
    RootMove* j = i;
    for (; j > begin && j[-1].nodes < r.nodes; j--) *j = j[-1];
    *j = r;
  }
}

// Writes the principal variation back into the table, so that the next iteration finds it
// first at every node along the line.
void writePvToTable(SearchController& c, int depth) {
  Position& pos = c.master().pos;
  int score = c.rootMoves[0].score, entryDepth = depth;
  // At each position of the line: an exact entry deeper than the line's lends the line a ply,
  // then the line's move replaces whatever was stored. False at the end of the line.
  auto storeAt = [&](int i) {
    TtEntry hit;
    if (c.table().probe(pos, hit)) {
      if (hit.bound == BoundExact && hit.depth > entryDepth) entryDepth++;
      c.table().deletePosition(pos);
    }
    const Move m = c.rootPv[i];
    if (m) tableStore(c.table(), pos, i, m, score, entryDepth, BoundExact, c.master().counters.tt);
    return m != 0;
  };
  if (!storeAt(0)) return;
  walkLine(pos, c.rootPv.moves, [&](int i, Move) {
    entryDepth--;
    score = -score;
    return storeAt(i + 1);
  });
}

void printStatistics(SearchController& c) {
  const SearchCounters n = c.summedCounters();
  const double total = n.total();
  const uint32_t elapsed = c.times().elapsed();
  char buffer[64];
  const double seconds = elapsed / 1000.0;
  magnitude(seconds > 0 ? uint64_t(total / seconds) : uint64_t(total), buffer, "%i%c");
  logInfo("nodes  : i=%5.2f%%, f=%5.2f%%, q=%5.2f%%, p=%5.2f%%, nps=%s", percent(n.interior, total),
          percent(n.frontier, total), percent(double(n.quiescence) - n.frontier, total),
          percent(n.pruned, total), buffer);
  logInfo("\ninodes : pv=%5.2f%%, cut=%5.2f%%, all=%5.2f%%, end=%5.2f%%\n",
          percent(n.pvNodes, n.interior), percent(n.cutNodes + n.nullCuts, n.interior),
          percent(n.allNodes, n.interior), percent(n.endNodes, n.interior));
  uint64_t probes = n.tt.probes;
  int shift = 0;
  const char* letters = " kmg";
  while (probes >> shift > 99999 && shift < 30) shift += 10;
  std::sprintf(buffer, "%i%c", int(probes >> shift), letters[shift / 10]);
  logInfo("tt     : probes=%s, hits=%5.2f%%, cuts=%5.2f%%, upd=%5.2f%%, full=%5.2f%%\n", buffer,
          percent(n.tt.hits, n.tt.probes), percent(n.tt.cuts, n.tt.probes),
          percent(n.tt.updates, double(n.tt.updates) + n.tt.newStores),
          percent(double(n.tt.newStores) - n.tt.overwrites, c.table().entryCount()));
  logInfo("order  : 1stpv=%5.2f%%, 1stcut=%5.2f%%\n", percent(n.pvChanges, n.pvNodes),
          percent(n.firstMoveCuts, n.cutNodes));
  logInfo("killers: cuts=%i, killed=%5.2f%%\n", int(n.killerCuts),
          percent(n.killerCuts, n.interior));
  logInfo("null   : %5.2f%%, cuts=%5.2f%%\n", percent(n.nullNodes, total),
          percent(n.nullCuts, n.nullTries));
  logInfo("iid    : %5.2f%%\n", percent(n.iidNodes, total));
  magnitude(n.reduceTries, buffer, "%i%c");
  logInfo("reduce :  tries=%s, fail=%5.2f%%\n", buffer, percent(n.reduceFails, n.reduceTries));
  magnitude(n.splits, buffer, "%i%c");
  logInfo("smp    : splits=%s, fail=%5.2f%%\n", buffer, percent(n.splitFails, n.splits));
  for (int i = 0; i < c.searchThreads; i++) {
    const SearchThread& thread = c.thread(i);
    const SearchCounters& t = thread.counters;
    char nodes[32], nps[32];
    magnitude(t.total(), nodes, "%8i%c");
    magnitude(seconds > 0 ? uint64_t(t.total() / seconds) : t.total(), nps, "%i%c");
    // Every thread is in the search from start to end: what it did not spend waiting for work
    // or helpers, or setting up and leaving split points, it spent searching.
    uint32_t wait = uint32_t(uint64_t(thread.waitMicros) / 1000);
    uint32_t admin = uint32_t(uint64_t(thread.adminMicros) / 1000);
    if (wait > elapsed) wait = elapsed;
    if (admin > elapsed - wait) admin = elapsed - wait;
    const uint32_t work = elapsed - wait - admin;
    if (i == 0)
      logInfo("master :");
    else
      logInfo("slave%i :", i);
    logInfo("%s wait=%3.2f%%, admin=%3.2f%%, work=%5.2f%%, nps=%s, time=%i, kills=%i\n", nodes,
            percent(wait, elapsed), percent(admin, elapsed), percent(work, elapsed), nps,
            int(wait + admin + work), int(t.kills));
  }
}

}  // namespace

void printSearchLine(SearchController& c, int score, const char* text) {
  if (c.quiet) return;
  score = c.reportedScore(score);
  char line[160];
  int n = 0;
  const int depth = c.iterationDepth, sel = c.selDepth();
  n += std::sprintf(line + n, "%s%s[%i/%i] %s", depth < 10 ? " " : "", depth < 100 ? " " : "",
                    depth, sel, sel < 10 ? " " : "");
  const uint32_t ms = c.times().elapsed();
  if (ms < 60000) {
    n += std::sprintf(line + n, "%8.3f", ms / 1000.0);
  } else {
    const uint32_t s = ms / 1000;
    n += std::sprintf(line + n, "%2i:%02i:%02i", int(s / 3600), int(s / 60 % 60), int(s % 60));
  }
  magnitude(c.totalNodes(), line + n, "%8i%c");
  n += int(std::strlen(line + n));
  if (score >= -(MateBound - 1) && score <= MateBound - 1)
    n += std::sprintf(line + n, "%8i ", score);
  else
    n += std::sprintf(line + n, "     %+3i#",
                      score > 0 ? (Infinity + 1 - score) / 2 : (-Infinity - score) / 2);
  if (text) n += std::snprintf(line + n, sizeof line - n, " %s", text);
  logInfo("%s", line);
}

void printPv(Position& pos, const Move* moves) {
  char text[MoveTextSize * 2];
  walkLine(pos, moves, [&](int, Move flagged) {
    logInfo("%s ", printMove(pos, text, flagged));
    return true;
  });
}

namespace {

// A new best root move: its score (exact, or a lower bound when it failed high) and line become
// the search's, the listener and the log hear of it, and the table keeps it as a lower bound.
void announceBest(SearchController& c, Position& pos, Move move, int value, int depth,
                  uint8_t bound) {
  c.score = value;
  c.scoreBound = bound;
  c.rootPv.extend(move, c.master().pv[1]);
  if (c.listener) c.listener->searchInfo(c.info(1, value, bound, c.rootPv));
  if (!c.quiet) {
    printSearchLine(c, value, bound == BoundLower ? "++" : "");
    printPv(pos, c.rootPv.moves);
    logInfo("\n");
  }
  storeRoot(c, move, value, depth, BoundLower);
}

// The best move failed low: its score is at most `value`. The listener hears of the bound with
// the line as it stands; the window opens and the move is searched again.
void announceFailLow(SearchController& c, int value) {
  if (c.listener) c.listener->searchInfo(c.info(1, value, BoundUpper, c.rootPv));
  if (!c.quiet) {
    printSearchLine(c, value, "--");
    logInfo("\n");
  }
}

// Puts root record i, just searched to an exact score, among the lines (records 0 to
// lineCount - 1, best first); without room the last line gives way and takes record i's place.
// A new first line is the search's best move and score.
void enterLine(SearchController& c, int i, const PvLine& child) {
  const RootMove entering = c.rootMoves[i];
  int at = std::min(i, c.lineCount - 1);
  c.rootMoves[i] = c.rootMoves[at];
  for (; at > 0 && c.rootMoves[at - 1].score < entering.score; at--) {
    c.rootMoves[at] = c.rootMoves[at - 1];
    c.linePv[at] = c.linePv[at - 1];
  }
  c.rootMoves[at] = entering;
  c.linePv[at].extend(entering.move, child);
  if (at == 0) {
    c.score = entering.score;
    c.scoreBound = BoundExact;
    c.rootPv = c.linePv[0];
  }
}

// One iteration that finds the best lineCount root moves with exact scores. The first
// lineCount records (the last iteration's lines) get the full window; every later move is
// tried on a null window at the last line's score and, when it beats that, searched again
// above it and takes its place among the lines. False when the iteration was cut short.
bool searchLines(SearchController& c, int depth) {
  SearchThread& t = c.master();
  Position& pos = t.pos;
  const UndoInfo undo = saveUndo(pos);
  for (int i = 0; i < c.rootCount; i++) {
    if (i > 0 && interrupted(c)) return false;
    RootMove& r = c.rootMoves[i];
    const uint64_t before = c.totalNodes();
    const Move made = makeMove(pos, r.move);
    reportCurrentMove(c, depth, i, r.move);
    bool isLine = i < c.lineCount;
    int value;
    if (isLine) {
      value = -search(t, 1, -Infinity, Infinity, depth - 1, made, PvNode);
    } else {
      const int last = c.rootMoves[c.lineCount - 1].score;
      value = -search(t, 1, -last - 1, -last, depth - 1, made, CutNode);
      if (value > last && !interrupted(c))
        value = -search(t, 1, -Infinity, -last, depth - 1, made, PvNode);
      isLine = value > last;
    }
    unmakeMove(pos, r.move, undo);
    if (interrupted(c)) return false;
    r.nodes = c.totalNodes() - before;
    r.score = value;
    if (isLine) enterLine(c, i, t.pv[1]);
    if (i == 0) c.times().firstMoveScore(value);
  }
  storeRoot(c, c.rootMoves[0].move, c.rootMoves[0].score, depth, BoundExact);
  return true;
}

// The lines of a finished iteration, best first, to the listener and the log.
void reportLines(SearchController& c) {
  Position& pos = c.master().pos;
  for (int i = 0; i < c.lineCount; i++) {
    const int score = c.rootMoves[i].score;
    if (c.listener) c.listener->searchInfo(c.info(i + 1, score, BoundExact, c.linePv[i]));
    if (!c.quiet) {
      char label[16];
      std::snprintf(label, sizeof label, "(%i) ", i + 1);
      printSearchLine(c, score, label);
      printPv(pos, c.linePv[i].moves);
      logInfo("\n");
    }
  }
}

}  // namespace

int rootSearch(SearchController& c, int alpha, int beta, int depth) {
  SearchThread& t = c.master();
  Position& pos = t.pos;
  const UndoInfo undo = saveUndo(pos);
  char text[MoveTextSize * 2];

  RootMove& first = c.rootMoves[0];
  uint64_t before = c.totalNodes();
  Move made = makeMove(pos, first.move);
  reportCurrentMove(c, depth, 0, first.move);
  int value = -search(t, 1, -beta, -alpha, depth - 1, made, PvNode);
  unmakeMove(pos, first.move, undo);
  if (interrupted(c)) return 0;
  first.nodes = c.totalNodes() - before;
  // Below the window the best move's score is only an upper bound: the caller widens the window
  // and searches again.
  if (value <= alpha) {
    announceFailLow(c, value);
    c.times().firstMoveScore(value);
    return value;
  }
  first.score = value;
  announceBest(c, pos, first.move, value, depth, value >= beta ? BoundLower : BoundExact);
  c.times().firstMoveScore(value);
  if (value >= beta) return value;
  alpha = value;

  for (int i = 1; i < c.rootCount; i++) {
    if (interrupted(c)) return 0;
    RootMove& r = c.rootMoves[i];
    before = c.totalNodes();
    made = makeMove(pos, r.move);
    reportCurrentMove(c, depth, i, r.move);
    value = -search(t, 1, -alpha - 1, -alpha, depth - 1, made, CutNode);
    if (interrupted(c)) {
      unmakeMove(pos, r.move, undo);
      return 0;
    }
    if (value > alpha) {
      c.times().rootFailHigh();
      if (!c.quiet) {
        char label[32];
        std::sprintf(label, "++%i/%i ", i + 1, int(c.rootCount));
        printSearchLine(c, value, label);
        logInfo("%s\n", printMove(pos, text, r.move));
      }
      value = -search(t, 1, -beta, -alpha, depth - 1, made, PvNode);
      if (interrupted(c)) {
        unmakeMove(pos, r.move, undo);
        return 0;
      }
      if (value <= alpha) {
        if (!c.quiet) {
          printSearchLine(c, value, "--");
          logInfo("%s\n", printMove(pos, text, r.move));
        }
        c.times().rootFailHighResolved();
      }
    }
    unmakeMove(pos, r.move, undo);
    r.nodes = c.totalNodes() - before;
    r.score = value;
    if (value > alpha) {
      RootMove better = r;
      r = c.rootMoves[0];
      c.rootMoves[0] = better;
      announceBest(c, pos, better.move, value, depth, value >= beta ? BoundLower : BoundExact);
      if (value >= beta) return value;
      alpha = value;
    }
  }
  storeRoot(c, c.rootMoves[0].move, alpha, depth, BoundExact);
  return alpha;
}

namespace {

// One iteration, in a window around the last score when the depth is enough to trust it.
void aspirationSearch(SearchController& c, int depth) {
  const int last = c.score;
  const bool aspire = depth >= AspirationMinDepth && last > -WinBound && last < WinBound;
  int below = aspire ? AspirationMargin : Infinity, above = below;
  for (;;) {
    const int alpha = below >= AspirationMaxMargin ? -Infinity : last - below;
    const int beta = above >= AspirationMaxMargin ? Infinity : last + above;
    const int value = rootSearch(c, alpha, beta, depth);
    if (c.timeUp || nodeLimitReached(c)) return;
    if (value <= alpha && alpha > -Infinity)
      below *= 2;
    else if (value >= beta && beta < Infinity)
      above *= 2;
    else
      return;
  }
}

}  // namespace

void think(SearchController& c) {
  c.searchStart();
  SearchThread& t = c.master();
  Position& pos = t.pos;

  // The root moves, ordered by exchange value to begin with.
  Move list[MaxMoves];
  Move* end;
  const bool inCheck = (pos.lastMove & MoveCheckFlags) != 0;
  if (inCheck) {
    end = generateEvasions(pos, list, pos.lastMove);
  } else {
    end = generateCaptures(pos, list);
    end = generateQuiets(pos, end);
    end = generateKingQuiets(pos, end);
  }
  const UndoInfo undo = saveUndo(pos);
  const int king = pos.kingSquare(int(pos.sideToMove));
  int count = 0;
  for (Move* m = list; m < end; m++) {
    if (isPinnedMove(pos, king, moveFrom(*m), moveTo(*m))) continue;
    if (!makeMove(pos, *m)) continue;
    unmakeMove(pos, *m, undo);
    c.rootMoves[count++] = RootMove{*m, uint64_t(int64_t(exchange(pos, *m) + 1000)), 0};
  }
  // The moves the request restricts the root to; when it names no legal move, all of them
  // (nothing is overwritten before the first listed move is found).
  bool restricted = false;
  if (!c.searchMoves.empty()) {
    int kept = 0;
    for (int i = 0; i < count; i++)
      if (listed(c.searchMoves, c.rootMoves[i].move)) c.rootMoves[kept++] = c.rootMoves[i];
    restricted = kept > 0 && kept < count;
    if (kept > 0) count = kept;
  }
  // In the endgame tables only the moves that keep the tables' result stay.
  c.rootTables = keepTableResult(c.syzygy, pos, c.rootMoves, count, c.thresholds.syzygyMen,
                                 c.thresholds.syzygyRule50, t.counters.tableHits);
  c.rootCount = count;
  c.lineCount = std::max(1, std::min(c.lines, count));
  sortRootMoves(c.rootMoves, c.rootMoves + c.rootCount);
  c.score = c.rootCount ? 0 : inCheck ? -Infinity : 0;
  if (c.rootCount) c.rootMoves[0].score = 0;

  const int eval = t.eval.evaluate();
  if (!c.quiet) logInfo("eval=%i\n", eval);

  uint64_t previousTotal = 0;
  for (int d = 1; c.rootCount > 0;) {
    c.iterationDepth = d;
    c.times().setDepth(uint32_t(d));
    c.thresholds.bitbasePlyLimit = 2 * d / 3 > 2 ? 2 * d / 3 : 2;
    if (c.lineCount > 1) {
      if (searchLines(c, d)) reportLines(c);
    } else {
      aspirationSearch(c, d);
    }
    writePvToTable(c, d);
    c.times().iterationDone(c.score);

    const char* ending = nullptr;
    // A mate search ends with its mate: a longer mate or a single move do not end it. A move
    // that is single only because the request named it alone is searched as deep as asked.
    const bool mateSearch = c.mateMoves > 0;
    if (nodeLimitReached(c) || c.timeUp || c.times().timeIsUp()) {
      ending = "stopped\n";
    } else if (mateFound(c)) {
      ending = "mate found\n";
    } else if (!mateSearch && linesProven(c, d)) {
      // Deeper iterations would only repeat the mates (an infinite search then waits).
      ending = "(optimal)\n";
    } else if (!c.times().infinite) {
      if (c.rootCount == 1 && d > 1 && !mateSearch && !restricted)
        ending = "single move\n";
      else if (c.times().iterationTimeout())
        ending = "iteration timeout\n";
    }
    if (ending) {
      printSearchLine(c, c.score, ending);
      break;
    }
    d++;
    const uint64_t total = c.totalNodes();
    if (!c.quiet) {
      printSearchLine(c, c.score, "ok");
      logInfo("/%2.1f\n", double(total) / double(previousTotal ? previousTotal : 1));
    }
    if (d > c.maxDepth) break;
    // The lines keep their order (best first); the other moves go by the work they took.
    sortRootMoves(c.rootMoves + c.lineCount, c.rootMoves + c.rootCount);
    previousTotal = total;
  }

  if (c.holdUntilStopped && c.times().infinite) c.waitForRelease();
  c.stopAll();
  c.answered = true;
  if (c.listener) c.listener->finished(c.result());
  if (!c.quiet && logLevel <= 1) printStatistics(c);
}
