// The search with the stand-in bitbase library loaded into the program's bitbases (the library over
// Debian's Gaviota tables answers the same everywhere, see its test): it converts won endings and
// holds drawn king and pawn endings against an opponent that takes its moves from the library.
#include <gtest/gtest.h>

#include "board/makemove.h"
#include "search/bitbase.h"
#include "search/bitbase_standin.h"
#include "search/search_controller.h"
#include "support/search_recorder.h"
#include "support/text.h"

namespace {

// The search these tests drive: a controller of their own, with a small table.
SearchController& controller() {
  static SearchController search(16);
  return search;
}

using namespace standin;

// The loaded library's answer for a position of at most three men (NoInformation otherwise).
int libraryValue(const Position& pos) {
  int code = 0, sq = 0, pieces = 0;
  for (int s = 0; s < 128; ++s) {
    const int piece = onBoard(s) ? pos.at(s) : Empty;
    if (piece == Empty || slotOf(piece) == KingSlot) continue;
    const int codes[8] = {0, PawnCode, KnightCode, 0, 0, BishopCode, RookCode, QueenCode};
    code = codes[tables.kindOfSlot[slotOf(piece)]] + (colourOf(piece) == Black ? 6 : 0);
    sq = fromBoard(s);
    ++pieces;
  }
  if (pieces > 1) return NoInformation;
  return probe(controller().bitbases.probeFn, int(pos.sideToMove), fromBoard(pos.kingSquare(White)),
               fromBoard(pos.kingSquare(Black)), code, sq);
}

// The library's value for the side to move after m (NoInformation if m is refused).
int valueAfter(Position& pos, Move m) {
  const UndoInfo undo = saveUndo(pos);
  if (!makeMove(pos, m & ~MoveCheckFlags)) return NoInformation;
  const int value = libraryValue(pos);
  unmakeMove(pos, m & ~MoveCheckFlags, undo);
  return value;
}

struct BitbaseSearchTest : ::testing::Test {
  SearchRecorder recorder;
  void SetUp() override {
    prepareSearch(controller(), &recorder);
    bool loaded = false;
    captureStdout([&] { loaded = controller().bitbases.startUp(MELVOK_EGBB_DIR, nullptr); });
    ASSERT_TRUE(loaded);
    controller().useBitbases = true;
  }
  void TearDown() override { controller().listener = nullptr; }

  static Move engineMove(const Position& pos, int depth) {
    controller().maxDepth = depth;
    controller().newGame();
    controller().setPosition(pos);
    controller().start(false);
    return controller().bestMove();
  }
  // The library's best move: the quickest win, the longest defence, or among drawing moves the
  // one that leaves the opponent the fewest drawing replies.
  static Move perfectMove(Position& pos) {
    Move moves[MaxMoves], best = 0;
    const int count = generateLegalMoves(pos, moves);
    int bestValue = 0, bestReplies = 0;
    for (int i = 0; i < count; ++i) {
      const int value = valueAfter(pos, moves[i]);  // the opponent's: lower is better for us
      int replies = 0;
      if (value == 0) {
        const UndoInfo undo = saveUndo(pos);
        makeMove(pos, moves[i] & ~MoveCheckFlags);
        Move answers[MaxMoves];
        const int n = generateLegalMoves(pos, answers);
        for (int j = 0; j < n; ++j) replies += valueAfter(pos, answers[j]) == 0;
        unmakeMove(pos, moves[i] & ~MoveCheckFlags, undo);
      }
      if (best == 0 || value < bestValue || (value == bestValue && replies < bestReplies)) {
        best = moves[i];
        bestValue = value;
        bestReplies = replies;
      }
    }
    return best;
  }
  static int strongSide(const Position& pos) {
    return pawnCount(pos.material[White]) + officerCount(pos.material[White]) > 0 ? White : Black;
  }
};

TEST_F(BitbaseSearchTest, ConvertsWonEndings) {
  for (const char* fen : {
           "8/8/8/3k4/8/8/8/Q3K3 w - - 0 1",  // queen: the mop-up value drives the king to the edge
           "8/8/8/4k3/8/8/8/R3K3 w - - 0 1",  // rook
           "8/8/3k4/8/8/8/7r/K7 b - - 0 1",   // Black's rook
           "4k3/8/4K3/4P3/8/8/8/8 w - - 0 1",  // king on the sixth in front of its pawn
           "8/4k3/8/4K3/4P3/8/8/8 b - - 0 1",  // opposition: Black to move must give way
           "8/k7/8/8/7P/8/8/K7 w - - 0 1",     // a runner the black king cannot catch
           "8/8/8/8/8/3k4/4p3/4K3 w - - 0 1",  // Black wins: Kf2 Kd2 and the pawn queens
       }) {
    auto pos = positionFrom(fen);
    const int strong = strongSide(*pos);
    ASSERT_GT(int(pos->sideToMove) == strong ? libraryValue(*pos) : -libraryValue(*pos), 3000)
        << fen;
    Move moves[MaxMoves];
    int plies = 0;
    for (; plies < 160 && generateLegalMoves(*pos, moves) > 0; ++plies) {
      const bool engineToMove = int(pos->sideToMove) == strong;
      const Move m = engineToMove ? engineMove(*pos, 5) : perfectMove(*pos);
      ASSERT_NE(m, 0u) << fen << " ply " << plies;
      pos->lastMove = makeMove(*pos, m & ~MoveCheckFlags);
      ASSERT_NE(pos->lastMove, 0u);
      // The opponent is still lost after every engine move.
      if (engineToMove) {
        ASSERT_LT(libraryValue(*pos), -3000) << fen << " ply " << plies;
      }
    }
    EXPECT_TRUE(pos->inCheck() && generateLegalMoves(*pos, moves) == 0)
        << fen << ": no mate after " << plies;
    EXPECT_NE(int(pos->sideToMove), strong) << fen;
  }
}

TEST_F(BitbaseSearchTest, FindsTheOnlyDrawingMoveAndHoldsDrawnPawnEndings) {
  // Black to move in drawn positions where exactly one move keeps the draw, every 37th such
  // position of the table.
  int tried = 0, found = 0;
  for (int index = 0; index < 64 * 64 * 64 && tried < 40; ++index) {
    const int wk = index >> 12, bk = (index >> 6) & 63, sq = index & 63;
    if (probe(controller().bitbases.probeFn, 1, wk, bk, PawnCode, sq) != 0) continue;
    auto pos = positionFrom(fenOf(1, wk, bk, PawnCode, sq));
    Move moves[MaxMoves];
    const int count = generateLegalMoves(*pos, moves);
    int drawing = 0;
    for (int i = 0; i < count; ++i) drawing += valueAfter(*pos, moves[i]) == 0;
    if (count < 2 || drawing != 1 || found++ % 37 != 0) continue;
    ++tried;
    EXPECT_EQ(valueAfter(*pos, engineMove(*pos, 4)), 0) << fenOf(*pos);
  }
  EXPECT_EQ(tried, 40);
  for (const char* fen : {
           "8/4k3/8/4K3/4P3/8/8/8 w - - 0 1",  // the defender has the opposition
           "k7/8/8/8/P7/8/8/2K5 w - - 0 1",    // rook pawn, defender in the corner
           "8/8/8/4p3/4k3/8/4K3/8 b - - 0 1",  // roles reversed: White defends
       }) {
    auto pos = positionFrom(fen);
    ASSERT_EQ(libraryValue(*pos), 0) << fen;
    const int strong = strongSide(*pos);
    Move moves[MaxMoves];
    for (int plies = 0; plies < 40 && generateLegalMoves(*pos, moves) > 0; ++plies) {
      const Move m = int(pos->sideToMove) != strong ? engineMove(*pos, 4) : perfectMove(*pos);
      pos->lastMove = makeMove(*pos, m & ~MoveCheckFlags);
      ASSERT_NE(pos->lastMove, 0u) << fen;
      ASSERT_EQ(libraryValue(*pos), 0) << fen << " ply " << plies;
    }
  }
}

}  // namespace
