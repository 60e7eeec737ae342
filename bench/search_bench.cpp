// Search speed and strength on one thread.
//   search_bench --benchmark_filter=Nps      nodes per second at fixed depth
//   search_bench --benchmark_filter=Tactics  solve counts of a small tactical suite
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "board/notation.h"
#include "search/search_controller.h"

namespace {

// The search these tests drive: a controller of their own, with a small table.
SearchController& controller() {
  static SearchController search(16);
  return search;
}

std::string perftPosition(int index) {
  std::ifstream file(MELVOK_DATA_DIR "/perft-standard.epd");
  std::string line;
  for (int i = 0; i <= index; i++) {
    if (!std::getline(file, line)) {
      std::fprintf(stderr, "no position %i in " MELVOK_DATA_DIR "/perft-standard.epd\n", index);
      std::exit(1);
    }
  }
  return line.substr(0, line.find(';'));
}

struct Searcher {
  Searcher() {
    initTables();
    controller().quiet = true;
    controller().listener = nullptr;
  }
  // Searches fen to a fixed depth (or for ms milliseconds); returns the best move's text.
  std::string run(const std::string& fen, int depth, uint32_t ms) {
    Position pos;
    if (!setFen(pos, fen.c_str())) {
      std::fprintf(stderr, "bad benchmark position: %s\n", fen.c_str());
      std::exit(1);
    }
    controller().setPosition(pos);
    controller().maxDepth = depth;
    controller().times().nodeLimit = 0;
    controller().times().setFixedTime(ms);
    controller().start(false);
    char text[MoveTextSize];
    coordinateMove(text, controller().bestMove());
    return text;
  }
};

void searchNps(benchmark::State& state, std::string fen, int depth) {
  Searcher searcher;
  uint64_t nodes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    controller().newGame();
    state.ResumeTiming();
    searcher.run(fen, depth, 3600 * 1000);
    nodes += controller().totalNodes();
  }
  state.counters["nps"] = benchmark::Counter(double(nodes), benchmark::Counter::kIsRate);
  state.counters["nodes"] = double(nodes) / double(state.iterations());
}

struct Tactic {
  const char* fen;
  const char* best;
};

// Wins of material and mates, each with one clearly best move (checked with an outside engine).
const Tactic suite[] = {
    {"r1bqkb1r/pppp1ppp/2n2n2/4p2Q/2B1P3/8/PPPP1PPP/RNB1K1NR w KQkq - 4 4", "h5f7"},
    {"6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1", "d1d8"},
    {"r1b1kbnr/pppp1ppp/2n5/4p1q1/4P3/3P1N2/PPP2PPP/RNBQKB1R w KQkq - 0 1", "c1g5"},
    {"2r3k1/5ppp/8/8/3n4/8/5PPP/2R3K1 b - - 0 1", "c8c1"},
    {"r4rk1/ppp2ppp/8/3Nb3/8/8/PPP2PPP/R3R1K1 w - - 0 1", "e1e5"},
    {"7k/8/8/8/8/8/R7/1R4K1 w - - 0 1", "a2a7"},
    {"k7/8/8/3K4/8/8/8/7Q w - - 0 1", "h1b1"},
};

void tactics(benchmark::State& state, int depth, uint32_t ms) {
  Searcher searcher;
  int solved = 0;
  for (auto _ : state) {
    solved = 0;
    for (const Tactic& t : suite) {
      controller().newGame();
      solved += searcher.run(t.fen, depth, ms) == t.best;
    }
  }
  state.counters["solved"] = solved;
  state.counters["of"] = double(sizeof suite / sizeof suite[0]);
}

BENCHMARK_CAPTURE(searchNps, KiwipeteDepth8, perftPosition(1), 8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(
    searchNps, ItalianDepth9,
    std::string("r1bqk2r/pppp1ppp/2n2n2/2b1p3/2B1P3/2N2N2/PPPP1PPP/R1BQK2R w KQkq - 0 1"), 9)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(searchNps, QueensGambitDepth9,
                  std::string("rnbqkb1r/pp1p1ppp/4pn2/2p5/2PP4/2N5/PP2PPPP/R1B1KBNR w KQkq - 0 4"),
                  9)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(tactics, Depth6, 6, 3600 * 1000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(tactics, HalfSecond, 120, 500)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
