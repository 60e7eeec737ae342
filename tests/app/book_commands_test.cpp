// The console's book commands: argument errors, the build-load-show sequence, merge and
// statistics through the program-wide book.
#include "app/book_commands.h"

#include "base/settings.h"
#include "book/book_builder.h"
#include "book/book_test_util.h"
#include "support/paths.h"

namespace {

std::string capture(const std::function<void()>& run) {
  testing::internal::CaptureStdout();
  run();
  return testing::internal::GetCapturedStdout();
}

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

}  // namespace

TEST(BookCommands, WithoutABookEveryCommandSaysSo) {
  auto pos = positionFrom(InitialFen);
  closeOpeningBook();
  EXPECT_EQ(capture([&] { bookCommand(*pos); }), "book not open!\n");
  EXPECT_EQ(capture([&] { logBookCommand(); }), "book not open!\n");
  EXPECT_EQ(pickOpeningBookMove(*pos), 0u);
  Settings settings;
  EXPECT_EQ(capture([&] { EXPECT_FALSE(loadOpeningBook("", settings, *pos)); }), "");
}

TEST(BookCommands, UsageLines) {
  auto pos = positionFrom(InitialFen);
  Settings settings;
  EXPECT_EQ(capture([&] { buildBookCommand("", "melvok.ini", settings, *pos); }),
            "Usage:\n    buildbook <pgnfile> [inifile [maxgames]]]\n");
  EXPECT_EQ(capture([&] { mergeBookCommand("a.mvk b.mvk", *pos); }),
            "Usage:\n    mergebook <masterbook> <secondarybook> <resultbook>\n");
}

TEST(BookCommands, BuildOpensAndShowsTheNewBookThenMergeAndLog) {
  auto pos = positionFrom(InitialFen);
  playMoves(*pos, {"e4"});
  Settings settings;
  settings.set("book.play.random", "0");
  std::string criteria = sourcePath("tests/book/data/master-criteria.ini");
  // The book is written in the working directory under the PGN file's name.
  std::string out = capture([&] {
    buildBookCommand((dataPath("master-games.pgn") + " " + criteria + " 400").c_str(), "melvok.ini",
                     settings, *pos);
  });
  EXPECT_TRUE(has(out, "games.read  =     400\n")) << out;
  EXPECT_TRUE(has(out, "opening master-games.mvk...\nbook found: master-games.mvk, ")) << out;
  EXPECT_TRUE(has(out, "\n pick   move    elo")) << out;
  ASSERT_TRUE(openingBookIsOpen());
  // The build leaves the engine at the starting position, where random 0 plays the best move.
  EXPECT_EQ(pos->ply, 0u);
  Move best = pickOpeningBookMove(*pos);
  EXPECT_NE(best, 0u);
  for (int i = 0; i < 20; i++) EXPECT_EQ(pickOpeningBookMove(*pos), best);

  std::string merged = scratchPath("merged.mvk");
  out = capture(
      [&] { mergeBookCommand(("master-games.mvk master-games.mvk " + merged).c_str(), *pos); });
  EXPECT_TRUE(has(out, "...done!\n")) << out;
  EXPECT_FALSE(has(out, "book found")) << out;
  EXPECT_TRUE(has(out, "\n pick   move    elo")) << out;
  out = capture([&] { logBookCommand(); });
  EXPECT_TRUE(has(out, "header.size=16\nentry .size=18\n")) << out;
  EXPECT_TRUE(has(out, "total positions=")) << out;
  closeOpeningBook();
  remove("master-games.mvk");
}

// A new user without a settings file still gets a book, under the built-in criteria; a criteria
// file named on the line that cannot be read stops the build as before.
TEST(BookCommands, BuildWithoutTheDefaultSettingsFileUsesTheBuiltInCriteria) {
  // Four games that pass the built-in criteria: strong players, long enough, drawn.
  std::string games;
  for (int i = 0; i < 4; i++)
    games +=
        "[White \"A\"]\n[Black \"B\"]\n[WhiteElo \"2750\"]\n[BlackElo \"2750\"]\n"
        "[Result \"1/2-1/2\"]\n\n1. e4 e5 2. Nf3 Nc6 3. Bb5 a6 4. Ba4 Nf6 5. O-O Be7 6. Re1 b5 "
        "7. Bb3 d6 8. c3 O-O 9. h3 Nb8 10. d4 Nbd7 11. Nbd2 Bb7 12. Bc2 Re8 13. Nf1 Bf8 "
        "14. Ng3 g6 15. a4 c5 16. d5 c4 17. Bg5 h6 18. Be3 Nc5 19. Qd2 h5 20. Bg5 Be7 "
        "1/2-1/2\n\n";
  const std::string pgn = scratchPath("games.pgn");
  FILE* file = fopen(pgn.c_str(), "w");
  ASSERT_NE(file, nullptr);
  fputs(games.c_str(), file);
  fclose(file);
  const std::string book = defaultBookName(pgn.c_str()).c_str();

  auto pos = positionFrom(InitialFen);
  Settings settings;
  const std::string missing = scratchPath("missing.ini");
  std::string out =
      capture([&] { buildBookCommand(pgn.c_str(), missing.c_str(), settings, *pos); });
  EXPECT_TRUE(has(out, "no inifile " + missing + ": building with the built-in criteria\n")) << out;
  EXPECT_TRUE(has(out, "inifile    = (built-in criteria)\nbookfile   = " + book + "\n")) << out;
  EXPECT_TRUE(has(out, "minelo     = 2300\n")) << out;
  EXPECT_TRUE(has(out, "opening " + book + "...\nbook found: " + book + ", ")) << out;
  ASSERT_TRUE(openingBookIsOpen());
  EXPECT_NE(pickOpeningBookMove(*pos), 0u);
  closeOpeningBook();
  remove(book.c_str());

  out = capture(
      [&] { buildBookCommand((pgn + " " + missing).c_str(), "melvok.ini", settings, *pos); });
  EXPECT_TRUE(has(out, "could not load inifile: " + missing + "\n")) << out;
  EXPECT_FALSE(has(out, "built-in")) << out;
  EXPECT_FALSE(openingBookIsOpen());
  remove(pgn.c_str());
}
