// Opening book speed: building a book from the master-games file (games per second), the
// same file through Debian's polyglot for comparison, and lookups in a book of that size.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "board/tables.h"
#include "book/book_builder.h"
#include "book/book_file.h"

namespace {

std::string dataFile(const char* name) { return std::string(MELVOK_DATA_DIR) + "/" + name; }
const std::string scratchDir = "/tmp/melvok_book_bench_" + std::to_string(getpid());

// Book builds print a report; the benchmark keeps its own output readable.
struct QuietStdout {
  int saved;
  QuietStdout() {
    fflush(stdout);
    saved = dup(1);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    close(null);
  }
  ~QuietStdout() {
    fflush(stdout);
    dup2(saved, 1);
    close(saved);
  }
};

void writeFile(const std::string& path, const char* text) {
  FILE* file = fopen(path.c_str(), "w");
  if (!file) return;
  fputs(text, file);
  fclose(file);
}

// Everything stored: a book as large as the file can give.
const char* const fullCriteria =
    "book.build.minelo = 0\nbook.build.maxelodelta = 0\nbook.build.minply = 0\n"
    "book.build.maxply = 50\nbook.build.mingames = 1\nbook.build.minquality = 0\n"
    "book.build.minscorew = 0\nbook.build.minscoreb = 0\nbook.build.keeppct = 100\n";

int buildOnce(const std::string& criteria, const std::string& book) {
  auto pos = std::make_unique<Position>();
  auto table = std::make_unique<BookTable>(pos.get());
  RcString name(book.c_str());
  QuietStdout quiet;
  buildBook(*table, name, criteria.c_str(), dataFile("master-games.pgn").c_str(), 0);
  return table->counts.gamesRead;
}

void setUp() {
  static bool done = false;
  if (done) return;
  done = true;
  initTables();
  if (FILE* games = fopen(dataFile("master-games.pgn").c_str(), "r")) {
    fclose(games);
  } else {
    std::fprintf(stderr, "cannot read %s\n", dataFile("master-games.pgn").c_str());
    std::exit(1);
  }
  std::string command = "mkdir -p " + scratchDir;
  if (system(command.c_str()) != 0) return;
  writeFile(scratchDir + "/default.ini", "# the builder's own defaults\n");
  writeFile(scratchDir + "/full.ini", fullCriteria);
}

// Building with the builder's default criteria (maxply 50, the usual Elo filters).
void BM_BuildBookDefaultCriteria(benchmark::State& state) {
  setUp();
  int games = 0;
  for (auto _ : state) games += buildOnce(scratchDir + "/default.ini", scratchDir + "/default.mvk");
  state.counters["games/s"] = benchmark::Counter(games, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_BuildBookDefaultCriteria)->Unit(benchmark::kMillisecond)->UseRealTime();

// Building with every game and every move of the first 50 plies stored.
void BM_BuildBookAllGames(benchmark::State& state) {
  setUp();
  int games = 0;
  for (auto _ : state) games += buildOnce(scratchDir + "/full.ini", scratchDir + "/full.mvk");
  state.counters["games/s"] = benchmark::Counter(games, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_BuildBookAllGames)->Unit(benchmark::kMillisecond)->UseRealTime();

// Debian's polyglot building from the same file, as an outside reference; arg = its max ply.
void BM_PolyglotMakeBook(benchmark::State& state) {
  setUp();
  const char* polyglot = "/usr/games/polyglot";
  if (access(polyglot, X_OK) != 0) {
    state.SkipWithError("polyglot is not installed");
    return;
  }
  std::string command = std::string(polyglot) + " make-book -pgn " + dataFile("master-games.pgn") +
                        " -bin " + scratchDir + "/polyglot.bin -max-ply " +
                        std::to_string(state.range(0)) + " > /dev/null 2>&1";
  int games = 0;
  for (auto _ : state) {
    if (system(command.c_str()) != 0) {
      state.SkipWithError("polyglot failed");
      return;
    }
    games += 1575;  // the games of the file
  }
  state.counters["games/s"] = benchmark::Counter(games, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PolyglotMakeBook)->Arg(50)->Arg(1024)->Unit(benchmark::kMillisecond)->UseRealTime();

// Lookups: keys of the book (hits) and random keys (misses), each a binary search in the file.
void BM_BookProbe(benchmark::State& state) {
  setUp();
  std::string book = scratchDir + "/probe.mvk";
  buildOnce(scratchDir + "/full.ini", book);
  BookReader reader;
  if (!reader.open(book.c_str())) {
    state.SkipWithError("no book");
    return;
  }
  std::vector<uint64_t> keys;
  fseeko(reader.file, reader.header.headerSize, SEEK_SET);
  BookEntry entry;
  while (readBookRecord(entry, reader.file, reader.header.flags | BookReadKey) &&
         !feof(reader.file))
    keys.push_back(entry.key);
  clearerr(reader.file);
  std::mt19937_64 random(1);
  std::vector<uint64_t> probes;
  for (int i = 0; i < 4096; i++)
    probes.push_back(i % 2 ? keys[random() % keys.size()] : random() | 2);
  size_t next = 0;
  int64_t found = 0;
  for (auto _ : state) {
    found += reader.findPosition(probes[next]);
    next = (next + 1) & 4095;
  }
  state.counters["records"] = double(reader.recordCount);
  state.counters["hits"] = double(found) / double(state.iterations());
  state.counters["probes/s"] =
      benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_BookProbe);

}  // namespace

BENCHMARK_MAIN();
