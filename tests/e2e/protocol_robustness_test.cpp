// Interfaces and match runners at their worst, against the built engine: malformed and endless
// lines, NUL bytes, moves that are illegal or no moves, bad FENs, absurd numbers in every limit,
// commands in every state. Whatever comes, the engine answers isready and ping, answers every go
// with exactly one best move that is legal where it was asked (a go whose limits leave no time
// without any further input), keeps its standard error open, writes no file into its
// directory, and exits 0 on quit. The time-outs only turn a hang into a failure.
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <sstream>

#include "board/makemove.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "e2e/uci_session.h"
#include "support/positions.h"
#include "support/text.h"

namespace {

constexpr int Patience = 20000;

std::vector<std::string> words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> list;
  for (std::string word; in >> word;) list.push_back(word);
  return list;
}

// The end of a long output, for failure messages.
std::string tail(const std::string& text) {
  return text.size() > 3000 ? "..." + text.substr(text.size() - 3000) : text;
}

// Quits as a runner does and checks the ending: standard error open until then, exit 0, nothing
// left behind in the directory.
void quitStrictly(UciSession& engine) {
  EXPECT_TRUE(engine.process().errorPipeOpen()) << "standard error was hung up before quit";
  EXPECT_EQ(engine.quit(), 0);
  EXPECT_TRUE(std::filesystem::is_empty(engine.dir().path()))
      << "the engine wrote into its directory";
}

// Whether `answer` (what follows "bestmove " or "move ") is right in the position `fen` (empty:
// the engine has none, its FEN was refused): a legal move, or 0000 exactly when there is none.
bool rightAnswer(const std::string& fen, const std::string& answer) {
  auto pos = positionFrom(fen.empty() ? InitialFen : fen);
  Move list[MaxMoves];
  const bool noMove = fen.empty() || generateLegalMoves(*pos, list) == 0;
  if (answer == "0000") return noMove;
  const Move m = noMove ? 0 : parseMove(*pos, words(answer)[0].c_str());
  return m && isLegalMove(*pos, m);
}

// The game as the interface sees it: the position of the last position command replayed on our
// own board (empty fen() when that command's FEN was refused), to judge the engine's moves.
class Game {
 public:
  void position(const std::string& command) {
    const std::vector<std::string> list = words(command);
    size_t at = 2;
    if (list.size() < 2 || (list[1] != "startpos" && list[1] != "fen")) return;  // nothing changes
    std::string fen = InitialFen;
    if (list[1] == "fen")
      for (fen.clear(); at < list.size() && list[at] != "moves"; at++) fen += list[at] + " ";
    refused_ = !setFenOrKeep(*pos_, fen.c_str());
    for (at++; !refused_ && at < list.size() && (list[at][0] == '.' || play(list[at])); at++) {
    }
  }
  bool play(const std::string& text) {
    const Move m = parseMove(*pos_, text.c_str());
    return m && isLegalMove(*pos_, m) && int(pos_->ply) < MaxGamePly &&
           makeMove(*pos_, m & ~MoveCheckFlags);
  }
  // The first legal move, in coordinates, for the interface's turn.
  std::string anyMove() {
    Move list[MaxMoves];
    char text[MoveTextSize];
    return generateLegalMoves(*pos_, list) ? coordinateMove(text, list[0]) : "";
  }
  std::string fen() const { return refused_ ? "" : fenOf(*pos_); }

 private:
  std::unique_ptr<Position> pos_ = positionFrom(InitialFen);
  bool refused_ = false;
};

// Plays the steps ("line", "go ..." answered whenever, "!go ..." answered before anything else
// is sent, "ready") and checks every answer: one right best move for each go, in order.
void playUci(const std::vector<std::string>& steps) {
  UciSession engine;
  Game game;
  std::deque<std::pair<std::string, std::string>> asked;  // unanswered gos: fen, go; oldest first
  auto check = [&](const std::string& text) {
    for (const std::string& line : linesStartingWith(text, "bestmove ")) {
      ASSERT_FALSE(asked.empty()) << "a best move no go asked for: " << line;
      EXPECT_TRUE(rightAnswer(asked.front().first, line.substr(9)))
          << line << " for " << asked.front().first << " / " << asked.front().second;
      asked.pop_front();
    }
  };
  for (const std::string& step : steps) {
    const bool prompt = step[0] == '!';
    const std::string line = prompt ? step.substr(1) : step;
    if (line == "ready") {
      check(engine.sync());
    } else if (line.compare(0, 3, "go ") == 0) {
      asked.emplace_back(game.fen(), line);
      engine.send(line);
      while (prompt && !asked.empty()) check(engine.until("bestmove", Patience));
    } else {
      engine.send(line);
      // A NUL byte ends the text of a line for the engine: for us too.
      if (line.compare(0, 8, "position") == 0) game.position(line.c_str());
    }
  }
  engine.send("stop");
  check(engine.sync());
  EXPECT_TRUE(asked.empty()) << asked.size() << " gos unanswered, first " << asked.front().second;
  quitStrictly(engine);
}

// Knights out and back far past the longest game the engine keeps: some 300 KB.
std::string endlessMoveList() {
  std::string text = "position startpos moves";
  while (text.size() < 300000) text += " g1f3 g8f6 f3g1 f6g8";
  return text;
}

TEST(UciRobustness, MalformedLinesBadPositionsAndDegenerateLimits) {
  playUci(
      {"uci", "ready", "", "  \t ", "xyzzy plugh", std::string("\0isready", 8),
       std::string(300000, 'x'), "setoption", "setoption name", "setoption name Hash value -5",
       "setoption name Hash value lots", "setoption name Hash value 1",
       "setoption name Threads value -1", "setoption name Threads value 2147483648",
       "setoption name Threads value 1",
       "setoption name UCI_Opponent value " + std::string(300000, 'y'), "ready",
       // Bad positions (each go answered at once: it has nothing to search or no time).
       "position", "!go depth 1", "position fen", "!go depth 0",
       std::string("position startpos moves e2e4\0 e7e5", 34), "!go depth -3",
       "position startpos moves e2e4 e7e5 e1e3 g8f6", "!go nodes 0",
       "position startpos moves e2e4 castle! d7d5", "!go nodes -7",
       // Cut short by a move the king cannot make: the check of Qh5 before it must stand.
       "position startpos moves e2e4 f7f5 d1h5 e8e7", "!go depth 2", "position fen 8/8/8/8 w - -",
       "!go depth 2", "position startpos moves ... e2e4", "!go movetime 0",
       "position fen rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR x KQkq - 0 1", "!go movetime -28",
       "position fen r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3",
       "!go wtime -5 btime -5", "!go wtime 0 btime 0 winc 0 binc 0",
       "!go wtime -2147483648 btime -2147483648 winc -2147483648 binc -2147483648 movestogo "
       "-2147483648",
       "!go wtime 1 btime 1 movestogo 1 winc 99999999999999999999",
       "!go btime 500 wtime 20 movestogo 99999", "!go movetime 10 depth 99999999999999999999",
       endlessMoveList(), "!go depth 1",
       "position fen 6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1 moves d1d8",
       "!go depth 3",  // mated
       "position fen k7/8/1Q6/8/8/8/8/7K b - - 0 1",
       "!go wtime 1000 btime 1000",  // stalemated
       // Searches that end only when told, answered by whatever comes next: a stop, another go
       // (the first answers, then the second runs), a new position.
       "position startpos", "go wtime 99999999999999999999 btime 5", "ready", "stop",
       "go movetime 2147483647", "go depth 2147483647", "ready", "position startpos moves d2d4",
       "go nodes 2147483647", "ready", "stop", "stop", "ponderhit", "ready",
       // Pondering: answered at ponderhit, or by stop, or held until either.
       "go ponder movetime 0", "ready", "ponderhit", "ready", "go ponder depth 1", "ready",
       "ponderhit", "ponderhit", "go ponder infinite", "stop", "go ponder depth 1", "ready",
       "position startpos moves g1f3",  // answers the held search
       "go ponder wtime 1000 btime 1000", "go infinite", "ready",
       "setoption name Hash value 16",  // refused while a search runs
       "setoption name Threads value 2", "ucinewgame", "stop"});
}

TEST(WinBoardRobustness, MalformedLinesAbsurdNumbersAndCommandsInEveryState) {
  UciSession engine;
  Game game;
  int pings = 0;
  auto ping = [&] {  // answered, and no move nobody asked for came before it
    const std::string pong = "pong " + std::to_string(++pings);
    engine.send("ping " + std::to_string(pings));
    const std::string text = engine.until(pong, Patience);
    EXPECT_EQ(countLines(text, "move "), 0) << "a move nobody asked for:\n" << tail(text);
  };
  auto expectMove = [&] {  // the engine's move, legal in the game
    const std::string line = lastLineStartingWith(engine.until("move ", Patience), "move ");
    ASSERT_FALSE(line.empty());
    EXPECT_TRUE(game.play(line.substr(5))) << line << " in " << game.fen();
  };
  auto reply = [&](const std::string& clock) {  // our move, with the clock we report
    const std::string move = game.anyMove();
    ASSERT_TRUE(game.play(move)) << "no move for us in " << game.fen();
    engine.send(clock);
    engine.send("usermove " + move);
  };
  const std::vector<std::string> junk = {"xboard",
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
                                         "hint",
                                         std::string("\0ping 99", 8),
                                         std::string(300000, 'z'),
                                         "setboard " + std::string(300000, '/')};
  for (const std::string& line : junk) engine.send(line);
  ping();
  // A game against the clock from locked pawns: whatever both kings do, the game cannot end in
  // the eight moves the engine plays (a king alone cannot stalemate a king, and a queen is more
  // than eight moves away), so every turn asks the engine for a move.
  const std::string ending = "8/8/4k3/1p1p1p2/1P1P1P2/4K3/8/8 w - - 0 1";
  for (const std::string& line :
       std::vector<std::string>{"new", "easy", "post", "force", "setboard " + ending,
                                "level 0 0:10 0.1", "time 1000", "otim 1000", "go"})
    engine.send(line);
  game.position("position fen " + ending);
  expectMove();
  ping();
  // A falling clock, a fallen flag and worse: still a legal move each time.
  for (const char* clock : {"time 900", "time 800", "time 700", "time 0", "time -100"}) {
    reply(clock);
    expectMove();
  }
  // Pondering: the engine thinks on our time and still answers ping; "?" has nothing to move.
  engine.send("hard");
  for (int turn = 0; turn < 2; turn++) {
    reply("time 500");
    expectMove();
    ping();
    engine.send("?");
    ping();
  }
  // Analysis, taken-back moves, and a new game in the middle of it all.
  for (const char* line : {"force", "easy", "analyze", "undo", "exit", "remove", "remove", "sd 0",
                           "st 0", "analyze", "new", "exit", "new", "sd 1", "go"})
    engine.send(line);
  game.position("position startpos");
  expectMove();  // no ping before it: the move may come before the pong
  engine.send("force");
  ping();
  quitStrictly(engine);
}

}  // namespace
