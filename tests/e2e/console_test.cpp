// Console transcripts against the built engine: start-up, the commands and their messages.
#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <thread>

#include "e2e/engine_run.h"
#include "support/temp_dir.h"

namespace {

// The engine echoes nothing; the answers follow the prompt of the line that caused them, so
// each command's answer is found by running the commands one per prompt.
std::string run(const std::vector<std::string>& lines, const std::string& settings = "") {
  TempDir dir;
  if (!settings.empty()) dir.write("melvok.ini", settings);
  return runEngine(lines, {}, dir.path()).output;
}

// Splits the output at the prompts: element i is what command i printed. A prompt stands at
// the start of a line, or right after the prompt of a command that printed nothing.
std::vector<std::string> answers(const std::string& output) {
  std::vector<std::string> parts;
  size_t at = output.find("\n% ");
  if (at == std::string::npos) return parts;
  size_t start = at + 3;
  for (size_t i = start; i + 1 < output.size(); i++) {
    bool prompt = output.compare(i, 2, "% ") == 0 && (i == start || output[i - 1] == '\n');
    if (!prompt) continue;
    parts.push_back(output.substr(start, i - start));
    start = i + 2;
    i = start - 1;
  }
  parts.push_back(output.substr(start));
  return parts;
}

const std::string OneThread = "search.nthreads = 1\n";

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(ConsoleStartUp, BannerSettingsAndUsage) {
  TempDir dir;
  EngineRun usage = runEngine({}, {"a.ini", "b.ini"}, dir.path());
  EXPECT_TRUE(contains(usage.output, "\nmelvok-")) << usage.output;
  EXPECT_TRUE(contains(usage.output, "Usage:  melvok [inifile]\n")) << usage.output;
  EXPECT_EQ(usage.status, 255);

  EngineRun plain = runEngine({"q"}, {}, dir.path());
  EXPECT_TRUE(contains(plain.output, "inifile=melvok.ini\ncould not load inifile: melvok.ini\n")) << plain.output;
  EXPECT_TRUE(contains(plain.output, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 0\n")) << plain.output;
  EXPECT_EQ(plain.status, 0);

  EngineRun named = runEngine({}, {"other.ini"}, dir.path());
  EXPECT_TRUE(contains(named.output, "inifile=other.ini\ncould not load inifile: other.ini\n")) << named.output;
  EXPECT_EQ(named.status, 0);  // end of input ends the loop

  int processors = std::max(1, int(std::thread::hardware_concurrency()));
  std::string threads = run({"q"}, "search.nthreads = 64\n");
  EXPECT_TRUE(contains(threads, "!--only " + std::to_string(processors) + " cpu's present, using " +
                                    std::to_string(processors) + " searchthreads\n"))
      << threads;
}

TEST(ConsoleCommands, BoardPerftMaxDepthSetAndUnknownWords) {
  auto parts = answers(run({"", "   ", "perft", "md", "md x", "set foo 1", "set", "hello", "perft x", "q"}, OneThread));
  ASSERT_GE(parts.size(), 10u);
  EXPECT_TRUE(contains(parts[0], " 8 |*r*|*n*|*b*|*q*|*k*|*b*|*n*|*r*|")) << parts[0];
  EXPECT_TRUE(contains(parts[1], " 1 |(R)|(N)|(B)|(Q)|(K)|(B)|(N)|(R)|")) << parts[1];
  EXPECT_TRUE(contains(parts[2], "perft 2\n")) << parts[2];
  EXPECT_TRUE(contains(parts[2], "          20 ops in ")) << parts[2];
  EXPECT_TRUE(contains(parts[2], "         400 ops in ")) << parts[2];
  EXPECT_EQ(parts[3], "");
  EXPECT_EQ(parts[4], "illegal arg: x\n");
  EXPECT_EQ(parts[5], "set: unknown parameter: foo\n");
  EXPECT_EQ(parts[6], "async  =0\nbook   =1\ncleartt=1\nthreads=1\n");
  EXPECT_EQ(parts[7], "no such command: hello\n");
  EXPECT_EQ(parts[8], "illegal arg: x\n");
}

TEST(ConsoleCommands, OptionsAreSetByTheirFirstCharacter) {
  auto parts = answers(run({"set async 1", "set book 0", "set cleartt yes", "set", "q"}, OneThread));
  ASSERT_GE(parts.size(), 4u);
  EXPECT_EQ(parts[3], "async  =1\nbook   =0\ncleartt=0\nthreads=1\n");
}

TEST(ConsoleCommands, FenLinesAndMoveEntry) {
  auto parts = answers(run({"8/8/8", "e4 e5", "e4 Qh4", "reset", "1.e4 e5 2.Nf3", "fen nonsense",
                            "0-0", "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1",
                            "fen 4k3/8/8/8/8/8/8/4K3 x - -", "4k3/8/8/8/8/8/8/4K3/8 w - -", "q"}));
  ASSERT_GE(parts.size(), 10u);
  EXPECT_TRUE(contains(parts[0], "invalid move: /8/8\nno such command: 8/8/8\n")) << parts[0];
  EXPECT_TRUE(contains(parts[1], "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 2")) << parts[1];
  // e4 stays played; the failed word is named, then the line's first word.
  EXPECT_TRUE(contains(parts[2], "invalid move: e4\nno such command: e4\n")) << parts[2];
  EXPECT_TRUE(contains(parts[4], "r1bqkbnr") == false);
  EXPECT_TRUE(contains(parts[4], "rnbqkbnr/pppp1ppp/8/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq - 1 3")) << parts[4];
  EXPECT_TRUE(contains(parts[4], "   1. e2e4   e7e5  ")) << parts[4];
  EXPECT_TRUE(contains(parts[4], "   2. g1f3   ...")) << parts[4];
  // A refused FEN leaves the position as it was, never half read.
  const std::string afterNf3 = "rnbqkbnr/pppp1ppp/8/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq - 1 3";
  EXPECT_TRUE(contains(parts[5], "setfen failed\n")) << parts[5];
  EXPECT_TRUE(contains(parts[5], afterNf3)) << parts[5];
  // No digit 1 to 8 and no castling word: not even tried as a move.
  EXPECT_EQ(parts[6], "no such command: 0-0\n");
  const std::string afterE4 = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 0";
  EXPECT_TRUE(contains(parts[7], afterE4)) << parts[7];
  for (int i : {8, 9}) {
    EXPECT_TRUE(contains(parts[i], "setfen failed\n")) << parts[i];
    EXPECT_TRUE(contains(parts[i], afterE4)) << parts[i];
  }
}

TEST(ConsoleCommands, MovesDivideAndHelp) {
  auto parts = answers(run({"fen 4k3/8/8/8/8/8/8/4Kr2 w - - 0 1", "m", "divide", "divide 2", "help", "q"}));
  ASSERT_GE(parts.size(), 5u);
  EXPECT_EQ(parts[1], "#moves = 3\ne1xf1 e1e2 e1d2 \n");
  EXPECT_TRUE(contains(parts[2], "----divide---\n")) << parts[2];
  EXPECT_TRUE(contains(parts[2], "e1xf1             1\n")) << parts[2];
  EXPECT_TRUE(contains(parts[2], "-------------------\ntotal             3\n")) << parts[2];
  EXPECT_TRUE(contains(parts[3], "total            ")) << parts[3];
  const std::string rule(56, '-');
  const std::string help =
      "help\n" + rule +
      "\n[p]<sq>         move piece p to square sq\n"
      "g(o)            search\n"
      "reset           setup initial position\n"
      "fen <fen>       setup board according to <fen>\n"
      "m(ax)t(ime)     set max search time (seconds)\n"
      "m(ax)d(epth)    set max search depth\n"
      "m(oves)         show all legal moves\n"
      "\n"
      "book            show book contents\n"
      "buildbook ...   create opening book from PGN file, see readme\n"
      "mergebook ...   create opening book from PGN file, see readme\n"
      "divide [n]      count legal positions per move\n"
      "perft  [n]      count legal moves to depth [n]\n"
      "bench  [n]      search the bench positions to depth [n], count the nodes\n"
      "set             display/alter options\n"
      "\n"
      "uci             enter uci mode\n"
      "\n"
      "q(uit)          exit\n" +
      rule + "\n\n";
  EXPECT_EQ(parts[4], help);
}

TEST(ConsoleRobustness, RandomBytesNeverCrashOrHang) {
  std::mt19937 rng(5);
  std::vector<std::string> lines;
  const std::string alphabet = "abcdefgh12345678KQRBNPkqrbnp/-=+x#O0 \t.?%";
  for (int i = 0; i < 400; i++) {
    std::string line;
    for (int n = int(rng() % 30); n > 0; n--)
      line += i % 3 ? alphabet[rng() % alphabet.size()] : char(1 + rng() % 255);
    if (line.rfind("q", 0) == 0 || line.rfind("g", 0) == 0 || line.rfind("b", 0) == 0 || line.rfind("m", 0) == 0 ||
        line.rfind("l", 0) == 0 || line.rfind("p", 0) == 0 || line.rfind("u", 0) == 0 || line.rfind("x", 0) == 0 ||
        line.rfind("s", 0) == 0 || line.rfind("d", 0) == 0 || line.rfind("r", 0) == 0)
      line = "e" + line;  // keep to board set-up and move entry: no quitting, searching or files
    lines.push_back(line);
  }
  lines.push_back("perft 2");
  TempDir dir;
  EngineRun result = runEngine(lines, {}, dir.path());
  EXPECT_EQ(result.status, 0) << result.output.substr(result.output.size() > 2000 ? result.output.size() - 2000 : 0);
  EXPECT_TRUE(contains(result.output, "perft 2\n"));
}

}  // namespace

namespace {

TEST(ConsoleRobustness, AGameLongerThanTheHistoryIsRefusedCleanly) {
  // Knights out and back: four plies a line, far more plies than the history holds.
  std::vector<std::string> lines(300, "Nf3 Nf6 Ng1 Ng8");
  lines.push_back("m");
  lines.push_back("q");
  std::string output = run(lines);
  EXPECT_TRUE(contains(output, "game too long: no room for more moves\nmove not accepted: Nf3\n")) << output.substr(0, 500);
  auto parts = answers(output);
  ASSERT_GE(parts.size(), 301u);
  EXPECT_TRUE(contains(parts[300], "#moves = 20\n")) << parts[300];  // the position is still sound
}

}  // namespace

namespace {

uint64_t benchNodes(const std::string& output) {
  size_t at = output.rfind("Nodes searched: ");
  return at == std::string::npos ? 0 : std::stoull(output.substr(at + 16));
}

// The node count of the bench is the engine's signature: the same in every run, from the command
// line and from the console, whatever the console searched before with other threads and table.
TEST(Bench, SameNodeCountInEveryRun) {
  TempDir dir;
  EngineRun first = runEngine({}, {"bench", "4"}, dir.path());
  EngineRun second = runEngine({}, {"bench", "4"}, dir.path());
  EXPECT_EQ(first.status, 0);
  const uint64_t nodes = benchNodes(first.output);
  EXPECT_GT(nodes, 0u) << first.output;
  EXPECT_EQ(benchNodes(second.output), nodes) << second.output;
  EXPECT_TRUE(contains(first.output, "\nNodes/second: ")) << first.output;
  // One line per position, numbered "i/n", ahead of the totals.
  std::smatch last;
  ASSERT_TRUE(
      std::regex_search(first.output, last, std::regex(" ?(\\d+)/(\\d+)  depth  4 .*\nNodes")));
  EXPECT_EQ(last[1], last[2]);
  EXPECT_GE(std::stoi(last[2]), 30);

  auto parts = answers(run({"set threads 2", "md 5", "g", "bench 4", "bench x", "m", "set", "q"},
                           "tt.cachemb = 8\n"));
  ASSERT_GE(parts.size(), 7u);
  EXPECT_EQ(benchNodes(parts[3]), nodes) << parts[3];
  EXPECT_EQ(parts[4], "illegal arg: x\n");
  EXPECT_TRUE(contains(parts[5], "#moves = 20\n")) << "the console's position stays: " << parts[5];
  EXPECT_TRUE(contains(parts[6], "threads=2\n")) << "and so do its threads: " << parts[6];
}

}  // namespace
