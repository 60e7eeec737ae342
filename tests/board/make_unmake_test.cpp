// Make/unmake round trips and incremental state, and the staged generators checked against
// the full generator on positions from random play.
#include <gtest/gtest.h>

#include <algorithm>
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

// The incremental keys, occupancy, material and piece lists agree with a fresh computation.
void expectIncrementalStateExact(const Position& pos, const std::string& context) {
  ASSERT_EQ(pos.hashKey, computeHashKey(pos)) << context;
  ASSERT_EQ(pos.pawnKey, computePawnKey(pos)) << context;
  ASSERT_EQ(pos.occupied, computeOccupancy(pos)) << context;
  ASSERT_EQ(pos.material[White], computeMaterial(pos, White)) << context;
  ASSERT_EQ(pos.material[Black], computeMaterial(pos, Black)) << context;
  for (int piece = WhiteBase; piece < Guard; piece++) {
    const int sq = pos.pieceSquare[piece];
    if (sq != NoSquare && onBoard(sq)) {
      ASSERT_EQ(pos.at(sq), piece) << context;
    }
  }
}

std::vector<std::string> startingPoints() {
  std::vector<std::string> fens = {
      InitialFen,
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
      "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
      "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
      "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
  };
  for (int n : {0, 123, 518, 700, 959}) fens.push_back(chess960Fen(n));
  return fens;
}

TEST(MakeUnmake, RandomGamesRestoreEveryFieldAndKeepIncrementalStateExact) {
  std::mt19937 rng(20261206);
  int movesChecked = 0;
  for (const std::string& fen : startingPoints())
    for (int game = 0; game < 12; game++) {
      auto pos = positionFrom(fen);
      for (int ply = 0; ply < 120; ply++) {
        Move moves[MaxMoves];
        Move* end = pos->inCheck() ? generateEvasions(*pos, moves, pos->previousMove())
                                   : generateMoves(*pos, moves);
        if (end == moves) break;
        Position before;
        copyPosition(before, *pos);
        UndoInfo undo = saveUndo(*pos);
        std::vector<Move> legal;
        for (Move* m = moves; m < end; m++) {
          Move made = makeMove(*pos, *m);
          if (!made) {
            expectSameRecord(*pos, before, "refused move changed the position");
            continue;
          }
          expectIncrementalStateExact(*pos, fen.c_str());
          ASSERT_EQ(bool(made & MoveCheckFlags),
                    isAttacked(*pos, pos->sideToMove ^ 1, pos->kingSquare(pos->sideToMove)))
              << fen << " check flags of a move";
          ASSERT_FALSE(isAttacked(*pos, pos->sideToMove, pos->kingSquare(pos->sideToMove ^ 1)))
              << "king left in check";
          unmakeMove(*pos, *m, undo);
          expectSameRecord(*pos, before, fen.c_str());
          legal.push_back(*m);
          movesChecked++;
        }
        if (legal.empty()) break;
        Move chosen = legal[rng() % legal.size()];
        ASSERT_NE(makeMove(*pos, chosen), 0u);
      }
    }
  EXPECT_GT(movesChecked, 50000);
}

// Legal moves (no check flags) from the staged generators, filtered the way the search does:
// pin test first, then makeMove.
std::set<Move> stagedLegalMoves(Position& pos) {
  Move moves[MaxMoves * 2];
  Move* end = generateCaptures(pos, moves);
  end = generateQuiets(pos, end);
  end = generateKingQuiets(pos, end);
  std::set<Move> legal;
  UndoInfo undo = saveUndo(pos);
  int king = pos.kingSquare(pos.sideToMove);
  for (Move* m = moves; m < end; m++) {
    bool isKing = moveFrom(*m) == king;
    if (!isKing && !(*m & MoveCastle) && isPinnedMove(pos, king, moveFrom(*m), moveTo(*m)))
      continue;
    if (!makeMove(pos, *m)) continue;
    unmakeMove(pos, *m, undo);
    EXPECT_TRUE(legal.insert(*m & MoveCompareMask).second) << "duplicate staged move";
  }
  return legal;
}

std::set<Move> fullLegalMoves(Position& pos) {
  Move moves[MaxMoves];
  int count = generateLegalMoves(pos, moves);
  std::set<Move> legal;
  for (int i = 0; i < count; i++) legal.insert(moves[i] & MoveCompareMask);
  return legal;
}

TEST(StagedGenerators, CoverExactlyTheLegalMovesAndFindEveryQuietCheck) {
  std::mt19937 rng(7);
  int positions = 0;
  for (const std::string& fen : startingPoints())
    for (int game = 0; game < 20; game++) {
      auto pos = positionFrom(fen);
      int plies = int(rng() % 80);
      playRandomMoves(*pos, plies, rng);
      if (pos->inCheck()) continue;
      positions++;
      ASSERT_EQ(stagedLegalMoves(*pos), fullLegalMoves(*pos)) << fen << " after " << plies;

      // Quiet direct checks and discovered checks, against makeMove's own flags.
      Move all[MaxMoves];
      int count = generateLegalMoves(*pos, all);
      std::set<Move> directExpected, discoveredExpected;
      for (int i = 0; i < count; i++) {
        Move m = all[i];
        if (moveCaptured(m) || movePromotion(m) || (m & (MoveCastle | MoveEnPassant))) continue;
        if (m & MoveDirectCheck) directExpected.insert(m & MoveCompareMask);
        if (m & MoveDiscoveredCheck) discoveredExpected.insert(m & MoveCompareMask);
      }
      Move checks[MaxMoves];
      std::set<Move> directFound, discoveredFound;
      auto legalOnly = [&](Move* from, Move* to, std::set<Move>& into) {
        std::set<Move> legal = fullLegalMoves(*pos);
        for (Move* m = from; m < to; m++)
          if (legal.count(*m & MoveCompareMask) && !(*m & MoveBatteryCheck))
            into.insert(*m & MoveCompareMask);
      };
      legalOnly(checks, generateQuietChecks(*pos, checks), directFound);
      legalOnly(checks, generateDiscoveredChecks(*pos, checks), discoveredFound);
      EXPECT_EQ(directFound, directExpected) << fen << " after " << plies;
      EXPECT_EQ(discoveredFound, discoveredExpected) << fen << " after " << plies;
    }
  EXPECT_GT(positions, 100);
}

TEST(IsMoveLegal, AgreesWithTheGeneratorOnForeignMoveWords) {
  // Move words from one position offered to another: only those legal there may pass.
  std::mt19937 rng(99);
  std::vector<Move> pool;
  for (int game = 0; game < 200; game++) {
    auto pos = positionFrom(game % 2 ? InitialFen : chess960Fen(game % 960));
    playRandomMoves(*pos, int(rng() % 60), rng);
    if (pos->inCheck()) continue;
    Move moves[MaxMoves];
    Move* end = generateMoves(*pos, moves);
    for (Move* m = moves; m < end; m++) pool.push_back(*m);
    std::set<Move> legal = fullLegalMoves(*pos);
    for (int i = 0; i < 300 && !pool.empty(); i++) {
      Move m = pool[rng() % pool.size()];
      bool expected = legal.count(m & MoveCompareMask) > 0;
      // Castling and en passant through attacked squares pass isMoveLegal's cheap tests but
      // are refused by makeMove; all others must agree exactly.
      if (!expected && (m & (MoveCastle | MoveEnPassant))) continue;
      EXPECT_EQ(isMoveLegal(*pos, m), expected) << std::hex << m;
    }
  }
}

// (Refused en passant and castling through check: the perft file has such positions.)
TEST(MakeMove, CheckFlagsDirectDiscoveredAndBoth) {
  const struct {
    const char* fen;
    const char* move;
    Move flags;
  } flagCases[] = {
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
  for (const auto& c : flagCases) {
    auto flagged = positionFrom(c.fen);
    EXPECT_EQ(parseMove(*flagged, c.move) & MoveCheckFlags, c.flags) << c.fen << " " << c.move;
  }
}

}  // namespace
