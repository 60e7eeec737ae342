#include "training_data.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr char Magic[8] = {'M', 'L', 'V', 'K', 'T', 'R', 'N', '1'};

constexpr int WhiteCastlingRook = 12;
constexpr int BlackCastlingRook = 13;
constexpr int EnPassantPawn = 14;
// Kinds in nibble order (pawn, knight, bishop, rook, queen, king), as board kind codes.
constexpr int nibbleKinds[6] = {Pawn, Knight, Bishop, Rook, Queen, King};
constexpr const char* nibbleLetters = "PNBRQKpnbrqk";

void putLittle(uint8_t* at, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; i++) at[i] = uint8_t(value >> (8 * i));
}
uint64_t getLittle(const uint8_t* at, int bytes) {
  uint64_t value = 0;
  for (int i = 0; i < bytes; i++) value |= uint64_t(at[i]) << (8 * i);
  return value;
}

// Square n of the record (a1 = 0 .. h8 = 63) on the 0x88 board.
int boardSquare(int n) { return squareOf(n & 7, n >> 3); }

// The squares of the rooks that keep a castling right.
bool isCastlingRook(const Position& pos, int sq) {
  const CastleGeometry& g = pos.castle;
  struct Right {
    uint8_t right;
    int sq;
  };
  const Right rights[4] = {{WhiteKingSide, squareOf(g.kingRookFile, 0)},
                           {WhiteQueenSide, squareOf(g.queenRookFile, 0)},
                           {BlackKingSide, squareOf(g.kingRookFile, 7)},
                           {BlackQueenSide, squareOf(g.queenRookFile, 7)}};
  for (const Right& r : rights)
    if ((pos.castleRights & r.right) && r.sq == sq) return true;
  return false;
}

int nibbleOf(const Position& pos, int sq, int piece) {
  const int side = colourOf(piece);
  const int kind = tables.kindOfSlot[slotOf(piece)];
  if (kind == Rook && isCastlingRook(pos, sq))
    return side == White ? WhiteCastlingRook : BlackCastlingRook;
  // The pawn that has just advanced two squares stands in front of the en-passant square.
  if (kind == Pawn && pos.epSquare && sq == pos.epSquare + pawnStep[side]) return EnPassantPawn;
  const int index = int(std::find(nibbleKinds, nibbleKinds + 6, kind) - nibbleKinds);
  return index + 6 * side;
}

}  // namespace

PackedRecord packRecord(const Position& pos, int score, int ply, int result, uint32_t game) {
  PackedRecord bytes{};
  uint64_t occupied = 0;
  int men = 0;
  for (int n = 0; n < 64; n++) {
    const int sq = boardSquare(n);
    const int piece = pos.at(sq);
    if (piece == Empty) continue;
    occupied |= uint64_t(1) << n;
    bytes[8 + men / 2] |= uint8_t(nibbleOf(pos, sq, piece) << (4 * (men % 2)));
    men++;
  }
  putLittle(&bytes[0], occupied, 8);
  putLittle(&bytes[24], uint16_t(int16_t(std::clamp(score, -32767, 32767))), 2);
  putLittle(&bytes[26], uint32_t(ply & 0x3FF) | uint32_t(result & 3) << 10 | pos.sideToMove << 12,
            2);
  putLittle(&bytes[28], game, 4);
  return bytes;
}

void setRecordResult(PackedRecord& bytes, int result) {
  const uint32_t facts = uint32_t(getLittle(&bytes[26], 2));
  putLittle(&bytes[26], (facts & ~0xC00u) | uint32_t(result & 3) << 10, 2);
}

TrainingRecord readRecord(const PackedRecord& bytes) {
  TrainingRecord r;
  r.packed = bytes;
  r.score = int16_t(getLittle(&bytes[24], 2));
  const int facts = int(getLittle(&bytes[26], 2));
  r.ply = facts & 0x3FF;
  r.result = (facts >> 10) & 3;
  r.sideToMove = (facts >> 12) & 1;
  r.game = uint32_t(getLittle(&bytes[28], 4));
  return r;
}

std::string recordFen(const PackedRecord& bytes) {
  const uint64_t occupied = getLittle(&bytes[0], 8);
  const TrainingRecord facts = readRecord(bytes);
  char board[64] = {};
  std::string castling, enPassant = "-";
  int men = 0;
  for (int n = 0; n < 64; n++) {
    if (!(occupied >> n & 1)) continue;
    const int code = (bytes[8 + men / 2] >> (4 * (men % 2))) & 15;
    men++;
    if (men > 32) return "";
    const char fileLetter = char('a' + (n & 7));
    if (code == WhiteCastlingRook || code == BlackCastlingRook) {
      board[n] = code == WhiteCastlingRook ? 'R' : 'r';
      castling += code == WhiteCastlingRook ? char(fileLetter - 32) : fileLetter;
    } else if (code == EnPassantPawn) {
      const bool white = (n >> 3) == 3;  // a White pawn that advanced two squares is on rank 4
      board[n] = white ? 'P' : 'p';
      enPassant = std::string(1, fileLetter) + char((white ? '3' : '6'));
    } else if (code < 12) {
      board[n] = nibbleLetters[code];
    } else {
      return "";
    }
  }
  std::string fen;
  for (int rank = 7; rank >= 0; rank--) {
    int empty = 0;
    for (int file = 0; file < 8; file++) {
      const char c = board[rank * 8 + file];
      if (!c) {
        empty++;
        continue;
      }
      if (empty) fen += char('0' + empty);
      empty = 0;
      fen += c;
    }
    if (empty) fen += char('0' + empty);
    if (rank) fen += '/';
  }
  fen += facts.sideToMove == Black ? " b " : " w ";
  fen += castling.empty() ? "-" : castling;
  fen += " " + enPassant + " 0 " + std::to_string(1 + facts.ply / 2);
  return fen;
}

bool unpackPosition(const PackedRecord& bytes, Position& pos) {
  const std::string fen = recordFen(bytes);
  if (fen.empty() || !setFen(pos, fen.c_str())) {
    clearPosition(pos);
    return false;
  }
  return true;
}

PackedRecord packHeader(const DataHeader& header) {
  PackedRecord bytes{};
  std::memcpy(&bytes[0], Magic, 8);
  putLittle(&bytes[8], header.seed, 8);
  putLittle(&bytes[16], header.nodes, 4);
  putLittle(&bytes[20], header.randomPlies, 2);
  putLittle(&bytes[24], header.openingsHash, 8);
  return bytes;
}

bool readHeader(const PackedRecord& bytes, DataHeader& header) {
  if (std::memcmp(&bytes[0], Magic, 8) != 0) return false;
  header.seed = getLittle(&bytes[8], 8);
  header.nodes = uint32_t(getLittle(&bytes[16], 4));
  header.randomPlies = uint32_t(getLittle(&bytes[20], 2));
  header.openingsHash = getLittle(&bytes[24], 8);
  return true;
}

bool readDataFile(const char* path, DataHeader& header, std::vector<PackedRecord>& records,
                  std::string& error) {
  FILE* file = std::fopen(path, "rb");
  if (!file) {
    error = std::string("cannot read ") + path;
    return false;
  }
  PackedRecord bytes;
  const bool headed =
      std::fread(bytes.data(), 1, RecordBytes, file) == RecordBytes && readHeader(bytes, header);
  if (!headed) {
    std::fclose(file);
    error = std::string(path) + " is no training data file (no header)";
    return false;
  }
  while (std::fread(bytes.data(), 1, RecordBytes, file) == RecordBytes) records.push_back(bytes);
  std::fclose(file);
  return true;
}
