// UCI transcripts against the built engine: the uci answer, positions, searches bounded by
// depth, pondering, stop, mate scores, promotions, castling notations and the log files.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "e2e/uci_session.h"

namespace {

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The last board printed (the console prints it on an empty line) as a FEN without the move
// counters: placement, side to move, castling rights and en-passant square.
std::string lastFen(const std::string& text) {
  std::regex fen("([1-8pnbrqkPNBRQK]+/){7}[1-8pnbrqkPNBRQK]+ [wb] [-KQkqA-Ha-h]+ [-a-h1-8]+");
  std::string last;
  for (std::sregex_iterator it(text.begin(), text.end(), fen), end; it != end; ++it)
    last = it->str();
  return last;
}

std::string bestMoveOf(const std::string& text) {
  std::vector<std::string> lines = linesStartingWith(text, "bestmove ");
  return lines.empty() ? "<none>" : lines.back();
}

// The last info line with a score.
std::string lastScoreLine(const std::string& text) {
  std::string last = "<no score line>";
  for (const std::string& line : linesStartingWith(text, "info depth "))
    if (contains(line, " score ")) last = line;
  return last;
}

// A search to a fixed depth from `position`; returns its output up to the best move.
std::string search(UciSession& s, const std::string& position,
                   const std::string& go = "go depth 5") {
  s.send(position);
  s.send(go);
  return s.until("bestmove");
}

TEST(UciTranscript, UciAnswersIdOptionsInOrderAndUciok) {
  UciSession s;
  std::string text = s.startUci();
  size_t at = text.find("id name ");
  ASSERT_NE(at, std::string::npos) << text;
  ASSERT_GT(at, 0u);
  EXPECT_EQ(text[at - 1], '\n') << "an empty line comes first";
  std::string answer = text.substr(at);
  std::regex threads("option name Threads         type spin default [1-8] min 1 max 8\n");
  EXPECT_TRUE(std::regex_search(answer, threads)) << answer;
  answer = std::regex_replace(answer, threads, "THREADS\n");
  EXPECT_EQ(
      answer,
      "id name melvok-0.1\n"
      "id author the melvok developers\n"
      "option name Hash            type spin default 64 min 1 max 4096\n"
      "option name Ponder          type check default false\n"
      "option name OwnBook         type check default true\n"
      "THREADS\n"
      "option name UCI_Opponent    type string\n"
      "option name UCI_EngineAbout type string default melvok by the melvok developers\n"
      "option name UCI_Chess960    type check default false\n"
      "option name CastleNotation  type combo default smart var smart var e1g1 var O-O var KxR\n"
      "option name Clear Hash      type button\n"
      "uciok\n");
  // From now on no prompt, and empty lines are swallowed (no board).
  s.send("");
  std::string quiet = s.sync();
  EXPECT_FALSE(contains(quiet, "% ")) << quiet;
  EXPECT_FALSE(contains(quiet, "+---+")) << quiet;
  // A second uci answers again.
  EXPECT_TRUE(contains(s.startUci(), "id name melvok-0.1\n"));
  EXPECT_EQ(s.quit(), 0);

  // The Hash default is the size the table has: what the settings file made it.
  UciSession sized("tt.cachemb = 16\n");
  EXPECT_TRUE(contains(sized.startUci(),
                       "option name Hash            type spin default 16 min 1 max 4096\n"));
  EXPECT_EQ(sized.quit(), 0);
}

TEST(UciTranscript, IsreadyAndUnknownWordsBeforeAndAfterUci) {
  UciSession s("uci.trace = 1\n");
  std::string before = s.sync();
  EXPECT_TRUE(contains(before, "% ")) << "the console prompt stands before uci";
  s.send("xyz");
  std::string unknown = s.sync();
  EXPECT_TRUE(contains(unknown, "no such command: xyz\n")) << unknown;
  EXPECT_FALSE(contains(unknown, "unknown uci command")) << unknown;

  s.startUci();
  s.send("xyz");
  std::string after = s.sync();
  EXPECT_TRUE(
      std::regex_search(after, std::regex("trace \\d{10}\\[_idle_\\]: unknown uci command: xyz\n")))
      << after;
  EXPECT_TRUE(contains(after, "no such command: xyz\n")) << "the console still gets the line:\n"
                                                         << after;
  s.send("isready");
  EXPECT_EQ(countLines(s.until("readyok"), "readyok"), 1);
  EXPECT_EQ(s.quit(), 0);
}

TEST(UciTranscript, PositionStartposFenMovesAndBadInput) {
  // Before "uci" the console prints the board for an empty line, which shows the position.
  UciSession s;
  auto positionAfter = [&](const std::string& line) {
    s.send(line);
    s.send("");
    return lastFen(s.sync());
  };
  EXPECT_EQ(positionAfter("position startpos moves e2e4 e7e5"),
            "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq -");
  EXPECT_EQ(positionAfter("position fen 4k3/8/8/8/8/8/4P3/4K3 w - - 0 1 moves e2e4 e8d7"),
            "8/3k4/8/8/4P3/8/8/4K3 w - -");
  EXPECT_EQ(positionAfter("position fen 4k3/8/8/8/8/8/4P3/4K3 b - -"),
            "4k3/8/8/8/8/8/4P3/4K3 b - -");
  // Continuation markers are skipped; a word that is no move drops the rest of the list.
  EXPECT_EQ(positionAfter("position startpos moves e2e4 ... e7e5"),
            "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq -");
  s.send("position startpos moves e2e4 e7e5 e1e3 g1f3");
  s.send("");
  std::string illegal = s.sync();
  EXPECT_TRUE(contains(s.errors(), "WARNING invalid move from GUI: e1e3\n")) << s.errors();
  EXPECT_EQ(lastFen(illegal), "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq -");
  // Promotions from the interface, in either case, and under-promotion.
  EXPECT_EQ(positionAfter("position fen 8/P7/8/8/8/8/8/k6K w - - 0 1 moves a7a8n"),
            "N7/8/8/8/8/8/8/k6K b - -");
  EXPECT_EQ(positionAfter("position fen 8/P7/8/8/8/8/8/k6K w - - 0 1 moves a7a8Q"),
            "Q7/8/8/8/8/8/8/k6K b - -");
  // A position word that is neither startpos nor fen changes nothing.
  EXPECT_EQ(positionAfter("position nonsense moves e2e4"), "Q7/8/8/8/8/8/8/k6K b - -");

  // A FEN the board refuses keeps the last good position and the next go answers no move.
  s.startUci();
  s.send("position fen 8/8/8/8 w - -");
  s.send("go depth 3");
  EXPECT_EQ(bestMoveOf(s.until("bestmove")), "bestmove 0000");
  EXPECT_TRUE(contains(s.errors(), "uci::position(): illegal fen: 8/8/8/8 w - -")) << s.errors();
  // And a good position afterwards searches again.
  EXPECT_NE(bestMoveOf(search(s, "position startpos", "go depth 2")), "bestmove 0000");
  EXPECT_EQ(s.quit(), 0);
}

TEST(UciTranscript, CastlingFromTheInterfaceInEveryNotation) {
  UciSession s;
  const std::string opening = "position startpos moves e2e4 e7e5 g1f3 b8c6 f1c4 g8f6 ";
  const std::string castled = "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQ1RK1 b kq -";
  for (const char* move : {"e1g1", "e1h1", "O-O"}) {
    s.send(opening + move);
    s.send("");
    EXPECT_EQ(lastFen(s.sync()), castled) << move;
  }
  // Chess960: the king on b1 castles with the rook on a1; king takes rook says it plainly.
  s.send("position fen 2rkr3/2p1p3/8/8/8/8/8/RK6 w A - 0 1 moves b1a1");
  s.send("");
  EXPECT_EQ(lastFen(s.sync()), "2rkr3/2p1p3/8/8/8/8/8/2KR4 b - -");
  EXPECT_EQ(s.quit(), 0);
}

TEST(UciTranscript, GoDepthFiveSearchesExactlyFiveIterations) {
  UciSession s;
  s.startUci();
  std::string text = search(s, "position startpos moves e2e4 e7e5", "go depth 5");
  EXPECT_TRUE(std::regex_search(
      text, std::regex("\ninfo depth 5 seldepth \\d+ score cp -?\\d+ time \\d+ nodes \\d+( nps "
                       "\\d+)? pv ([a-h][1-8][a-h][1-8][QRBN]? )+\n")))
      << text;
  EXPECT_FALSE(contains(text, "info depth 6")) << text;
  EXPECT_TRUE(std::regex_search(
      bestMoveOf(text),
      std::regex("^bestmove [a-h][1-8][a-h][1-8]( ponder [a-h][1-8][a-h][1-8])?$")))
      << text;
  EXPECT_TRUE(std::regex_search(
      text, std::regex("\ninfo currmove [a-h][1-8][a-h][1-8] currmovenumber 1 time \\d+ nodes "
                       "\\d+( nps \\d+)? hashfull \\d+\n")))
      << text;
  // The search answered once; a stop after its end owes nothing.
  s.send("stop");
  EXPECT_EQ(countLines(s.sync(), "bestmove"), 0);
  EXPECT_EQ(s.quit(), 0);
}

TEST(UciTranscript, GoAloneRunsUntilStop) {
  UciSession s;
  s.startUci();
  s.send("position startpos");
  s.send("go");
  s.until("info depth 2");
  s.send("stop");
  std::string text = s.until("bestmove");
  std::string rest = s.sync();
  EXPECT_EQ(countLines(text + rest, "bestmove"), 1) << text << rest;
  EXPECT_TRUE(contains(s.errors(), "go(): no time/depth/node limit\n")) << s.errors();
  // go infinite is no error.
  s.send("position startpos");
  s.send("go infinite");
  s.until("info depth 2");
  s.send("stop");
  s.until("bestmove");
  EXPECT_EQ(countLines(s.errors(), "go(): no time/depth/node limit"), 1) << s.errors();
  // A go while an infinite search runs (no stop came): that search answers, then the new one.
  s.send("position startpos");
  s.send("go infinite");
  s.until("info depth 2");
  s.send("go depth 2");
  std::string both = s.until("bestmove");
  both += s.until("bestmove");
  EXPECT_EQ(countLines(both + s.sync(), "bestmove"), 2);
  EXPECT_TRUE(contains(s.errors(), "uci::go(): search still running, stopping it first\n"))
      << s.errors();
  EXPECT_EQ(s.quit(), 0);
}

TEST(UciTranscript, PonderResultIsHeldUntilPonderhitOrStop) {
  UciSession s("uci.trace = 1\n");
  s.startUci();
  // The search ends by its depth limit while pondering: nothing is sent until ponderhit.
  s.send("position startpos moves e2e4 e7e5");
  s.send("go ponder depth 3");
  std::string pondered = s.untilContains("finished() ok");
  EXPECT_EQ(countLines(pondered, "bestmove"), 0) << pondered;
  EXPECT_TRUE(contains(pondered, "[held]: finished() ok")) << pondered;
  EXPECT_EQ(countLines(s.sync(), "bestmove"), 0);
  s.send("ponderhit");
  std::string answered = s.until("bestmove");
  EXPECT_TRUE(std::regex_search(answered, std::regex("\ninfo depth 3 seldepth \\d+ score")))
      << answered;
  EXPECT_TRUE(std::regex_search(bestMoveOf(answered),
                                std::regex("^bestmove [a-h1-8]{4} ponder [a-h1-8]{4}$")))
      << answered;
  s.send("ponderhit");
  s.send("stop");
  EXPECT_EQ(countLines(s.sync(), "bestmove"), 0) << "a search is answered once";

  // The same ended by stop: the best move without a ponder move.
  s.send("position startpos moves e2e4 e7e5");
  s.send("go ponder depth 3");
  s.untilContains("finished() ok");
  s.send("stop");
  std::string stopped = s.until("bestmove");
  EXPECT_TRUE(std::regex_search(bestMoveOf(stopped), std::regex("^bestmove [a-h1-8]{4}$")))
      << stopped;
  EXPECT_EQ(countLines(s.sync(), "bestmove"), 0);

  // A ponder hit while the search still runs: it goes on (no clock given) until stop.
  s.send("position startpos moves e2e4 e7e5");
  s.send("go ponder");
  s.until("info depth 2");
  s.send("ponderhit");
  s.send("isready");
  std::string running = s.until("readyok");
  EXPECT_EQ(countLines(running, "bestmove"), 0) << running;
  s.send("stop");
  s.until("bestmove");
  EXPECT_EQ(countLines(s.sync(), "bestmove"), 0);

  // A clock and a depth limit after the ponder hit: the search ends by itself, once.
  s.send("position startpos moves e2e4 e7e5");
  s.send("go ponder wtime 600000 btime 600000 winc 1000 binc 1000 depth 4");
  s.until("info depth 1");
  s.send("ponderhit");
  std::string timed = s.until("bestmove");
  EXPECT_EQ(countLines(timed + s.sync(), "bestmove"), 1);
  EXPECT_EQ(s.quit(), 0);
}

// A best move nobody asked for would be read as the answer to the interface's next go.
TEST(UciTranscript, StopOrPonderhitWithoutASearchAnswerNothing) {
  UciSession s;
  s.startUci();
  s.send("position startpos");
  s.send("stop");
  s.send("ponderhit");
  EXPECT_EQ(countLines(s.sync(), "bestmove"), 0);
  // After a go that a refused position answered at once, and after a finished search.
  s.send("position fen 8/8/8/8 w - -");
  s.send("go depth 2");
  EXPECT_EQ(bestMoveOf(s.until("bestmove")), "bestmove 0000");
  search(s, "position startpos", "go depth 2");
  for (const char* line : {"ponderhit", "stop", "ponderhit", "stop"}) s.send(line);
  EXPECT_EQ(countLines(s.sync(), "bestmove"), 0);
  std::string errors = s.errors();
  EXPECT_TRUE(contains(errors, "uci:: stop without preceeding go?\n")) << errors;
  EXPECT_TRUE(contains(errors, "uci:: ponderhit without preceeding go(), ignored\n")) << errors;
  // The position still counts as set: the next go searches it without complaint.
  s.send("position startpos");
  s.send("stop");
  s.send("go depth 1");
  EXPECT_NE(bestMoveOf(s.until("bestmove")), "bestmove 0000");
  EXPECT_FALSE(contains(s.errors(), "Expected current status")) << s.errors();
  EXPECT_EQ(s.quit(), 0);
}

TEST(UciTranscript, MateScoresAndPromotionLetters) {
  UciSession s;
  s.startUci();
  std::string mateIn1 = search(s, "position fen 6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - -", "go depth 4");
  EXPECT_TRUE(contains(mateIn1, " score mate 1 ")) << mateIn1;
  EXPECT_EQ(bestMoveOf(mateIn1), "bestmove d1d8");
  std::string mateIn2 = search(s, "position fen k7/8/2K5/8/8/8/8/6R1 w - -", "go depth 6");
  EXPECT_TRUE(contains(lastScoreLine(mateIn2), " score mate 2 ")) << mateIn2;
  std::string mated = search(s, "position fen k7/8/1K6/8/8/8/8/7R b - -", "go depth 6");
  EXPECT_TRUE(contains(lastScoreLine(mated), " score mate -1 ")) << mated;
  // Mated in one: the search names no expected reply.
  EXPECT_EQ(bestMoveOf(mated), "bestmove a8b8");

  std::string promotion = search(s, "position fen 8/P7/8/8/8/8/8/k6K w - -", "go depth 3");
  EXPECT_TRUE(std::regex_search(bestMoveOf(promotion), std::regex("^bestmove a7a8q( |$)")))
      << promotion;
  EXPECT_TRUE(contains(promotion, " pv a7a8q ")) << promotion;
  // Checkmated or stalemated at the root: no move.
  std::string none =
      search(s, "position fen 6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1 moves d1d8", "go depth 3");
  EXPECT_EQ(bestMoveOf(none), "bestmove 0000");
  EXPECT_EQ(s.quit(), 0);
}

// Mates in one that only castling gives, in standard chess and in Chess960.
TEST(UciTranscript, CastlingInEachNotation) {
  UciSession s;
  s.startUci();
  const std::string standard = "position fen 8/8/8/7B/2p1p3/2pkp3/8/R3K3 w Q -";
  const std::string chess960 = "position fen 2rkr3/2p1p3/8/8/8/8/8/RK6 w A -";
  struct Case {
    const char* notation;
    const char* standardMove;
    const char* chess960Move;
  };
  for (const Case& c : {Case{"smart", "e1c1", "b1a1"}, Case{"e1g1", "e1c1", "b1c1"},
                        Case{"O-O", "O-O-O", "O-O-O"}, Case{"KxR", "e1a1", "b1a1"}}) {
    s.send(std::string("setoption name CastleNotation value ") + c.notation);
    EXPECT_EQ(bestMoveOf(search(s, standard, "go depth 3")),
              std::string("bestmove ") + c.standardMove)
        << c.notation;
    EXPECT_EQ(bestMoveOf(search(s, chess960, "go depth 3")),
              std::string("bestmove ") + c.chess960Move)
        << c.notation;
  }
  // An interface playing Chess960 gets king-takes-rook from the smart notation.
  s.send("setoption name CastleNotation value smart");
  s.send("setoption name UCI_Chess960 value true");
  EXPECT_EQ(bestMoveOf(search(s, standard, "go depth 3")), "bestmove e1a1");
  // An unknown notation leaves the last one.
  s.send("setoption name UCI_Chess960 value false");
  s.send("setoption name CastleNotation value castle!");
  EXPECT_EQ(bestMoveOf(search(s, standard, "go depth 3")), "bestmove e1c1");
  EXPECT_EQ(s.quit(), 0);
}

// A small book built by the engine itself from three drawn games 1.e4 e5 2.Nf3 Nc6 3.Bb5 a6.
TEST(UciTranscript, BookMovesBeforeSearching) {
  const std::string settings =
      "book.build.minelo = 0\nbook.build.maxelodelta = 0\nbook.build.minply = 1\nbook.build.maxply "
      "= 10\n"
      "book.build.mingames = 1\nbook.build.minquality = 0\nbook.build.minscorew = "
      "0\nbook.build.minscoreb = 0\n"
      "book.build.keeppct = 100\nbook.build.file = small.mvk\nbook.play.mingames = "
      "1\nbook.play.minelo = 0\n"
      "book.play.minscorew = 0\nbook.play.minscoreb = 0\nbook.play.random = 0\n";
  UciSession s(settings);
  std::string games;
  for (int i = 0; i < 3; i++)
    games +=
        "[Event \"t\"]\n[WhiteElo \"2700\"]\n[BlackElo \"2700\"]\n[Result \"1/2-1/2\"]\n\n1. e4 e5 "
        "2. Nf3 Nc6 3. Bb5 a6 1/2-1/2\n\n";
  s.dir().write("games.pgn", games);
  s.send("buildbook games.pgn melvok.ini");
  ASSERT_TRUE(contains(s.sync(), "book found: small.mvk")) << "the book could not be built";
  s.startUci();

  // In book: the answer comes at once, without a search.
  std::string first = search(s, "position startpos", "go wtime 60000 btime 60000");
  EXPECT_EQ(bestMoveOf(first), "bestmove e2e4");
  EXPECT_EQ(countLines(first, "info"), 0) << first;
  EXPECT_EQ(bestMoveOf(search(s, "position startpos moves e2e4", "go wtime 60000 btime 60000")),
            "bestmove e7e5");
  // Out of book the engine searches.
  std::string out =
      search(s, "position startpos moves e2e4 e7e5 g1f3 b8c6 f1b5 a7a6", "go depth 2");
  EXPECT_GT(countLines(out, "info depth 2 seldepth"), 0) << out;
  // A move list that no longer passes the position where the book was left is a new game.
  EXPECT_EQ(bestMoveOf(search(s, "position startpos moves e2e4", "go depth 2")), "bestmove e7e5");
  // A book move found while pondering waits for the ponder hit like a search result.
  s.send("position startpos moves e2e4 e7e5");
  s.send("go ponder wtime 60000 btime 60000");
  EXPECT_EQ(countLines(s.sync(), "bestmove"), 0);
  s.send("ponderhit");
  EXPECT_EQ(bestMoveOf(s.until("bestmove")), "bestmove g1f3");
  // Without OwnBook the engine searches from the first move.
  s.send("ucinewgame");
  s.send("setoption name OwnBook value false");
  std::string searched = search(s, "position startpos", "go depth 2");
  EXPECT_GT(countLines(searched, "info depth 2 seldepth"), 0) << searched;
  EXPECT_EQ(s.quit(), 0);
}

TEST(UciTranscript, EmptyLogDirSwitchesLoggingOff) {
  UciSession s;
  std::string text = s.startUci();
  EXPECT_FALSE(contains(text, "redirecting output")) << text;
  std::string searched = search(s, "position startpos", "go depth 3");
  s.send("setoption name Hash value 8");
  std::string quiet = searched + s.sync();
  // Protocol lines only: no log lines (time stamps, boards, search lines) on the output.
  for (const std::string& line : linesStartingWith(quiet, ""))
    EXPECT_TRUE(line.rfind("info ", 0) == 0 || line.rfind("bestmove ", 0) == 0) << line;
  EXPECT_FALSE(std::filesystem::exists(s.dir().file("logs")));
  EXPECT_EQ(s.quit(), 0);
}

TEST(UciTranscript, LogDirGetsNumberedLogFiles) {
  TempDir shared;
  const std::string settings = "uci.logdir = " + shared.file("logs/uci") + "\n";
  for (int run = 0; run < 2; run++) {
    UciSession s(settings);
    std::string text = s.startUci();
    const std::string name = shared.file("logs/uci/melvok-000" + std::to_string(run) + ".log");
    EXPECT_TRUE(contains(text, "redirecting output to " + s.dir().path() + ", file=" + name + "\n"))
        << text;
    search(s, "position startpos moves e2e4", "go depth 2");
    // Black to move: the black clock and increment are the ones allotted.
    search(s, "position startpos moves e2e4",
           "go wtime 100000 btime 50000 winc 1000 binc 2000 depth 2");
    search(s, "position startpos", "go movetime 300 depth 1");
    s.send("setoption name UCI_Opponent value GM 2800 human Garry Kasparov");
    s.send("setoption name Bogus value 1");
    s.sync();
    EXPECT_EQ(s.quit(), 0);
    std::string log = readWholeFile(name);
    EXPECT_TRUE(std::regex_search(log, std::regex("\\d{10}:<--uciok\n"))) << log;
    EXPECT_TRUE(std::regex_search(log, std::regex("\\d{10}:positionstartpos moves e2e4\n"))) << log;
    EXPECT_TRUE(contains(log, "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq"))
        << "the board after position";
    EXPECT_TRUE(std::regex_search(log, std::regex("\\d{10}:<--bestmove [a-h]"))) << log;
    EXPECT_TRUE(contains(log, "Opponent=GM Garry, human, elo=2800\n")) << log;
    EXPECT_TRUE(contains(log, "got wb moves/millis=0/50000\n")) << log;
    EXPECT_TRUE(contains(log, "got hard moves/millis=1/300\n")) << log;
    EXPECT_TRUE(contains(log, "exit()!\n")) << log;
    // Errors go to the error log beside the session logs, which each session appends to.
    const std::string errors = readWholeFile(shared.file("logs/uci/melvok-0.1-error.log"));
    EXPECT_EQ(countLines(errors, "Option not supported: Bogus"), run + 1) << errors;
    EXPECT_EQ(s.errors(), "");
  }
}

// The nominal time of the first search out of book from a clock of `clockMs`, with the
// settings `gap` (read from the session's log).
double nominalSeconds(const std::string& gap, int clockMs) {
  UciSession s("uci.logdir = logs\n" + gap);
  s.startUci();
  const std::string clock = std::to_string(clockMs);
  search(s, "position startpos", "go wtime " + clock + " btime " + clock + " depth 1");
  EXPECT_EQ(s.quit(), 0);
  const std::string log = readWholeFile(s.dir().file("logs/melvok-0000.log"));
  std::smatch nominal;
  EXPECT_TRUE(std::regex_search(log, nominal, std::regex("Nominal search time is ([0-9.]+) ")))
      << log;
  return nominal.empty() ? 0 : std::stod(nominal[1]);
}

// The time gap comes off the clock, but a fixed gap of seconds never eats a fast game: at
// ten seconds it is capped to a small share, whatever it is set to.
TEST(UciTranscript, TimeGapComesOffTheClockButNeverTakesMuchOfIt) {
  const double longGap = nominalSeconds("uci.timegap = 3\n", 100000);
  const double shortGap = nominalSeconds("uci.timegap = 1\n", 100000);
  EXPECT_LT(longGap, shortGap);
  EXPECT_EQ(nominalSeconds("", 100000), longGap) << "three seconds by default";
  EXPECT_EQ(nominalSeconds("uci.timegap = 3\n", 10000), nominalSeconds("uci.timegap = 1\n", 10000));
}

TEST(UciTranscript, QuitEndsTheProcessWhileSearching) {
  UciSession s;
  s.startUci();
  s.send("position startpos");
  s.send("go infinite");
  s.until("info depth 3");
  s.send("quit");
  std::string rest = s.process().readAll(10000);
  EXPECT_TRUE(s.process().matched()) << "output did not end";
  EXPECT_EQ(s.process().wait(10000), 0);
  EXPECT_FALSE(s.process().timedOut());
  for (const std::string& line : linesStartingWith(rest, ""))
    EXPECT_TRUE(line.rfind("info ", 0) == 0 || line.rfind("bestmove ", 0) == 0) << line;
  EXPECT_TRUE(rest.empty() || rest.back() == '\n') << "a line was cut: " << rest;
}

}  // namespace
