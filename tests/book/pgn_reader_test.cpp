// The PGN reader: tags, movetext tokens, comments, variations, results, broken input, and junk
// that must never give more than the text holds.
#include "book/pgn_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "support/temp_dir.h"
#include "support/text.h"

namespace {

using Strings = std::vector<std::string>;

struct Game {
  Strings moves;
  int result;
  std::string warning;
  bool operator==(const Game&) const = default;
};

// Every game of a PGN text, and what the reader printed.
std::vector<Game> readAll(const std::string& text, std::string* output = nullptr) {
  TempDir dir;
  PgnReader reader;
  EXPECT_TRUE(reader.open(dir.write("games.pgn", text).c_str()));
  std::vector<Game> games;
  const std::string printed = captureStdout([&] {
    while (PgnGame* game = reader.nextGame()) {
      Strings moves;
      for (const RcString& m : game->moves) moves.emplace_back(m.c_str());
      games.push_back({moves, game->result, game->warning.c_str()});
      if (games.size() > 10000) break;
    }
  });
  if (output) *output = printed;
  return games;
}

TEST(PgnReader, GamesMovesResultsAndWarnings) {
  const int W = ResultWhiteWins, B = ResultBlackWins, D = ResultDraw, N = ResultNone;
  const struct {
    std::string text;
    std::vector<Game> games;
  } cases[] = {
      // Games end at the next tags and at the end of the file (here without a newline).
      {"[Event \"a\"]\n[Result \"1-0\"]\n\n1.e4 e5\n2.Nf3 1-0\n\n[Result \"0-1\"]\n\n1.d4 d5 "
       "0-1\n\n"
       "[Result \"*\"]\n1.c4 *",
       {{{"e4", "e5", "Nf3"}, W, ""}, {{"d4", "d5"}, B, ""}, {{"c4"}, N, ""}}},
      // Comments, variations, numbers, evaluation symbols; numeric annotations by first digit.
      {"[Result \"1-0\"]\n\n1.e4 e5 2.Nf3 {good} Nc6 (2...d6 3.d4) 3.Bb5 12...Nf6 12. "
       "13.\tc4\t\td5 0-0 +- = "
       "-+ Qxd8+! 1-0\n",
       {{{"e4", "e5", "Nf3", "Nc6", "Bb5", "Nf6", "c4", "d5", "Qxd8+!"}, W, ""}}},
      {"[Result \"*\"]\n\n$1 e4 $1 e5 $14 Nf3 $4 Nc6 $0 Bb5 $7 a6 $6 *\n",
       {{{"e4!", "e5!", "Nf3??", "Nc6", "Bb5", "a6?!"}, N, ""}}},
      // A comment spans lines, tag-like ones too; variations go on across lines and comments; a
      // ';' remark ends at the line's end.
      {"[Result \"1-0\"]\n\n1.e4 {a long\n[Event \"not a tag\"]\n\ncomment} e5 (1...c5 {Sicilian "
       "(not)\nplayed} 2.Nf3\n"
       "(2.c3 d5) d6\n3.d4) 2.Nf3 ; a remark (with a parenthesis\nNc6 1-0\n",
       {{{"e4", "e5", "Nf3", "Nc6"}, W, ""}}},
      // A ';' remark inside a variation hides a closing parenthesis up to the line's end.
      {"[Result \"1-0\"]\n\n1.e4 e5 (1...c5 ; a remark) with a parenthesis\n2.Nf3 d6) 2.Nf3 Nc6 "
       "1-0\n",
       {{{"e4", "e5", "Nf3", "Nc6"}, W, ""}}},
      // A variation still open at the next tags is a broken game; an open comment swallows the
      // rest.
      {"[Result \"0-1\"]\n\n1.d4 (1.e4\n\n[Result \"1-0\"]\n\n1.c4 {forever\n\n[Result "
       "\"0-1\"]\n\n1.d4 0-1\n",
       {{{"d4"}, B, "unterminated variation"}, {{"c4"}, W, "unterminated comment"}}},
      // Windows line ends.
      {"[Result \"1/2-1/2\"]\r\n\r\n1.e4 e5\r\n2.Nf3 1/2-1/2\r\n\r\n",
       {{{"e4", "e5", "Nf3"}, D, ""}}},
      // Mixed and invalid results.
      {"[Event \"x\"]\n[Result \"1-0\"]\n\n1.e4 e5 0-1\n\n[Result \"1-O\"]\n\n1.d4 *\n",
       {{{"e4", "e5"}, W, "Warning: mixed results: 0-1 <> 1-0"},
        {{"d4"}, N, "invalid result: 1-O\"]"}}},
      {"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(readAll(c.text), c.games) << c.text;
  std::string printed;
  readAll(cases[7].text, &printed);
  EXPECT_EQ(
      printed,
      "line 5: WARN Warning: mixed results: 0-1 <> 1-0\nline 8: WARN invalid result: 1-O\"]\n");
}

// Junk without '$' (whose numbers become symbols): every move read is a word of the text, and
// there are never more games than tag sections.
TEST(PgnReader, JunkGivesNothingTheTextDoesNotHold) {
  std::mt19937 random(99);
  for (int round = 0; round < 40; round++) {
    std::string text;
    const int length = int(random() % 3000);
    static const char pieces[] = "[]{}()\"; \t\n\r0123456789-/*.ENxO";
    for (int i = 0; i < length; i++)
      text.push_back(random() % 3 == 0 ? char(random()) : pieces[random() % (sizeof pieces - 1)]);
    text.erase(std::remove(text.begin(), text.end(), '$'), text.end());
    const std::vector<Game> games = readAll(text);
    EXPECT_LE(games.size(), size_t(countOf(text, "[") + 1)) << round;
    for (const Game& g : games)
      for (const std::string& m : g.moves) ASSERT_TRUE(contains(text, m)) << round << ": " << m;
  }
}

}  // namespace
