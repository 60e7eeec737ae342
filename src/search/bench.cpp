#include "search/bench.h"

#include <memory>

#include "base/log.h"
#include "base/platform.h"
#include "board/notation.h"

namespace {

// Openings after the usual first moves, middlegames from master games and well-known test
// positions, endgames of every kind, and Chess960 starts and middlegames (castling rights by
// rook file).
const char* const benchPositions[] = {
    // openings
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r1bqk2r/1pppbppp/p1n2n2/4p3/B3P3/5N2/PPPP1PPP/RNBQ1RK1 w kq - 4 6",
    "rnbqkb1r/1p2pppp/p2p1n2/8/3NP3/2N5/PPP2PPP/R1BQKB1R w KQkq - 0 6",
    "rnbq1rk1/ppp1bppp/4pn2/3p2B1/2PP4/2N1PN2/PP3PPP/R2QKB1R b KQ - 2 6",
    "rnbq1rk1/ppp2pbp/3p1np1/4p3/2PPP3/2N2N2/PP2BPPP/R1BQK2R w KQ - 0 7",
    "rnbqk1nr/pp3ppp/4p3/2ppP3/3P4/P1P5/2P2PPP/R1BQKBNR b KQkq - 0 6",
    "rn1qkbnr/pp3ppp/2p1p3/3pPb2/3P4/5N2/PPP1BPPP/RNBQK2R b KQkq - 1 5",
    "rnbqkb1r/ppp2ppp/8/3np3/8/2N3P1/PP1PPPBP/R1BQK1NR b KQkq - 1 5",
    "r1bq1rk1/ppp2ppp/2np1n2/2b1p3/2B1P3/2PP1N2/PP3PPP/RNBQ1RK1 w - - 2 7",
    "rnbq1rk1/pppp1ppp/4pn2/8/2PP4/P1Q5/1P2PPPP/R1B1KBNR b KQ - 0 6",
    // middlegames
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
    "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "r1b2rk1/pp3n1p/2n2pp1/4p3/4PP2/2qBBN1P/P1P1QKP1/R2R4 w - - 0 18",
    "r3k2r/pbp2q2/1p1pp2p/6pQ/2PP4/2PBP1P1/P2N2PP/6K1 w kq - 0 18",
    "2rr1nk1/pb2bpp1/1pq1p2p/2p1P2P/3P4/P1PBBN2/4QPP1/R2R2K1 w - - 0 18",
    "2rr2k1/pp2bppp/2b1pn2/q2p1P2/4P1P1/1BNQB3/PPP4P/1K1R3R w - - 2 18",
    "3rr1k1/pbn2ppp/1p3q2/2pp4/3P2Q1/1PN1P1P1/P4PBP/R2R2K1 w - - 1 18",
    "2q2rk1/p4ppp/8/2pP4/Q2n2P1/1P1B4/P4P1P/4RK2 w - - 1 30",
    "r4bk1/2p2pp1/p4q1p/1p2rb2/8/2P5/PPB2PPP/R1BQR1K1 w - - 0 18",
    "1r2r1k1/3q1ppp/p1npbb2/1pp1p3/4P3/1BPPNN2/PP2QPPP/R2R2K1 w - - 4 18",
    "r4rnk/1ppq1nbp/p2p2p1/3Ppp2/4P2B/2P2P2/PP1N2PP/R2QRNK1 w - - 0 18",
    "r1b1k3/2p1bpp1/p1Nrn2p/4p3/Pp2P3/3B1P1P/1PP2BP1/R2R2K1 w - - 3 30",
    // endgames
    "6k1/6p1/p1p2b1p/1p3p2/4q3/P1P1B1P1/1P3PKP/3Q4 w - - 2 30",
    "r6k/5nbp/2p3p1/p1Nrp3/P7/4BP2/6PP/3RR1K1 w - - 1 30",
    "4r3/2k3p1/1p3p1p/p2bnB2/P7/1PB1R1P1/1KP4P/8 w - - 0 30",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "8/k7/3p4/p2P1p2/P2P1P2/8/8/K7 w - - 0 1",
    "1K1k4/1P6/8/8/8/8/r7/2R5 w - - 0 1",
    "3k4/8/4K3/4P3/8/8/r7/7R b - - 0 1",
    "8/8/8/4k3/8/8/4P3/4K3 w - - 0 1",
    "8/8/4k3/8/8/8/3r4/3QK3 w - - 0 1",
    "8/5k2/4p3/3pP3/3P1B2/2K5/8/6b1 w - - 0 1",
    "8/8/1p6/p1p5/P1P2k2/1P6/3N1K2/8 w - - 0 1",
    "8/5pk1/6p1/7p/2r4P/6P1/5PK1/R7 w - - 0 1",
    "8/6k1/6p1/3Q4/8/5q1P/6PK/8 w - - 0 1",
    "8/p7/8/8/8/8/7P/k5K1 w - - 0 1",
    // Chess960
    "nrbkqbrn/pppppppp/8/8/8/8/PPPPPPPP/NRBKQBRN w GBgb - 0 1",
    "bnrkqrnb/pppppppp/8/8/8/8/PPPPPPPP/BNRKQRNB w FCfc - 0 1",
    "rkrbbn1q/1pp1np1p/4p3/p2p2p1/P1PP4/4P3/1P1N1PPP/RKRBB1NQ w CAca - 2 6",
    "qnrb1rb1/pppp1p1p/5k2/4p2p/4P2n/5PP1/PPPP3P/QNRBKRB1 w FC - 0 8",
    "3rqrn1/pkpp3p/1p4p1/4bpP1/1n5P/1PN1P3/P1PP4/BK1RQRN1 b - - 1 11",
};
constexpr int BenchCount = int(sizeof benchPositions / sizeof *benchPositions);

// Keeps the log quiet while the bench runs (a table being made would otherwise say so), and
// gives it back.
class QuietLog {
 public:
  QuietLog() : saved_(logFile) { logFile = nullptr; }
  ~QuietLog() { logFile = saved_; }
  QuietLog(const QuietLog&) = delete;
  QuietLog& operator=(const QuietLog&) = delete;

 private:
  FILE* saved_;
};

}  // namespace

int benchPositionCount() { return BenchCount; }
const char* benchPosition(int index) { return benchPositions[index]; }

BenchResult runBench(int depth, OutputStream& out, int lines) {
  // A search of its own: one thread, a table of the default size, no endgame tables (they are
  // optional; the signature must not depend on them), no listener and no search log.
  QuietLog quiet;
  auto search = std::make_unique<SearchController>(DefaultTableMb);
  SearchController& c = *search;
  c.quiet = true;
  c.useBitbases = false;
  c.useSyzygy = false;
  c.lines = lines;

  BenchResult result;
  auto pos = std::make_unique<Position>();
  for (int i = 0; i < BenchCount; i++) {
    if (!setFen(*pos, benchPositions[i])) {
      out.print("bench position %i refused: %s\n", i + 1, benchPositions[i]);
      continue;
    }
    // A fresh start for every position: whatever one search leaves in the table, the pawn
    // hash or the evaluation cache must not steer the next.
    c.newGame();
    resizePawnHash(c.master().eval.pawnHash(), PawnHash::DefaultEntries);
    c.master().eval.clearCache();
    c.maxDepth = depth;
    TimeControl& times = c.times();
    times.setFixedTime(NoTimeLimit);
    times.infinite = 0;
    times.nodeLimit = 0;
    c.setPosition(*pos);

    const uint32_t start = tickCount();
    c.start(false);
    const uint32_t elapsed = tickCount() - start;
    const uint64_t nodes = c.totalNodes();
    result.nodes += nodes;
    result.milliseconds += elapsed;
    char move[MoveTextSize];
    out.print("%2i/%i  depth %2i  nodes %10llu  time %6u ms  best %-7s  %s\n", i + 1, BenchCount,
              int(c.depth()), (unsigned long long)nodes, elapsed,
              printMove(*pos, move, c.bestMove()), benchPositions[i]);
  }
  const uint64_t rate = result.nodes * 1000 / (result.milliseconds ? result.milliseconds : 1);
  out.print("Nodes searched: %llu\n", (unsigned long long)result.nodes);
  out.print("Nodes/second: %llu\n", (unsigned long long)rate);
  out.flush();
  return result;
}
