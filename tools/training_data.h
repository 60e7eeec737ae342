#pragma once
// Training data for the evaluation: quiet positions of self-play games, each with the score the
// search gave it and the result of its game, in files of fixed-size binary records.
//
// A file is a 32-byte header followed by 32-byte records, all numbers little-endian.
//
// The header:
//   bytes  0..7   the magic "MLVKTRN1"
//   bytes  8..15  the generator's seed
//   bytes 16..19  the nodes searched a move
//   bytes 20..21  the random plies played after the opening line
//   bytes 22..23  zero
//   bytes 24..31  a hash of the opening lines the games started from
//
// A record, one position:
//   bytes  0..7   the occupied squares, bit n for square n (a1 = 0, b1 = 1, ..., h8 = 63)
//   bytes  8..23  a nibble per occupied square in square order, the low nibble first:
//                   0..5   White pawn, knight, bishop, rook, queen, king
//                   6..11  Black pawn, knight, bishop, rook, queen, king
//                   12, 13 a White, Black rook that keeps its right to castle
//                   14     a pawn that has just advanced two squares and can be taken en
//                          passant (its colour follows from its rank)
//   bytes 24..25  the search score in centipawns, from the side to move's view (signed)
//   bytes 26..27  bits 0..9 the ply of the game, bits 10..11 its result for White (0 lost,
//                 1 drawn, 2 won), bit 12 the side to move (1 for Black)
//   bytes 28..31  the index of the game in its file
// At most 32 men fit; the squares of castling rooks name the castling rights, so Chess960
// positions are stored as well as standard ones. The half-move clock is not kept.
#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "board/position.h"

constexpr int RecordBytes = 32;
using PackedRecord = std::array<uint8_t, RecordBytes>;

constexpr int ResultBlackWon = 0;
constexpr int ResultDrawn = 1;
constexpr int ResultWhiteWon = 2;

// One position with what a game and its search said about it.
struct TrainingRecord {
  PackedRecord packed{};  // the position (bytes 0..23; the rest is filled by pack)
  int score = 0;          // side to move's view
  int ply = 0;
  int result = ResultDrawn;  // for White
  int sideToMove = White;
  uint32_t game = 0;
};

// The record bytes of a position and its facts; the score is clamped to 16 bits.
PackedRecord packRecord(const Position& pos, int score, int ply, int result, uint32_t game);
// Writes the game's result (for White) into a packed record.
void setRecordResult(PackedRecord& bytes, int result);
// The facts of a record (the position stays packed in `packed`).
TrainingRecord readRecord(const PackedRecord& bytes);
// The FEN of a record's position (half-move clock 0, move number from the ply).
std::string recordFen(const PackedRecord& bytes);
// Sets up pos from a record; false (with pos cleared) when the bytes hold no legal position.
bool unpackPosition(const PackedRecord& bytes, Position& pos);

struct DataHeader {
  uint64_t seed = 0;
  uint32_t nodes = 0;
  uint32_t randomPlies = 0;
  uint64_t openingsHash = 0;
};

// Every tenth game of a file (by its index) is held out of a fit: never fitted, it shows
// whether the fit learnt the games or their noise.
inline bool isHeldOut(const PackedRecord& record) { return readRecord(record).game % 10 == 9; }

PackedRecord packHeader(const DataHeader& header);
// False when the bytes are no header of this format.
bool readHeader(const PackedRecord& bytes, DataHeader& header);

// All records of a file, in file order: false with a message in `error` when the file cannot be
// read or has no header of this format. A torn record at the end (an interrupted write) is left
// out.
bool readDataFile(const char* path, DataHeader& header, std::vector<PackedRecord>& records,
                  std::string& error);
