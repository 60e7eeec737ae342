// The console against the built engine: its commands and their answers, careless and random
// input, and the bench signature. (A game longer than the history: the robustness test's endless
// move list, through the same game-move function.)
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <regex>

#include "board/movegen.h"
#include "e2e/uci_session.h"
#include "support/positions.h"
#include "support/text.h"

namespace {

const std::string OneThread = "search.nthreads = 1\n";

TEST(Console, CommandsAndTheirAnswers) {
  const std::string afterE4 = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 0";
  const std::string afterNf3 = "rnbqkbnr/pppp1ppp/8/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq - 1 3";
  const struct {
    std::string line;
    std::vector<std::string> parts;  // in the answer; one empty part: the answer is empty
  } cases[] = {
      {"perft", {"perft 2\n", "          20 ops in ", "         400 ops in "}},
      {"multipv 2", {}},
      {"g moves a2a3 zz h2h3", {"invalid move: zz\n", " (1) ", " (2) "}},  // two lines a depth
      {"set cleartt yes", {""}},        // by the first character of the value
      {"set move overhead 250", {""}},  // a name of two words, case as the user types it
      {"set",
       {"async  =0\nbook   =1\ncleartt=0\nHash=64\nThreads=1\nMultiPV=2\n", "Move Overhead=250\n"}},
      {"8/8/8", {"invalid move: /8/8\nno such command: 8/8/8\n"}},
      {"e4 e5", {"rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 2"}},
      {"e4 Qh4", {"invalid move: e4\nno such command: e4\n"}},  // e4 is played, Qh4 not
      {"reset", {}},
      {"1.e4 e5 2.Nf3", {afterNf3, "   1. e2e4   e7e5  ", "   2. g1f3   ..."}},
      {"fen nonsense", {"setfen failed\n", afterNf3}},  // a refused FEN leaves the position
      {"0-0", {"no such command: 0-0\n"}},              // no digit 1 to 8: not tried as a move
      {"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1", {afterE4}},
      {"4k3/8/8/8/8/8/8/4K3/8 w - -", {"setfen failed\n", afterE4}},
      {"fen 4k3/8/8/8/8/8/8/4Kr2 w - - 0 1", {}},
      {"m", {"#moves = 3\ne1xf1 e1e2 e1d2 \n"}},
      {"divide", {"e1xf1             1\n", "-------------------\ntotal             3\n"}},
      // A time limit leaves the lines alone and takes fractions of a second.
      {"multipv 3", {""}},
      {"mt 2", {"millis=2000\n"}},
      {"multipv", {"multipv=3\n"}},
      {"mt 0.5", {"millis=500\n"}},
      // A clock: 10 s for 40 moves and a quarter second a move (no reserve at the console).
      {"mt 10 40 0.25", {"millis=566\n"}},
  };
  std::vector<std::string> lines;
  for (const auto& c : cases) lines.push_back(c.line);
  lines.push_back("q");
  const std::vector<std::string> answers = consoleAnswers(runEngine(lines, OneThread).output);
  ASSERT_GE(answers.size(), std::size(cases));
  for (size_t i = 0; i < std::size(cases); i++)
    for (const std::string& part : cases[i].parts)
      EXPECT_TRUE(part.empty() ? answers[i].empty() : contains(answers[i], part))
          << "'" << cases[i].line << "' answered:\n"
          << answers[i];
}

// Careless and random input: the console answers, keeps a sound position (its legal moves are
// those of the board it shows) and exits 0 on q, writing nothing into its directory.
TEST(Console, CarelessAndRandomInputLeaveASoundPosition) {
  std::vector<std::string> lines = {"md -5",
                                    "mt -3",
                                    "mt 99999999999 99999999999 1",
                                    "mt x",
                                    "set threads -4",
                                    "set threads 99999",
                                    "set threads 1",
                                    "divide -1",
                                    "perft -1",
                                    "bench -1",
                                    "fen 8/8/8/8 w - -",
                                    "fen",
                                    "fen " + std::string(300000, 'k'),
                                    std::string(300000, '1'),
                                    "e4 e5 " + std::string(300000, 'e'),
                                    std::string("moves\0 more", 11),
                                    "loadbook /nonexistent/book.mvk",
                                    "go depth 0",
                                    "md 2",
                                    "g",
                                    "perft 1"};
  std::mt19937 rng(5);
  const std::string alphabet = "abcdefgh12345678KQRBNPkqrbnp/-=+x#O0 \t.?%";
  for (int i = 0; i < 400; i++) {
    std::string line = "e";  // board set-up and move entry only: no quitting, searching or files
    for (int n = int(rng() % 30); n > 0; n--) {
      const int byte = 1 + int(rng() % 254);  // any byte but NUL and newline
      line += i % 3 ? alphabet[rng() % alphabet.size()] : char(byte < '\n' ? byte : byte + 1);
    }
    lines.push_back(line);
    if (i % 40 == 39) lines.insert(lines.end(), {"", "m"});
  }
  lines.push_back("q");
  UciSession console(OneThread);
  for (const std::string& line : lines) console.send(line);
  const std::string output = console.process().readAll(120000);
  EXPECT_EQ(console.process().wait(10000), 0);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(console.dir().path()), {}), 1)
      << "a file beside the settings";
  EXPECT_TRUE(contains(output, "          29 ops in ")) << "perft 1 after 1.e4 e5";
  EXPECT_TRUE(contains(output, "bestmove "));
  // From the random lines on, each move count printed is that of the board shown last before it.
  const std::regex fen(
      "([1-8pnbrqkPNBRQK]+/){7}[1-8pnbrqkPNBRQK]+ [wb] [-KQkq]+ [-a-h1-8]+ \\d+ \\d+");
  std::string last;
  int checked = 0;
  const size_t randomLines = output.find("          29 ops in ");
  for (const std::string& line : linesOf(output.substr(std::min(randomLines, output.size())))) {
    std::smatch shown;
    if (line.size() < 200 && std::regex_search(line, shown, fen)) last = shown.str();
    const size_t at = line.find("#moves = ");
    if (at == std::string::npos) continue;
    Move moves[MaxMoves];
    EXPECT_EQ(line.substr(at + 9), std::to_string(generateLegalMoves(*positionFrom(last), moves)))
        << last;
    checked++;
  }
  EXPECT_EQ(checked, 10);
}

uint64_t benchNodes(const std::string& output) {
  const size_t at = output.rfind("Nodes searched: ");
  return at == std::string::npos ? 0 : std::stoull(output.substr(at + 16));
}

// The bench's node count is the engine's signature: the same in every run, from the command line
// and from the console, whatever the console searched before with other threads, lines and table.
TEST(Console, BenchGivesTheSameNodeCountInEveryRun) {
  const EngineRun first = runEngine({}, "", {"bench", "4"});
  EXPECT_EQ(first.status, 0);
  const uint64_t nodes = benchNodes(first.output);
  EXPECT_GT(nodes, 0u) << first.output;
  EXPECT_EQ(benchNodes(runEngine({}, "", {"bench", "4"}).output), nodes);
  const std::vector<std::string> answers = consoleAnswers(
      runEngine({"set threads 2", "md 5", "multipv 2", "g", "bench 4", "bench x", "m", "set", "q"},
                "tt.cachemb = 8\n")
          .output);
  ASSERT_GE(answers.size(), 8u);
  EXPECT_EQ(benchNodes(answers[4]), nodes) << answers[4];
  EXPECT_EQ(answers[5], "illegal arg: x\n");
  EXPECT_TRUE(contains(answers[6], "#moves = 20\n"))
      << "the console's position stays: " << answers[6];
  EXPECT_TRUE(contains(answers[7], "Threads=2\n")) << "and so do its threads: " << answers[7];
}

// Searches on the search thread (set async 1): each g waits for the search before it, whose
// table it clears, and set threads waits as well, so every search runs to its end on the
// threads it began with. (The thread-sanitizer stage runs this one too.)
TEST(Console, AsyncSearchesWaitForEachOther) {
  const EngineRun run = runEngine(
      {"set async 1", "md 6", "g", "g", "set threads 2", "g", "set threads 1", "q"}, OneThread);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(countOf(run.output, "\nmaster :"), 3) << run.output;
  EXPECT_EQ(countOf(run.output, "\nslave1 :"), 1) << run.output;
}

}  // namespace
