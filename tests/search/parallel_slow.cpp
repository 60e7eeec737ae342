// The built engine with more than one search thread: the start-up messages of
// "search.nthreads", `set threads`, and console and UCI searches with workers.
#include <gtest/gtest.h>

#include <string>

#include "base/platform.h"
#include "support/paths.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace {

constexpr int Timeout = 120000;  // a hang guard, not a speed check

TEST(ParallelEngine, StartUpThreadCountMessagesAndConsoleSearches) {
  const int processors = processorCount();
  TempDir dir;
  const std::string ini = dir.write("melvok.ini", "search.nthreads=8\n");
  Process engine;
  ASSERT_TRUE(engine.start(enginePath(), {ini})) << engine.failure();
  std::string text = engine.readUntilText("% ", Timeout);
  ASSERT_TRUE(engine.matched()) << text;
  const int used = processors < 8 ? processors : 8;
  const std::string cpus = std::to_string(processors);
  if (processors < 8) {
    EXPECT_NE(text.find("!--only " + cpus + " cpu's present, using " + cpus + " searchthreads\n"),
              std::string::npos)
        << text;
  }
  if (used > 1) {
    EXPECT_NE(text.find("--using parallel search with " + std::to_string(used) + " threads\n"),
              std::string::npos)
        << text;
  }

  engine.writeLine("set");
  text = engine.readUntil("threads=", Timeout);
  EXPECT_NE(text.find("threads=" + std::to_string(used) + "\n"), std::string::npos) << text;

  // More threads than cores, then one again: each search ends and reports its statistics.
  for (const char* threads : {"12", "3", "1"}) {
    engine.writeLine(std::string("set threads ") + threads);
    engine.writeLine("set");
    text = engine.readUntil("threads=", Timeout);
    const std::string expected = std::string(threads) == "12" ? "8" : threads;
    EXPECT_NE(text.find("threads=" + expected + "\n"), std::string::npos) << text;
    engine.writeLine("md 7");
    engine.writeLine("r1bqk2r/pppp1ppp/2n2n2/2b1p3/2B1P3/2N2N2/PPPP1PPP/R1BQK2R w KQkq - 0 1");
    engine.writeLine("g");
    text = engine.readUntil("smp    : splits=", Timeout);
    ASSERT_TRUE(engine.matched()) << text;
    const std::string lastLine =
        expected == "1" ? "master :" : "slave" + std::to_string(std::stoi(expected) - 1) + " :";
    text = engine.readUntil(lastLine, Timeout);
    ASSERT_TRUE(engine.matched()) << text;
  }
  engine.writeLine("q");
  engine.closeInput();
  EXPECT_EQ(engine.wait(Timeout), 0);
}

TEST(ParallelEngine, UciThreadsOptionSearchesAndStops) {
  Process engine;
  ASSERT_TRUE(engine.start(enginePath(), {})) << engine.failure();
  engine.writeLine("uci");
  std::string text = engine.readUntil("uciok", Timeout);
  ASSERT_TRUE(engine.matched()) << text;
  engine.writeLine("setoption name Threads value 4");
  engine.writeLine("isready");
  text = engine.readUntil("readyok", Timeout);
  ASSERT_TRUE(engine.matched()) << text;
  for (int round = 0; round < 10; round++) {
    engine.writeLine("position startpos moves e2e4 e7e5 g1f3 b8c6 f1b5 a7a6");
    engine.writeLine(round % 2 ? "go depth 8" : "go infinite");
    text = engine.readUntil("info depth 5", Timeout);
    ASSERT_TRUE(engine.matched()) << text;
    engine.writeLine("stop");
    text = engine.readUntil("bestmove", Timeout);
    ASSERT_TRUE(engine.matched()) << text;
    EXPECT_EQ(text.find("bestmove (none)"), std::string::npos) << text;
  }
  engine.writeLine("quit");
  engine.closeInput();
  EXPECT_EQ(engine.wait(Timeout), 0);
}

}  // namespace
