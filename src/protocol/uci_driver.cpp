#include "protocol/uci_driver.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/diagnostics.h"
#include "base/log.h"
#include "base/platform.h"
#include "board/game_move.h"
#include "board/makemove.h"
#include "board/notation.h"

namespace {

constexpr const char* Separators = " \t";

}  // namespace

const char* statusLogName(int status) {
  static const char* const names[] = {"_idle_", "pos", "search", "ponder", "held"};
  return status >= 0 && status <= StatusHeld ? names[status] : "?";
}

UciDriver::UciDriver(Engine& engine, const ProtocolConfig& config, const char* version,
                     FILE* output)
    : engine_(engine),
      position_(engine.position()),
      out_(output),
      version_(version),
      logDir_(config.uciLogDir),
      trace_(config.uciTrace),
      timeGapMs_(config.uciTimeGapMs) {
  addOptions();
}

UciDriver::~UciDriver() {
  if (active_) setDiagnosticSink(nullptr);
}

bool UciDriver::handle(const RcString& word, const RcString& rest) {
  if (word.empty()) return active_;
  if (active_) {
    logInfo("%010u:%s%s\n", tickCount(), word.c_str(), rest.c_str());
  }
  args_ = Tokenizer(rest.skipLeadingBlanks(), Separators);
  if (word == "uci") {
    uci();
  } else if (word == "position") {
    position();
  } else if (word == "go") {
    go();
  } else if (word == "isready") {
    isReady();
  } else if (word == "setoption") {
    setOption();
  } else if (word == "ucinewgame") {
    newGame();
  } else if (word == "ponderhit") {
    ponderHit();
  } else if (word == "stop") {
    stop();
  } else if (word == "quit") {
    quit();
  } else {
    if (active_) {
      std::string message = "unknown uci command: ";
      message += word.c_str();
      trace(message.c_str());
    }
    return false;
  }
  out_.flush();
  if (logFile) fflush(logFile);
  return true;
}

void UciDriver::uci() {
  // From now on standard output speaks UCI: what the lower layers have to say about refused
  // input goes out as info strings, a line each.
  setDiagnosticSink([this](const char* text) {
    for (const char* line = text; *line;) {
      const char* end = std::strchr(line, '\n');
      const size_t length = end ? size_t(end - line) : std::strlen(line);
      send("info string " + std::string(line, length) + "\n");
      line += length + (end ? 1 : 0);
    }
  });
  // The log files are set up once; a repeated "uci" only answers again.
  if (!logOpened_) {
    logOpened_ = true;
    if (openLogFile()) openErrorLog();
  }
  std::string text = "\n";
  text += "id name melvok-" + version_ + "\n";
  text += std::string("id author ") + UciAuthor + "\n";
  text += optionListing();
  text += "uciok\n";
  send(text);
  active_ = true;
  logExchange("<--uciok", "");
}

void UciDriver::isReady() {
  send("readyok\n");
  logExchange("<--readyok", "");
}

void UciDriver::newGame() {
  trace("newgame!");
  clearOutOfBook();
  engine_.newGame();
}

void UciDriver::clearOutOfBook() { bookExit_.clear(); }

bool UciDriver::searchRunning() const {
  int s = status_.read();
  return s == StatusSearching || s == StatusPondering;
}

void UciDriver::position() {
  trace("position()...");
  RcString word = args_.next();
  int old = status_.exchange(StatusPositionSet);
  if (old == StatusPositionSet) logInfo("uci: 2x position?\n");
  if (old == StatusSearching || old == StatusPondering) {
    reportError("uci::position(): search still running? status=%i\n", old);
    trace("position: not stopped? stopping!...");
    engine_.stopAndWait();
    trace("position: stopped.");
    // The stopped search has answered with its best move; a position is set from here on.
    status_.exchange(StatusPositionSet);
  }
  if (old == StatusHeld) releaseHeldResult(false);
  engine_.waitUntilIdle();

  bool haveMoves = false;
  if (word == "startpos") {
    positionValid_ = setFen(position_, InitialFen);
    word = args_.next();
    haveMoves = true;
  } else if (word == "fen") {
    std::string fen;
    for (word = args_.next(); !word.empty() && !(word == "moves"); word = args_.next()) {
      fen += word.c_str();
      fen += ' ';
    }
    // A refused FEN keeps the last good position, and the next go answers no move rather
    // than search a position the interface did not mean.
    positionValid_ = setFenOrKeep(position_, fen.c_str());
    if (!positionValid_) reportError("uci::position(): illegal fen: %s\n", fen.c_str());
    haveMoves = positionValid_;
  }
  if (haveMoves && positionValid_ && word == "moves") applyMoves();
  compactLists(position_);
  if (logFile) {
    TextFile log(logFile);
    printBoard(position_, &log);
  }
  trace("position() ok");
}

// Each move played becomes the position's last move at once, so that a list cut short by a
// bad word still leaves the check flags of the move really played last.
bool UciDriver::applyMoves() {
  bool passedOutOfBook = false;
  bool allPlayed = true;
  for (RcString word = args_.next(); !word.empty(); word = args_.next()) {
    if (word[0] == '.') {
      logInfo("SKIP continuation move: %s\n", word.c_str());
      continue;
    }
    const GameMoveResult result = playGameMoveText(position_, word.c_str());
    if (result != GameMoveResult::Played) {
      if (result == GameMoveResult::Unreadable)
        reportError("WARNING invalid move from GUI: %s\n", word.c_str());
      else if (result == GameMoveResult::HistoryFull)
        reportError("illegal move: %s (game too long)\n", word.c_str());
      else
        reportError("illegal move: %s\n", word.c_str());
      allPlayed = false;
      break;
    }
    if (!bookExit_.inBook() && position_.hashKey == bookExit_.key) passedOutOfBook = true;
  }
  if (!bookExit_.inBook() && !passedOutOfBook) {
    trace("newgame!");
    clearOutOfBook();
  }
  return allPlayed;
}

// The limits a go command gives; a number it does not give stays unset.
struct GoCommand {
  std::optional<int> wtime, btime, winc, binc, depth, movetime, movestogo, mate;
  std::optional<int64_t> nodes;
  bool infinite = false;
  bool ponder = false;
  std::vector<std::string> searchMoves;  // as the interface wrote them
};

namespace {

GoCommand readGoCommand(Tokenizer& args) {
  GoCommand go;
  const std::pair<const char*, std::optional<int>*> numbers[] = {
      {"wtime", &go.wtime},         {"btime", &go.btime}, {"winc", &go.winc},
      {"binc", &go.binc},           {"depth", &go.depth}, {"movetime", &go.movetime},
      {"movestogo", &go.movestogo}, {"mate", &go.mate}};
  auto isNumberWord = [&](const RcString& word) {
    if (word == "nodes") return true;
    for (const auto& number : numbers)
      if (word == number.first) return true;
    return false;
  };
  RcString word = args.next();
  while (!word.empty()) {
    if (isNumberWord(word)) {
      RcString number = args.next();
      for (const auto& [name, value] : numbers)
        if (word == name && !number.empty()) *value = clampedNumber(number.c_str());
      if (word == "nodes" && !number.empty()) go.nodes = clampedNumber64(number.c_str());
      if (word == "movetime") go.movestogo = 1;
    } else if (word == "infinite") {
      go.infinite = true;
    } else if (word == "ponder") {
      logInfo("START pondering\n");
      go.infinite = true;
      go.ponder = true;
    } else if (word == "searchmoves") {
      // The moves run up to the next keyword of go.
      for (word = args.next(); !word.empty() && !isNumberWord(word) && !(word == "infinite") &&
                               !(word == "ponder") && !(word == "searchmoves");
           word = args.next())
        go.searchMoves.push_back(word.c_str());
      continue;
    }
    word = args.next();
  }
  return go;
}

}  // namespace

void UciDriver::go() {
  trace("go()...");
  // A go while a search still runs (no stop came) first ends that search; it answers with
  // its own best move, as does a result that is still held back. Starting over the running
  // search instead would block until it ended, forever when it is infinite.
  int old = status_.exchange(StatusIdle);
  if (old == StatusSearching || old == StatusPondering) {
    reportError("uci::go(): search still running, stopping it first\n");
    engine_.stopAndWait();
  }
  if (old == StatusHeld) releaseHeldResult(false);
  heldBookMove_ = 0;

  // The parameters are read first: a book move found while pondering is held back too.
  const GoCommand command = readGoCommand(args_);
  const int next = command.ponder ? StatusPondering : StatusSearching;

  if (!positionValid_) {
    reportError("go(): no valid position: send bestmove 0000\n");
    status_.exchange(StatusIdle);
    sendBestMove(position_, 0, 0);
    return;
  }

  // Analysis, a restricted root or a mate search ask the engine, not the book; they leave the
  // game in the book.
  const bool analysis = analyseMode_ || !command.searchMoves.empty() || command.mate;
  if (bookExit_.inBook() && !analysis) {
    const Move book = ownBook_ ? engine_.bookMove() : 0;
    if (book) {
      if (next == StatusPondering) {
        heldBookMove_ = book;
        status_.exchange(StatusHeld);
      } else {
        status_.exchange(StatusIdle);
        sendBestMove(position_, book, 0);
      }
      trace("go()...ok [book]");
      return;
    }
    bookExit_.leave(position_);
    logInfo("Uci:First search out of book is at %u ply\n", bookExit_.firstPly);
  }

  if (old != StatusPositionSet) reportError("Expected current status==POSITION, got %i\n", old);
  const SearchLimits limits = searchLimits(command);

  status_.exchange(next);
  engine_.go(limits, this);
  logInfo("Nominal search time is %3.2f seconds, infinite=%i, nodes=%llu\n",
          engine_.nominalTimeMs() / 1000.0, limits.infinite ? 1 : 0,
          (unsigned long long)limits.nodes);
  trace("go() ok");
}

// A limit given as zero or less (a fallen flag, "depth 0", "nodes 0", a negative move time)
// still asks for a move: the search answers at once with the best it has, never waits for stop.
SearchLimits UciDriver::searchLimits(const GoCommand& command) {
  SearchLimits limits;
  limits.depth = command.depth ? std::max(*command.depth, 1) : 0;
  limits.nodes = command.nodes ? uint64_t(std::max<int64_t>(*command.nodes, 1)) : 0;
  limits.infinite = command.infinite;
  limits.ponder = command.ponder;
  // The interface takes the answer to an infinite or pondering search only after its stop or
  // ponderhit: a bestmove before that would answer a question it has not asked yet.
  limits.holdUntilStopped = command.infinite || command.ponder;
  limits.canPonder = canPonder_;
  limits.movesOutOfBook = bookExit_.movesOut(position_);
  if (limits.movesOutOfBook) logInfo("out of book=%i\n", limits.movesOutOfBook);
  limits.movesToGo = std::max(command.movestogo.value_or(0), 0);
  limits.lines = engine_.lines();
  if (command.mate) limits.mateMoves = std::max(*command.mate, 1);
  for (const std::string& text : command.searchMoves) {
    if (const Move m = parseMove(position_, text.c_str()))
      limits.searchMoves.push_back(m);
    else
      reportError("go(): searchmoves: no legal move here, dropped: %s\n", text.c_str());
  }
  if (!command.searchMoves.empty() && limits.searchMoves.empty())
    reportError("go(): searchmoves: no legal move left, searching all moves\n");
  const bool white = position_.sideToMove == White;
  const std::optional<int>& clock = white ? command.wtime : command.btime;
  if (command.movetime) {
    limits.moveTimeMs = std::max(*command.movetime, 0);
    logInfo("got hard moves/millis=%i/%i\n", limits.movesToGo, limits.moveTimeMs);
  } else if (clock) {
    limits.timeLeftMs = std::max(*clock, 0);
    limits.incrementMs = std::max((white ? command.winc : command.binc).value_or(0), 0);
    limits.timeGapMs = timeGapMs_;
    logInfo("got wb moves/millis=%i/%i\n", limits.movesToGo, limits.timeLeftMs);
  }
  if (limits.unbounded()) reportError("go(): no time/depth/node limit\n");
  return limits;
}

void UciDriver::releaseHeldResult(bool withPonder) {
  if (heldBookMove_) {
    sendBestMove(position_, heldBookMove_, 0);
  } else {
    sendInfo(heldResult_.info);
    sendBestMove(position_, heldResult_.best, withPonder ? heldResult_.ponder : 0);
  }
  heldBookMove_ = 0;
}

// A ponderhit or stop with no search running owes the interface nothing: a best move it did
// not ask for would be taken as the answer to its next go.
void UciDriver::ponderHit() {
  trace("ponderhit()...");
  int old = status_.exchange(StatusSearching);
  switch (old) {
    case StatusHeld:
      logInfo("Uci:ponderhit(): already finished\n");
      status_.exchange(StatusIdle);
      releaseHeldResult(true);
      break;
    case StatusPositionSet:
      reportError("uci:: ponderhit without preceeding go(), ignored\n");
      status_.exchange(StatusPositionSet);
      break;
    case StatusIdle:
      reportError("uci:: ponderhit without a pondering search, ignored\n");
      status_.exchange(StatusIdle);
      break;
    case StatusSearching:
      reportError("uci::ponderhit status==SEARCHING, ponderhit ignored\n");
      break;
    case StatusPondering:
      if (engine_.ponderHit()) engine_.waitUntilIdle();
      break;
  }
  trace("ponderhit() ok");
}

void UciDriver::stop() {
  trace("stop()...");
  int old = status_.exchange(StatusIdle);
  switch (old) {
    case StatusHeld:
      releaseHeldResult(false);
      break;
    case StatusPositionSet:
      reportError("uci:: stop without preceeding go?\n");
      status_.exchange(StatusPositionSet);
      break;
    case StatusIdle:
      // The search ended and answered before the stop arrived: nothing is owed.
      break;
    case StatusSearching:
    case StatusPondering:
      logInfo("uci:stop() START\n");
      engine_.stopAndWait();
      logInfo("uci:stop() END\n");
      break;
  }
  trace("stop() ok");
}

void UciDriver::quit() {
  // Hold the output lock so that a line the search thread is writing is finished and no
  // other starts; then leave without destructors, which a live search could still need.
  // An interface that stopped reading could keep that line from ending: quit regardless.
  static_cast<void>(outputLock_.try_lock_for(std::chrono::seconds(2)));
  out_.flush();
  logInfo("exit()!\n");
  if (logFile) fflush(logFile);
  fflush(stdout);  // never every stream: standard input is held by the reader thread
  fflush(stderr);
  _exit(0);
}

// The search's end: the last line once more, then the move (unless the search was pondering
// and ended before the interface said how the game went on: then it waits for that).
void UciDriver::finished(const SearchResult& result) {
  trace("finished()...");
  heldResult_ = result;
  int old = status_.finishSearch();
  if (old == StatusPondering) {
    logInfo("Uci:finish() delay sending bestmove, status is still 'pondering'\n");
  } else {
    sendInfo(result.info);
    sendBestMove(position_, result.best, result.ponder);
  }
  trace("finished() ok");
}

void UciDriver::searchInfo(const SearchInfo& info) { sendInfo(info); }

void UciDriver::currentMove(const CurrentMoveInfo& info) {
  std::string line = "info depth " + std::to_string(info.depth);
  line += " currmove ";
  line += moveText(position_, info.move);
  line += " currmovenumber " + std::to_string(info.number);
  line += " nodes " + std::to_string(info.nodes);
  line += " nps " + std::to_string(info.nps);
  line += " hashfull " + std::to_string(info.hashFull);
  line += " time " + std::to_string(info.timeMs);
  line += "\n";
  send(line);
}
