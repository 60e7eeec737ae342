// The engine with the bitbase library over the Gaviota tables, named by its settings file: it
// finds Debian's tables (or a folder list beside the library) and searches with them, and without
// tables it plays on without bitbases.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "e2e/uci_session.h"
#include "support/text.h"

#ifdef MELVOK_EGBB_GAVIOTA_DIR

TEST(GaviotaStartUp, DebiansTablesAFolderListOrNone) {
  const struct {
    const char* folderList;  // gaviota.txt beside the library; empty: none
    const char* tables;      // copied beside the library
    bool found;
  } cases[] = {{"", "", true}, {"tables\n", "tables", true}, {"empty\n", "empty", false}};
  for (const auto& c : cases) {
    TempDir library;
    std::filesystem::copy_file(MELVOK_EGBB_GAVIOTA_DIR "/egbbdll.so", library.file("egbbdll.so"));
    if (*c.folderList) library.write("gaviota.txt", c.folderList);
    std::filesystem::create_directory(library.file("empty"));
    if (c.found && *c.tables) std::filesystem::copy("/usr/share/gaviotatb/gtb2", library.file(c.tables));
    UciSession s("egbb.dir = " + library.path() + "\nsearch.nthreads = 1\n");
    const std::string report = s.startUci();
    EXPECT_TRUE(contains(report, c.found ? "EGBB: loaded, maxmen=3, ram=4\n" : "EGBB: loaded, maxmen=0, ram=4\n"))
        << report;
    // A king and pawn ending Black wins: a table loss, or only the evaluation's few pawns.
    s.send("position fen 8/8/8/8/8/3k4/4p3/4K3 w - - 0 1");
    s.send("go depth 3");
    const std::string text = s.until("bestmove");
    const std::regex score("score cp (-?[0-9]+)");
    int cp = 0;
    for (std::sregex_iterator it(text.begin(), text.end(), score), end; it != end; ++it) cp = std::stoi((*it)[1]);
    EXPECT_TRUE(c.found ? cp < -3000 : cp < 0 && cp > -1000) << cp;
    EXPECT_EQ(s.quit(), 0);
  }
}

#else

TEST(GaviotaStartUp, NotBuilt) { GTEST_SKIP() << "built without the Gaviota probing library"; }

#endif
