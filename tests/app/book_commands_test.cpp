// The console's book commands through the program's book shelf: a build opens and shows the new
// book, also without a settings file.
#include "app/book_commands.h"

#include <gtest/gtest.h>

#include "base/settings.h"
#include "support/paths.h"
#include "support/positions.h"
#include "support/temp_dir.h"
#include "support/text.h"

TEST(BookCommands, BuildOpensAndShowsTheNewBook) {
  auto pos = positionFrom(InitialFen);
  BookShelf book;
  EXPECT_EQ(captureStdout([&] { book.show(*pos); }), "book not open!\n");
  EXPECT_EQ(book.pick(*pos), 0u);
  Settings settings;

  // The book is written in the working directory under the PGN file's name.
  TempDir dir;
  InDirectory inside(dir.path());
  playMoves(*pos, {"e4"});
  settings.set("book.play.random", "0");
  const std::string criteria = sourcePath("tests/book/data/master-criteria.ini");
  std::string out = captureStdout([&] {
    book.buildCommand((dataPath("master-games.pgn") + " " + criteria + " 400").c_str(),
                      "melvok.ini", settings, *pos);
  });
  EXPECT_TRUE(contains(out, "opening master-games.mvk...\nbook found: master-games.mvk, ")) << out;
  EXPECT_TRUE(contains(out, "\n pick   move ")) << out;  // and shown
  ASSERT_TRUE(book.isOpen());
  // The build leaves the engine at the starting position, where random 0 plays the best move.
  EXPECT_EQ(pos->ply, 0u);
  const Move best = book.pick(*pos);
  EXPECT_TRUE(isLegalMove(*pos, best));
  for (int i = 0; i < 20; i++) EXPECT_EQ(book.pick(*pos), best);
}

// A new user without a settings file still gets a book, under the built-in criteria; a criteria
// file named on the line that cannot be read stops the build.
TEST(BookCommands, BuildWithoutTheSettingsFileUsesTheBuiltInCriteria) {
  auto pos = positionFrom(InitialFen);
  BookShelf book;
  Settings settings;
  TempDir dir;
  InDirectory inside(dir.path());
  // Four games that pass the built-in criteria: strong players, long enough, drawn.
  std::string games;
  for (int i = 0; i < 4; i++)
    games +=
        "[WhiteElo \"2750\"]\n[BlackElo \"2750\"]\n[Result \"1/2-1/2\"]\n\n1. e4 e5 2. Nf3 Nc6 3. "
        "Bb5 "
        "a6 4. Ba4 Nf6 5. O-O Be7 6. Re1 b5 7. Bb3 d6 8. c3 O-O 9. h3 Nb8 10. d4 Nbd7 11. Nbd2 Bb7 "
        "12. Bc2 Re8 13. Nf1 Bf8 14. Ng3 g6 15. a4 c5 16. d5 c4 17. Bg5 h6 18. Be3 Nc5 19. Qd2 h5 "
        "20. Bg5 Be7 1/2-1/2\n\n";
  const std::string pgn = dir.write("games.pgn", games);
  std::string out =
      captureStdout([&] { book.buildCommand(pgn.c_str(), "missing.ini", settings, *pos); });
  EXPECT_TRUE(contains(out, "no inifile missing.ini: building with the built-in criteria\n"))
      << out;
  EXPECT_TRUE(contains(out, "book found: games.mvk, ")) << out;
  ASSERT_TRUE(book.isOpen());
  EXPECT_NE(book.pick(*pos), 0u);
  book.close();
  out = captureStdout(
      [&] { book.buildCommand((pgn + " missing.ini").c_str(), "melvok.ini", settings, *pos); });
  EXPECT_TRUE(contains(out, "could not load inifile: missing.ini\n")) << out;
  EXPECT_FALSE(book.isOpen());
}
