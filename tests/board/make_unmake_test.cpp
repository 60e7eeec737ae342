// Make/unmake round trips and incremental state, the staged generators and the legality test for
// foreign move words against the full generator, and the check flags moves carry; all on
// positions from random play, from the standard and from Chess960 start positions.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <tuple>

#include "board/makemove.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "board/rays.h"
#include "support/positions.h"

namespace {

// Every field that unmakeMove must restore, history included up to the current ply.
void expectSameRecord(const Position& a, const Position& b, const std::string& context) {
  auto fields = [](const Position& p) {
    return std::tie(p.hashKey, p.pawnKey, p.occupied, p.sideToMove, p.ply, p.material[0],
                    p.material[1], p.lastIrreversible, p.castleRights, p.epSquare, p.promotedCount);
  };
  ASSERT_TRUE(fields(a) == fields(b)) << context;
  ASSERT_EQ(memcmp(a.board, b.board, sizeof a.board), 0) << context;
  ASSERT_EQ(memcmp(a.pieceSquare, b.pieceSquare, sizeof a.pieceSquare), 0) << context;
  ASSERT_EQ(memcmp(a.keyHistory, b.keyHistory, a.ply * sizeof(uint64_t)), 0) << context;
}

// The incremental keys, occupancy, material and piece lists agree with a fresh computation, and
// the check flags of the move made with the board.
void expectIncrementalStateExact(const Position& pos, Move made, const std::string& context) {
  ASSERT_EQ(pos.hashKey, computeHashKey(pos)) << context;
  ASSERT_EQ(pos.pawnKey, computePawnKey(pos)) << context;
  ASSERT_EQ(pos.occupied, computeOccupancy(pos)) << context;
  ASSERT_EQ(pos.material[White], computeMaterial(pos, White)) << context;
  ASSERT_EQ(pos.material[Black], computeMaterial(pos, Black)) << context;
  for (int piece = WhiteBase; piece < Guard; piece++) {
    const int sq = pos.pieceSquare[piece];
    ASSERT_TRUE(sq == NoSquare || !onBoard(sq) || pos.at(sq) == piece) << context;
  }
  const int side = int(pos.sideToMove);
  ASSERT_EQ(givesCheck(made), isAttacked(pos, side ^ 1, pos.kingSquare(side))) << context;
  ASSERT_FALSE(isAttacked(pos, side, pos.kingSquare(side ^ 1))) << "king left in check " << context;
}

std::set<Move> legalMoves(Position& pos) {
  Move moves[MaxMoves];
  const int count = generateLegalMoves(pos, moves);
  std::set<Move> legal;
  for (int i = 0; i < count; i++) legal.insert(moves[i] & MoveCompareMask);
  return legal;
}

// Legal moves from the staged generators, filtered the way the search does: pin test, makeMove.
std::set<Move> stagedLegalMoves(Position& pos) {
  Move moves[MaxMoves * 2];
  Move* end = generateKingQuiets(pos, generateQuiets(pos, generateCaptures(pos, moves)));
  std::set<Move> legal;
  const UndoInfo undo = saveUndo(pos);
  const int king = pos.kingSquare(pos.sideToMove);
  for (Move* m = moves; m < end; m++) {
    if (moveFrom(*m) != king && !(*m & MoveCastle) &&
        isPinnedMove(pos, king, moveFrom(*m), moveTo(*m)))
      continue;
    if (!makeMove(pos, *m)) continue;
    unmakeMove(pos, *m, undo);
    EXPECT_TRUE(legal.insert(*m & MoveCompareMask).second) << "a staged move twice";
  }
  return legal;
}

// Quiet moves that give check directly, and those that give it by discovery (perhaps directly
// too), by makeMove's flags or found by the check generators.
std::pair<std::set<Move>, std::set<Move>> quietChecks(Position& pos, bool generated) {
  std::set<Move> direct, discovered;
  const std::set<Move> legal = legalMoves(pos);
  Move moves[MaxMoves];
  if (generated) {
    for (Move *m = moves, *end = generateQuietChecks(pos, moves); m < end; m++)
      if (legal.count(*m & MoveCompareMask) && !(*m & MoveBatteryCheck))
        direct.insert(*m & MoveCompareMask);
    for (Move *m = moves, *end = generateDiscoveredChecks(pos, moves); m < end; m++)
      if (legal.count(*m & MoveCompareMask) && !(*m & MoveBatteryCheck))
        discovered.insert(*m & MoveCompareMask);
    return {direct, discovered};
  }
  for (int i = 0, count = generateLegalMoves(pos, moves); i < count; i++) {
    const Move m = moves[i];
    if (moveCaptured(m) || movePromotion(m) || (m & (MoveCastle | MoveEnPassant))) continue;
    // A double check belongs to the discovered checks alone: no generator hands it out twice.
    if (m & MoveDiscoveredCheck)
      discovered.insert(m & MoveCompareMask);
    else if (m & MoveDirectCheck)
      direct.insert(m & MoveCompareMask);
  }
  return {direct, discovered};
}

TEST(MakeUnmake, RandomGamesRestoreEveryFieldGeneratorsAgreeAndForeignMovesAreJudged) {
  std::mt19937 rng(20261206);
  std::vector<Move> foreign;  // move words of earlier positions, offered to later ones
  int checked = 0;
  for (int game = 0; game < 120; game++) {
    const std::string fen = game % 2 ? InitialFen : chess960Fen(game);
    auto pos = positionFrom(fen);
    for (int ply = 0; ply < 100; ply++) {
      Move moves[MaxMoves];
      Move* end = pos->inCheck() ? generateEvasions(*pos, moves, pos->previousMove())
                                 : generateMoves(*pos, moves);
      Position before;
      copyPosition(before, *pos);
      const UndoInfo undo = saveUndo(*pos);
      std::vector<Move> legal;
      for (Move* m = moves; m < end; m++) {
        const Move made = makeMove(*pos, *m);
        if (made) {
          expectIncrementalStateExact(*pos, made, fen);
          unmakeMove(*pos, *m, undo);
          legal.push_back(*m);
        }
        expectSameRecord(*pos, before, fen);
        checked++;
      }
      if (legal.empty()) break;
      if (!pos->inCheck()) {
        ASSERT_EQ(stagedLegalMoves(*pos), legalMoves(*pos)) << fenOf(*pos);
        ASSERT_EQ(quietChecks(*pos, true), quietChecks(*pos, false)) << fenOf(*pos);
        // Castling and en passant through attacked squares pass isMoveLegal's cheap tests but
        // are refused by makeMove; all other foreign words must be judged exactly.
        const std::set<Move> exact = legalMoves(*pos);
        for (int i = 0; i < 20 && !foreign.empty(); i++) {
          const Move m = foreign[rng() % foreign.size()];
          const bool expected = exact.count(m & MoveCompareMask) > 0;
          const bool judged = expected || !(m & (MoveCastle | MoveEnPassant));
          ASSERT_TRUE(!judged || isMoveLegal(*pos, m) == expected)
              << fenOf(*pos) << std::hex << " " << m;
        }
        foreign.insert(foreign.end(), moves, end);
      }
      ASSERT_NE(makeMove(*pos, legal[rng() % legal.size()]), 0u);
    }
  }
  EXPECT_GT(checked, 200000);
}

TEST(MakeMove, CheckFlagsDirectDiscoveredAndBoth) {
  const struct {
    const char* fen;
    const char* move;
    Move flags;
  } cases[] = {
      {"4k3/8/8/8/8/8/8/R5K1 w - - 0 1", "Ra8", MoveDirectCheck},
      {"4k3/8/8/8/8/8/4N3/4R1K1 w - - 0 1", "Nc3", MoveDiscoveredCheck},
      {"4k3/8/8/8/4N3/8/8/4R1K1 w - - 0 1", "Nd6", MoveCheckFlags},
      {"4k3/8/8/8/8/8/4B3/4R1K1 w - - 0 1", "Bb5", MoveCheckFlags},
      {"4k3/8/8/8/8/8/4B3/4R1K1 w - - 0 1", "Bd3", MoveDiscoveredCheck},
      {"4k3/8/8/8/8/8/8/4K2R w K - 0 1", "O-O", 0},
      {"5k2/8/8/8/8/8/8/4K2R w K - 0 1", "O-O", MoveDirectCheck},
      {"7k/8/8/8/8/8/1p6/2N1K3 b - - 0 1", "b1=Q", 0},
      {"4k3/8/8/8/8/8/1p6/2N1K3 b - - 0 1", "bxc1=Q", MoveDirectCheck},
  };
  for (const auto& c : cases)
    EXPECT_EQ(parseMove(*positionFrom(c.fen), c.move) & MoveCheckFlags, c.flags)
        << c.fen << " " << c.move;
}

}  // namespace
