// The built engine handing the console over to the WinBoard driver, and quitting while it ponders.
#include <gtest/gtest.h>

#include "e2e/uci_session.h"
#include "support/text.h"

TEST(WinBoardTranscript, HandOverAndQuitWhilePondering) {
  UciSession s("search.nthreads = 1\n");
  s.send("hello");  // before xboard: the shell's
  s.until("no such command: hello");
  s.send("xboard");
  s.send("protover 2");
  EXPECT_TRUE(contains(s.until("feature done=1"), "feature myname=\"melvok-0.1\"\n"));
  s.send("");  // no prompt, empty lines swallowed
  s.send("ping 1");
  EXPECT_FALSE(contains(s.until("pong 1"), "% "));
  for (const char* line : {"hard", "new", "level 0 1000 0", "time 6000000", "sd 4", "go"})
    s.send(line);
  s.until("move ");
  s.send("ping 2");  // pondering now: still answering
  s.until("pong 2");
  s.send("quit");
  EXPECT_EQ(s.process().wait(30000), 0);
  EXPECT_FALSE(s.process().timedOut());
}
