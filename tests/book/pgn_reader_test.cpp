// The PGN reader: tags, movetext tokens, comments, variations, results and broken input.
#include <random>

#include "book/book_test_util.h"
#include "book/pgn_reader.h"

namespace {

std::vector<std::string> movesOf(const PgnGame& game) {
  std::vector<std::string> out;
  for (const RcString& m : game.moves) out.emplace_back(m.c_str());
  return out;
}

using Strings = std::vector<std::string>;

// Reads every game of a PGN text; the games' moves, results and warnings.
struct ReadAll {
  std::vector<Strings> moves;
  std::vector<int> results;
  std::vector<std::string> warnings;
  std::string output;
  explicit ReadAll(const std::string& path, const std::string& text) {
    writeText(path, text);
    PgnReader reader;
    EXPECT_TRUE(reader.open(path.c_str()));
    testing::internal::CaptureStdout();
    int guard = 0;
    while (PgnGame* game = reader.nextGame()) {
      moves.push_back(movesOf(*game));
      results.push_back(game->result);
      warnings.emplace_back(game->warning.c_str());
      if (++guard > 10000) break;
    }
    output = testing::internal::GetCapturedStdout();
  }
};

}  // namespace

TEST(PgnMovetext, CommentsVariationsNumbersAndResult) {
  PgnReader reader;
  reader.parseMovetextLine("1.e4 e5 2.Nf3 {good} Nc6 (2...d6 3.d4) 3.Bb5 1-0");
  EXPECT_EQ(movesOf(reader.game()), (Strings{"e4", "e5", "Nf3", "Nc6", "Bb5"}));
  EXPECT_EQ(reader.game().result, ResultWhiteWins);

  reader.game().clear();
  reader.parseMovetextLine("12...Nf6 12. 13.\tc4\t\td5 0-0 +- = -+ Qxd8+!");
  EXPECT_EQ(movesOf(reader.game()), (Strings{"Nf6", "c4", "d5", "Qxd8+!"}));
}

TEST(PgnMovetext, NumericAnnotationsUseTheirFirstDigit) {
  PgnReader reader;
  reader.parseMovetextLine("$1 e4 $1 e5 $14 Nf3 $4 Nc6 $0 Bb5 $7 a6 $6");
  EXPECT_EQ(movesOf(reader.game()), (Strings{"e4!", "e5!", "Nf3??", "Nc6", "Bb5", "a6?!"}));
}

TEST(PgnMovetext, MixedResultsWarn) {
  PgnReader reader;
  reader.parseTagLine("[Result \"1-0\"]");
  reader.parseMovetextLine("1.e4 0-1");
  EXPECT_EQ(reader.game().result, ResultWhiteWins);
  EXPECT_STREQ(reader.game().warning.c_str(), "Warning: mixed results: 0-1 <> 1-0");
}

TEST(PgnTags, ValuesEloAndResults) {
  PgnReader reader;
  reader.parseTagLine("[White \"Carlsen, Magnus\"]");
  reader.parseTagLine("[WhiteElo \"2850\"]");
  reader.parseTagLine("[BlackElo \"\"]");
  reader.parseTagLine("[Date \"2001.01.05\"]");
  reader.parseTagLine("[EventDate \"2001.01.01\"]");
  reader.parseTagLine("[Event \"Open \"A\"\"]");
  reader.parseTagLine("[FEN \"8/8/8/8/8/8/8/K6k w - - 0 1");  // no closing quote
  reader.parseTagLine("[Annotator \"x\"]");
  reader.parseTagLine("[Result \"1/2-1/2\"]");
  const PgnGame& game = reader.game();
  EXPECT_STREQ(game.white.c_str(), "Carlsen, Magnus");
  EXPECT_EQ(game.whiteElo, 2850);
  EXPECT_EQ(game.blackElo, 0);
  EXPECT_STREQ(game.date.c_str(), "2001.01.01");  // whichever came later
  EXPECT_STREQ(game.event.c_str(), "Open ");
  EXPECT_STREQ(game.fen.c_str(), "8/8/8/8/8/8/8/K6k w - - 0 1");
  EXPECT_EQ(game.result, ResultDraw);
  EXPECT_TRUE(game.warning.empty());

  reader.parseTagLine("[Result \"1-O\"]");
  EXPECT_STREQ(reader.game().warning.c_str(), "invalid result: 1-O\"]");
  reader.game().clear();
  reader.parseTagLine("[Result ]");
  EXPECT_STREQ(reader.game().warning.c_str(), "invalid result: ");
}

TEST(PgnFile, GamesEndAtTheNextTagsAndAtTheEndOfTheFile) {
  ReadAll all(scratchPath("two.pgn"),
              "[Event \"a\"]\n[Result \"1-0\"]\n\n1.e4 e5\n2.Nf3 1-0\n\n"
              "[Event \"b\"]\n[Result \"0-1\"]\n\n1.d4 d5 0-1\n\n"
              "[Event \"c\"]\n[Result \"*\"]\n1.c4 *");  // no newline at the very end
  ASSERT_EQ(all.moves.size(), 3u);
  EXPECT_EQ(all.moves[0], (Strings{"e4", "e5", "Nf3"}));
  EXPECT_EQ(all.moves[1], (Strings{"d4", "d5"}));
  EXPECT_EQ(all.moves[2], (Strings{"c4"}));
  EXPECT_EQ(all.results, (std::vector<int>{ResultWhiteWins, ResultBlackWins, ResultNone}));
}

TEST(PgnFile, CommentsSpanLinesEvenOverTagLikeLines) {
  ReadAll all(scratchPath("comment.pgn"),
              "[Result \"1-0\"]\n\n1.e4 {a long\n[Event \"not a tag\"]\n\ncomment} e5 2.Nf3 1-0\n");
  ASSERT_EQ(all.moves.size(), 1u);
  EXPECT_EQ(all.moves[0], (Strings{"e4", "e5", "Nf3"}));
  EXPECT_EQ(all.warnings[0], "");
}

TEST(PgnFile, VariationsAreFollowedAcrossLinesAndComments) {
  ReadAll all(scratchPath("variation.pgn"),
              "[Result \"1-0\"]\n\n1.e4 e5 (1...c5 {Sicilian (not)\nplayed} 2.Nf3\n(2.c3 d5) d6\n"
              "3.d4) 2.Nf3 ; a remark (with a parenthesis\nNc6 1-0\n\n"
              "[Result \"0-1\"]\n\n1.d4 (1.e4\n\n[Result \"1-0\"]\n\n1.c4 1-0\n");
  ASSERT_EQ(all.moves.size(), 3u);
  EXPECT_EQ(all.moves[0], (Strings{"e4", "e5", "Nf3", "Nc6"}));
  EXPECT_EQ(all.warnings[0], "");
  // A variation still open when the next game's tags come is a broken game, not main line.
  EXPECT_EQ(all.moves[1], (Strings{"d4"}));
  EXPECT_EQ(all.warnings[1], "unterminated variation");
  EXPECT_EQ(all.moves[2], (Strings{"c4"}));
  EXPECT_NE(all.output.find("WARN unterminated variation"), std::string::npos);
}

TEST(PgnFile, WarningsArePrintedWithTheLineNumber) {
  ReadAll all(scratchPath("warn.pgn"),
              "[Event \"x\"]\n[Result \"1-0\"]\n\n1.e4 e5 0-1\n\n[Result \"1-O\"]\n\n1.d4 *\n");
  ASSERT_EQ(all.moves.size(), 2u);
  EXPECT_EQ(all.output,
            "line 5: WARN Warning: mixed results: 0-1 <> 1-0\n"
            "line 8: WARN invalid result: 1-O\"]\n");
}

TEST(PgnFile, UnterminatedCommentSwallowsTheRestAndWarns) {
  ReadAll all(scratchPath("open.pgn"),
              "[Result \"1-0\"]\n\n1.e4 {forever\n\n[Result \"0-1\"]\n\n1.d4 0-1\n");
  ASSERT_EQ(all.moves.size(), 1u);
  EXPECT_EQ(all.moves[0], (Strings{"e4"}));
  EXPECT_EQ(all.warnings[0], "unterminated comment");
}

TEST(PgnFile, WindowsLineEndsAndEmptyFiles) {
  ReadAll crlf(scratchPath("crlf.pgn"), "[Result \"1/2-1/2\"]\r\n\r\n1.e4 e5\r\n2.Nf3 1/2-1/2\r\n\r\n");
  ASSERT_EQ(crlf.moves.size(), 1u);
  EXPECT_EQ(crlf.moves[0], (Strings{"e4", "e5", "Nf3"}));
  EXPECT_EQ(crlf.results[0], ResultDraw);

  ReadAll empty(scratchPath("empty.pgn"), "");
  EXPECT_TRUE(empty.moves.empty());
  PgnReader reader;
  EXPECT_FALSE(reader.open(scratchPath("missing.pgn").c_str()));
  EXPECT_EQ(reader.nextGame(), nullptr);
}

TEST(PgnFile, BinaryJunkAndBrokenTagsEndWithoutCrash) {
  std::mt19937 random(99);
  for (int round = 0; round < 40; round++) {
    std::string text;
    int length = int(random() % 3000);
    static const char pieces[] = "[]{}()\"; \t\n\r$0123456789-/*.ENxO";
    for (int i = 0; i < length; i++) {
      if (random() % 3 == 0) text.push_back(char(random() % 256));
      else text.push_back(pieces[random() % (sizeof(pieces) - 1)]);
    }
    std::string path = scratchPath("junk.pgn");
    FILE* file = fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    fwrite(text.data(), 1, text.size(), file);
    fclose(file);
    PgnReader reader;
    ASSERT_TRUE(reader.open(path.c_str()));
    testing::internal::CaptureStdout();
    int games = 0;
    while (reader.nextGame() && games < 100000) games++;
    testing::internal::GetCapturedStdout();
    EXPECT_LE(reader.lineNumber(), uint32_t(length + 1));
    EXPECT_LE(games, length + 1);
  }
}
