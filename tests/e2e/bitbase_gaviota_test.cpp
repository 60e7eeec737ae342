// The engine with the bitbase library over the Gaviota tables: its start-up report on Debian's
// tables, on a folder list beside the library, and on a folder without tables, after which the
// engine plays on without bitbases.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "e2e/uci_session.h"

#ifdef MELVOK_EGBB_GAVIOTA_DIR

namespace {

namespace fs = std::filesystem;

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The score of the last report of a short search in a king and pawn ending that Black wins.
int scoreOfLostPawnEnding(UciSession& s) {
  s.send("position fen 8/8/8/8/8/3k4/4p3/4K3 w - - 0 1");
  s.send("go depth 3");
  std::string text = s.until("bestmove");
  std::smatch last;
  std::regex score("score cp (-?[0-9]+)");
  for (std::sregex_iterator it(text.begin(), text.end(), score), end; it != end; ++it) last = *it;
  EXPECT_FALSE(last.empty()) << text;
  return last.empty() ? 0 : std::stoi(last[1]);
}

// A copy of the library in a directory of its own (so that a folder list a developer keeps
// beside the built one does not count), with `folderList` as its gaviota.txt unless empty.
void copyLibrary(const TempDir& dir, const std::string& folderList = "") {
  fs::copy_file(MELVOK_EGBB_GAVIOTA_DIR "/egbbdll.so", dir.file("egbbdll.so"));
  if (!folderList.empty()) dir.write("gaviota.txt", folderList);
}

const std::string OneThread = "search.nthreads = 1\n";

TEST(GaviotaStartUp, FindsDebiansTablesAndSearchesWithThem) {
  TempDir library;
  copyLibrary(library);
  UciSession s("egbb.dir = " + library.path() + "\n" + OneThread);
  std::string text = s.startUci();
  EXPECT_TRUE(contains(text,
                       "EGBB: Gaviota tables (cp4) in /usr/share/gaviotatb/gtb4: 5 files, "
                       "complete up to 3 men\n"
                       "egbb.3men=1\negbb.4men=0\negbb.5men=0\nEGBB: loaded, maxmen=3, ram=4\n"))
      << text;
  EXPECT_LT(scoreOfLostPawnEnding(s), -3000);  // a table loss, not the evaluation's few pawns
  EXPECT_EQ(s.quit(), 0);
}

TEST(GaviotaStartUp, ReadsTheFolderListBesideTheLibrary) {
  // Relative folders are the library's; the compression scheme follows the files.
  TempDir library;
  copyLibrary(library, "# Debian's tables, second scheme\n\ntables\n");
  fs::copy("/usr/share/gaviotatb/gtb2", library.file("tables"));
  UciSession s("egbb.dir = " + library.path() + "\n" + OneThread);
  std::string text = s.startUci();
  EXPECT_TRUE(contains(text, "EGBB: Gaviota tables (cp2) in " + library.file("tables") +
                                 ": 5 files, complete up to 3 men\n"))
      << text;
  EXPECT_TRUE(contains(text, "EGBB: loaded, maxmen=3, ram=4\n")) << text;
  EXPECT_EQ(s.quit(), 0);
}

TEST(GaviotaStartUp, WithoutTablesPlaysOnWithoutBitbases) {
  TempDir library;
  copyLibrary(library, "empty\n");
  fs::create_directory(library.file("empty"));
  UciSession s("egbb.dir = " + library.path() + "\n" + OneThread);
  std::string text = s.startUci();
  EXPECT_TRUE(contains(text, "EGBB: no Gaviota tables found in " + library.file("empty") +
                                 "\negbb.3men=0\negbb.4men=0\negbb.5men=0\n"
                                 "EGBB: loaded, maxmen=0, ram=4\n"))
      << text;
  int score = scoreOfLostPawnEnding(s);
  EXPECT_LT(score, 0);
  EXPECT_GT(score, -1000);  // the evaluation's
  EXPECT_EQ(s.quit(), 0);
}

}  // namespace

#else

TEST(GaviotaStartUp, NotBuilt) { GTEST_SKIP() << "built without the Gaviota probing library"; }

#endif
