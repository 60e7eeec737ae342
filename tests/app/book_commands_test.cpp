// The console's book commands through the program-wide book: a build opens and shows the new book,
// also without a settings file.
#include "app/book_commands.h"

#include <gtest/gtest.h>

#include "base/settings.h"
#include "support/paths.h"
#include "support/positions.h"
#include "support/temp_dir.h"
#include "support/text.h"

TEST(BookCommands, BuildOpensAndShowsTheNewBook) {
  auto pos = positionFrom(InitialFen);
  closeOpeningBook();
  EXPECT_EQ(captureStdout([&] { bookCommand(*pos); }), "book not open!\n");
  EXPECT_EQ(pickOpeningBookMove(*pos), 0u);
  Settings settings;

  // The book is written in the working directory under the PGN file's name.
  TempDir dir;
  InDirectory inside(dir.path());
  playMoves(*pos, {"e4"});
  settings.set("book.play.random", "0");
  const std::string criteria = sourcePath("tests/book/data/master-criteria.ini");
  std::string out = captureStdout([&] {
    buildBookCommand((dataPath("master-games.pgn") + " " + criteria + " 400").c_str(), "melvok.ini",
                     settings, *pos);
  });
  EXPECT_TRUE(contains(out, "opening master-games.mvk...\nbook found: master-games.mvk, ")) << out;
  EXPECT_TRUE(contains(out, "\n pick   move ")) << out;  // and shown
  ASSERT_TRUE(openingBookIsOpen());
  // The build leaves the engine at the starting position, where random 0 plays the best move.
  EXPECT_EQ(pos->ply, 0u);
  const Move best = pickOpeningBookMove(*pos);
  EXPECT_TRUE(isLegalMove(*pos, best));
  for (int i = 0; i < 20; i++) EXPECT_EQ(pickOpeningBookMove(*pos), best);

  closeOpeningBook();
}

// A new user without a settings file still gets a book, under the built-in criteria; a criteria
// file named on the line that cannot be read stops the build.
TEST(BookCommands, BuildWithoutTheSettingsFileUsesTheBuiltInCriteria) {
  auto pos = positionFrom(InitialFen);
  Settings settings;
  TempDir dir;
  InDirectory inside(dir.path());
  const std::string pgn = dataPath("master-games.pgn");
  std::string out =
      captureStdout([&] { buildBookCommand(pgn.c_str(), "missing.ini", settings, *pos); });
  EXPECT_TRUE(contains(out, "no inifile missing.ini: building with the built-in criteria\n"))
      << out;
  EXPECT_TRUE(contains(out, "book found: master-games.mvk, ")) << out;
  EXPECT_TRUE(openingBookIsOpen());
  closeOpeningBook();
  out = captureStdout(
      [&] { buildBookCommand((pgn + " missing.ini").c_str(), "melvok.ini", settings, *pos); });
  EXPECT_TRUE(contains(out, "could not load inifile: missing.ini\n")) << out;
  EXPECT_FALSE(openingBookIsOpen());
}
