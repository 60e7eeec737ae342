// UCI transcripts against the built engine: the uci answer and its options, positions, searches
// bounded by depth, pondering held until ponderhit or stop, mate scores, promotions, castling
// notations, book moves, the bitbase library named by the settings file, and quit during a search.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <regex>

#include "e2e/uci_session.h"
#include "support/text.h"

namespace {

// The last board the console printed (it prints one for an empty line, before "uci") as a FEN
// without the move counters.
std::string boardAfter(UciSession& s, const std::string& line) {
  s.send(line);
  s.send("");
  const std::string text = s.sync();
  const std::regex fen("([1-8pnbrqkPNBRQK]+/){7}[1-8pnbrqkPNBRQK]+ [wb] [-KQkqA-Ha-h]+ [-a-h1-8]+");
  std::string last;
  for (std::sregex_iterator it(text.begin(), text.end(), fen), end; it != end; ++it)
    last = it->str();
  return last;
}

// From the last score on (the end of the last line with a score, and what follows it).
std::string lastScore(const std::string& text) {
  return text.substr(std::min(text.rfind(" score "), text.size()));
}

std::string bestMove(const std::string& text) {
  const std::string line = lastLineStartingWith(text, "bestmove ");
  return line.empty() ? "<none>" : line;
}

// A search from `position`; its output up to the best move.
std::string search(UciSession& s, const std::string& position, const std::string& go) {
  s.send(position);
  s.send(go);
  return s.until("bestmove");
}

TEST(UciTranscript, UciAnswerAndEveryOptionItLists) {
  UciSession s("tt.cachemb = 16\n");  // the Hash default is the size the table has
  const std::string text = s.startUci();
  const size_t at = text.find("\nid name ");
  ASSERT_NE(at, std::string::npos) << text;
  const std::string answer = text.substr(at + 1);
  EXPECT_TRUE(answer.rfind("id name melvok-0.1\nid author the melvok developers\n", 0) == 0)
      << answer;
  EXPECT_TRUE(contains(answer, "\noption name Hash type spin default 16 min 1 max 65536\n"));
  // One table gives the listing and setoption: the options interfaces know, each taken with the
  // default it shows; a name it does not list is refused.
  const std::regex option(
      "option name (.+?) +type (spin|check|string|combo|button)(?: default (\\S+))?.*");
  std::string names;
  for (const std::string& line : linesStartingWith(answer, "option ")) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(line, m, option)) << line;
    // Interfaces (Scid) split the line at single blanks: padding would end up in the name.
    EXPECT_FALSE(contains(line, "  ")) << line;
    EXPECT_FALSE(line.back() == ' ') << line;
    names += m[1].str() + ",";
    s.send("setoption name " + m[1].str() + (m[3].matched ? " value " + m[3].str() : ""));
  }
  EXPECT_EQ(names,
            "Hash,Threads,MultiPV,Clear Hash,SyzygyPath,SyzygyProbeDepth,Syzygy50MoveRule,"
            "SyzygyProbeLimit,Move Overhead,UCI_LimitStrength,UCI_Elo,Bitbase Cache,Bitbase Path,"
            "Book File,Ponder,OwnBook,UCI_Opponent,UCI_EngineAbout,UCI_Chess960,UCI_ShowWDL,"
            "CastleNotation,UCI_AnalyseMode,");
  EXPECT_EQ(linesOf(answer).back(), "uciok");
  s.send("setoption name NoSuchOption value 1");
  s.send("");  // swallowed: no prompt and no board after uci
  const std::string quiet = s.sync();
  EXPECT_FALSE(contains(quiet, "% ") || contains(quiet, "+---+")) << quiet;
  EXPECT_EQ(countOf(s.errors(), "Option not supported"), 1) << s.errors();
  EXPECT_EQ(s.quit(), 0);
}

// A Hash the machine cannot give keeps the table there is, says so, and the engine searches on;
// one it can give is taken without a word. (Run with its address space limited to 1 GB.)
TEST(UciTranscript, HashBeyondTheMemoryKeepsTheTable) {
#ifdef MELVOK_SANITIZED
  GTEST_SKIP() << "the sanitizers reserve more address space than the limit allows";
#endif
  Process engine;
  ASSERT_TRUE(engine.start("/bin/sh", {"-c", "ulimit -v 1000000 && exec " MELVOK_BINARY}));
  engine.writeLine("uci");
  const std::string listing = engine.readUntil("uciok", 60000);
  EXPECT_TRUE(contains(listing, " type spin default 64 min 1 max 65536\n")) << listing;
  engine.writeLine("setoption name Hash value 4096\nisready");
  EXPECT_TRUE(contains(engine.readUntil("readyok", 60000),
                       "info string Hash: no memory for 4096 MB, the table stays at 64 MB\n"));
  engine.writeLine("position startpos\ngo depth 4");
  EXPECT_TRUE(contains(engine.readUntil("bestmove", 60000), "bestmove "));
  engine.writeLine("setoption name Hash value 128\nisready");
  EXPECT_FALSE(contains(engine.readUntil("readyok", 60000), "info string"));
  engine.writeLine("quit");
  EXPECT_EQ(engine.wait(10000), 0);
}

TEST(UciTranscript, PositionsFromStartposFensAndMoveLists) {
  UciSession s;
  const std::string afterE5 = "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq -";
  const std::string opening = "position startpos moves e2e4 e7e5 g1f3 b8c6 f1c4 g8f6 ";
  const std::string castled = "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQ1RK1 b kq -";
  const std::pair<std::string, std::string> cases[] = {
      {"position startpos moves e2e4 e7e5", afterE5},
      {"position startpos moves e2e4 ... e7e5", afterE5},        // continuation markers are skipped
      {"position startpos moves e2e4 e7e5 e1e3 g1f3", afterE5},  // an illegal move ends the list
      {"position fen 4k3/8/8/8/8/8/4P3/4K3 w - - 0 1 moves e2e4 e8d7",
       "8/3k4/8/8/4P3/8/8/4K3 w - -"},
      {"position fen 8/P7/8/8/8/8/8/k6K w - - 0 1 moves a7a8n", "N7/8/8/8/8/8/8/k6K b - -"},
      {"position fen 8/P7/8/8/8/8/8/k6K w - - 0 1 moves a7a8Q", "Q7/8/8/8/8/8/8/k6K b - -"},
      {"position nonsense moves e2e4", "Q7/8/8/8/8/8/8/k6K b - -"},  // neither startpos nor fen
      {opening + "e1g1", castled},
      {opening + "e1h1", castled},
      {opening + "O-O", castled},
      // Chess960: the king on b1 castles with the rook on a1, said as king takes rook.
      {"position fen 2rkr3/2p1p3/8/8/8/8/8/RK6 w A - 0 1 moves b1a1",
       "2rkr3/2p1p3/8/8/8/8/8/2KR4 b - -"},
  };
  for (const auto& [line, fen] : cases) EXPECT_EQ(boardAfter(s, line), fen) << line;
  EXPECT_TRUE(contains(s.errors(), "WARNING invalid move from GUI: e1e3\n")) << s.errors();
  EXPECT_EQ(s.quit(), 0);
}

TEST(UciTranscript, SearchesPonderingMatesAndPromotions) {
  UciSession s;
  s.startUci();
  s.send("setoption name Threads value 1");  // one thread searches the same tree every time
  // go depth 5: exactly five iterations, and a best move with the expected reply. (The form of
  // every info line is checked by the stress test.)
  std::string text = search(s, "position startpos moves e2e4 e7e5", "go depth 5");
  EXPECT_TRUE(contains(text, "\ninfo depth 5 seldepth ") && !contains(text, "info depth 6"))
      << text;
  EXPECT_TRUE(
      std::regex_match(bestMove(text), std::regex("bestmove [a-h1-8]{4} ponder [a-h1-8]{4}")))
      << text;
  // A pawn ending whose breakthrough every iteration sees further into: the score climbs from
  // one depth to the next and the aspiration window fails. Such scores are bounds and say so,
  // and every iteration still ends with an exact score.
  text = search(s, "position fen 8/7p/5k2/5p2/p1p2P2/Pr1pPK2/1P1R3P/8 b - - 0 1", "go depth 8");
  const std::regex bound(" score (cp|mate) -?\\d+ (lowerbound|upperbound) ");
  int bounds = 0;
  std::map<std::string, std::string> lastOfDepth;
  for (const std::string& info : linesStartingWith(text, "info depth ")) {
    bounds += std::regex_search(info, bound);
    lastOfDepth[info.substr(0, info.find(" seldepth"))] = info;
  }
  EXPECT_GE(bounds, 1) << text;
  EXPECT_EQ(lastOfDepth.size(), 8u) << text;
  for (const auto& [depth, info] : lastOfDepth)
    EXPECT_FALSE(std::regex_search(info, bound)) << info;

  // A ponder search that ends by its depth limit holds its answer until ponderhit or stop,
  // which it then gives with the expected reply.
  for (const char* end : {"ponderhit", "stop"}) {
    s.send("position startpos moves e2e4 e7e5");
    s.send("go ponder depth 3");
    const std::string held = s.until("info depth 3 ");
    EXPECT_EQ(countLines(held + s.sync(), "bestmove"), 0) << end;
    s.send(end);
    const std::string answer = bestMove(s.until("bestmove"));
    EXPECT_TRUE(std::regex_match(answer, std::regex("bestmove [a-h1-8]{4} ponder [a-h1-8]{4}")))
        << answer;
    s.send("ponderhit");
    s.send("stop");
    EXPECT_EQ(countLines(s.sync(), "bestmove"), 0) << "a search is answered once";
  }
  // Pondering on a single legal move (a check only the king can answer, mate found on the way):
  // the ponder hit is answered at once.
  s.send("position fen 2kr4/ppQ5/4bp2/6p1/3P2p1/4BqP1/PP3P1r/R2R2K1 b - - 0 26");
  s.send("go ponder wtime 3000 btime 2900 winc 100 binc 100");
  // (Read in two statements: the operands of + may be read in either order, and a sync read
  // first would swallow the lines the other waits for.)
  const std::string pondering = s.until("info depth 4 ");
  EXPECT_EQ(countLines(pondering + s.sync(), "bestmove"), 0);
  s.send("ponderhit");
  EXPECT_EQ(bestMove(s.until("bestmove")).substr(0, 13), "bestmove c8c7");
  EXPECT_EQ(countLines(s.sync(), "bestmove"), 0);
  const struct {
    const char* position;
    const char* go;
    const char* score;  // in the last score line
    const char* best;
  } cases[] = {
      {"position fen 6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - -", "go depth 4", " score mate 1 ",
       "bestmove d1d8"},
      {"position fen k7/8/2K5/8/8/8/8/6R1 w - -", "go depth 6", " score mate 2 ", nullptr},
      {"position fen k7/8/1K6/8/8/8/8/7R b - -", "go depth 6", " score mate -1 ",
       "bestmove a8b8"},  // no reply
      {"position fen 8/P7/8/8/8/8/8/k6K w - -", "go depth 3", " pv a7a8q ", nullptr},
  };
  for (const auto& c : cases) {
    text = search(s, c.position, c.go);
    EXPECT_TRUE(!c.score || contains(lastScore(text), c.score)) << text;
    EXPECT_TRUE(!c.best || bestMove(text) == c.best) << text;
  }
  EXPECT_EQ(s.quit(), 0);
}

// The options that choose how castling is written (every notation of every move: the move text
// test): mates in one that only castling gives, in standard chess and in Chess960.
TEST(UciTranscript, CastlingNotationOptions) {
  UciSession s;
  s.startUci();
  const char* const positions[] = {"position fen 8/8/8/7B/2p1p3/2pkp3/8/R3K3 w Q -",
                                   "position fen 2rkr3/2p1p3/8/8/8/8/8/RK6 w A -"};
  const std::vector<std::string> cases[] = {
      {"CastleNotation value O-O", "O-O-O", "O-O-O"},
      {"CastleNotation value castle!", "O-O-O", "O-O-O"},  // unknown: the last one stays
      {"CastleNotation value smart", "e1c1", "b1a1"},
      {"UCI_Chess960 value true", "e1a1", "b1a1"}};  // Chess960 interfaces: king takes rook
  for (const auto& c : cases) {
    s.send("setoption name " + c[0]);
    for (int i : {0, 1})
      EXPECT_EQ(bestMove(search(s, positions[i], "go depth 3")), "bestmove " + c[i + 1]) << c[0];
  }
}

// A small book built by the engine itself from three drawn games 1.e4 e5 2.Nf3 Nc6 3.Bb5 a6.
TEST(UciTranscript, BookMovesBeforeSearching) {
  UciSession s("book.build.minply = 1\nbook.build.mingames = 1\nbook.build.file = small.mvk\n");
  std::string games;
  for (int i = 0; i < 3; i++)
    games +=
        "[WhiteElo \"2700\"]\n[BlackElo \"2700\"]\n[Result \"1/2-1/2\"]\n\n1. e4 e5 2. Nf3 Nc6 "
        "3. Bb5 a6 1/2-1/2\n\n";
  s.dir().write("games.pgn", games);
  s.send("buildbook games.pgn melvok.ini");
  ASSERT_TRUE(contains(s.sync(), "book found: small.mvk")) << "the book could not be built";
  s.startUci();
  // In book: the answer comes at once, without a search.
  const std::string first = search(s, "position startpos", "go wtime 60000 btime 60000");
  EXPECT_EQ(bestMove(first), "bestmove e2e4");
  EXPECT_EQ(countLines(first, "info"), 0) << first;
  // Out of book the engine searches; a move list that no longer passes where the book was left
  // is a new game.
  EXPECT_GT(
      countLines(search(s, "position startpos moves e2e4 e7e5 g1f3 b8c6 f1b5 a7a6", "go depth 2"),
                 "info depth 2"),
      0);
  EXPECT_EQ(bestMove(search(s, "position startpos moves e2e4", "go depth 2")), "bestmove e7e5");
  // A book move found while pondering waits for the ponder hit like a search result.
  s.send("position startpos moves e2e4 e7e5");
  s.send("go ponder wtime 60000 btime 60000");
  EXPECT_EQ(countLines(s.sync(), "bestmove"), 0);
  s.send("ponderhit");
  EXPECT_EQ(bestMove(s.until("bestmove")), "bestmove g1f3");
  s.send("ucinewgame");
  s.send("setoption name OwnBook value false");
  EXPECT_GT(countLines(search(s, "position startpos", "go depth 2"), "info depth 2"), 0);
  EXPECT_EQ(s.quit(), 0);
}

TEST(UciTranscript, QuitEndsTheProcessDuringASearch) {
  UciSession s;
  s.startUci();
  s.send("position startpos");
  s.send("go infinite");
  s.until("info depth 3");
  s.send("quit");
  const std::string rest = s.process().readAll(10000);
  EXPECT_TRUE(s.process().matched()) << "output did not end";
  EXPECT_EQ(s.process().wait(10000), 0);
  for (const std::string& line : linesOf(rest))
    EXPECT_TRUE(line.rfind("info ", 0) == 0 || line.rfind("bestmove ", 0) == 0) << line;
  EXPECT_TRUE(rest.empty() || rest.back() == '\n') << "a line was cut: " << rest;
}

#ifdef MELVOK_EGBB_GAVIOTA_DIR

// A copy of the library without a folder list beside it reads Debian's tables; with a list that
// names an empty folder it finds none, says so, and the engine plays on with its evaluation.
TEST(GaviotaStartUp, TheSettingsFileLoadsTheLibraryAndTheSearchUsesIt) {
  for (const bool tables : {true, false}) {
    TempDir library;
    std::filesystem::copy_file(MELVOK_EGBB_GAVIOTA_DIR "/egbbdll.so", library.file("egbbdll.so"));
    if (!tables) {
      library.write("gaviota.txt", "empty\n");
      std::filesystem::create_directory(library.file("empty"));
    }
    UciSession s("egbb.dir = " + library.path() + "\nsearch.nthreads = 1\n");
    const std::string startUp = s.startUci();
    EXPECT_TRUE(contains(
        startUp, tables ? "EGBB: loaded, maxmen=3, ram=4\n"
                        : "EGBB: no Gaviota tables found in " + library.file("empty") + "\n"))
        << startUp;
    // A king and pawn ending Black wins: a table loss, or the evaluation's few pawns.
    s.send("position fen 8/8/8/8/8/3k4/4p3/4K3 w - - 0 1");
    s.send("go depth 3");
    const std::string text = s.until("bestmove");
    std::smatch score;
    ASSERT_TRUE(std::regex_search(text, score, std::regex("score cp (-?[0-9]+)"))) << text;
    EXPECT_TRUE(tables ? std::stoi(score[1]) < -3000 : std::stoi(score[1]) > -1000) << text;
    EXPECT_EQ(s.quit(), 0);
  }
}

#endif

}  // namespace
