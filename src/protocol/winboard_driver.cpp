#include "protocol/winboard_driver.h"

#include <algorithm>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "base/file_system.h"
#include "base/log.h"
#include "base/output_stream.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "protocol/winboard_move_text.h"

namespace {

constexpr const char* StandardStart = "rnbqkbnr/pppppppp/////PPPPPPPP/RNBQKBNR w KQkq - -";
// A count of `unit` milliseconds as a clock: nothing below zero, nothing that would overflow.
unsigned clockMs(int64_t count, int64_t unit) {
  return unsigned(std::clamp<int64_t>(count, 0, INT_MAX / unit) * unit);
}

// A score of this much or more means the move just played mates.
constexpr int MateDelivered = Infinity - 1;
// The thinking line stops taking moves past this many characters.
constexpr int ThinkingLineLimit = 2032;

// Coordinate move text: e2e4, e7e8q.
bool looksLikeMove(const char* text) {
  const size_t length = strlen(text);
  if (length != 4 && length != 5) return false;
  if (text[0] < 'a' || text[0] > 'h' || text[2] < 'a' || text[2] > 'h') return false;
  if (text[1] < '1' || text[1] > '8' || text[3] < '1' || text[3] > '8') return false;
  return length == 4 || strchr("nbrqk", text[4]) != nullptr;
}

// A score as thinking output writes it: centipawns, and a mate in N moves as 100000 + N (being
// mated: -100000 - N), which interfaces show as "#N".
int thinkingScore(int score) {
  if (!isMateScore(score)) return score;
  const int moves = mateInMoves(score);
  return moves > 0 ? 100000 + moves : -100000 + moves;
}

// An option row as a feature line announces it: "NAME -spin VALUE MIN MAX", "NAME -check 1",
// "NAME -string VALUE", "NAME -combo *A /// B", "NAME -button".
std::string featureOption(const OptionRow& row) {
  std::string text = row.name;
  switch (row.type) {
    case OptionType::Spin:
      return text + " -spin " + row.current() + " " + std::to_string(row.min) + " " +
             std::to_string(row.max);
    case OptionType::Check:
      return text + " -check " + (row.current() == "true" ? "1" : "0");
    case OptionType::String:
      return text + " -string " + row.current();
    case OptionType::Combo: {
      text += " -combo";
      const std::string current = row.current();
      for (size_t i = 0; i < row.choices.size(); i++)
        text += (i ? " /// " : " ") + std::string(row.choices[i] == current ? "*" : "") +
                row.choices[i];
      return text;
    }
    case OptionType::Button:
      return text + " -button";
  }
  return text;
}

}  // namespace

const WinBoardDriver::Command WinBoardDriver::commands[] = {
    {"xboard", &WinBoardDriver::xboard},
    {"protover", &WinBoardDriver::protover},
    {"accepted", &WinBoardDriver::ignore},
    {"egt", &WinBoardDriver::ignore},
    {"egtpath", &WinBoardDriver::egtPath},
    {"rejected", &WinBoardDriver::rejected},
    {"level", &WinBoardDriver::level},
    {"smp", &WinBoardDriver::smp},
    {"cores", &WinBoardDriver::smp},  // the newer interfaces' name for smp
    {"memory", &WinBoardDriver::memory},
    {"new", &WinBoardDriver::newGame},
    {"variant", &WinBoardDriver::variant},
    {"setboard", &WinBoardDriver::setboard},
    {"force", &WinBoardDriver::force},
    {"ping", &WinBoardDriver::ping},
    {"time", &WinBoardDriver::time},
    {"otim", &WinBoardDriver::ignore},
    {"st", &WinBoardDriver::st},
    {"nps", &WinBoardDriver::nps},
    {"sd", &WinBoardDriver::sd},
    {"go", &WinBoardDriver::go},
    {"usermove", &WinBoardDriver::usermove},
    {"undo", &WinBoardDriver::undoCommand},
    {"remove", &WinBoardDriver::remove},
    {"?", &WinBoardDriver::moveNow},
    {"draw", &WinBoardDriver::ignore},
    {"result", &WinBoardDriver::result},
    {"easy", &WinBoardDriver::easy},
    {"hard", &WinBoardDriver::hard},
    {"post", &WinBoardDriver::postOn},
    {"nopost", &WinBoardDriver::postOff},
    {"analyze", &WinBoardDriver::analyzeCommand},
    {".", &WinBoardDriver::ignore},
    {"exit", &WinBoardDriver::exitAnalysis},
    {"name", &WinBoardDriver::ignore},
    {"rating", &WinBoardDriver::ignore},
    {"ics", &WinBoardDriver::ignore},
    {"computer", &WinBoardDriver::ignore},
    {"random", &WinBoardDriver::ignore},
    {"bk", &WinBoardDriver::ignore},
    {"hint", &WinBoardDriver::ignore},
    // Announced with feature pause=1; the engine keeps its clock in the interface's hands.
    {"pause", &WinBoardDriver::ignore},
    {"resume", &WinBoardDriver::ignore},
    {"exclude", &WinBoardDriver::exclude},
    {"include", &WinBoardDriver::include},
    {"option", &WinBoardDriver::option},
    {"quit", &WinBoardDriver::quit},
};

WinBoardDriver::WinBoardDriver(Engine& engine, const ProtocolConfig& config, const char* version,
                               FILE* out)
    : timeGapMs(config.winboardTimeGapMs),
      logDir(config.winboardLogDir),
      engine_(engine),
      position_(engine.position()),
      version_(version),
      out_(out) {}

bool WinBoardDriver::handle(const RcString& word, const RcString& rest) {
  if (word.empty()) return xboardMode;
  if (xboardMode) logLine("-->", "%s %s\n", word.c_str(), rest.c_str());
  args_ = Tokenizer(rest.skipLeadingBlanks(), " \t");
  afterNps_ = lastWasNps_;
  lastWasNps_ = word == "nps";
  for (const Command& command : commands) {
    if (word == command.name) {
      (this->*command.handler)();
      return true;
    }
  }
  // Protocol 1 interfaces send moves without "usermove".
  if (xboardMode && looksLikeMove(word.c_str())) {
    args_ = Tokenizer(word, " \t");
    usermove();
    return true;
  }
  if (xboardMode) log("unknown winboard command: %s", word.c_str());
  return false;
}

// ---- commands ----

void WinBoardDriver::xboard() {
  // xboard interrupts engines that do not announce sigint=0 before it sends them a move;
  // the default action of that signal would end the engine in the middle of the game.
  std::signal(SIGINT, SIG_IGN);
  if (!xboardMode) {
    openLog();
    // Moves entered before are not the interface's game: they cannot be taken back here.
    history_.reset(position_);
  }
  xboardMode = true;
  send("\n");
}

void WinBoardDriver::protover() {
  send("feature ping=1\n");
  send("feature setboard=1\n");
  send("feature usermove=1\n");
  send("feature myname=\"%s-%s\"\n", "melvok", version_);
  send("feature analyze=1\n");
  send("feature variants=\"normal,fischerandom\"\n");
  send("feature colors=0\n");
  send("feature ics=1\n");
  send("feature name=1\n");
  send("feature pause=1\n");
  send("feature smp=1\n");
  send("feature memory=1\n");
  // The endgame tables the interface may point us to: Syzygy, when the probing library is
  // built in. The bitbase library's folder (egtpath scorpio) is taken when sent, but not
  // announced: interfaces send their own default folder for every format announced, and a
  // library missing there would only fill the start with warnings.
  if (SyzygyTables::builtIn()) send("feature egt=\"syzygy\"\n");
  send("feature time=1\n");
  send("feature nps=1\n");
  send("feature exclude=1\n");
  for (const OptionRow& row : engine_.options().rows())
    if (row.places & ForWinBoard) send("feature option=\"%s\"\n", featureOption(row).c_str());
  send("feature done=1\n");
}

void WinBoardDriver::rejected() { log("ignored rejected feature %s\n", args_.rest().c_str()); }

void WinBoardDriver::level() {
  const RcString moves = nextArg();
  const RcString base = nextArg();
  const RcString increment = nextArg();
  movesPerControl = moves.empty() ? 40 : clampedNumber(moves.c_str());
  // Minutes, or minutes:seconds.
  const int minutes = clampedNumber(base.c_str());
  const char* colon = strchr(base.c_str(), ':');
  const int seconds = colon ? clampedNumber(colon + 1) : 0;
  plyAtLevel = int(position_.ply);
  timeLeftMs = clockMs(int64_t(minutes) * 60 + seconds, 1000);
  // Interfaces send fractions of a second as increments ("0.1"): keep them.
  const double inc = atof(increment.c_str());
  incrementMs = inc > 0 ? clockMs(int64_t(std::min(inc * 1000 + 0.5, double(INT_MAX))), 1) : 0;
  fixedTimeMs_ = 0;
  nodesPerSecond_ = 0;  // a new control is on the clock until an nps follows it
}

// cores and memory set the engine's Threads and Hash rows; a running search ends first, since
// neither changes under it. (Memory beyond the Hash bound is the interface's whole budget: the
// table takes what the bound allows.)
void WinBoardDriver::smp() { setEngineOption("Threads"); }
void WinBoardDriver::memory() { setEngineOption("Hash"); }

void WinBoardDriver::setEngineOption(const char* name) {
  const RcString value = nextArg();
  if (clampedNumber(value.c_str()) < 1) return;
  stop();
  const std::string answer = engine_.setOption(name, value.c_str());
  if (!answer.empty()) send("telluser %s\n", answer.c_str());
}

// "egtpath syzygy PATH": the tables in PATH (folders separated by ':'). The search reads them,
// so they do not change under the engine's own move; pondering stops and an analysis starts
// again on the new tables. The answer is a comment line for the interface's debug view.
void WinBoardDriver::egtPath() {
  const RcString kind = args_.next();
  const std::string path = args_.rest().trim().c_str();
  const bool bitbases = kind == "scorpio";
  if (!(kind == "syzygy") && !bitbases) {
    send("# egtpath: no %s tables here, only syzygy and scorpio\n", kind.c_str());
    return;
  }
  if (status() == Searching && !analyze) {
    send("# %s: searching for a move, tables not changed\n", kind.c_str());
    return;
  }
  stop();
  const std::string answer = engine_.setOption(bitbases ? "Bitbase Path" : "SyzygyPath", path);
  if (!answer.empty()) send("# %s\n", answer.c_str());
  reanalyse();
}

void WinBoardDriver::newGame() {
  stop();  // the position is about to change: the search must not play into it
  engine_.newGame();
  bookExit.clear();
  setPosition(StandardStart);
  engineSide = Black;
  depthLimit = 0;
  movesPerControl = 0;
  plyAtLevel = 0;
  timeLeftMs = 0;
  incrementMs = 0;
  fixedTimeMs_ = 0;
  nodesPerSecond_ = 0;
  restartAnalysis();
}

void WinBoardDriver::variant() {
  const RcString name = nextArg();
  if (!(name == "normal") && !(name == "fischerandom"))
    send("tellusererror variant not supported: %s\n", name.c_str());
}

void WinBoardDriver::setboard() {
  stop();
  // A bad FEN must leave the game as it was.
  if (!setFenOrKeep(position_, args_.rest().c_str())) {
    send("tellusererror Illegal position\n");
    return;
  }
  history_.reset(position_);
  restartAnalysis();
}

void WinBoardDriver::force() {
  stop();
  engineSide = -1;
}

void WinBoardDriver::ping() { send("pong %i\n", nextInt()); }

void WinBoardDriver::time() {
  // A fallen flag is reported as a negative time: no time left.
  timeLeftMs = clockMs(nextInt(), 10);
  if (timeLeftMs == 0) log("time(): warning no millis left!\n");
}

void WinBoardDriver::st() {
  const RcString text = nextArg();
  // Seconds, perhaps with a fraction ("st 0.5"); at least a millisecond.
  const double seconds = text.empty() ? 5.0 : atof(text.c_str());
  // A time of its own, not the one an nps just converted to nodes (clients send "nps 1" and
  // "st N" for N nodes, then "st" alone for a time), is on the clock again.
  if (!afterNps_) nodesPerSecond_ = 0;
  // Kept, so that every move gets this time instead of a share of the clock.
  fixedTimeMs_ =
      seconds > 0
          ? std::max(1u, clockMs(int64_t(std::min(seconds * 1000 + 0.5, double(INT_MAX))), 1))
          : 1u;
  log("settime(): millis=%u\n", fixedTimeMs_);
}

// "nps N": the engine counts time in nodes, N to a second, so that its play depends on the work
// done and not on the machine; until "nps 0", a new game, a new level or an st of its own.
void WinBoardDriver::nps() {
  nodesPerSecond_ = uint64_t(std::max(0, nextInt()));
  log("nps=%llu\n", (unsigned long long)nodesPerSecond_);
}

void WinBoardDriver::sd() {
  depthLimit = nextInt();
  log("maxdepth=%i\n", depthLimit);
}

void WinBoardDriver::go() {
  stop();
  engineSide = int(position_.sideToMove);
  think();
}

void WinBoardDriver::usermove() {
  const RcString text = nextArg();
  if (winboardTextNamesMove(text.c_str(), ponderMove())) {
    ponderHit();
    return;
  }
  stop();
  const Move m = parseMove(position_, text.c_str());
  if (!m || !history_.play(position_, m)) {
    send("Illegal move: %s\n", text.c_str());
    return;
  }
  if (logFile) {
    TextFile board(logFile);
    printBoard(position_, &board);
    board.flush();
  }
  think();
}

void WinBoardDriver::undoCommand() {
  undo();
  restartAnalysis();
}

void WinBoardDriver::remove() {
  log("remove: stop()");
  stop();
  log("remove: undo1");
  undo();
  log("remove: undo2");
  undo();
  restartAnalysis();
}

// Move now: only a search for the engine's own move is cut short; its end plays the best move
// found so far (before the next line is read). While pondering or analysing there is no move
// to make.
void WinBoardDriver::moveNow() {
  if (status_ != Searching || analyze) {
    log("movenow(): not searching for a move");
    return;
  }
  log("movenow(): stopping...");
  engine_.stopAndWait();
  log("movenow(): stopped");
}

void WinBoardDriver::result() { stop(); }

void WinBoardDriver::analyzeCommand() {
  stop();  // a ponder search would never end by itself
  analyze = true;
  think();
}

void WinBoardDriver::exitAnalysis() {
  stop();
  analyze = false;
}

// Analysis of some moves only: "exclude e2e4", "include e2e4", "exclude all", "include all".
// The exclusions belong to the position they were given in.
void WinBoardDriver::exclude() { changeExclusions(true); }
void WinBoardDriver::include() { changeExclusions(false); }

void WinBoardDriver::changeExclusions(bool excluding) {
  const RcString text = nextArg();
  if (excludedKey_ != position_.hashKey) excluded_.clear();
  excludedKey_ = position_.hashKey;
  if (text == "all") {
    excluded_.clear();
    if (excluding) {
      Move legal[MaxMoves];
      excluded_.assign(legal, legal + generateLegalMoves(position_, legal));
    }
  } else if (const Move m = parseMove(position_, text.c_str())) {
    auto same = [m](Move e) { return (e & MoveCompareMask) == (m & MoveCompareMask); };
    excluded_.erase(std::remove_if(excluded_.begin(), excluded_.end(), same), excluded_.end());
    if (excluding) excluded_.push_back(m);
  } else {
    send("Error (illegal move): %s\n", text.c_str());
    return;
  }
  reanalyse();
}

// "option NAME=VALUE" (or "option NAME" for a button) for the options the feature lines
// announce; a running analysis starts over under the new value.
void WinBoardDriver::option() {
  const std::string text = args_.rest().c_str();
  const size_t equals = text.find('=');
  const std::string name = text.substr(0, equals);
  const OptionRow* row = engine_.options().find(name);
  if (!row || !(row->places & ForWinBoard)) {
    log("option not supported: %s\n", text.c_str());
    return;
  }
  const std::string value = equals == std::string::npos ? "" : text.substr(equals + 1);
  const std::string answer = engine_.options().set(*row, value);
  if (!answer.empty()) send("telluser %s\n", answer.c_str());
  reanalyse();
}

// A running analysis starts over under the new settings.
void WinBoardDriver::reanalyse() {
  if (!analyze) return;
  stop();
  think();
}

// The moves an analysis may look at: all but the excluded ones of this position. Empty when
// nothing is excluded (then every move) and when everything is.
std::vector<Move> WinBoardDriver::analysedMoves() {
  if (excluded_.empty() || excludedKey_ != position_.hashKey) return {};
  Move legal[MaxMoves];
  std::vector<Move> moves;
  for (int i = 0, n = generateLegalMoves(position_, legal); i < n; i++) {
    auto same = [&](Move e) { return (e & MoveCompareMask) == (legal[i] & MoveCompareMask); };
    if (std::none_of(excluded_.begin(), excluded_.end(), same)) moves.push_back(legal[i]);
  }
  return moves;
}

void WinBoardDriver::quit() {
  fflush(out_);
  if (logFile) fflush(logFile);
  std::_Exit(0);
}

// ---- the game's course ----

// Decides what the engine does in the current position: analyse, ponder on the expected reply,
// play a book move, or search for its move.
void WinBoardDriver::think() {
  log("think()");
  // Analysis comes first: interfaces put the engine in force mode before they ask for it.
  if (!analyze && engineSide < 0) {
    log("think(): Not thinking: in force mode\n");
    return;
  }
  SearchLimits limits;
  int newStatus = Searching;
  if (analyze) {
    limits.infinite = true;
    limits.searchMoves = analysedMoves();
    if (limits.searchMoves.empty() && !excluded_.empty() && excludedKey_ == position_.hashKey) {
      log("think: every move excluded, nothing to analyse");
      return;
    }
    log("think: analyze");
  } else if (engineSide != int(position_.sideToMove)) {
    if (!ponder) {
      log("think: pondering disabled");
      return;
    }
    log("think: ponder");
    const Move expected = lastResult_.ponder;
    if (!expected || !history_.play(position_, expected)) {
      ponderMove_ = 0;
      log("think: no move to ponder");
      return;
    }
    ponderMove_ = expected;
    limits.ponder = true;
    newStatus = Pondering;
  } else {
    if (bookExit.inBook() && useBook) {
      const Move book = engine_.bookMove();
      if (book && history_.play(position_, book)) {
        sendMove(book);
        log("think: bookmove");
        return;
      }
    }
    if (bookExit.inBook()) {
      bookExit.leave(position_);
      log("WB: First search out of book is at %u ply\n", bookExit.firstPly);
    }
  }

  const int old = status_;
  status_ = newStatus;
  if (old != Idle) log("Expected current status==IDLE, got %i\n", old);
  setClock(limits);
  limits.lines = engine_.lines();
  startSearch(limits);
}

// Starts the search think() prepared; the last search may still be winding down.
void WinBoardDriver::startSearch(const SearchLimits& limits) {
  log("go()...");
  // The count changes once the last search has handed over its end, tagged with its own.
  engine_.waitUntilIdle();
  searchCount_++;
  engine_.go(limits, this);
  log("Nominal search time is %3.2f seconds, infinite=%i, timegap=%ims\n",
      engine_.nominalTimeMs() / 1000.0, int(limits.infinite || limits.ponder), timeGapMs);
  log("go() ok");
}

// The clock as the interface gave it: a fixed time per move (st), or the engine's time left
// for the moves to the next control (level, time), with the depth limit (sd) and the moves
// since the book.
void WinBoardDriver::setClock(SearchLimits& limits) {
  log("updatetime(): nmoves=%i, millis=%u, incms=%i\n", movesPerControl, timeLeftMs,
      int(incrementMs));
  limits.canPonder = ponder;
  limits.depth = depthLimit;
  const unsigned moved = unsigned(int(position_.ply) - plyAtLevel) / 2;
  int movesToGo = 0;
  if (movesPerControl > 0) movesToGo = movesPerControl - int(moved % unsigned(movesPerControl));
  log("remaining moves until time control=%i (nmoved=%i)\n",
      movesPerControl > 0 ? movesToGo : movesPerControl, int(moved));
  limits.movesOutOfBook = bookExit.movesOut(position_);
  if (limits.movesOutOfBook) log("out of book=%i\n", limits.movesOutOfBook);
  limits.timeGapMs = timeGapMs;
  if (nodesPerSecond_ > 0) {
    // The time this move may take, as nodes: the fixed time, or an even share of the clock.
    const int64_t moves = movesToGo > 0 ? movesToGo : SuddenDeathHorizon;
    const int64_t ms =
        fixedTimeMs_ ? int64_t(fixedTimeMs_) : int64_t(timeLeftMs) / moves + int64_t(incrementMs);
    limits.nodes = std::max<uint64_t>(1, uint64_t(ms) * nodesPerSecond_ / 1000);
  } else if (fixedTimeMs_) {
    limits.moveTimeMs = int(fixedTimeMs_);
  } else {
    limits.movesToGo = movesToGo;
    limits.timeLeftMs = int(timeLeftMs);
    limits.incrementMs = int(incrementMs);
  }
}

// On the search thread: the end goes to the input thread, named by the search it belongs to.
void WinBoardDriver::finished(const SearchResult& result) {
  const uint32_t search = searchCount_;
  post_([this, search, result] { searchEnded(search, result); });
}

void WinBoardDriver::searchEnded(uint32_t search, const SearchResult& result) {
  if (search != searchCount_) return;  // a search stopped before the one now started
  log("finished()...");
  lastResult_ = result;
  const int old = status_;
  status_ = Idle;
  if (old == Pondering) {
    log("finished(): pondering done, do nothing");
  } else if (old == Idle) {
    log("finished(): already idle, do nothing");
  } else if (analyze) {
    log("finished(): analysis mode, do nothing\n");
  } else {
    playSearchResult(result.info.score, result.best);
    log("finished() ok");
  }
}

// Plays the engine's move from a search (or announces the end of the game), then thinks on.
void WinBoardDriver::playSearchResult(int score, Move best) {
  if (best) {
    if (!history_.play(position_, best)) {
      log("finished(): best move cannot be played here");
      return;
    }
    sendMove(best);
    if (score < MateDelivered) {
      log("finished(): think again\n");
      think();
      return;
    }
  } else if (score == 0) {
    send("1/2-1/2 {Stalemate}\n");
    return;
  }
  // The side to move now is the mated one.
  send(position_.sideToMove == Black ? "1-0 {White mates}\n" : "0-1 {Black mates}\n");
}

// Thinking output has no way to say that a score is only a bound: such lines are left out, and
// the exact score follows once the window is open again.
void WinBoardDriver::searchInfo(const SearchInfo& info) {
  if (info.bound == BoundExact) sendThinking(info);
}

// One line of thinking output: depth, score, time in centiseconds, nodes and the moves (after
// the move pondered on, while pondering).
void WinBoardDriver::sendThinking(const SearchInfo& info) {
  if (!post) return;
  const int status = status_;
  const Move pondering = ponderMove_;
  char line[ThinkingLineLimit + 64];
  int length = snprintf(line, sizeof line, "%i %i %u %llu", info.depth, thinkingScore(info.score),
                        unsigned(info.timeMs / 10), (unsigned long long)info.nodes);
  auto add = [&](Move m) {
    char text[WinBoardMoveTextSize];
    length +=
        snprintf(line + length, sizeof line - size_t(length), " %s", winboardMoveText(text, m));
  };
  if (status == Pondering && pondering) add(pondering);
  for (int i = 0; i < PvRows && info.pv[i] && length <= ThinkingLineLimit; i++) add(info.pv[i]);
  send("%s\n", line);
}

void WinBoardDriver::ponderHit() {
  log("ponderhit");
  ponderMove_ = 0;
  const int old = status_;
  if (old == Idle) {
    // The ponder search has ended: its move is ready.
    log("pondering already finished!");
    playSearchResult(lastResult_.info.score, lastResult_.best);
    return;
  }
  status_ = Searching;
  // The ponder search goes on as the search for our move (its levels now from the clock the
  // interface sent last). It is never waited for here: its end plays the move and may start
  // pondering again at once.
  if (fixedTimeMs_) {
    engine_.ponderHit();
  } else {
    engine_.ponderHit(int(timeLeftMs));
  }
  log("ponderhit: adjusted nominal search time is %3.2f seconds\n",
      engine_.nominalTimeMs() / 1000.0);
}

void WinBoardDriver::stop() {
  const int old = status_;
  status_ = Idle;
  if (old != Idle) {
    log("stopping...");
    engine_.stopAndWait();
    log("stopped");
  }
  const Move pondering = ponderMove_;
  ponderMove_ = 0;
  if (pondering) {
    log("stop(): undo pondermove");
    undo();
  }
}

void WinBoardDriver::undo() {
  if (status_ != Idle) {
    log("undo(): not IDLE!...stopping...");
    stop();
    log("undo(): stopped...");
  }
  if (!history_.takeBack(position_)) send("tellusererror cannot undo\n");
}

// In analysis mode every change of the position starts a new analysis.
void WinBoardDriver::restartAnalysis() {
  if (analyze) think();
}

void WinBoardDriver::sendMove(Move m) {
  char text[WinBoardMoveTextSize];
  send("move %s\n", winboardMoveText(text, m));
}

void WinBoardDriver::setPosition(const char* fen) {
  setFen(position_, fen);
  history_.reset(position_);
}

// ---- output and log ----

void WinBoardDriver::send(const char* format, ...) {
  char text[ThinkingLineLimit + 128];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof text, format, args);
  va_end(args);
  {
    std::lock_guard<std::mutex> guard(outputLock_);
    fputs(text, out_);
    fflush(out_);
  }
  logLine("<--", "%s", text);
}

void WinBoardDriver::log(const char* format, ...) {
  va_list args;
  va_start(args, format);
  log_.write("   ", statusName(), format, args);
  va_end(args);
}

void WinBoardDriver::logLine(const char* prefix, const char* format, ...) {
  va_list args;
  va_start(args, format);
  log_.write(prefix, statusName(), format, args);
  va_end(args);
}

const char* WinBoardDriver::statusName() const {
  switch (status_) {
    case Searching:
      return "search";
    case Pondering:
      return "ponder";
    default:
      return "_idle_";
  }
}

// The log goes to the first free melvok-NNNN.log in the log directory, and the program's general
// log with it. Without a directory nothing is logged at all: standard output belongs to the
// protocol now.
void WinBoardDriver::openLog() {
  logFile = nullptr;
  if (logDir.empty()) return;
  const RcString path = WinBoardLog::freeFileName(logDir.c_str());
  if (path.empty()) return;
  send("redirecting logging output to %s, file=%s\n", FileSystem::currentDirectory(), path.c_str());
  if (!log_.open(path.c_str())) {
    fputs("logging redirect failed!\n", stderr);
    return;
  }
  logFile = log_.file();
}
