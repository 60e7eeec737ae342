#include "app/console.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/book_commands.h"
#include "base/diagnostics.h"
#include "base/output_stream.h"
#include "base/platform.h"
#include "base/tokenizer.h"
#include "board/game_move.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "search/bench.h"
#include "search/engine.h"

namespace {

constexpr const char* Separators = " \t";
constexpr const char* HelpRule = "--------------------------------------------------------";

OutputStream& out() { return standardOutput(); }

// The moves of the position: replies to check when the last move gave check.
Move* generateForListing(Position& pos, Move* moves) {
  return pos.inCheck() ? generateEvasions(pos, moves, pos.previousMove())
                       : generateMoves(pos, moves);
}

}  // namespace

// Matched top to bottom, exactly; anything else is a FEN or a line of moves.
const Console::Command Console::commands[] = {
    {"", &Console::showBoard},
    {"divide", &Console::divide},
    {"book", &Console::book},
    {"buildbook", &Console::buildBook},
    {"mergebook", &Console::mergeBook},
    {"logbook", &Console::logBook},
    {"loadbook", &Console::loadBook},
    {"fen", &Console::fen},
    {"g", &Console::go},
    {"moves", &Console::moves},
    {"m", &Console::moves},
    {"maxdepth", &Console::maxDepth},
    {"md", &Console::maxDepth},
    {"maxtime", &Console::maxTime},
    {"multipv", &Console::multiPv},
    {"mt", &Console::maxTime},
    {"perft", &Console::perft},
    {"bench", &Console::bench},
    {"tbprobe", &Console::tableProbe},
    {"reset", &Console::reset},
    {"set", &Console::set},
    {"quit", &Console::quit},
    {"q", &Console::quit},
    {"help", &Console::help},
    {"h", &Console::help},
    {"?", &Console::help},
};

// The prompt goes out before each line is taken (and at the end of the input), as long as no
// protocol owns the output.
void Console::run() {
  input_.startReading(stdin);
  for (;;) {
    const bool uciActive = uci_ && uci_->active();
    const bool winboardActive = winboard_ && winboard_->active();
    InputQueue::Task task;
    std::string line;
    const bool more = input_.next(task, line);
    if (task) {
      task();
      continue;
    }
    if (!uciActive && !winboardActive) out().put("% ");
    if (!more) return;
    if (!execute(RcString(line.c_str()), uciActive, winboardActive)) return;
  }
}

bool Console::execute(const RcString& text, bool uciWasActive, bool winboardWasActive) {
  RcString line = text.skipLeadingBlanks();
  Tokenizer words(line, Separators);
  RcString word = words.next();
  RcString rest = words.rest();
  if (!winboardWasActive && uci_ && uci_->handle(word, rest)) return true;
  if (!uciWasActive && winboard_ && winboard_->handle(word, rest)) return true;
  for (const Command& command : commands)
    if (word == command.name) return (this->*command.handler)(rest);
  if (winboardWasActive && winboard_ && winboard_->active()) {
    // The interface sent what neither the protocol nor the console knows.
    out().print("Error (unknown command): %s\n", word.c_str());
    return true;
  }
  if (looksLikeFen(word)) {
    RcString fenText = word;
    fenText.append(" ");
    fenText.append(rest);
    setPosition(fenText.c_str());
  } else {
    enterMoves(line, word);
  }
  return true;
}

// A refused FEN keeps the position on the board: perft or g must not run on a half-read one.
void Console::setPosition(const char* fen) {
  if (!setFenOrKeep(pos_, fen)) diagnostic("setfen failed\n");
  printBoard(pos_, &out());
}

bool Console::looksLikeFen(const RcString& word) const {
  int slashes = 0, kings = 0;
  for (const char* p = word.c_str(); *p && *p != ' '; p++) {
    if (!strchr("12345678pnbrqkPNBRQK/", *p)) return false;
    slashes += *p == '/';
    kings += *p == 'k' || *p == 'K';
  }
  return slashes > 0 && kings == 2;
}

// Plays the words of the line as moves, skipping move numbers ("1.e4 e5 2.Nf3").
void Console::enterMoves(const RcString& line, const RcString& firstWord) {
  Tokenizer words(line, Separators);
  bool moved = false;
  for (RcString word = words.next(); !word.empty(); word = words.next()) {
    moved = false;
    const char* text = word.c_str();
    bool castling = word == "o-o" || word == "o-o-o" || word == "O-O" || word == "O-O-O";
    if (*text >= '1' && *text <= '9') {
      while (*text >= '1' && *text <= '9') text++;
      if (*text == '.') text++;
    } else if (*text == '.') {
      text++;
    }
    if (!*text) continue;
    if (!castling && !strpbrk(word.c_str(), "12345678")) break;
    const GameMoveResult result = playGameMoveText(pos_, text);
    if (result == GameMoveResult::Unreadable) {
      diagnostic("invalid move: %s\n", text);
      break;
    }
    if (result == GameMoveResult::HistoryFull)
      diagnostic("game too long: no room for more moves\n");
    if (result != GameMoveResult::Played) {
      diagnostic("move not accepted: %s\n", text);
      break;
    }
    moved = true;
  }
  if (moved) {
    printBoard(pos_, &out());
    compactLists(pos_);
  } else {
    diagnostic("no such command: %s\n", firstWord.c_str());
  }
}

bool Console::showBoard(const RcString&) {
  printBoard(pos_, &out());
  return true;
}

bool Console::divide(const RcString& rest) {
  int depth = 1;
  sscanf(rest.c_str(), " %i", &depth);
  out().put("----divide---\n");
  Move moves[MaxMoves];
  Move* end = generateForListing(pos_, moves);
  UndoInfo undo = saveUndo(pos_);
  uint64_t total = 0;
  for (Move* m = moves; m < end; m++) {
    Move made = makeMove(pos_, *m);
    if (!made) continue;
    uint64_t count = depth <= 1 ? 1 : ::perft(pos_, depth - 1, made);
    unmakeMove(pos_, *m, undo);
    total += count;
    char text[MoveTextSize];
    out().print("%-8s %10llu\n", printMove(pos_, text, *m), (unsigned long long)count);
  }
  out().put("-------------------\n");
  out().print("total    %10llu\n", (unsigned long long)total);
  return true;
}

bool Console::book(const RcString&) {
  book_.show(pos_);
  return true;
}

bool Console::buildBook(const RcString& rest) {
  book_.buildCommand(rest.c_str(), inifile_.c_str(), settings_, pos_);
  return true;
}

bool Console::mergeBook(const RcString& rest) {
  book_.mergeCommand(rest.c_str(), pos_);
  return true;
}

bool Console::logBook(const RcString&) {
  book_.logStatistics();
  return true;
}

bool Console::loadBook(const RcString& rest) {
  book_.load(rest.c_str(), settings_);
  return true;
}

bool Console::fen(const RcString& rest) {
  setPosition(rest.c_str());
  return true;
}

// "g [nobook | tt] [moves m1 m2 ...]": the words after "moves" restrict the root to those
// moves (the book, which might name another, is then not asked).
bool Console::go(const RcString& rest) {
  SearchLimits limits = limits_;
  std::string flags;  // the words before "moves"
  Tokenizer words(rest, Separators);
  for (RcString word = words.next(); !word.empty(); word = words.next()) {
    if (word == "moves") {
      limits.searchMoves = rootMoves(words);
      break;
    }
    if (!flags.empty()) flags += ' ';
    flags += word.c_str();
  }
  if (limits.searchMoves.empty() && options.book && flags != "nobook" && book_.isOpen()) {
    if (Move m = book_.pick(pos_)) {
      char text[MoveTextSize];
      book_.show(pos_);
      out().print("picked book move: %s\n", printMove(pos_, text, m));
      return true;
    }
  }
  // A search still running (set async 1) owns the table until it ends.
  engine_.waitUntilIdle();
  if (options.cleartt && flags != "tt")
    engine_.setOption("Clear Hash", "");
  else
    out().put("tt not cleared\n");
  limits.lines = engine_.lines();
  if (options.async)
    engine_.go(limits, nullptr);
  else
    engine_.think(limits, nullptr);
  return true;
}

// The legal moves among the words; the others are named and left out.
std::vector<Move> Console::rootMoves(Tokenizer& words) {
  std::vector<Move> moves;
  for (RcString word = words.next(); !word.empty(); word = words.next()) {
    if (const Move m = parseMove(pos_, word.c_str()))
      moves.push_back(m);
    else
      diagnostic("invalid move: %s\n", word.c_str());
  }
  return moves;
}

// "multipv [k]": the next searches show the best k lines; without k, how many they show.
bool Console::multiPv(const RcString& rest) {
  int lines = 0;
  if (rest.empty()) {
    out().print("multipv=%i\n", engine_.lines());
  } else if (sscanf(rest.c_str(), " %i", &lines) != 1 || lines < 1 || lines > MaxLines) {
    diagnostic("illegal arg: %s\n", rest.c_str());
  } else {
    engine_.setOption("MultiPV", std::to_string(lines));
  }
  return true;
}

bool Console::moves(const RcString&) {
  Move moves[MaxMoves];
  Move* end = generateForListing(pos_, moves);
  out().print("#moves = %i\n", int(end - moves));
  for (Move* m = moves; m < end; m++) {
    char text[MoveTextSize];
    out().print("%s ", printMove(pos_, text, *m));
    if (!pos_.inCheck() && !isMoveLegal(pos_, *m)) out().put("--!isMove()?!\n");
  }
  out().put("\n");
  return true;
}

bool Console::maxDepth(const RcString& rest) {
  int depth = 0;
  if (sscanf(rest.c_str(), " %i", &depth) != 1 && !rest.empty()) {
    diagnostic("illegal arg: %s\n", rest.c_str());
    return true;
  }
  limits_.depth = depth;
  return true;
}

// "maxtime s [movestogo [inc]]": the next searches' time, fixed or as a clock (seconds, fractions
// allowed); the depth and lines stay as they are, and a search already running keeps its own.
bool Console::maxTime(const RcString& rest) {
  double secs = 0, increment = 0;
  int movesToGo = 0;
  const int read = sscanf(rest.c_str(), " %lf %d %lf", &secs, &movesToGo, &increment);
  if (read < 1 || secs < 0 || movesToGo < 0 || increment < 0) {
    diagnostic("illegal arg: %s\n", rest.c_str());
    return true;
  }
  auto millis = [](double seconds) { return int(std::min(seconds * 1000 + 0.5, double(INT_MAX))); };
  if (secs > 0) {
    limits_.moveTimeMs = limits_.timeLeftMs = -1;
    limits_.movesToGo = limits_.incrementMs = 0;
    if (movesToGo == 0) {
      limits_.moveTimeMs = millis(secs);
    } else {
      limits_.timeLeftMs = millis(secs);
      limits_.movesToGo = movesToGo;
      limits_.incrementMs = millis(increment);
    }
  }
  uint32_t levels[5];
  timeLevels(limits_, levels);
  out().print("millis=%u\n", levels[LevelNormal]);
  out().print("  easy=%u\n", levels[LevelEasy]);
  out().print("  next=%u\n", levels[LevelIteration]);
  out().print("  hi  =%u\n", levels[LevelFailHigh]);
  out().print("  lo  =%u\n", levels[LevelPanic]);
  return true;
}

bool Console::perft(const RcString& rest) {
  int depth = 2;
  if (!rest.empty() && sscanf(rest.c_str(), " %i", &depth) != 1) {
    diagnostic("illegal arg: %s\n", rest.c_str());
    return true;
  }
  out().print("perft %i\n", depth);
  for (int d = 1; d <= depth; d++) {
    uint32_t start = tickCount();
    uint64_t count = perftCommand(pos_, d);
    uint32_t elapsed = tickCount() - start;
    double seconds = elapsed / 1000.0;
    double rateSeconds = elapsed ? seconds : 0.001;  // a count faster than the clock
    long long ticks = count ? (long long)(clockMhz_ * seconds * 1000 * 1000 / double(count)) : 0;
    out().print("%-20s  %10llu ops in %5.3f seconds  ops/ms=%7.0f,  ticks/op=%5lli\n", "",
                (unsigned long long)count, seconds, double(count) / rateSeconds / 1000, ticks);
  }
  return true;
}

bool Console::bench(const RcString& rest) {
  int depth = BenchDefaultDepth;
  if (!rest.empty() && (sscanf(rest.c_str(), " %i", &depth) != 1 || depth < 1)) {
    diagnostic("illegal arg: %s\n", rest.c_str());
    return true;
  }
  // The bench searches on this thread: a search still running on the search thread ends first.
  engine_.stopAndWait();
  runBench(depth, out());
  return true;
}

// "tbprobe [fen]": what the Syzygy tables say about the position (or the FEN's, which does not
// change the board): the WDL table's result for the side to move (-2 loss, -1 blessed loss,
// 0 draw, 1 cursed win, 2 win) and the plies to the next capture or pawn move that keeps it,
// negative when losing. The library's root probe must not run beside a search.
bool Console::tableProbe(const RcString& rest) {
  if (!engine_.syzygyLoaded()) {
    diagnostic("tbprobe: no Syzygy tables loaded\n");
    return true;
  }
  auto pos = std::make_unique<Position>();
  if (rest.trim().empty()) {
    copyPosition(*pos, pos_);
  } else if (!setFenOrKeep(*pos, rest.c_str())) {
    diagnostic("tbprobe: not a position: %s\n", rest.c_str());
    return true;
  }
  TableWdl wdl;
  TableDistance distance;
  if (!engine_.probeTables(*pos, wdl, distance)) {
    out().put("tbprobe: not in the tables\n");
    return true;
  }
  static const char* const names[5] = {"loss", "blessed loss", "draw", "cursed win", "win"};
  out().print("tbprobe: wdl %i dtz %i (%s)\n", int(wdl), distance.dtz, names[int(wdl) + 2]);
  return true;
}

bool Console::reset(const RcString&) {
  setPosition(InitialFen);
  return true;
}

// "set": the console's own switches (async, book, cleartt: 1 or 0) and the engine's options
// that the console may set ("set threads 2", "set hash 128"); without a value, all of them.
// The option a console line names and its value: names may have several words ("Move Overhead
// 50"), and at least the last word is the value.
const OptionRow* Console::consoleOption(const std::string& line, std::string& value) const {
  std::vector<std::string> words;
  Tokenizer tokens(RcString(line.c_str()), Separators);
  for (RcString word = tokens.next(); !word.empty(); word = tokens.next())
    words.emplace_back(word.c_str());
  if (words.size() < 2) return nullptr;
  return engine_.options().findLeading(words, words.size() - 1, ForConsole, value);
}

bool Console::set(const RcString& rest) {
  std::string optionValue;
  Tokenizer words(rest, Separators);
  const std::string name = words.next().c_str();
  const std::string value = words.rest().trim().c_str();
  if (name.empty() || value.empty()) {
    out().print("async  =%i\n", options.async);
    out().print("book   =%i\n", options.book);
    out().print("cleartt=%i\n", options.cleartt);
    for (const OptionRow& row : engine_.options().rows())
      if ((row.places & ForConsole) && row.type != OptionType::Button)
        out().print("%s=%s\n", row.name.c_str(), row.current().c_str());
    return true;
  }
  const bool on = value[0] == '1';
  if (name == "async") {
    options.async = on;
  } else if (name == "book") {
    options.book = on;
  } else if (name == "cleartt") {
    options.cleartt = on;
  } else if (const OptionRow* row = consoleOption(rest.trim().c_str(), optionValue)) {
    // The engine's settings never change under a running search.
    engine_.waitUntilIdle();
    const std::string answer = engine_.options().set(*row, optionValue);
    if (!answer.empty()) diagnostic("%s\n", answer.c_str());
  } else {
    diagnostic("set: unknown parameter: %s\n", name.c_str());
  }
  return true;
}

bool Console::quit(const RcString&) { return false; }

bool Console::help(const RcString&) {
  static const char* const lines[] = {
      "help",
      HelpRule,
      "[p]<sq>         move piece p to square sq",
      "g(o)            search",
      "reset           setup initial position",
      "fen <fen>       setup board according to <fen>",
      "m(ax)t(ime)     set max search time (seconds)",
      "m(ax)d(epth)    set max search depth",
      "m(oves)         show all legal moves",
      "multipv [k]     show the best k lines when searching",
      "g moves <m>...  search only these moves",
      "",
      "book            show book contents",
      "buildbook ...   create opening book from PGN file, see readme",
      "mergebook ...   create opening book from PGN file, see readme",
      "divide [n]      count legal positions per move",
      "perft  [n]      count legal moves to depth [n]",
      "bench  [n]      search the bench positions to depth [n], count the nodes",
      "tbprobe [fen]   what the Syzygy tables say about the position",
      "set             display/alter options",
      "",
      "uci             enter uci mode",
      "",
      "q(uit)          exit",
  };
  for (const char* line : lines) out().print("%s\n", line);
  out().print("%s\n\n", HelpRule);
  return true;
}
