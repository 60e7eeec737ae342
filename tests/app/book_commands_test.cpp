// The console's book commands through the program-wide book: usage, build-load-show, merge and
// statistics, and a build without a settings file.
#include "app/book_commands.h"

#include <gtest/gtest.h>

#include "base/settings.h"
#include "support/paths.h"
#include "support/positions.h"
#include "support/temp_dir.h"
#include "support/text.h"

TEST(BookCommands, BuildOpensAndShowsTheNewBookThenMergeAndStatistics) {
  auto pos = positionFrom(InitialFen);
  closeOpeningBook();
  EXPECT_EQ(captureStdout([&] { bookCommand(*pos); }), "book not open!\n");
  EXPECT_EQ(pickOpeningBookMove(*pos), 0u);
  Settings settings;
  EXPECT_TRUE(contains(captureStdout([&] { buildBookCommand("", "melvok.ini", settings, *pos); }),
                       "Usage:\n"));
  EXPECT_TRUE(contains(captureStdout([&] { mergeBookCommand("a.mvk b.mvk", *pos); }), "Usage:\n"));

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

  out = captureStdout(
      [&] { mergeBookCommand("master-games.mvk master-games.mvk merged.mvk", *pos); });
  EXPECT_TRUE(contains(out, "...done!\n")) << out;
  EXPECT_EQ(readFile("merged.mvk"), readFile("master-games.mvk"));
  out = captureStdout([&] { logBookCommand(); });
  EXPECT_TRUE(contains(out, "total positions=")) << out;
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
