// Interfaces and match runners at their worst, against the built engine: malformed and endless
// lines, NUL bytes, moves that are illegal or no moves, bad FENs, absurd numbers in every limit,
// commands in every state. Whatever comes, the engine answers isready and ping within a second,
// answers every go with exactly one best move that is legal where it was asked, keeps its
// standard error open, writes no file into its directory, and exits 0 on quit.
#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <filesystem>
#include <memory>
#include <sstream>

#include "board/makemove.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "support/paths.h"
#include "support/positions.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace {

constexpr int PromptMs = 1000;  // isready, ping, and a go whose limits leave no time

using Clock = std::chrono::steady_clock;

int millisecondsSince(Clock::time_point start) {
  return int(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

bool startsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// The end of a long output, for failure messages.
std::string tail(const std::string& text) {
  return text.size() > 3000 ? "..." + text.substr(text.size() - 3000) : text;
}

std::vector<std::string> linesOf(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> list;
  for (std::string line; std::getline(in, line);) list.push_back(line);
  if (list.empty()) list.push_back("");
  return list;
}

std::vector<std::string> words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> list;
  for (std::string word; in >> word;) list.push_back(word);
  return list;
}

// The engine, started as a strict match runner starts it: in an empty directory, with its
// standard error on a pipe of its own that must stay open until quit.
class StrictRunner {
 public:
  StrictRunner() {
    Process::Options options;
    options.workingDirectory = dir_.path();
    options.mergeStderr = false;
    EXPECT_TRUE(engine_.start(enginePath(), {}, options)) << engine_.failure();
  }

  void send(const std::string& line) { engine_.writeLine(line); }

  // Everything up to the first line that starts with `prefix`, which must come within `ms`.
  std::string until(const std::string& prefix, int ms) {
    const Clock::time_point start = Clock::now();
    std::string text = engine_.readUntil(
        [&](const std::string& line) {
          return startsWith(line, prefix) || startsWith(line, "% " + prefix);
        },
        ms);
    EXPECT_TRUE(engine_.matched()) << "no '" << prefix << "' within " << ms << " ms:\n"
                                   << tail(text);
    EXPECT_LE(millisecondsSince(start), ms);
    return text;
  }

  // Quits as a runner does and checks the ending: standard error open until then, exit 0,
  // nothing left behind in the directory.
  void quit() {
    EXPECT_TRUE(engine_.errorPipeOpen()) << "standard error was hung up before quit";
    send("quit");
    engine_.readAll(10000);
    EXPECT_EQ(engine_.wait(10000), 0);
    EXPECT_TRUE(std::filesystem::is_empty(dir_.path())) << "the engine wrote into its directory";
  }

 private:
  TempDir dir_;
  Process engine_;
};

// ---- UCI ----

// A go as the engine must see it: the position of the last position command, replayed on our
// own board, or no position at all when that command's FEN was refused.
struct Asked {
  std::unique_ptr<Position> pos = std::make_unique<Position>();
  bool refused = false;
  std::string go;

  // Whether `answer` (the text after "bestmove ") is right: a legal move, or 0000 exactly when
  // there is none to give.
  bool rightAnswer(const std::string& answer) {
    Move list[MaxMoves];
    const bool noMove = refused || generateLegalMoves(*pos, list) == 0;
    if (answer == "0000") return noMove;
    const std::vector<std::string> move = words(answer);
    const Move m = noMove || move.empty() ? 0 : parseMove(*pos, move[0].c_str());
    return m && isLegalMove(*pos, m);
  }
};

class UciGame {
 public:
  UciGame() {
    initTables();
    setFen(*current_.pos, InitialFen);
  }

  void position(const std::string& command) {
    Position& pos = *current_.pos;
    std::vector<std::string> list = words(command);
    size_t at = 1;
    if (list.size() > 1 && list[1] == "startpos") {
      setFen(pos, InitialFen);
      current_.refused = false;
      at = 2;
    } else if (list.size() > 1 && list[1] == "fen") {
      std::string fen;
      for (at = 2; at < list.size() && list[at] != "moves"; at++) fen += list[at] + " ";
      current_.refused = !setFenOrKeep(pos, fen.c_str());
      if (current_.refused) return;
    } else {
      return;  // neither startpos nor fen: nothing changes
    }
    if (at >= list.size() || list[at] != "moves") return;
    for (at++; at < list.size(); at++) {
      if (list[at][0] == '.') continue;
      const Move m = parseMove(pos, list[at].c_str());
      if (!m || int(pos.ply) >= MaxGamePly || !makeMove(pos, m & ~MoveCheckFlags)) break;
    }
  }

  Asked go(const std::string& line) const {
    Asked asked;
    copyPosition(*asked.pos, *current_.pos);
    asked.refused = current_.refused;
    asked.go = fenOf(*current_.pos) + " / " + line;
    return asked;
  }

 private:
  Asked current_;
};

enum class Step { Line, Go, PromptGo, Ready };

struct UciStep {
  Step kind;
  std::string line;
};

// Plays the steps and checks every answer: isready within a second, a go whose limits leave no
// time answered within a second too, and one right best move for each go, in order.
void playUci(const std::vector<UciStep>& steps) {
  StrictRunner engine;
  UciGame game;
  std::deque<Asked> asked;  // the gos not yet answered, oldest first
  auto check = [&](const std::string& text) {
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
      if (!startsWith(line, "bestmove ")) continue;
      ASSERT_FALSE(asked.empty()) << "a best move no go asked for: " << line;
      EXPECT_TRUE(asked.front().rightAnswer(line.substr(9))) << line << " for " << asked.front().go;
      asked.pop_front();
    }
  };
  for (const UciStep& step : steps) {
    switch (step.kind) {
      case Step::Line:
        engine.send(step.line);
        // A NUL byte ends the text of a line for the engine: for us too.
        if (startsWith(step.line, "position")) game.position(step.line.c_str());
        break;
      case Step::Go:
      case Step::PromptGo:
        asked.push_back(game.go(step.line));
        engine.send(step.line);
        if (step.kind == Step::Go) break;
        for (const Clock::time_point start = Clock::now(); !asked.empty();) {
          const int left = PromptMs - millisecondsSince(start);
          ASSERT_GT(left, 0) << "no prompt answer to " << step.line;
          check(engine.until("bestmove", left));
        }
        break;
      case Step::Ready:
        engine.send("isready");
        check(engine.until("readyok", PromptMs));
        break;
    }
  }
  engine.send("stop");
  engine.send("isready");
  check(engine.until("readyok", PromptMs));
  EXPECT_TRUE(asked.empty()) << asked.size() << " gos unanswered, first " << asked.front().go;
  engine.quit();
}

UciStep line(const std::string& text) { return {Step::Line, text}; }
UciStep go(const std::string& text) { return {Step::Go, text}; }
UciStep promptGo(const std::string& text) { return {Step::PromptGo, text}; }
UciStep ready() { return {Step::Ready, ""}; }

// Knights out and back far past the longest game the engine keeps: some 300 KB.
std::string endlessMoveList() {
  std::string text = "position startpos moves";
  while (text.size() < 300000) text += " g1f3 g8f6 f3g1 f6g8";
  return text;
}

TEST(UciRobustness, MalformedLinesBadPositionsAndDegenerateLimits) {
  playUci({
      line("uci"),
      ready(),
      line(""),
      line("  \t "),
      line("xyzzy plugh"),
      line(std::string("\0isready", 8)),  // a NUL byte ends the text of its line
      line(std::string(300000, 'x')),
      line("setoption"),
      line("setoption name"),
      line("setoption name Hash value -5"),
      line("setoption name Hash value lots"),
      line("setoption name Hash value 1"),
      line("setoption name Threads value -1"),
      line("setoption name Threads value 2147483648"),
      line("setoption name Threads value 1"),
      line("setoption name UCI_Opponent value " + std::string(300000, 'y')),
      ready(),
      line("position"),
      promptGo("go depth 1"),
      line("position fen"),
      promptGo("go depth 0"),
      line(std::string("position startpos moves e2e4\0 e7e5", 34)),
      promptGo("go depth -3"),
      line("position startpos moves e2e4 e7e5 e1e3 g8f6"),  // an illegal move ends the list
      promptGo("go nodes 0"),
      line("position startpos moves e2e4 castle! d7d5"),  // and so does a word that is no move
      promptGo("go nodes -7"),
      line("position fen 8/8/8/8 w - -"),
      promptGo("go depth 2"),
      line("position startpos moves ... e2e4"),
      promptGo("go movetime 0"),
      line("position fen rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR x KQkq - 0 1"),
      promptGo("go movetime -28"),
      line("position fen r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3"),
      promptGo("go wtime -5 btime -5"),
      promptGo("go wtime 0 btime 0 winc 0 binc 0"),
      promptGo("go wtime -2147483648 btime -2147483648 winc -2147483648 binc -2147483648 "
               "movestogo -2147483648"),
      promptGo("go wtime 1 btime 1 movestogo 1 winc 99999999999999999999"),
      promptGo("go btime 500 wtime 20 movestogo 99999"),
      promptGo("go movetime 10 depth 99999999999999999999"),
      line(endlessMoveList()),
      promptGo("go depth 1"),
      line("position fen 6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1 moves d1d8"),  // mated
      promptGo("go depth 3"),
      line("position fen k7/8/1Q6/8/8/8/8/7K b - - 0 1"),  // stalemated
      promptGo("go wtime 1000 btime 1000"),
      line("position startpos"),
      // Searches that end only when told, answered by whatever comes next.
      go("go wtime 99999999999999999999 btime 5"),
      ready(),
      line("stop"),
      go("go movetime 2147483647"),
      go("go depth 2147483647"),  // a go during a go: the first answers, then the second runs
      ready(),
      line("position startpos moves d2d4"),  // a position during a search stops it
      go("go nodes 2147483647"),
      ready(),
      line("stop"),
      line("stop"),
      line("ponderhit"),
      ready(),
      // Pondering: answered at ponderhit, or by stop, or held until either.
      go("go ponder movetime 0"),
      ready(),
      line("ponderhit"),
      ready(),
      go("go ponder depth 1"),
      ready(),
      line("ponderhit"),
      line("ponderhit"),
      go("go ponder infinite"),
      line("stop"),
      go("go ponder depth 1"),
      ready(),
      line("position startpos moves g1f3"),  // answers the held search
      go("go ponder wtime 1000 btime 1000"),
      go("go infinite"),
      ready(),
      line("setoption name Hash value 16"),  // refused while a search runs
      line("setoption name Threads value 2"),
      line("ucinewgame"),
      line("stop"),
  });
}

// A whole game as a match runner plays it, clocks and all: the engine moves legally every
// time and leaves its standard error and its directory alone.
TEST(UciRobustness, AFullGameUnderAStrictRunner) {
  StrictRunner engine;
  UciGame game;
  engine.send("uci");
  engine.until("uciok", PromptMs);
  for (const char* line : {"setoption name Hash value 16", "setoption name Threads value 1",
                           "setoption name Ponder value false", "ucinewgame", "isready"})
    engine.send(line);
  engine.until("readyok", PromptMs);
  std::string moves, position = "position startpos";
  int clock = 3000;
  for (int ply = 0; ply < 16; ply++) {
    game.position(position);
    const std::string go = "go wtime " + std::to_string(clock) + " btime " + std::to_string(clock) +
                           " winc 30 binc 30";
    Asked asked = game.go(go);
    engine.send(position);
    engine.send(go);
    const std::string answer = linesOf(engine.until("bestmove", 5000)).back();
    ASSERT_TRUE(asked.rightAnswer(answer.substr(9))) << answer << " for " << asked.go;
    if (answer == "bestmove 0000") break;
    moves += " " + words(answer)[1];
    position = "position startpos moves" + moves;
    clock -= 100;
  }
  engine.quit();
}

// ---- WinBoard ----

// The game as the interface sees it, to check that each move of the engine is legal.
class WinBoardGame {
 public:
  WinBoardGame() {
    initTables();
    reset();
  }
  void reset() { setup(InitialFen); }
  void setup(const std::string& fen) { setFen(*pos_, fen.c_str()); }
  bool play(const std::string& text) {
    const Move m = parseMove(*pos_, text.c_str());
    return m && isLegalMove(*pos_, m) && makeMove(*pos_, m & ~MoveCheckFlags);
  }
  // A legal move in coordinate notation, for the interface's turn.
  std::string anyMove() {
    Move list[MaxMoves];
    if (generateLegalMoves(*pos_, list) == 0) return "";
    char text[MoveTextSize];
    return coordinateMove(text, list[0]);
  }
  std::string fen() const { return fenOf(*pos_); }

 private:
  std::unique_ptr<Position> pos_ = std::make_unique<Position>();
};

class WinBoardRunner {
 public:
  void send(const std::string& line) { engine_.send(line); }
  // ping within a second; returns what came before the pong.
  std::string ping() {
    const std::string pong = "pong " + std::to_string(++pings_);
    engine_.send("ping " + std::to_string(pings_));
    const std::string text = engine_.until(pong, PromptMs);
    EXPECT_EQ(countMoves(text), 0) << "a move nobody asked for:\n" << tail(text);
    return text;
  }
  // The engine's move, which must come within `ms` and be legal in the game.
  void expectMove(WinBoardGame& game, int ms) {
    const std::vector<std::string> lines = linesOf(engine_.until("move ", ms));
    const std::string move = lines.back().substr(5);
    EXPECT_TRUE(game.play(move)) << "move " << move << " in " << game.fen();
  }
  void quit() { engine_.quit(); }

 private:
  static int countMoves(const std::string& text) {
    int n = 0;
    for (const std::string& line : linesOf(text)) n += startsWith(line, "move ");
    return n;
  }
  StrictRunner engine_;
  int pings_ = 0;
};

TEST(WinBoardRobustness, MalformedLinesAbsurdNumbersAndCommandsInEveryState) {
  WinBoardRunner engine;
  WinBoardGame game;
  for (const char* line : {"xboard",
                           "protover 2",
                           "accepted done",
                           "rejected nonsense",
                           "",
                           "xyzzy",
                           "level",
                           "level -5 -3 -1",
                           "level 99999999999 99999999999:99999999999 1e308",
                           "level 40 0:-30 nonsense",
                           "st -5",
                           "st 99999999999",
                           "sd -3",
                           "time -50",
                           "time 99999999999",
                           "otim -1",
                           "memory -5",
                           "smp -1",
                           "smp 99999999999",
                           "smp 1",
                           "usermove e9e9",
                           "usermove xyz",
                           "usermove",
                           "usermove O-O",
                           "setboard 8/8/8/8 w - -",
                           "undo",
                           "remove",
                           "variant crazyhouse",
                           "?",
                           "result 1-0 {nonsense}",
                           "draw",
                           "hint"})
    engine.send(line);
  engine.send(std::string("\0ping 99", 8));
  engine.send(std::string(300000, 'z'));
  engine.send("setboard " + std::string(300000, '/'));
  engine.ping();

  // A game against the clock, each side moving in turn, from a rook ending in which our first
  // legal moves will not be mated soon.
  const std::string ending = "8/5pk1/6p1/7p/2r4P/6P1/5PK1/R7 w - - 0 1";
  for (const std::string& line :
       {std::string("new"), std::string("easy"), std::string("post"), std::string("force"),
        "setboard " + ending, std::string("level 0 0:10 0.1"), std::string("time 1000"),
        std::string("otim 1000"), std::string("go")})
    engine.send(line);
  game.setup(ending);
  engine.expectMove(game, 5000);
  engine.ping();
  for (int turn = 0; turn < 3; turn++) {
    const std::string reply = game.anyMove();
    ASSERT_TRUE(game.play(reply)) << reply << " in " << game.fen();
    engine.send("time " + std::to_string(900 - 100 * turn));
    engine.send("usermove " + reply);
    engine.expectMove(game, 5000);
  }
  // A fallen flag (and worse) still gets a legal move at once.
  for (const char* clock : {"time 0", "time -100"}) {
    const std::string reply = game.anyMove();
    ASSERT_TRUE(game.play(reply));
    engine.send(clock);
    engine.send("usermove " + reply);
    engine.expectMove(game, PromptMs);
  }
  // Pondering: the engine thinks on our time and still answers ping at once.
  engine.send("hard");
  engine.send("time 500");
  std::string reply = game.anyMove();
  ASSERT_TRUE(game.play(reply));
  engine.send("usermove " + reply);
  engine.expectMove(game, 5000);
  engine.ping();
  engine.send("?");  // pondering: there is no move to make now
  engine.ping();
  reply = game.anyMove();
  ASSERT_TRUE(game.play(reply));
  engine.send("usermove " + reply);
  engine.expectMove(game, 5000);
  engine.send("force");
  engine.send("easy");
  engine.send("?");
  engine.ping();

  // Analysis, taken back moves, and a new game in the middle of it all.
  for (const char* line : {"analyze", "undo", "exit", "remove", "remove", "sd 0", "st 0", "analyze",
                           "new", "exit", "new", "sd 1", "go"})
    engine.send(line);
  game.reset();
  engine.expectMove(game, 5000);  // no ping before it: the move may come before the pong
  engine.send("force");
  engine.ping();
  engine.quit();
}

// The console, fed what a careless user or script types: it answers and exits 0 on q.
TEST(ConsoleRobustness, AbsurdArgumentsLongLinesAndNulBytes) {
  TempDir dir;
  Process console;
  Process::Options options;
  options.workingDirectory = dir.path();
  options.mergeStderr = false;
  ASSERT_TRUE(console.start(enginePath(), {}, options)) << console.failure();
  for (const std::string& line : {std::string("md -5"),
                                  std::string("mt -3"),
                                  std::string("mt 99999999999 99999999999 1"),
                                  std::string("mt x"),
                                  std::string("set threads -4"),
                                  std::string("set threads 99999"),
                                  std::string("set threads 1"),
                                  std::string("divide -1"),
                                  std::string("perft -1"),
                                  std::string("bench -1"),
                                  std::string("fen 8/8/8/8 w - -"),
                                  std::string("fen"),
                                  std::string("fen " + std::string(300000, 'k')),
                                  std::string(300000, '1'),
                                  std::string("e4 e5 ") + std::string(300000, 'e'),
                                  std::string("moves\0 more", 11),
                                  std::string("loadbook /nonexistent/book.mvk"),
                                  std::string("go depth 0"),
                                  std::string("md 2"),
                                  std::string("g"),
                                  std::string("perft 1")})
    console.writeLine(line);
  console.writeLine("q");
  const std::string output = console.readAll(30000);
  EXPECT_EQ(console.wait(10000), 0) << tail(output);
  // The position after 1.e4 e5 stands: 29 moves for white.
  EXPECT_NE(output.find("          29 ops in"), std::string::npos) << tail(output);
  EXPECT_NE(output.find("bestmove "), std::string::npos) << tail(output);
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

}  // namespace
