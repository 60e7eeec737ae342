#include "selfplay.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>

#include "base/log.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "book/pgn_reader.h"
#include "search/node_rules.h"
#include "search/search_controller.h"

namespace {

// ---------------------------------------------------------------------------------------------
// The search
// ---------------------------------------------------------------------------------------------

struct SearchOutcome {
  Move move;
  int score;  // side to move's view
};

// The generator's own search.
SearchController& search() {
  static SearchController controller(16);
  return controller;
}

// One thread, no bitbases, no reports, no time limit: only the node count ends a search. Done
// once for a table size.
void prepareSearch(uint32_t hashMb) {
  static uint32_t preparedMb = 0;
  if (preparedMb == hashMb) return;
  preparedMb = hashMb;
  initTables();
  logFile = nullptr;
  SearchController& c = search();
  c.setThreads(1);
  c.listener = nullptr;
  c.quiet = true;
  c.useBitbases = false;
  c.searchMoves.clear();
  c.lines = 1;
  c.mateMoves = 0;
  TimeControl& times = c.times();
  times.reset();
  times.setFixedTime(NoTimeLimit);
  times.infinite = 0;
  c.table().resize(hashMb * 1024);
}

// Every game starts from nothing remembered, so that it depends on its seed alone.
void forgetEarlierGames() {
  SearchController& c = search();
  c.newGame();
  resizePawnHash(c.master().eval.pawnHash(), PawnHash::DefaultEntries);
  c.master().eval.clearCache();
}

// The one place the generator asks the engine for a move: a search of pos on this thread that
// ends after `nodes` nodes.
SearchOutcome searchFixedNodes(const Position& pos, uint32_t nodes) {
  SearchController& c = search();
  c.setPosition(pos);
  c.maxDepth = 0;
  c.times().nodeLimit = nodes;
  c.start(false);
  return {c.bestMove(), c.rootScore()};
}

// ---------------------------------------------------------------------------------------------
// The board
// ---------------------------------------------------------------------------------------------

bool play(Position& pos, Move m) {
  const Move made = makeMove(pos, m & ~MoveCheckFlags);
  if (!made) return false;
  pos.lastMove = made;
  return true;
}

bool setUp(Position& pos, const OpeningLine& line) {
  if (!setFen(pos, line.fen.c_str())) return false;
  for (const std::string& text : line.moves) {
    const Move m = parseMove(pos, text.c_str());
    if (!m || !play(pos, m)) return false;
  }
  return true;
}

// How often the position has stood on the board with the same side to move since the last
// capture or pawn move, this time included.
int occurrences(const Position& pos) {
  int count = 1;
  for (int i = int(pos.ply) - 2; i >= int(pos.lastIrreversible); i -= 2)
    if (pos.keyHistory[i] == pos.hashKey) count++;
  return count;
}

constexpr int NoResult = -1;

// The result the rules give the position, or NoResult while the game goes on.
int resultByRules(Position& pos) {
  Move list[MaxMoves];
  if (generateLegalMoves(pos, list) == 0) {
    if (!pos.inCheck()) return ResultDrawn;
    return pos.sideToMove == White ? ResultBlackWon : ResultWhiteWon;
  }
  if (fiftyMoveDraw(pos) || materialDraw(pos) || occurrences(pos) >= 3) return ResultDrawn;
  return NoResult;
}

bool isQuietMove(Move m) { return !moveCaptured(m) && !movePromotion(m) && !(m & MoveEnPassant); }

uint64_t mixBits(uint64_t x) {  // a splitmix64 step: nearby seeds give unrelated streams
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

uint64_t openingsHash(const std::vector<OpeningLine>& lines) {
  uint64_t h = 0xCBF29CE484222325ull;  // FNV-1a
  auto add = [&](const std::string& text) {
    for (unsigned char c : text) h = (h ^ c) * 0x100000001B3ull;
    h = (h ^ '\n') * 0x100000001B3ull;
  };
  for (const OpeningLine& line : lines) {
    add(line.fen);
    for (const std::string& m : line.moves) add(m);
  }
  return h;
}

// The search result of a position: a score for White, so that both sides' searches compare.
int whiteScore(const Position& pos, int score) { return pos.sideToMove == White ? score : -score; }

}  // namespace

// ---------------------------------------------------------------------------------------------
// Openings
// ---------------------------------------------------------------------------------------------

std::vector<OpeningLine> builtInOpenings() {
  static const char* const lines[] = {
      "",
      "e4 e5 Nf3 Nc6",
      "e4 e5 Nf3 Nf6",
      "e4 e5 Nc3",
      "e4 c5 Nf3 d6",
      "e4 c5 Nf3 Nc6",
      "e4 c5 Nf3 e6",
      "e4 c5 c3",
      "e4 e6 d4 d5",
      "e4 c6 d4 d5",
      "e4 d6 d4 Nf6",
      "e4 d5 exd5 Qxd5",
      "e4 Nf6 e5 Nd5",
      "d4 d5 c4 e6",
      "d4 d5 c4 c6",
      "d4 d5 c4 dxc4",
      "d4 d5 Nf3 Nf6",
      "d4 Nf6 c4 g6",
      "d4 Nf6 c4 e6",
      "d4 Nf6 c4 c5",
      "d4 f5 g3 Nf6",
      "c4 e5 Nc3 Nf6",
      "c4 c5 Nf3 Nc6",
      "Nf3 d5 g3 Nf6",
      "g3 d5 Bg2 e5",
      "b3 e5 Bb2 Nc6",
  };
  std::vector<OpeningLine> openings;
  for (const char* text : lines) {
    OpeningLine line{InitialFen, {}};
    std::istringstream moves(text);
    for (std::string m; moves >> m;) line.moves.push_back(m);
    openings.push_back(line);
  }
  return openings;
}

bool readOpenings(const char* path, int pgnPlies, std::vector<OpeningLine>& lines,
                  std::string& error, std::vector<std::string>& warnings) {
  initTables();
  auto pos = std::make_unique<Position>();
  const size_t before = lines.size();
  const std::string name = path;
  const bool pgn = name.size() >= 4 && name.compare(name.size() - 4, 4, ".pgn") == 0;
  if (pgn) {
    PgnReader reader;
    if (!reader.open(path)) {
      error = "cannot read " + name;
      return false;
    }
    int number = 0;
    while (PgnGame* game = reader.nextGame()) {
      number++;
      OpeningLine line{game->fen.empty() ? InitialFen : game->fen.c_str(), {}};
      for (uint32_t i = 0; i < game->moveCount() && int(i) < pgnPlies; i++)
        line.moves.push_back(game->moves[i].c_str());
      if (setUp(*pos, line))
        lines.push_back(line);
      else
        warnings.push_back(name + ": game " + std::to_string(number) + " has no legal line");
    }
  } else {
    std::ifstream in(path);
    if (!in) {
      error = "cannot read " + name;
      return false;
    }
    int number = 0;
    for (std::string text; std::getline(in, text);) {
      number++;
      text = text.substr(0, text.find(';'));
      std::istringstream fields(text);
      std::string fen, field;
      for (int i = 0; i < 4 && fields >> field; i++) fen += (i ? " " : "") + field;
      if (fen.empty()) continue;
      const OpeningLine line{fen + " 0 1", {}};
      if (setUp(*pos, line))
        lines.push_back(line);
      else
        warnings.push_back(name + ": line " + std::to_string(number) + " is no legal position");
    }
  }
  if (lines.size() == before) {
    error = name + " holds no usable opening";
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Games
// ---------------------------------------------------------------------------------------------

std::vector<PackedRecord> playGame(const SelfPlayOptions& options, const Adjudication& rules,
                                   uint64_t index, int* gameResult) {
  static const std::vector<OpeningLine> builtIn = builtInOpenings();
  const std::vector<OpeningLine>& openings = options.openings.empty() ? builtIn : options.openings;
  std::mt19937_64 random(mixBits(options.seed ^ mixBits(index)));
  prepareSearch(options.hashMb);
  auto pos = std::make_unique<Position>();

  // The opening: a line, then random plies; drawn again when it ends the game at once or
  // leaves one side far ahead.
  constexpr int OpeningAttempts = 10;
  SearchOutcome first{};
  for (int attempt = 1;; attempt++) {
    const OpeningLine& line = openings[random() % openings.size()];
    bool playable = setUp(*pos, line);
    for (int ply = 0; playable && ply < options.randomPlies; ply++) {
      Move list[MaxMoves];
      const int count = generateLegalMoves(*pos, list);
      if (count == 0) break;
      playable = play(*pos, list[random() % uint64_t(count)]);
    }
    if (!playable || resultByRules(*pos) != NoResult) {
      if (attempt < OpeningAttempts) continue;
      if (gameResult) *gameResult = NoResult;
      return {};
    }
    forgetEarlierGames();
    first = searchFixedNodes(*pos, options.nodes);
    if (std::abs(first.score) <= rules.openingScore || attempt == OpeningAttempts) break;
  }

  std::vector<PackedRecord> records;
  int result = NoResult, winning = 0, level = 0;
  const int startPly = int(pos->ply);
  for (SearchOutcome outcome = first;;) {
    const int ply = int(pos->ply);
    if (ply != startPly) {
      result = resultByRules(*pos);
      if (result != NoResult) break;
      if (ply - startPly >= rules.maxPlies) {
        result = ResultDrawn;
        break;
      }
      outcome = searchFixedNodes(*pos, options.nodes);
    }
    if (outcome.move == 0) {  // cannot happen with legal moves; end the game rather than loop
      result = ResultDrawn;
      break;
    }
    if (!pos->inCheck() && isQuietMove(outcome.move))
      records.push_back(packRecord(*pos, outcome.score, ply, ResultDrawn, uint32_t(index)));

    // Adjudication on the searches' agreement: a won score held for several plies by both
    // sides, or a level one held long after the opening.
    const int score = whiteScore(*pos, outcome.score);
    const int ahead = score >= rules.resignScore ? 1 : score <= -rules.resignScore ? -1 : 0;
    winning = ahead == 0 ? 0 : winning * ahead > 0 ? winning + ahead : ahead;
    level = std::abs(score) <= rules.drawScore && ply >= rules.drawFromPly ? level + 1 : 0;
    if (std::abs(winning) >= rules.resignPlies) {
      result = winning > 0 ? ResultWhiteWon : ResultBlackWon;
      break;
    }
    if (level >= rules.drawPlies) {
      result = ResultDrawn;
      break;
    }
    if (!play(*pos, outcome.move)) {
      result = ResultDrawn;
      break;
    }
  }
  for (PackedRecord& record : records) setRecordResult(record, result);
  if (gameResult) *gameResult = result;
  return records;
}

// ---------------------------------------------------------------------------------------------
// The data file
// ---------------------------------------------------------------------------------------------

namespace {

// Where a run continues: the file cut back to whole records and to before its last game (which
// an interruption may have cut short), and that game's index.
struct ResumePoint {
  uint64_t nextGame = 0;
  uint64_t records = 0;
};

bool prepareFile(const SelfPlayOptions& options, const DataHeader& wanted, ResumePoint& point,
                 std::string& error) {
  namespace fs = std::filesystem;
  std::error_code failure;
  const uint64_t size = fs::exists(options.out, failure) ? fs::file_size(options.out, failure) : 0;
  if (failure) {
    error = "cannot read " + options.out + ": " + failure.message();
    return false;
  }
  const PackedRecord header = packHeader(wanted);
  if (size < uint64_t(RecordBytes)) {
    // Empty, or a header cut short by an interruption; anything else is no file of ours.
    if (size > 0) {
      std::ifstream in(options.out, std::ios::binary);
      char start[RecordBytes] = {};
      in.read(start, std::streamsize(size));
      if (std::memcmp(start, header.data(), std::min<size_t>(size, 8)) != 0) {
        error = options.out + " is no training data file; give another --out";
        return false;
      }
    }
    FILE* file = std::fopen(options.out.c_str(), "wb");
    const bool written = file && std::fwrite(header.data(), 1, RecordBytes, file) == RecordBytes;
    if (file) std::fclose(file);
    if (!written) error = "cannot write " + options.out;
    point = {};
    return written;
  }

  FILE* file = std::fopen(options.out.c_str(), "rb");
  if (!file) {
    error = "cannot read " + options.out;
    return false;
  }
  PackedRecord bytes;
  DataHeader found;
  const bool headed =
      std::fread(bytes.data(), 1, RecordBytes, file) == RecordBytes && readHeader(bytes, found);
  if (!headed) {
    std::fclose(file);
    error = options.out + " is no training data file; give another --out";
    return false;
  }
  if (found.seed != wanted.seed || found.nodes != wanted.nodes ||
      found.randomPlies != wanted.randomPlies || found.openingsHash != wanted.openingsHash) {
    std::fclose(file);
    error = options.out + " was made with other settings (seed " + std::to_string(found.seed) +
            ", nodes " + std::to_string(found.nodes) + ", random plies " +
            std::to_string(found.randomPlies) +
            ", or other openings); continue it with those or give another --out";
    return false;
  }
  uint64_t records = size / RecordBytes - 1;
  uint64_t lastGame = 0;
  bool haveLast = false;
  // Back over the last game's records: it is played again from its start.
  while (records > 0) {
    std::fseek(file, long((records)*RecordBytes), SEEK_SET);
    if (std::fread(bytes.data(), 1, RecordBytes, file) != RecordBytes) break;
    const uint64_t game = readRecord(bytes).game;
    if (haveLast && game != lastGame) break;
    lastGame = game;
    haveLast = true;
    records--;
  }
  std::fclose(file);
  fs::resize_file(options.out, (records + 1) * RecordBytes, failure);
  if (failure) {
    error = "cannot shorten " + options.out + ": " + failure.message();
    return false;
  }
  point.nextGame = haveLast ? lastGame : 0;
  point.records = records;
  return true;
}

std::string hoursMinutesSeconds(double seconds) {
  const long s = long(seconds + 0.5);
  char text[32];
  std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  return text;
}

}  // namespace

bool runSelfPlay(const SelfPlayOptions& options, const Adjudication& rules, FILE* progress,
                 SelfPlaySummary& summary, std::string& error) {
  const std::vector<OpeningLine> openings =
      options.openings.empty() ? builtInOpenings() : options.openings;
  DataHeader header;
  header.seed = options.seed;
  header.nodes = options.nodes;
  header.randomPlies = uint32_t(options.randomPlies);
  header.openingsHash = openingsHash(openings);
  ResumePoint point;
  if (!prepareFile(options, header, point, error)) return false;
  FILE* file = std::fopen(options.out.c_str(), "ab");
  if (!file) {
    error = "cannot write " + options.out;
    return false;
  }

  summary = {};
  summary.firstGame = point.nextGame;
  uint64_t game = point.nextGame, stored = point.records;
  auto done = [&] {
    return (options.games > 0 && game >= options.games) ||
           (options.positions > 0 && stored >= options.positions);
  };
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  Clock::time_point reported = start;
  auto report = [&](const char* ending) {
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double rate = seconds > 0 ? double(summary.positions) / seconds : 0;
    std::string left = "";
    double remaining = -1;
    if (options.games > 0 && summary.games > 0)
      remaining =
          double(options.games - std::min(game, options.games)) * seconds / double(summary.games);
    if (options.positions > 0 && rate > 0) {
      const double byPositions =
          double(options.positions - std::min(stored, options.positions)) / rate;
      remaining = remaining < 0 ? byPositions : std::min(remaining, byPositions);
    }
    if (remaining >= 0) left = ", " + hoursMinutesSeconds(remaining) + " left";
    std::fprintf(progress,
                 "datagen: game %llu, %llu positions in the file, %llu this run in %s (%.0f "
                 "positions/s, %.2f M/hour)%s%s\n",
                 (unsigned long long)game, (unsigned long long)stored,
                 (unsigned long long)summary.positions, hoursMinutesSeconds(seconds).c_str(), rate,
                 rate * 3600 / 1e6, left.c_str(), ending);
    std::fflush(progress);
  };

  bool ok = true;
  while (!done()) {
    const std::vector<PackedRecord> records = playGame(options, rules, game);
    for (const PackedRecord& record : records)
      ok = ok && std::fwrite(record.data(), 1, RecordBytes, file) == RecordBytes;
    ok = ok && std::fflush(file) == 0;
    if (!ok) {
      error = "cannot write " + options.out + ": " + std::strerror(errno);
      break;
    }
    game++;
    stored += records.size();
    summary.games++;
    summary.positions += records.size();
    if (progress && options.progressSeconds > 0 && !done() &&
        std::chrono::duration<double>(Clock::now() - reported).count() >= options.progressSeconds) {
      reported = Clock::now();
      report("");
    }
  }
  std::fclose(file);
  summary.fileGames = game;
  summary.filePositions = stored;
  if (progress && ok) report(", done");
  return ok;
}
