// Raw board speed: perft leaf nodes per second on one thread (start position to depth 6, the
// second position of the standard perft file to depth 5), and make/unmake of every move.
#include <benchmark/benchmark.h>

#include "board/makemove.h"
#include "board/movegen.h"

namespace {

const char* const Kiwipete = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";

Position& prepared(const char* fen) {
  static Position pos;
  static bool ready = false;
  if (!ready) {
    initTables();
    ready = true;
  }
  setFen(pos, fen);
  return pos;
}

void perftBench(benchmark::State& state, const char* fen, int depth) {
  Position& pos = prepared(fen);
  uint64_t leaves = 0;
  for (auto _ : state) leaves += perft(pos, depth, pos.lastMove);
  state.counters["leaves/s"] = benchmark::Counter(double(leaves), benchmark::Counter::kIsRate);
}

void BM_PerftStartDepth6(benchmark::State& state) {
  perftBench(state, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 6);
}
void BM_PerftKiwipeteDepth5(benchmark::State& state) { perftBench(state, Kiwipete, 5); }

// Generation plus make/unmake of every move, without the bulk count at the leaves.
void BM_MakeUnmakeAllMoves(benchmark::State& state) {
  Position& pos = prepared(Kiwipete);
  Move moves[MaxMoves];
  Move* end = generateMoves(pos, moves);
  UndoInfo undo = saveUndo(pos);
  int64_t made = 0;
  for (auto _ : state) {
    for (Move* m = moves; m < end; m++)
      if (makeMove(pos, *m)) {
        unmakeMove(pos, *m, undo);
        made++;
      }
  }
  state.counters["moves/s"] = benchmark::Counter(double(made), benchmark::Counter::kIsRate);
}

void BM_GenerateMoves(benchmark::State& state) {
  Position& pos = prepared(Kiwipete);
  Move moves[MaxMoves];
  int64_t generated = 0;
  for (auto _ : state) {
    Move* end = generateMoves(pos, moves);
    benchmark::DoNotOptimize(moves);
    generated += end - moves;
  }
  state.counters["moves/s"] = benchmark::Counter(double(generated), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_PerftStartDepth6)->Iterations(1)->Repetitions(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PerftKiwipeteDepth5)->Iterations(1)->Repetitions(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MakeUnmakeAllMoves);
BENCHMARK(BM_GenerateMoves);
BENCHMARK_MAIN();
