// The engine with the bitbase library named by its settings file: the library over Debian's
// Gaviota tables, found and used by the search.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "e2e/uci_session.h"
#include "support/text.h"

#ifdef MELVOK_EGBB_GAVIOTA_DIR

TEST(GaviotaStartUp, TheSettingsFileLoadsTheLibraryAndTheSearchUsesIt) {
  TempDir library;  // a copy without a folder list beside it reads Debian's tables
  std::filesystem::copy_file(MELVOK_EGBB_GAVIOTA_DIR "/egbbdll.so", library.file("egbbdll.so"));
  UciSession s("egbb.dir = " + library.path() + "\nsearch.nthreads = 1\n");
  EXPECT_TRUE(contains(s.startUci(), "EGBB: loaded, maxmen=3, ram=4\n"));
  // A king and pawn ending Black wins: a table loss, not the evaluation's few pawns.
  s.send("position fen 8/8/8/8/8/3k4/4p3/4K3 w - - 0 1");
  s.send("go depth 3");
  const std::string text = s.until("bestmove");
  std::smatch score;
  ASSERT_TRUE(std::regex_search(text, score, std::regex("score cp (-?[0-9]+)"))) << text;
  EXPECT_LT(std::stoi(score[1]), -3000) << text;
  EXPECT_EQ(s.quit(), 0);
}

#else

TEST(GaviotaStartUp, NotBuilt) { GTEST_SKIP() << "built without the Gaviota probing library"; }

#endif
