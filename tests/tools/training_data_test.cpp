// The training record format: positions and their facts survive packing, the layout on disk is
// the documented one, and data files are read back whole (a torn last record left out).
#include "training_data.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "support/paths.h"
#include "support/positions.h"
#include "support/temp_dir.h"

namespace {

// The FEN without its two counters, which a record does not keep.
std::string boardFields(const std::string& fen) {
  size_t end = fen.size();
  for (int i = 0; i < 2; i++) end = fen.rfind(' ', end - 1);
  return fen.substr(0, end);
}

// Positions with every kind of state a record must carry: castling rights of both sides in
// standard and Chess960 set-ups, en-passant squares, promoted pieces, both sides to move.
std::vector<std::string> variedFens() {
  std::vector<std::string> fens = randomPlayFens(40, 120, 17);
  for (const std::string& fen : gameFens(dataPath("master-games.pgn"), 30, 3, 1))
    fens.push_back(fen);
  std::mt19937 rng(5);
  for (unsigned seed = 1; seed <= 30; seed++) {
    auto pos = positionFrom(chess960Fen(seed));
    for (int ply = 0; ply < 30 && !playRandomMoves(*pos, 1, rng).empty(); ply++)
      fens.push_back(fenOf(*pos));
  }
  fens.push_back("r3k2r/8/8/3pP3/8/8/8/R3K2R w KQkq d6 0 1");
  fens.push_back("4k3/8/8/8/2pP4/8/8/4K3 b - d3 0 1");
  fens.push_back("1Q2k3/8/8/8/8/8/8/4K1n1 b - - 0 1");
  return fens;
}

TEST(TrainingRecord, PositionsAndFactsSurvivePacking) {
  const std::vector<std::string> fens = variedFens();
  int castling = 0, enPassant = 0;
  auto unpacked = std::make_unique<Position>();
  for (size_t i = 0; i < fens.size(); i++) {
    auto pos = positionFrom(fens[i]);
    castling += pos->castleRights != 0;
    enPassant += pos->epSquare != 0;
    const int score = int(i % 2001) - 1000, ply = int(i % 1024), result = int(i % 3);
    const PackedRecord bytes = packRecord(*pos, score, ply, result, uint32_t(i * 7919));
    ASSERT_TRUE(unpackPosition(bytes, *unpacked)) << fens[i];
    ASSERT_EQ(boardFields(fenOf(*unpacked)), boardFields(fens[i]));
    EXPECT_EQ(unpacked->hashKey, pos->hashKey) << fens[i];
    const TrainingRecord r = readRecord(bytes);
    ASSERT_EQ(r.score, score);
    ASSERT_EQ(r.ply, ply);
    ASSERT_EQ(r.result, result);
    ASSERT_EQ(r.sideToMove, int(pos->sideToMove));
    ASSERT_EQ(r.game, uint32_t(i * 7919));
  }
  // The set must hold what could go wrong.
  EXPECT_GT(castling, 500);
  EXPECT_GT(enPassant, 20);

  // Scores beyond 16 bits are clamped, not wrapped; the result can be set afterwards.
  auto start = positionFrom(InitialFen);
  EXPECT_EQ(readRecord(packRecord(*start, 40000, 0, 0, 0)).score, 32767);
  EXPECT_EQ(readRecord(packRecord(*start, -40000, 0, 0, 0)).score, -32767);
  PackedRecord bytes = packRecord(*start, -5, 1023, ResultDrawn, 0xFFFFFFFF);
  setRecordResult(bytes, ResultBlackWon);
  const TrainingRecord r = readRecord(bytes);
  EXPECT_EQ(r.result, ResultBlackWon);
  EXPECT_EQ(r.score, -5);
  EXPECT_EQ(r.ply, 1023);
  EXPECT_EQ(r.game, 0xFFFFFFFFu);
}

// Files on disk outlive the code that wrote them: the bytes of one record, as documented.
TEST(TrainingRecord, LayoutOfTheStartPosition) {
  auto pos = positionFrom("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1");
  const PackedRecord bytes = packRecord(*pos, -300, 517, ResultWhiteWon, 0x01020304);
  const PackedRecord expected = {0xFF, 0xEF, 0x00, 0x10,
                                 0x00, 0x00, 0xFF, 0xFF,   // e2 empty, e4 taken
                                 0x1C, 0x42, 0x25, 0xC1,   // R* N B Q K B N R* (* castling rook)
                                 0x00, 0x00, 0x00, 0x00,   // seven pawns on rank 2, one on e4
                                 0x66, 0x66, 0x66, 0x66,   // Black's pawns
                                 0x7D, 0xA8, 0x8B, 0xD7,   // r* n b q k b n r*
                                 0xD4, 0xFE,               // -300
                                 0x05, 0x1A,               // ply 517, White won, Black to move
                                 0x04, 0x03, 0x02, 0x01};  // game 0x01020304
  EXPECT_EQ(bytes, expected);
}

TEST(TrainingRecord, HeaderAndFiles) {
  DataHeader header;
  header.seed = 0x123456789ABCDEFull;
  header.nodes = 6000;
  header.randomPlies = 8;
  header.openingsHash = 0xFEDCBA9876543210ull;
  DataHeader back;
  ASSERT_TRUE(readHeader(packHeader(header), back));
  EXPECT_EQ(back.seed, header.seed);
  EXPECT_EQ(back.nodes, 6000u);
  EXPECT_EQ(back.randomPlies, 8u);
  EXPECT_EQ(back.openingsHash, header.openingsHash);
  auto start = positionFrom(InitialFen);
  EXPECT_FALSE(readHeader(packRecord(*start, 0, 0, 0, 0), back));

  // Three records and the first ten bytes of a fourth: the torn one is left out.
  TempDir dir;
  std::string content(reinterpret_cast<const char*>(packHeader(header).data()), RecordBytes);
  for (int i = 0; i < 4; i++) {
    const PackedRecord r = packRecord(*start, i, i, ResultDrawn, uint32_t(i));
    content.append(reinterpret_cast<const char*>(r.data()), i < 3 ? RecordBytes : 10);
  }
  std::vector<PackedRecord> records;
  std::string error;
  ASSERT_TRUE(readDataFile(dir.write("data.bin", content).c_str(), back, records, error)) << error;
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(readRecord(records[2]).score, 2);

  records.clear();
  EXPECT_FALSE(readDataFile(dir.file("missing.bin").c_str(), back, records, error));
  EXPECT_NE(error.find("cannot read"), std::string::npos) << error;
  EXPECT_FALSE(
      readDataFile(dir.write("text.bin", std::string(100, 'x')).c_str(), back, records, error));
  EXPECT_NE(error.find("no training data"), std::string::npos) << error;
  EXPECT_TRUE(records.empty());
}

}  // namespace
