// The search with a bitbase library loaded into the program's bitbases (the stand-in, and the
// library over Debian's Gaviota tables when it is built): it converts won endings and holds
// drawn king and pawn endings, against an opponent that takes its moves straight from the
// library's tables.
#include <gtest/gtest.h>

#include <string>

#include "board/makemove.h"
#include "board/movegen.h"
#include "board/tables.h"
#include "search/bitbase.h"
#include "search/bitbase_standin.h"
#include "search/search_controller.h"
#include "search/time_control.h"

namespace {

using namespace standin;

// The loaded library's answer for a position with at most three men (99999 otherwise).
int libraryValue(const Position& pos) {
  int code = 0, sq = 0, pieces = 0;
  for (int s = 0; s < 128; ++s) {
    if (!onBoard(s)) continue;
    int piece = pos.at(s);
    if (piece == Empty || slotOf(piece) == KingSlot) continue;
    int kind = tables.kindOfSlot[slotOf(piece)];
    code = kind == Queen    ? QueenCode
           : kind == Rook   ? RookCode
           : kind == Bishop ? BishopCode
           : kind == Knight ? KnightCode
                            : PawnCode;
    if (colourOf(piece) == Black) code += 6;
    sq = fromBoard(s);
    ++pieces;
  }
  if (pieces > 1) return NoInformation;
  return bitbases.probeFn(int(pos.sideToMove), fromBoard(pos.kingSquare(White)),
                          fromBoard(pos.kingSquare(Black)), code, sq, 0, 0, 0, 0);
}

// The side that has more than its king.
int strongSide(const Position& pos) {
  const uint32_t white = pos.material[White];
  return pawnCount(white) + officerCount(white) > 0 ? White : Black;
}

// The library's value for the side to move after m, or NoInformation if m is refused.
int valueAfter(Position& pos, Move m) {
  UndoInfo undo = saveUndo(pos);
  Move made = makeMove(pos, m);
  if (made == 0) return NoInformation;
  int value = libraryValue(pos);
  unmakeMove(pos, m, undo);
  return value;
}

bool isCheckmate(Position& pos) {
  Move moves[MaxMoves];
  return generateLegalMoves(pos, moves) == 0 && pos.inCheck();
}

class BitbaseSearchTest : public ::testing::TestWithParam<std::string> {
 protected:
  static void SetUpTestSuite() { initTables(); }

  void SetUp() override {
    ::testing::internal::CaptureStdout();
    bool loaded = bitbases.startUp(GetParam().c_str(), nullptr);
    ::testing::internal::GetCapturedStdout();
    ASSERT_TRUE(loaded);
    searchController.quiet = true;
    timeControl.infinite = 1;
  }

  // Other tests in this program expect the engine without bitbases.
  void TearDown() override {
    bitbases.loadFn = nullptr;
    bitbases.probeFn = nullptr;
    bitbases.egbbLoaded = false;
    bitbases.egbbModule.close();
  }

  // The engine's move at a fixed depth.
  static Move engineMove(const Position& pos, int depth) {
    searchController.maxDepth = depth;
    searchController.table().clear();
    searchController.setPosition(pos);
    searchController.start(false);
    return searchController.bestMove();
  }

  static void play(Position& pos, Move m) {
    Move made = makeMove(pos, m);
    ASSERT_NE(made, 0u);
    pos.lastMove = made;
  }

  // The library's best move: the quickest win, the longest defence, or among drawing moves
  // the one that leaves the opponent the fewest drawing replies.
  static Move perfectMove(Position& pos) {
    Move moves[MaxMoves];
    int count = generateLegalMoves(pos, moves);
    Move best = 0;
    int bestValue = 0, bestReplies = 0;
    for (int i = 0; i < count; ++i) {
      int value = valueAfter(pos, moves[i]);  // for the opponent: lower is better for us
      int replies = 0;
      if (value == 0) {
        UndoInfo undo = saveUndo(pos);
        makeMove(pos, moves[i]);
        Move answers[MaxMoves];
        int n = generateLegalMoves(pos, answers);
        for (int j = 0; j < n; ++j) replies += valueAfter(pos, answers[j]) == 0;
        unmakeMove(pos, moves[i], undo);
      }
      if (best == 0 || value < bestValue || (value == bestValue && replies < bestReplies)) {
        best = moves[i];
        bestValue = value;
        bestReplies = replies;
      }
    }
    return best;
  }
};

TEST_P(BitbaseSearchTest, ConvertsWonEndings) {
  const char* wins[] = {
      "8/8/8/3k4/8/8/8/Q3K3 w - - 0 1",   // queen: the mop-up value drives the king to the edge
      "8/8/8/4k3/8/8/8/R3K3 w - - 0 1",   // rook
      "8/8/3k4/8/8/8/7r/K7 b - - 0 1",    // Black's rook
      "4k3/8/4K3/4P3/8/8/8/8 w - - 0 1",  // king on the sixth in front of its pawn
      "8/4k3/8/4K3/4P3/8/8/8 b - - 0 1",  // opposition: Black to move must give way
      "8/k7/8/8/7P/8/8/K7 w - - 0 1",     // a runner the black king cannot catch
      "8/8/8/8/8/3k4/4p3/4K3 w - - 0 1",  // Black wins: Kf2 Kd2 and the pawn queens
  };
  for (const char* fen : wins) {
    Position pos;
    ASSERT_TRUE(setFen(pos, fen)) << fen;
    const int strong = strongSide(pos);
    ASSERT_GT(int(pos.sideToMove) == strong ? libraryValue(pos) : -libraryValue(pos), 3000) << fen;
    int plies = 0;
    for (; plies < 160 && !isCheckmate(pos); ++plies) {
      bool engineToMove = int(pos.sideToMove) == strong;
      Move m = engineToMove ? engineMove(pos, 5) : perfectMove(pos);
      ASSERT_NE(m, 0u) << fen << " ply " << plies;
      play(pos, m);
      if (engineToMove) {
        // The opponent must still be lost after every engine move.
        ASSERT_LT(libraryValue(pos), -3000) << fen << " ply " << plies;
      }
    }
    EXPECT_TRUE(isCheckmate(pos)) << fen << ": no mate after " << plies << " plies";
    EXPECT_NE(int(pos.sideToMove), strong) << fen;
  }
}

TEST_P(BitbaseSearchTest, FindsTheOnlyDrawingMoveInKingAndPawnEndings) {
  // Black to move in drawn positions where exactly one move keeps the draw (the library's
  // tables pick them), every 37th such position of the table.
  int tried = 0, found = 0;
  for (int index = 0; index < 64 * 64 * 64 && tried < 40; ++index) {
    int wk = index >> 12, bk = (index >> 6) & 63, sq = index & 63;
    if (bitbases.probeFn(1, wk, bk, PawnCode, sq, 0, 0, 0, 0) != 0) continue;
    Position pos;
    std::string fen = fenOf(1, wk, bk, PawnCode, sq);
    ASSERT_TRUE(setFen(pos, fen.c_str()));
    Move moves[MaxMoves];
    int count = generateLegalMoves(pos, moves), drawing = 0;
    for (int i = 0; i < count; ++i) drawing += valueAfter(pos, moves[i]) == 0;
    if (count < 2 || drawing != 1 || found++ % 37 != 0) continue;
    ++tried;
    Move m = engineMove(pos, 4);
    EXPECT_EQ(valueAfter(pos, m), 0) << fen;
  }
  EXPECT_EQ(tried, 40);
}

TEST_P(BitbaseSearchTest, HoldsDrawnKingAndPawnEndingsAgainstTheBestTries) {
  const char* draws[] = {
      "8/4k3/8/4K3/4P3/8/8/8 w - - 0 1",  // the defender has the opposition
      "k7/8/8/8/P7/8/8/2K5 w - - 0 1",    // rook pawn, defender in the corner
      "8/8/8/4p3/4k3/8/4K3/8 b - - 0 1",  // roles reversed: White defends
  };
  for (const char* fen : draws) {
    Position pos;
    ASSERT_TRUE(setFen(pos, fen)) << fen;
    ASSERT_EQ(libraryValue(pos), 0) << fen;
    const int strong = strongSide(pos);
    for (int plies = 0; plies < 40; ++plies) {
      Move moves[MaxMoves];
      if (generateLegalMoves(pos, moves) == 0) break;
      bool engineToMove = int(pos.sideToMove) != strong;
      Move m = engineToMove ? engineMove(pos, 4) : perfectMove(pos);
      play(pos, m);
      int value = libraryValue(pos);
      if (value == NoInformation) break;  // cannot happen with three men; safety
      ASSERT_EQ(value, 0) << fen << " ply " << plies;
    }
  }
}

#ifdef MELVOK_EGBB_GAVIOTA_DIR
INSTANTIATE_TEST_SUITE_P(Libraries, BitbaseSearchTest,
                         ::testing::Values(MELVOK_EGBB_DIR, gaviotaDirectory()),
                         [](const auto& info) { return info.index == 0 ? "StandIn" : "Gaviota"; });
#else
INSTANTIATE_TEST_SUITE_P(Libraries, BitbaseSearchTest,
                         ::testing::Values(std::string(MELVOK_EGBB_DIR)),
                         [](const auto&) { return "StandIn"; });
#endif

}  // namespace
