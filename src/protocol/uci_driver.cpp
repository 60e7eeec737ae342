#include "protocol/uci_driver.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

#include "base/log.h"
#include "base/platform.h"
#include "board/makemove.h"
#include "board/notation.h"
#include "search/time_control.h"

namespace {

constexpr const char* Separators = " \t";

}  // namespace

const char* statusLogName(int status) {
  static const char* const names[] = {"_idle_", "pos", "search", "ponder", "held"};
  return status >= 0 && status <= StatusHeld ? names[status] : "?";
}

UciDriver::UciDriver(Position& position, const ProtocolConfig& config, const char* version,
                     FILE* output)
    : position_(position),
      out_(output),
      version_(version),
      logDir_(config.uciLogDir),
      trace_(config.uciTrace),
      timeGapMs_(config.uciTimeGapMs),
      bookMove_(config.bookMove) {}

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
  searchController.listener = this;
  // The log file and the error log are set up once; a repeated "uci" only answers again.
  if (!logOpened_) {
    logOpened_ = true;
    openLogFile();
    std::string errorLog = "melvok-" + version_ + "-error.log";
    reopenStderr(errorLog.c_str());
  }
  std::string text = "\n";
  text += "id name melvok-" + version_ + "\n";
  text += std::string("id author ") + UciAuthor + "\n";
  text += "option name Hash            type spin  default 32 min 1 max 4096\n";
  text += "option name Ponder          type check default false\n";
  text += "option name OwnBook         type check default true\n";
  text += "option name Threads         type spin default " +
          std::to_string(searchController.threadCount) + " min 1 max 8\n";
  text += "option name UCI_Opponent    type string\n";
  text +=
      std::string("option name UCI_EngineAbout type string default melvok by ") + UciAuthor + "\n";
  text += "option name UCI_Chess960    type check default false\n";
  text +=
      "option name CastleNotation  type combo default smart var smart var e1g1 var O-O var KxR\n";
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
}

void UciDriver::clearOutOfBook() {
  firstOutOfBookPly_ = 0;
  outOfBookKey_ = 0;
}

bool UciDriver::searchRunning() const {
  int s = status_.read();
  return s == StatusSearching || s == StatusPondering;
}

void UciDriver::waitUntilSearchThreadIdle() {
  // The search thread may still be finishing its statistics after it reported; the position
  // copy, the limits and the table are its own until it sleeps again.
  if (searchController.booted) searchController.master().idle.wait();
}

void UciDriver::position() {
  trace("position()...");
  RcString word = args_.next();
  int old = status_.exchange(StatusPositionSet);
  if (old == StatusPositionSet) logInfo("uci: 2x position?\n");
  if (old == StatusSearching || old == StatusPondering) {
    fprintf(stderr, "uci::position(): search still running? status=%i\n", old);
    trace("position: not stopped? stopping!...");
    searchController.stopAndWait();
    trace("position: stopped.");
    // The stopped search has answered with its best move; a position is set from here on.
    status_.exchange(StatusPositionSet);
  }
  heldBookMove_ = 0;
  waitUntilSearchThreadIdle();

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
    // A FEN the board refuses leaves a half-built position: keep the last good one instead,
    // and answer the next go with no move rather than search a board without kings.
    Position* previous = static_cast<Position*>(malloc(sizeof(Position)));
    if (!previous) {
      fputs("malloc failed\n", stdout);
      abort();
    }
    copyPosition(*previous, position_);
    positionValid_ = setFen(position_, fen.c_str());
    if (!positionValid_) {
      fprintf(stderr, "uci::position(): illegal fen: %s\n", fen.c_str());
      copyPosition(position_, *previous);
    }
    free(previous);
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

bool UciDriver::applyMoves() {
  bool passedOutOfBook = false;
  Move last = 0;
  for (RcString word = args_.next(); !word.empty(); word = args_.next()) {
    if (word[0] == '.') {
      logInfo("SKIP continuation move: %s\n", word.c_str());
      continue;
    }
    Move m = parseMove(position_, word.c_str());
    if (!m) {
      fprintf(stderr, "WARNING invalid move from GUI: %s\n", word.c_str());
      last = 0;
      break;
    }
    if (int(position_.ply) >= MaxGamePly) {
      fprintf(stderr, "illegal move: %s (game too long)\n", word.c_str());
      last = 0;
      break;
    }
    Move made = makeMove(position_, m & ~MoveCheckFlags);
    if (!made) {
      fprintf(stderr, "illegal move: %s\n", word.c_str());
      last = 0;
      break;
    }
    last = made;
    if (firstOutOfBookPly_ && position_.hashKey == outOfBookKey_) passedOutOfBook = true;
  }
  if (last) position_.lastMove = last;
  if (firstOutOfBookPly_ && !passedOutOfBook) {
    trace("newgame!");
    clearOutOfBook();
  }
  return last != 0;
}

void UciDriver::go() {
  trace("go()...");
  // A go while a search still runs (no stop came) first ends that search; it answers with
  // its own best move. Starting over it instead would block until it ended, forever when it
  // is infinite.
  int old = status_.exchange(StatusIdle);
  if (old == StatusSearching || old == StatusPondering) {
    fprintf(stderr, "uci::go(): search still running, stopping it first\n");
    searchController.stopAndWait();
  }
  heldBookMove_ = 0;
  searchController.listener = this;

  // The parameters are read first: a book move found while pondering is held back too.
  int wtime = -1, btime = -1, winc = 0, binc = 0, depth = 0, nodes = 0, movetime = -1,
      movestogo = 0;
  bool infinite = false;
  int next = StatusSearching;
  for (RcString word = args_.next(); !word.empty(); word = args_.next()) {
    struct Number {
      const char* name;
      int* value;
    };
    const Number numbers[] = {{"wtime", &wtime},       {"btime", &btime},        {"winc", &winc},
                              {"binc", &binc},         {"depth", &depth},        {"nodes", &nodes},
                              {"movetime", &movetime}, {"movestogo", &movestogo}};
    bool matched = false;
    for (const Number& n : numbers) {
      if (!(word == n.name)) continue;
      RcString value = args_.next();
      if (!value.empty()) *n.value = atoi(value.c_str());
      if (word == "movetime") movestogo = 1;
      matched = true;
    }
    if (matched) continue;
    if (word == "infinite") {
      infinite = true;
    } else if (word == "ponder") {
      logInfo("START pondering\n");
      infinite = true;
      next = StatusPondering;
    }
  }

  if (!positionValid_) {
    fprintf(stderr, "go(): no valid position: send bestmove 0000\n");
    status_.exchange(StatusIdle);
    sendBestMove(position_, 0, 0);
    return;
  }

  if (firstOutOfBookPly_ == 0) {
    Move book = ownBook_ && bookMove_ ? bookMove_(position_) : 0;
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
    firstOutOfBookPly_ = position_.ply + 1;
    outOfBookKey_ = position_.hashKey;
    logInfo("Uci:First search out of book is at %u ply\n", firstOutOfBookPly_);
  }

  if (old != StatusPositionSet) fprintf(stderr, "Expected current status==POSITION, got %i\n", old);
  waitUntilSearchThreadIdle();
  searchController.maxDepth = depth;

  TimeControl& times = searchController.times();
  times.startClock();
  times.timeGapMs = 0;
  times.infinite = infinite;
  times.nodeLimit = uint32_t(nodes);
  times.movesOutOfBook = 0;
  if (firstOutOfBookPly_ && position_.ply + 1 >= firstOutOfBookPly_) {
    int movesOut = int((position_.ply + 1 - firstOutOfBookPly_) / 2) + 1;
    logInfo("out of book=%i\n", movesOut);
    times.movesOutOfBook = movesOut;
  }
  bool timed = false;
  if (movetime >= 0) {
    logInfo("got hard moves/millis=%i/%i\n", movestogo, movetime);
    times.setFixedTime(uint32_t(movetime));
    timed = true;
  } else {
    bool white = position_.sideToMove == White;
    int clock = white ? wtime : btime;
    int increment = white ? winc : binc;
    if (clock >= 0) {
      logInfo("got wb moves/millis=%i/%i\n", movestogo, clock);
      times.timeGapMs = timeGapMs_;
      times.allotTime(movestogo, clock, increment);
      timed = true;
    }
  }
  if (!timed) {
    // Depth, nodes, infinite or nothing at all: no clock ends the search, whatever limits an
    // earlier go left in the levels.
    times.setFixedTime(NoTimeLimit);
    if (depth == 0 && nodes == 0 && !infinite) fputs("go(): no time/depth/node limit\n", stderr);
  }
  logInfo("Nominal search time is %3.2f seconds, infinite=%i, nodes=%i\n",
          times.levelMs[LevelNormal] / 1000.0, infinite ? 1 : 0, nodes);

  nextCurrmoveMs_ = 0;
  lastBest_ = 0;
  lastScore_ = 0;
  lastDepth_ = 0;
  stable_ = false;
  status_.exchange(next);
  searchController.setPosition(position_);
  searchController.start(true);
  trace("go() ok");
}

void UciDriver::ponderHit() {
  trace("ponderhit()...");
  int old = status_.exchange(StatusSearching);
  switch (old) {
    case StatusHeld:
      logInfo("Uci:ponderhit(): already finished\n");
      status_.exchange(StatusIdle);
      if (heldBookMove_) {
        sendBestMove(position_, heldBookMove_, 0);
      } else {
        sendInfo(searchController.depth(), searchController.rootScore());
        sendBestMove(searchController.master().pos, searchController.bestMove(),
                     searchController.ponderMove());
      }
      heldBookMove_ = 0;
      break;
    case StatusPositionSet:
      fputs("uci:: ponderhit without preceeding go(): send bestmove 0000\n", stderr);
      status_.exchange(StatusPositionSet);
      sendBestMove(position_, 0, 0);
      break;
    case StatusIdle:
      // The search has answered already; a second best move would be taken for the next one.
      fputs("uci:: ponderhit without a pondering search, ignored\n", stderr);
      status_.exchange(StatusIdle);
      break;
    case StatusSearching:
      fputs("uci::ponderhit status==SEARCHING, ponderhit ignored\n", stderr);
      break;
    case StatusPondering:
      searchController.ponderHit();
      break;
  }
  trace("ponderhit() ok");
}

void UciDriver::stop() {
  trace("stop()...");
  int old = status_.exchange(StatusIdle);
  switch (old) {
    case StatusHeld:
      if (heldBookMove_) {
        sendBestMove(position_, heldBookMove_, 0);
      } else {
        sendInfo(searchController.depth(), searchController.rootScore());
        sendBestMove(searchController.master().pos, searchController.bestMove(), 0);
      }
      heldBookMove_ = 0;
      break;
    case StatusPositionSet:
      fputs("uci:: stop without preceeding go?\n", stderr);
      sendBestMove(position_, 0, 0);
      break;
    case StatusIdle:
      // The search ended and answered before the stop arrived: nothing is owed.
      break;
    case StatusSearching:
    case StatusPondering:
      logInfo("uci:stop() START\n");
      searchController.stopAndWait();
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
  fflush(nullptr);
  _exit(0);
}

void UciDriver::finished(int depth, int score, Move) {
  trace("finished()...");
  int old = status_.finishSearch();
  if (old == StatusPondering) {
    logInfo("Uci:finish() delay sending bestmove, status is still 'pondering'\n");
  } else {
    sendInfo(depth, score);
    sendBestMove(searchController.master().pos, searchController.bestMove(),
                 searchController.ponderMove());
  }
  trace("finished() ok");
}

void UciDriver::iterationReport(int depth, int score, Move move) {
  uint32_t t = searchController.times().elapsed();
  stable_ = score == lastScore_ && move == lastBest_ && depth - lastDepth_ >= 9;
  if (!(stable_ && t < nextCurrmoveMs_)) sendInfo(depth, score);
  if (score != lastScore_ || move != lastBest_) {
    lastDepth_ = depth;
    lastScore_ = score;
    lastBest_ = move;
  }
}

void UciDriver::currentMove(int depth, int index, Move move) {
  if (index == 0) send("info depth " + std::to_string(depth) + "\n");
  uint32_t t = searchController.times().elapsed();
  if ((index != 0 || stable_) && t < nextCurrmoveMs_) return;
  nextCurrmoveMs_ = t + 100;
  uint32_t nodes = searchController.totalNodes();
  SearchCounters sum = searchController.summedCounters();
  std::string line = "info currmove " + moveText(searchController.master().pos, move);
  line += " currmovenumber " + std::to_string(index + 1);
  line += " time " + std::to_string(t);
  line += " nodes " + std::to_string(nodes);
  if (t > 99) line += " nps " + std::to_string(uint64_t(nodes) * 1000 / t);
  line += " hashfull " + std::to_string(searchController.table().fillPerMille(sum.tt.newStores,
                                                                              sum.tt.overwrites));
  line += "\n";
  send(line);
}
