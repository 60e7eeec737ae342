// Evaluation speed on positions from real games (every other ply from ply 8 of the first games
// of the master-games file).
//   eval_bench --benchmark_filter=Evaluate   evaluations per second, cold and warm
//   eval_bench --benchmark_filter=Exchange   exchange evaluations per second
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "board/makemove.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "book/pgn_reader.h"
#include "eval/evaluator.h"
#include "eval/exchange.h"

namespace {

constexpr int Games = 150;

// Positions are large (move and key history); the benchmark keeps a few thousand.
const std::vector<std::unique_ptr<Position>>& gamePositions() {
  static std::vector<std::unique_ptr<Position>> positions;
  if (!positions.empty()) return positions;
  initTables();
  PgnReader reader;
  if (!reader.open(MELVOK_DATA_DIR "/master-games.pgn")) {
    std::fprintf(stderr, "cannot read " MELVOK_DATA_DIR "/master-games.pgn\n");
    std::exit(1);
  }
  for (int g = 0; g < Games; ++g) {
    PgnGame* game = reader.nextGame();
    if (game == nullptr) break;
    Position pos;
    setFen(pos, InitialFen);
    for (uint32_t i = 0; i < game->moveCount(); ++i) {
      const Move m = parseMove(pos, game->moves[i].c_str());
      if (!m || !makeMove(pos, m & ~MoveCheckFlags)) break;
      if (i >= 8 && i % 2 == 0) {
        positions.push_back(std::make_unique<Position>());
        copyPosition(*positions.back(), pos);
      }
    }
  }
  return positions;
}

// Every evaluation misses both the evaluation cache and the pawn hash.
void EvaluateCold(benchmark::State& state) {
  const auto& positions = gamePositions();
  auto eval = std::make_unique<Evaluator>(*positions[0]);
  size_t i = 0;
  int64_t sum = 0;
  for (auto _ : state) {
    Position& pos = *positions[i];
    eval->attach(pos);
    eval->pawnHash().slot(pos.pawnKey).check ^= 0x5A5A5A5A;  // forget this pawn structure
    sum += eval->evaluateUncached();
    if (++i == positions.size()) i = 0;
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(state.iterations());
  state.counters["positions"] = double(positions.size());
}
BENCHMARK(EvaluateCold);

// The usual case in a search: the pawn hash hits, the evaluation cache does not.
void EvaluateWarmPawnHash(benchmark::State& state) {
  const auto& positions = gamePositions();
  auto eval = std::make_unique<Evaluator>(*positions[0]);
  for (const auto& pos : positions) {
    eval->attach(*pos);
    eval->probePawnHash();
  }
  size_t i = 0;
  int64_t sum = 0;
  for (auto _ : state) {
    eval->attach(*positions[i]);
    sum += eval->evaluateUncached();
    if (++i == positions.size()) i = 0;
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(state.iterations());
  state.counters["pawnHitRate"] =
      double(eval->pawnHash().hits) / double(eval->pawnHash().hits + eval->pawnHash().misses);
}
BENCHMARK(EvaluateWarmPawnHash);

// Repeated leaves: a few hundred positions evaluated over and over through the cache.
void EvaluateWarmCache(benchmark::State& state) {
  const auto& all = gamePositions();
  const size_t count = std::min<size_t>(300, all.size());
  auto eval = std::make_unique<Evaluator>(*all[0]);
  size_t i = 0;
  int64_t sum = 0;
  const uint64_t before = eval->pawnHash().misses;
  for (auto _ : state) {
    eval->attach(*all[i]);
    sum += eval->evaluate();
    if (++i == count) i = 0;
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(state.iterations());
  state.counters["pawnMisses"] = double(eval->pawnHash().misses - before);
}
BENCHMARK(EvaluateWarmCache);

// Exchange evaluation of every capture of every position.
void Exchange(benchmark::State& state) {
  const auto& positions = gamePositions();
  std::vector<std::pair<const Position*, Move>> work;
  for (const auto& pos : positions) {
    Move moves[MaxMoves];
    Move* end = pos->inCheck() ? generateEvasions(*pos, moves, pos->previousMove())
                               : generateCaptures(*pos, moves);
    for (Move* m = moves; m != end; ++m)
      if (moveCaptured(*m)) work.emplace_back(pos.get(), *m);
  }
  size_t i = 0;
  int64_t sum = 0;
  for (auto _ : state) {
    const auto& [pos, m] = work[i];
    sum += staticExchange(*pos, int(pos->sideToMove), m);
    if (++i == work.size()) i = 0;
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(state.iterations());
  state.counters["captures"] = double(work.size());
}
BENCHMARK(Exchange);

}  // namespace

BENCHMARK_MAIN();
