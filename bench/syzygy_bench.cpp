// Syzygy probes per second through SyzygyTables, on legal positions of the test tables
// (tests/data/syzygy: every 3-men table and five 4-men ones) drawn at random: WDL probes with
// the tables warm and cold (opened again before each pass, so that every table is mapped and
// its header read anew; the files stay in the operating system's cache), and the root's DTZ
// probe and move ranking. Then the search's cost: the bench positions searched with the
// tables loaded (probe depth 1) and without.
//   syzygy_bench --benchmark_repetitions=5
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "board/movegen.h"
#include "search/bench.h"
#include "search/search_controller.h"

namespace {

// The search these tests drive: a controller of their own, with a small table.
SearchController& controller() {
  static SearchController search(16);
  return search;
}

constexpr int PositionCount = 10000;
const char* const Tables[] = {"KQvK", "KRvK", "KPvK", "KQvKR", "KRvKR", "KBvKB", "KPvKP"};

// Runs `action` with standard output and error sent to /dev/null: the library complains on
// standard error each time it lets go of its tables.
template <typename Action>
void quietly(Action action) {
  std::fflush(stdout);
  std::fflush(stderr);
  int savedOut = dup(1), savedErr = dup(2), null = open("/dev/null", O_WRONLY);
  dup2(null, 1);
  dup2(null, 2);
  action();
  std::fflush(stdout);
  std::fflush(stderr);
  dup2(savedOut, 1);
  dup2(savedErr, 2);
  close(null);
  close(savedOut);
  close(savedErr);
}

SyzygyTables& tables() {
  static bool loaded = [] {
    initTables();
    const std::string line = controller().syzygy.load(MELVOK_DATA_DIR "/syzygy");
    std::fprintf(stderr, "%s\n", line.c_str());
    return controller().syzygy.available();
  }();
  if (!loaded) std::exit(1);
  return controller().syzygy;
}

// Random legal positions with the material of the tables above (pawns kept off the squares
// before promotion, whose tables are not there), each one the tables answer.
const std::vector<Position>& positions() {
  static const std::vector<Position> list = [] {
    std::vector<Position> result;
    result.reserve(PositionCount);
    std::mt19937 rng(39);
    auto pos = std::make_unique<Position>();
    while (int(result.size()) < PositionCount) {
      const std::string table = Tables[rng() % 7];
      std::string board(64, '1'), pieces;
      const bool whiteStrong = rng() & 1;
      for (size_t i = 0, v = table.find('v'); i < table.size(); i++)
        if (table[i] != 'v') pieces += (i < v) == whiteStrong ? table[i] : char(table[i] + 32);
      for (char piece : pieces) {
        int sq;
        do sq = int(rng() % 64);
        while (board[sq] != '1' || ((piece == 'P' || piece == 'p') && (sq < 16 || sq >= 48)));
        board[sq] = piece;
      }
      std::string fen;
      for (int row = 0; row < 8; row++) fen += board.substr(row * 8, 8) + (row < 7 ? "/" : "");
      fen += (rng() & 1) ? " w - - 0 1" : " b - - 0 1";
      bool legal = false;
      quietly([&] { legal = setFen(*pos, fen.c_str()); });
      TableWdl wdl;
      if (legal && tables().probeWdl(*pos, wdl)) result.push_back(*pos);
    }
    return result;
  }();
  return list;
}

// One WDL probe of each of the first state.range(0) positions; the answers are summed so that
// none is optimised away.
void probeAll(benchmark::State& state) {
  const int count = int(state.range(0));
  int sum = 0;
  for (int i = 0; i < count; ++i) {
    TableWdl wdl;
    if (tables().probeWdl(positions()[i], wdl)) sum += int(wdl);
  }
  benchmark::DoNotOptimize(sum);
  state.counters["probes"] =
      benchmark::Counter(double(count), benchmark::Counter::kIsIterationInvariantRate);
}

void WdlWarm(benchmark::State& state) {
  positions();
  probeAll(state);
  for (auto _ : state) probeAll(state);
}
BENCHMARK(WdlWarm)->Arg(PositionCount)->Unit(benchmark::kMillisecond);

void WdlCold(benchmark::State& state) {
  positions();
  for (auto _ : state) {
    state.PauseTiming();
    quietly([] {
      tables().load("");  // off first: the path already loaded would not be read again
      tables().load(MELVOK_DATA_DIR "/syzygy");
    });
    state.ResumeTiming();
    probeAll(state);
  }
}
// The first thousand probes after a load pay for mapping the tables; over all the positions
// the cost spreads out.
BENCHMARK(WdlCold)->Arg(1000)->Arg(PositionCount)->Unit(benchmark::kMillisecond);

// The root's probes: the position's DTZ, and every legal move ranked by DTZ.
void RootDtz(benchmark::State& state) {
  const int count = 2000;
  positions();
  int sum = 0;
  for (auto _ : state)
    for (int i = 0; i < count; ++i) {
      TableDistance distance;
      if (tables().probeRoot(positions()[i], distance)) sum += distance.dtz;
    }
  benchmark::DoNotOptimize(sum);
  state.counters["probes"] =
      benchmark::Counter(double(count), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(RootDtz)->Unit(benchmark::kMillisecond);

void RootRanking(benchmark::State& state) {
  const int count = 500;
  std::vector<Position> roots(positions().begin(), positions().begin() + count);
  std::vector<RankedMove> ranked;
  int sum = 0;
  for (auto _ : state)
    for (Position& pos : roots)
      if (tables().rankRootMoves(pos, true, false, ranked)) sum += ranked[0].rank;
  benchmark::DoNotOptimize(sum);
  state.counters["roots"] =
      benchmark::Counter(double(count), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(RootRanking)->Unit(benchmark::kMillisecond);

// The bench positions to depth 8 on one thread, with the tables (Arg 1) and without (Arg 0):
// nodes per second and the nodes themselves (the tables change the tree where they answer).
void BenchPositions(benchmark::State& state) {
  tables();
  SearchController& c = controller();
  c.quiet = true;
  c.listener = nullptr;
  c.useBitbases = false;
  c.useSyzygy = state.range(0) != 0;
  c.setThreads(1);
  uint64_t nodes = 0, hits = 0;
  auto pos = std::make_unique<Position>();
  for (auto _ : state)
    for (int i = 0; i < benchPositionCount(); i++) {
      state.PauseTiming();
      setFen(*pos, benchPosition(i));
      c.newGame();
      c.setPosition(*pos);
      c.maxDepth = 8;
      c.times().nodeLimit = 0;
      c.times().setFixedTime(3600 * 1000);
      state.ResumeTiming();
      c.start(false);
      nodes += c.totalNodes();
      hits += c.tableHits();
    }
  state.counters["nps"] = benchmark::Counter(double(nodes), benchmark::Counter::kIsRate);
  state.counters["nodes"] = double(nodes) / double(state.iterations());
  state.counters["tbhits"] = double(hits) / double(state.iterations());
}
BENCHMARK(BenchPositions)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
