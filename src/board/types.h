#pragma once
// Basic board vocabulary: squares, piece numbers, kinds and the move word.
#include <cstdint>

// A square is a 0x88 index: rank * 16 + file. Any square with a 0x88 bit set is off the board.
using Square = int;
using Move = uint32_t;

constexpr int White = 0;
constexpr int Black = 1;

constexpr int squareOf(int file, int rank) { return rank * 16 + file; }
constexpr int fileOf(int sq) { return sq & 7; }
constexpr int rankOf(int sq) { return (sq >> 4) & 7; }
constexpr bool onBoard(int sq) { return (sq & 0x88) == 0; }

// Piece numbers: 0 empty, 0xC0 off-board guard; white 64..127, black 128..191.
// The low six bits (the slot) fix the kind.
constexpr uint8_t Empty = 0;
constexpr uint8_t Guard = 0xC0;
constexpr int WhiteBase = 64;
constexpr int BlackBase = 128;
constexpr int colourBase(int side) { return 64 << side; }
constexpr int colourOf(int piece) { return piece >> 7; }  // 0 white, 1 black (for real pieces)
constexpr int slotOf(int piece) { return piece & 63; }
constexpr bool isPawnPiece(int piece) { return (piece & 0x38) == 8; }

// Kind codes index the letter string " pnk?brq"; bit 2 marks a slider.
constexpr int Pawn = 1;
constexpr int Knight = 2;
constexpr int King = 3;
constexpr int Bishop = 5;
constexpr int Rook = 6;
constexpr int Queen = 7;
constexpr const char* kindLetters = " pnk?brq";

// First slot of each kind and the slot that ends its list (holds 255).
constexpr int KingSlot = 4;
constexpr int PawnSlot = 8, PawnEnd = 16;
constexpr int KnightSlot = 20, KnightEnd = 30;
constexpr int BishopSlot = 32, BishopEnd = 42;
constexpr int RookSlot = 43, RookEnd = 53;
constexpr int QueenSlot = 54, QueenEnd = 63;
constexpr int kindFirstSlot[8] = {0, 8, 20, 4, 0, 32, 43, 54};
constexpr int kindEndSlot[8] = {0, 16, 30, 5, 0, 42, 53, 63};

constexpr uint8_t NoSquare = 255;  // free list entry / list end

// Move word layout.
constexpr Move MoveDirectCheck = 0x08;      // bit 3: the moved piece gives check
constexpr Move MoveDiscoveredCheck = 0x80;  // bit 7: discovered check
constexpr Move MoveCheckFlags = 0x88;
constexpr Move MoveSearchFlag = 0x0800;    // bit 11: reserved for the search
constexpr Move MoveBatteryCheck = 0x8000;  // bit 15: check through a battery (quiet checks)
constexpr Move MoveEnPassant = 1u << 27;
constexpr Move MoveCastle = 1u << 28;
constexpr Move MoveDoublePush = 1u << 29;
constexpr Move MoveSpecial = 0x1F000000;      // promotion, en passant, castling
constexpr Move MoveCompareMask = 0x3FFF7777;  // masks all flag bits off

constexpr int moveTo(Move m) { return int(m & 0x77); }
constexpr int moveFrom(Move m) { return int((m >> 8) & 0x77); }
constexpr int moveCaptured(Move m) { return int((m >> 16) & 0xFF); }
constexpr int movePromotion(Move m) { return int((m >> 24) & 7); }
constexpr bool givesCheck(Move m) { return (m & MoveCheckFlags) != 0; }
constexpr bool sameMove(Move a, Move b) { return ((a ^ b) & MoveCompareMask) == 0; }
constexpr Move makeMoveWord(int from, int to, int captured = 0) {
  return Move(to) | (Move(from) << 8) | (Move(captured) << 16);
}

// Largest number of moves a generator can write for any legal position.
constexpr int MaxMoves = 256;
