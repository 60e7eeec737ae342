// What a user sets from an interface, end to end: the engine's files found beside its program
// whatever folder the interface starts it in, the chances beside the score, the strength levels,
// and WinBoard's answers to what it does not know.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>

#include "e2e/uci_session.h"
#include "support/paths.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "support/text.h"

namespace {

std::string bestMove(const std::string& text) {
  const std::string line = lastLineStartingWith(text, "bestmove ");
  return line.substr(0, line.find(' ', 9));
}

// The engine copied into a folder of its own, as a user unpacks it.
struct Installed {
  TempDir folder;
  std::string program = folder.file("melvok");
  Installed() {
    std::filesystem::copy_file(enginePath(), program);
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);
  }
  // Runs it in `workingDirectory` on `input` and returns all it printed.
  std::string run(const std::string& workingDirectory, const std::string& input) const {
    Process engine;
    Process::Options options;
    options.workingDirectory = workingDirectory;
    EXPECT_TRUE(engine.start(program, {}, options)) << engine.failure();
    engine.writeLine(input + "quit");
    const std::string output = engine.readAll(60000);
    EXPECT_EQ(engine.wait(10000), 0);
    return output;
  }
};

TEST(InterfaceOptions, SettingsAndBookAreFoundBesideTheProgram) {
  Installed melvok;
  TempDir elsewhere;  // where the interface starts the engine
  // Without a settings file anywhere: said once, and not as a failure.
  std::string out = melvok.run(elsewhere.path(), "");
  EXPECT_EQ(countOf(out, "no inifile: built-in settings\n"), 1) << out;
  EXPECT_FALSE(contains(out, "could not load")) << out;

  // A book built beside the program, and settings there that name it by a relative path.
  std::string games;
  for (int i = 0; i < 3; i++)
    games +=
        "[WhiteElo \"2700\"]\n[BlackElo \"2700\"]\n[Result \"1/2-1/2\"]\n\n1. d4 d5 2. c4 e6 "
        "1/2-1/2\n\n";
  melvok.folder.write("games.pgn", games);
  melvok.folder.write("build.ini",
                      "book.build.minply = 1\nbook.build.mingames = 1\nbook.build.file = "
                      "small.mvk\n");
  melvok.run(melvok.folder.path(), "buildbook games.pgn build.ini\n");
  ASSERT_TRUE(std::filesystem::exists(melvok.folder.file("small.mvk")));
  melvok.folder.write("melvok.ini", "book.file = small.mvk\nsearch.moveoverhead = 77\n");

  out =
      melvok.run(elsewhere.path(), "uci\nposition startpos\ngo wtime 60000 btime 60000\nisready\n");
  EXPECT_TRUE(contains(out, "inifile=" + melvok.folder.file("melvok.ini") + "\n")) << out;
  EXPECT_TRUE(contains(out, "book found: " + melvok.folder.file("small.mvk"))) << out;
  EXPECT_TRUE(contains(out, "\noption name Move Overhead type spin default 77 min 0 max 5000\n"))
      << out;
  EXPECT_EQ(bestMove(out), "bestmove d2d4") << out;  // from the book, not a search

  // The book chosen from the interface, relative to the program; an empty name closes it.
  Process engine;
  Process::Options options;
  options.workingDirectory = elsewhere.path();
  ASSERT_TRUE(engine.start(melvok.program, {}, options)) << engine.failure();
  engine.writeLine("uci\nsetoption name Book File value <empty>\nposition startpos\ngo depth 1");
  out = engine.readUntil("bestmove", 60000);
  EXPECT_TRUE(contains(out, "info string book closed\n")) << out;
  EXPECT_TRUE(contains(out, "info depth 1")) << "searched without a book: " << out;
  engine.writeLine(
      "setoption name Book File value small.mvk\nucinewgame\nposition startpos\ngo depth 1");
  out = engine.readUntil("bestmove", 60000);
  EXPECT_TRUE(contains(out, "info string book found: " + melvok.folder.file("small.mvk"))) << out;
  EXPECT_FALSE(contains(out, "info depth")) << "a book move: " << out;
  engine.writeLine("quit");
  EXPECT_EQ(engine.wait(10000), 0);
}

// "wdl W D L" per mille after the score when asked for: three numbers that make 1000, more
// winning the better the score, and certain for a mate.
TEST(InterfaceOptions, WinDrawLossChancesBesideTheScore) {
  UciSession s;
  s.startUci();
  s.send("position startpos");
  s.send("go depth 3");
  EXPECT_FALSE(contains(s.until("bestmove"), " wdl ")) << "only when asked for";
  s.send("setoption name UCI_ShowWDL value true");
  const std::regex chances(".* score cp (-?\\d+) wdl (\\d+) (\\d+) (\\d+) .*");
  for (const char* fen : {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
                          "4k3/8/8/8/8/8/PPPP4/4K3 w - - 0 1"}) {
    s.send(std::string("position fen ") + fen);
    s.send("go depth 4");
    int lines = 0;
    for (const std::string& line : linesStartingWith(s.until("bestmove"), "info depth")) {
      std::smatch m;
      ASSERT_TRUE(std::regex_match(line, m, chances)) << line;
      const int score = std::stoi(m[1]), win = std::stoi(m[2]), loss = std::stoi(m[4]);
      EXPECT_EQ(win + std::stoi(m[3]) + loss, 1000) << line;
      if (score > 50) EXPECT_GT(win, loss) << line;
      if (score < -50) EXPECT_LT(win, loss) << line;
      lines++;
    }
    EXPECT_GT(lines, 0) << fen;
  }
  s.send("position fen 7k/8/6K1/8/8/8/8/R7 w - - 0 1");
  s.send("go depth 3");
  EXPECT_TRUE(contains(s.until("bestmove"), " score mate 1 wdl 1000 0 0 "));
  EXPECT_EQ(s.quit(), 0);
}

// A limited strength searches shallow and varies its moves among the near-best, but never gives
// away what it sees to lose; at full strength the same search gives the same move.
TEST(InterfaceOptions, StrengthLevelsPlayWeakerButNeverThrowPiecesAway) {
  UciSession s;
  s.startUci();
  const auto moves = [&](const std::string& fen, int searches, int* deepest) {
    std::set<std::string> played;
    for (int i = 0; i < searches; i++) {
      s.send("ucinewgame");
      s.send("position fen " + fen);
      s.send("go depth 8");
      const std::string text = s.until("bestmove");
      played.insert(bestMove(text));
      for (const std::string& line : linesStartingWith(text, "info depth "))
        *deepest = std::max(*deepest, std::stoi(line.substr(11)));
    }
    return played;
  };
  const std::string start = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
  // White's queen on d1 is attacked by a knight on c3 that White can take with the b-pawn.
  const std::string knightTaken = "r1bqkb1r/pppppppp/5n2/8/8/2n2N2/PPPPPPPP/R1BQKB1R w KQkq - 0 1";
  int deepest = 0;
  EXPECT_EQ(moves(start, 4, &deepest).size(), 1u) << "full strength is deterministic";
  EXPECT_EQ(deepest, 8);

  s.send("setoption name UCI_LimitStrength value true");
  s.send("setoption name UCI_Elo value 1000");
  deepest = 0;
  EXPECT_GE(moves(start, 12, &deepest).size(), 2u) << "a weak level varies its moves";
  EXPECT_LE(deepest, 3) << "the 1000 level looks three plies ahead";
  for (const std::string& move : moves(knightTaken, 8, &deepest))
    EXPECT_TRUE(move == "bestmove b2c3" || move == "bestmove d2c3") << move;
  EXPECT_EQ(s.quit(), 0);
}

// WinBoard: a command it does not know is answered as the protocol says; moves without
// "usermove" (protocol 1) are moves; an illegal one is refused in the protocol's words.
TEST(InterfaceOptions, WinBoardAnswersUnknownCommandsAndBareMoves) {
  UciSession s;
  s.send("xboard");
  s.send("new");
  s.send("force");
  s.send("foo bar");
  s.send("e2e4");
  s.send("e7e6");
  s.send("e4e6");
  s.send("ping 1");
  const std::string out = s.until("pong 1");
  EXPECT_EQ(countOf(out, "Error (unknown command): foo\n"), 1) << out;
  EXPECT_EQ(countOf(out, "Illegal move: e4e6\n"), 1) << out;
  EXPECT_EQ(countOf(out, "Error"), 1) << "e2e4 and e7e6 are moves: " << out;
  s.send("setboard 7k/8/6K1/8/8/8/8/R7 w - - 0 1");
  s.send("a1a8");
  s.send("ping 2");
  EXPECT_FALSE(contains(s.until("pong 2"), "Illegal")) << "the bare move was played";
  EXPECT_EQ(s.quit(), 0);
}

}  // namespace
