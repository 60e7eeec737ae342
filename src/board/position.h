#pragma once
// The Position record: a 0x88 mailbox of piece numbers with guard bands, per-side piece lists
// indexed by piece number, the set of occupied squares, incremental Zobrist keys, packed
// material counters, castling rights with Chess960 rook files, the en-passant square and the
// move history.
#include <cstdint>

#include "board/tables.h"
#include "board/types.h"

class OutputStream;

constexpr int MaxHistory = 1024;   // plies of key and move history
constexpr int MaxPromotions = 16;  // promoted pawns along one line (16 pawns at most exist)
// Plies reserved above the game for a search from its last position: game moves beyond
// MaxGamePly are refused so that the history never overflows.
constexpr int SearchHeadroom = 128;
constexpr int MaxGamePly = MaxHistory - SearchHeadroom;

// Castling geometry of the current set-up (Chess960 moves the king and rook files). Kept in
// the position so that positions set up from different FENs never disturb each other.
struct CastleGeometry {
  uint8_t mask[128];  // rights surviving a move from or to each square
  int kingFile = 4;
  int kingRookFile = 7;
  int queenRookFile = 0;
  uint8_t kingSideEmptyFiles = 0;  // files that must be empty to castle, bit per file
  uint8_t queenSideEmptyFiles = 0;
};

// Castling rights bits.
constexpr uint8_t WhiteKingSide = 1;
constexpr uint8_t BlackKingSide = 2;
constexpr uint8_t WhiteQueenSide = 4;
constexpr uint8_t BlackQueenSide = 8;

struct Position {
  uint8_t board[256];        // square s lives at board[64 + s]; the rest is guard 0xC0
  uint8_t pieceSquare[192];  // by piece number; 255 free/end, +0x80 captured
  uint64_t hashKey;          // pieces, castling and ep; not the side to move
  uint32_t sideToMove;
  uint32_t ply;  // moves made since set-up; next history index
  uint32_t material[2];
  uint64_t pawnKey;
  uint64_t occupied;  // occupied squares, bit per square (see board/rays.h)
  uint16_t lastIrreversible;
  uint8_t castleRights;
  uint8_t epSquare;  // 0 when there is none
  uint64_t keyHistory[MaxHistory];
  Move moveHistory[MaxHistory];  // moves made, with the check flags makeMove gave them
  uint8_t promotedPawns[MaxPromotions];
  uint32_t promotedCount;
  Move lastMove;  // move that led here, with its check flags
  CastleGeometry castle;

  uint8_t& at(int sq) { return board[64 + sq]; }
  uint8_t at(int sq) const { return board[64 + sq]; }
  int kingSquare(int side) const { return pieceSquare[colourBase(side) + KingSlot]; }
  // The move that led here with its check flags: the history keeps makeMove's flagged
  // result; at the root (nothing made yet) it is lastMove.
  Move previousMove() const { return ply ? moveHistory[ply - 1] : lastMove; }
  bool inCheck() const { return (previousMove() & MoveCheckFlags) != 0; }
  int fiftyMoveCount() const { return int(ply) - int(lastIrreversible); }
};

// What makeMove cannot restore from the move word, the key history and the lists.
struct UndoInfo {
  uint8_t epSquare;
  uint16_t lastIrreversible;
  uint8_t castleRights;
  uint64_t pawnKey;
  uint64_t occupied;
};

inline UndoInfo saveUndo(const Position& pos) {
  return UndoInfo{pos.epSquare, pos.lastIrreversible, pos.castleRights, pos.pawnKey, pos.occupied};
}

// Material counter fields.
inline int pieceUnits(uint32_t m) { return int(m & 0xFF); }
inline int pawnCount(uint32_t m) { return int((m >> 8) & 15); }
inline int knightCount(uint32_t m) { return int((m >> 12) & 15); }
inline int bishopCount(uint32_t m) { return int((m >> 16) & 15); }
inline int rookCount(uint32_t m) { return int((m >> 20) & 15); }
inline int queenCount(uint32_t m) { return int((m >> 24) & 15); }
inline int officerCount(uint32_t m) { return int(m >> 28); }

extern const char* const InitialFen;

void clearPosition(Position& pos);
bool setFen(Position& pos, const char* fen);
// The same, but a FEN that is refused leaves pos exactly as it was.
bool setFenOrKeep(Position& pos, const char* fen);
void writeFen(const Position& pos, OutputStream& out);
// The FEN as a string (convenience for logs and tests).
void fenString(const Position& pos, char* buffer, int size);
void printBoard(const Position& pos, OutputStream* out, int mode = 0);
void copyPosition(Position& dest, const Position& src);
void compactLists(Position& pos);
int castleRookSquare(const Position& pos, Move m);
// Recomputed keys and material, for verification and tests.
uint64_t computeHashKey(const Position& pos);
uint64_t computePawnKey(const Position& pos);
uint32_t computeMaterial(const Position& pos, int side);
void verifyPosition(const Position& pos, const char* label, Move m);
