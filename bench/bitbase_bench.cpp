// Bitbase probes per second through the engine's interface (Bitbases::probe), on legal
// three-men positions drawn at random: the stand-in, whose tables are in memory, as the
// baseline, and the library over Debian's Gaviota tables with a warm cache and with a cold
// one (the library loaded again, so its cache starts empty, before each pass; the table files
// themselves stay in the operating system's file cache).
//   bitbase_bench --benchmark_repetitions=5
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "board/tables.h"
#include "search/bitbase.h"

namespace {

constexpr int PositionCount = 20000;

// Runs `action` with standard output sent to /dev/null (a library's load report, repeated on
// every cold pass, would bury the results).
template <typename Action>
void quietly(Action action) {
  std::fflush(stdout);
  int saved = dup(1), null = open("/dev/null", O_WRONLY);
  dup2(null, 1);
  action();
  std::fflush(stdout);
  dup2(saved, 1);
  close(null);
  close(saved);
}

Bitbases& loaded(Bitbases& egbb, const char* directory) {
  quietly([&] {
    if (!egbb.startUp(directory, "16")) std::fprintf(stderr, "cannot load %s\n", directory);
  });
  return egbb;
}

Bitbases& standIn() {
  static Bitbases egbb;
  static Bitbases& ready = loaded(egbb, MELVOK_EGBB_DIR);
  return ready;
}

// FEN of kings on wk and bk and `piece` (a FEN letter, or 0 for none) on sq; squares a1 = 0.
std::string fenOf(int side, int wk, int bk, char piece, int sq) {
  char board[64] = {};
  board[wk] = 'K';
  board[bk] = 'k';
  if (piece != 0) board[sq] = piece;
  std::string fen;
  for (int rank = 7; rank >= 0; --rank) {
    int empty = 0;
    for (int file = 0; file < 8; ++file) {
      char c = board[rank * 8 + file];
      if (c == 0) {
        ++empty;
        continue;
      }
      if (empty > 0) fen += char('0' + empty);
      fen += c;
      empty = 0;
    }
    if (empty > 0) fen += char('0' + empty);
    if (rank > 0) fen += '/';
  }
  return fen + (side == 0 ? " w - - 0 1" : " b - - 0 1");
}

// Legal positions of a king and one piece of either colour against the bare king, either side
// to move, drawn with a fixed seed; the stand-in's answer sorts out the illegal ones.
const std::vector<Position>& positions() {
  static const std::vector<Position> list = [] {
    initTables();
    const char pieces[] = "QRBNPqrbnp";
    const int codes[] = {2, 3, 4, 5, 6, 8, 9, 10, 11, 12};
    std::mt19937 random(19);
    std::vector<Position> drawn;
    while (drawn.size() < PositionCount) {
      int kind = int(random() % 10), side = int(random() % 2);
      int wk = int(random() % 64), bk = int(random() % 64), sq = int(random() % 64);
      if (standIn().probeFn(side, wk, bk, codes[kind], sq, 0, 0, 0, 0) == EgbbNoInformation)
        continue;
      Position pos;
      bool set = false;  // setFen remarks on a side in check
      quietly([&] { set = setFen(pos, fenOf(side, wk, bk, pieces[kind], sq).c_str()); });
      if (set) drawn.push_back(pos);
    }
    return drawn;
  }();
  return list;
}

// One probe of each of the first state.range(0) positions; the answers are summed so that none
// is optimised away.
void probeAll(benchmark::State& state, const Bitbases& egbb) {
  const int count = int(state.range(0));
  int sum = 0;
  for (int i = 0; i < count; ++i) {
    int score = 0;
    if (egbb.probe(positions()[i], score)) sum += score;
  }
  benchmark::DoNotOptimize(sum);
  state.counters["probes"] =
      benchmark::Counter(double(count), benchmark::Counter::kIsIterationInvariantRate);
}

void StandIn(benchmark::State& state) {
  positions();
  for (auto _ : state) probeAll(state, standIn());
}
BENCHMARK(StandIn)->Arg(PositionCount)->Unit(benchmark::kMillisecond);

#ifdef MELVOK_EGBB_GAVIOTA_DIR

Bitbases& gaviota() {
  static Bitbases egbb;
  static Bitbases& ready = loaded(egbb, MELVOK_EGBB_GAVIOTA_DIR);
  return ready;
}

void GaviotaWarm(benchmark::State& state) {
  positions();
  probeAll(state, gaviota());
  for (auto _ : state) probeAll(state, gaviota());
}
BENCHMARK(GaviotaWarm)->Arg(PositionCount)->Unit(benchmark::kMillisecond);

void GaviotaCold(benchmark::State& state) {
  positions();
  Bitbases& egbb = gaviota();
  for (auto _ : state) {
    state.PauseTiming();
    quietly([&] { egbb.loadFn(egbb.egbbPath.c_str(), int32_t(egbb.egbbCacheMb) << 20, 1); });
    state.ResumeTiming();
    probeAll(state, egbb);
  }
}
// The first thousand probes after a load pay for filling the cache; over all the positions
// the cost spreads out.
BENCHMARK(GaviotaCold)->Arg(1000)->Arg(PositionCount)->Unit(benchmark::kMillisecond);

#endif

}  // namespace

BENCHMARK_MAIN();
