// The UCI driver in-process: the search controller is not booted here, so "go" runs the
// search on the calling thread and every callback has happened when handle() returns.
#include "protocol/uci_driver.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <regex>
#include <string>

#include "base/log.h"
#include "base/tokenizer.h"
#include "board/tables.h"
#include "search/node_rules.h"

namespace {

class UciDriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    initTables();
    savedLog_ = logFile;
    logFile = nullptr;  // the driver's and the search's log lines are not under test here
    output_ = tmpfile();
    ASSERT_NE(output_, nullptr);
    position_ = std::make_unique<Position>();
    ASSERT_TRUE(setFen(*position_, InitialFen));
    driver_ = std::make_unique<UciDriver>(*position_, ProtocolConfig(), "9.9", output_);
  }
  void TearDown() override {
    searchController.listener = nullptr;
    searchController.maxDepth = 0;
    logFile = savedLog_;
    fclose(output_);
  }

  // Hands a whole line to the driver as the console does; true when it took it.
  bool line(const char* text) {
    Tokenizer words(RcString(text), " \t");
    RcString word = words.next();
    return driver_->handle(word, words.rest());
  }
  // What the driver wrote since the last call.
  std::string output() {
    fflush(output_);
    long end = ftell(output_);
    std::string text(size_t(end - read_), '\0');
    fseek(output_, read_, SEEK_SET);
    size_t got = fread(text.data(), 1, text.size(), output_);
    text.resize(got);
    read_ = end;
    fseek(output_, 0, SEEK_END);
    return text;
  }
  static bool contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
  }
  static int count(const std::string& text, const char* part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) n++;
    return n;
  }

  std::unique_ptr<Position> position_;
  std::unique_ptr<UciDriver> driver_;
  FILE* output_ = nullptr;
  FILE* savedLog_ = nullptr;
  long read_ = 0;
};

TEST_F(UciDriverTest, TakesItsOwnWordsEvenBeforeUci) {
  EXPECT_FALSE(driver_->active());
  EXPECT_FALSE(line(""));  // empty lines go on to the console until uci
  EXPECT_FALSE(line("xyz"));
  EXPECT_FALSE(line("g"));
  EXPECT_TRUE(line("isready"));
  EXPECT_EQ(output(), "readyok\n");
  EXPECT_TRUE(line("ucinewgame"));
  EXPECT_TRUE(line("setoption name Ponder value true"));
  EXPECT_TRUE(line("position startpos"));
  EXPECT_EQ(driver_->status(), StatusPositionSet);
}

TEST_F(UciDriverTest, ScoresAsCentipawnsOrMoves) {
  EXPECT_EQ(UciDriver::scoreText(31), " score cp 31");
  EXPECT_EQ(UciDriver::scoreText(-250), " score cp -250");
  EXPECT_EQ(UciDriver::scoreText(29000), " score cp 29000");
  EXPECT_EQ(UciDriver::scoreText(-29000), " score cp -29000");
  EXPECT_EQ(UciDriver::scoreText(Infinity - 1), " score mate 1");
  EXPECT_EQ(UciDriver::scoreText(Infinity - 5), " score mate 3");
  EXPECT_EQ(UciDriver::scoreText(-(Infinity - 2)), " score mate -1");
  EXPECT_EQ(UciDriver::scoreText(-(Infinity - 4)), " score mate -2");
  EXPECT_EQ(UciDriver::scoreText(29001), " score mate 500");
}

TEST_F(UciDriverTest, OptionsAreParsedWordByWord) {
  EXPECT_TRUE(driver_->ownBook());
  line("setoption name OwnBook value false");
  EXPECT_FALSE(driver_->ownBook());
  line("setoption name OwnBook true");  // without the "value" word
  EXPECT_TRUE(driver_->ownBook());

  line("setoption name Ponder value true");
  EXPECT_TRUE(driver_->canPonder());
  line("setoption name Ponder value false");
  EXPECT_FALSE(driver_->canPonder());

  line("setoption name CastleNotation value KxR");
  EXPECT_EQ(driver_->castleNotation(), CastleKxR);
  line("setoption name CastleNotation value nonsense");
  EXPECT_EQ(driver_->castleNotation(), CastleKxR);
  line("setoption name CastleNotation value O-O");
  EXPECT_EQ(driver_->castleNotation(), CastleOO);

  line("setoption name UCI_Chess960 value true");
  EXPECT_TRUE(driver_->chess960());

  line("setoption name UCI_Opponent value IM 2450 human Jane Doe");
  EXPECT_STREQ(driver_->opponentTitle().c_str(), "IM");
  EXPECT_EQ(driver_->opponentElo(), 2450);
  EXPECT_STREQ(driver_->opponentKind().c_str(), "human");
  EXPECT_STREQ(driver_->opponentName().c_str(), "Jane");
  line("setoption name UCI_Opponent value none none computer");
  EXPECT_EQ(driver_->opponentElo(), 0);
  EXPECT_STREQ(driver_->opponentName().c_str(), "");

  // Hash is clamped to the range the option declares; the table follows.
  line("setoption name Hash value 2");
  uint32_t small = searchController.table().sizeBytes();
  line("setoption name Hash value 8");
  EXPECT_GT(searchController.table().sizeBytes(), small);
  line("setoption name Hash value 1");
  uint32_t smallest = searchController.table().sizeBytes();
  line("setoption name Hash value 8");
  line("setoption name Hash value 0");
  EXPECT_EQ(searchController.table().sizeBytes(), smallest) << "0 is read as the minimum of 1";
  line("setoption name Hash value 32");
  line("setoption name Clear Hash");
  EXPECT_EQ(output(), "") << "options answer nothing";
}

// The listing and setoption come from one table: every option the "uci" answer lists is taken
// with the default it shows, and a name it does not list is refused.
TEST_F(UciDriverTest, EveryListedOptionIsTakenWithItsDefault) {
  line("uci");
  const std::string listing = output();
  const std::regex option("option name (.+?) +type (\\w+)(?: default (\\S+))?");
  int listed = 0;
  for (auto it = std::sregex_iterator(listing.begin(), listing.end(), option);
       it != std::sregex_iterator(); ++it, ++listed) {
    const std::string name = (*it)[1], value = (*it)[3];
    testing::internal::CaptureStderr();
    line(("setoption name " + name + (value.empty() ? "" : " value " + value)).c_str());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << name;
  }
  EXPECT_GE(listed, 8) << listing;
  testing::internal::CaptureStderr();
  line("setoption name NoSuchOption value 1");
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Option not supported: NoSuchOption"),
            std::string::npos);
}

TEST_F(UciDriverTest, SearchAnswersOnceAndStatusFollows) {
  line("position startpos moves e2e4 e7e5");
  line("go depth 2");
  std::string searched = output();
  EXPECT_EQ(count(searched, "bestmove "), 1) << searched;
  EXPECT_TRUE(contains(searched, "info depth 2 seldepth ")) << searched;
  EXPECT_EQ(driver_->status(), StatusIdle);
  // A stop after the answer owes nothing; a ponderhit neither.
  line("stop");
  line("ponderhit");
  EXPECT_EQ(output(), "");
  EXPECT_EQ(driver_->status(), StatusIdle);
  // Stop and ponderhit after a position without go: nothing was asked, nothing is answered.
  line("position startpos");
  line("stop");
  line("ponderhit");
  EXPECT_EQ(output(), "");
  EXPECT_EQ(driver_->status(), StatusPositionSet);
}

TEST_F(UciDriverTest, PonderResultWaitsForPonderhitOrStop) {
  line("position startpos moves e2e4");
  line("go ponder depth 2");
  EXPECT_EQ(count(output(), "bestmove"), 0);
  EXPECT_EQ(driver_->status(), StatusHeld);
  line("ponderhit");
  std::string hit = output();
  EXPECT_EQ(count(hit, "bestmove "), 1) << hit;
  EXPECT_TRUE(contains(hit, " ponder ")) << hit;
  EXPECT_TRUE(contains(hit, "info depth 2 seldepth ")) << hit;
  EXPECT_EQ(driver_->status(), StatusIdle);

  line("position startpos moves e2e4");
  line("go ponder depth 2");
  EXPECT_EQ(count(output(), "bestmove"), 0);
  line("stop");
  std::string stopped = output();
  EXPECT_EQ(count(stopped, "bestmove "), 1) << stopped;
  EXPECT_FALSE(contains(stopped, " ponder ")) << stopped;

  // A new position or go while a result is held answers that go first, once.
  for (const char* next : {"position startpos moves d2d4", "go depth 1"}) {
    line("position startpos moves e2e4");
    line("go ponder depth 1");
    EXPECT_EQ(count(output(), "bestmove"), 0);
    line(next);
    line("stop");
    std::string answered = output();
    EXPECT_EQ(count(answered, "bestmove"), next[0] == 'g' ? 2 : 1) << next << answered;
    EXPECT_FALSE(contains(answered, "bestmove 0000")) << answered;
  }
}

TEST_F(UciDriverTest, OutOfBookPlyAndNewGames) {
  // No book is open: the first search marks where the book was left.
  line("position startpos moves e2e4 e7e5");
  line("go depth 1");
  EXPECT_EQ(driver_->firstOutOfBookPly(), 3u);
  // The game goes on through that position: still out of book.
  line("position startpos moves e2e4 e7e5 g1f3 b8c6");
  EXPECT_EQ(driver_->firstOutOfBookPly(), 3u);
  // A move list that does not pass it is another game.
  line("position startpos moves d2d4");
  EXPECT_EQ(driver_->firstOutOfBookPly(), 0u);
  line("go depth 1");
  EXPECT_EQ(driver_->firstOutOfBookPly(), 2u);
  line("ucinewgame");
  EXPECT_EQ(driver_->firstOutOfBookPly(), 0u);
  output();
}

TEST_F(UciDriverTest, MovesAndFensFromTheInterface) {
  line("position fen 8/P7/8/8/8/8/8/k6K w - - 0 1 moves a7a8q a1b2");
  EXPECT_EQ(position_->ply, 2u);
  EXPECT_EQ(position_->sideToMove, uint32_t(White));
  // The last move made is remembered with its check flags (the search starts from it).
  line("position fen 6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1 moves d1d8");
  EXPECT_NE(position_->lastMove & MoveCheckFlags, 0u);
  // An unknown or illegal word ends the list; the moves before it stand, the last of them
  // (here a check) with its flags.
  line("position startpos moves e2e4 f7f5 d1h5 e8e7");
  EXPECT_EQ(position_->ply, 3u);
  EXPECT_NE(position_->lastMove & MoveCheckFlags, 0u);
  line("position startpos moves e2e4 e9e5 d7d5");
  EXPECT_EQ(position_->ply, 1u);
  // A refused FEN keeps the last good position; go then answers no move.
  line("position fen 8/8/8/8 w - - 0 1");
  EXPECT_EQ(position_->ply, 1u);
  output();
  line("go depth 1");
  EXPECT_EQ(output(), "bestmove 0000\n");
  line("position startpos");
  line("go depth 1");
  EXPECT_NE(output().find("bestmove "), std::string::npos);
}

}  // namespace
