#include "support/process.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.h"

TEST(Process, EchoesLinesThroughCat) {
  Process cat;
  ASSERT_TRUE(cat.start("/bin/cat", {})) << cat.failure();
  ASSERT_TRUE(cat.writeLine("uci"));
  ASSERT_TRUE(cat.writeLine("isready"));
  ASSERT_TRUE(cat.write("par"));
  EXPECT_EQ(cat.readUntil("isready", 5000), "uci\nisready\n");
  EXPECT_TRUE(cat.matched());
  // An unfinished line is not a line, but readUntilText sees it.
  std::string partial = cat.readUntil("par", 200);
  EXPECT_FALSE(cat.matched());
  EXPECT_EQ(partial, "par");
  EXPECT_EQ(cat.readUntilText("pa", 5000), "pa");
  EXPECT_TRUE(cat.matched());
  cat.writeLine("tial");
  cat.closeInput();
  EXPECT_FALSE(cat.writeLine("after close"));
  EXPECT_EQ(cat.readAll(5000), "rtial\n");
  EXPECT_TRUE(cat.matched());
  EXPECT_EQ(cat.wait(5000), 0);
  EXPECT_FALSE(cat.timedOut());
}

TEST(Process, PredicateAndBufferedRest) {
  Process shell;
  ASSERT_TRUE(shell.start(
      "/bin/sh", {"-c", "printf 'info depth 1\\ninfo depth 2\\nbestmove e2e4\\nextra\\n'"}));
  std::string text = shell.readUntil(
      [](const std::string& line) { return line.rfind("bestmove ", 0) == 0; }, 5000);
  EXPECT_TRUE(shell.matched());
  EXPECT_EQ(text, "info depth 1\ninfo depth 2\nbestmove e2e4\n");
  EXPECT_EQ(shell.readUntil("extra", 5000), "extra\n");
  EXPECT_EQ(shell.readUntil("never", 5000), "");  // output ended: no wait for the timeout
  EXPECT_FALSE(shell.matched());
  EXPECT_EQ(shell.wait(5000), 0);
}

TEST(Process, SeparateStderrExitStatusAndWorkingDirectory) {
  TempDir dir;
  Process::Options options;
  options.mergeStderr = false;
  options.workingDirectory = dir.path();
  Process shell;
  ASSERT_TRUE(shell.start("sh", {"-c", "echo out; echo err >&2; pwd; exit 3"}, options))
      << shell.failure();
  std::string out = shell.readAll(5000);
  EXPECT_EQ(shell.wait(5000), 3);
  EXPECT_EQ(shell.takeError(), "err\n");
  EXPECT_EQ(out, "out\n" + std::filesystem::canonical(dir.path()).string() + "\n");

  Process merged;
  ASSERT_TRUE(merged.start("/bin/sh", {"-c", "echo out; echo err >&2"}));
  EXPECT_EQ(merged.readAll(5000), "out\nerr\n");
  EXPECT_EQ(merged.wait(5000), 0);
}

TEST(Process, TimeoutsKillAndReport) {
  Process sleeper;
  ASSERT_TRUE(sleeper.start("/bin/sh", {"-c", "echo started; exec sleep 30"}));
  EXPECT_EQ(sleeper.readUntil("started", 5000), "started\n");
  EXPECT_EQ(sleeper.readUntil("never", 50), "");
  EXPECT_FALSE(sleeper.matched());
  EXPECT_EQ(sleeper.wait(100), 128 + 9);
  EXPECT_TRUE(sleeper.timedOut());
  EXPECT_FALSE(sleeper.running());
}

TEST(Process, StartFailuresAreReported) {
  Process missing;
  EXPECT_FALSE(missing.start("/no/such/program", {}));
  EXPECT_NE(missing.failure().find("cannot run"), std::string::npos);
  EXPECT_FALSE(missing.running());

  Process badDirectory;
  Process::Options options;
  options.workingDirectory = "/no/such/directory";
  EXPECT_FALSE(badDirectory.start("/bin/cat", {}, options));
  EXPECT_NE(badDirectory.failure().find("cannot start in"), std::string::npos);
}

TEST(Process, LargeOutputDoesNotBlockTheChild) {
  Process shell;
  ASSERT_TRUE(shell.start(
      "/bin/sh", {"-c", "i=0; while [ $i -lt 20000 ]; do echo line $i; i=$((i+1)); done"}));
  EXPECT_EQ(shell.wait(20000), 0);  // waiting drains the pipe
  std::string all = shell.readAll(5000);
  EXPECT_NE(all.find("line 19999\n"), std::string::npos);
}

TEST(Process, LongInputToAChildThatEchoesIt) {
  // cat answers while it reads: a write that did not drain its output would wait forever.
  Process cat;
  ASSERT_TRUE(cat.start("/bin/cat", {}));
  const std::string line(1 << 20, 'x');
  ASSERT_TRUE(cat.writeLine(line));
  EXPECT_EQ(cat.readUntil("x", 10000), line + "\n");
  cat.closeInput();
  EXPECT_EQ(cat.wait(5000), 0);
}

TEST(Process, NoticesAChildThatHangsUpItsStandardError) {
  Process::Options apart;
  apart.mergeStderr = false;
  Process keeps, closes;
  ASSERT_TRUE(keeps.start("/bin/sh", {"-c", "echo ready; exec sleep 30"}, apart));
  ASSERT_TRUE(
      closes.start("/bin/sh", {"-c", "exec 2>/dev/null; echo ready; exec sleep 30"}, apart));
  keeps.readUntil("ready", 5000);
  closes.readUntil("ready", 5000);
  EXPECT_TRUE(keeps.errorPipeOpen());
  EXPECT_FALSE(closes.errorPipeOpen());
}
