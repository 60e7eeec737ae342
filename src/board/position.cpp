#include "board/position.h"

#include <cstdlib>
#include <cstring>

#include "base/output_stream.h"
#include "board/notation.h"
#include "board/rays.h"

const char* const InitialFen = "rnbqkbnr/pppppppp/////PPPPPPPP/RNBQKBNR w KQkq - -";

void clearPosition(Position& pos) {
  memset(pos.board, Guard, sizeof pos.board);
  for (int sq = 0; sq < 128; sq++)
    if (onBoard(sq)) pos.at(sq) = Empty;
  memset(pos.pieceSquare, NoSquare, sizeof pos.pieceSquare);
  pos.pieceSquare[0] = 0;
  pos.hashKey = 0;
  pos.sideToMove = White;
  pos.ply = 0;
  pos.material[White] = pos.material[Black] = 0;
  pos.pawnKey = 0;
  pos.occupied = 0;
  pos.lastIrreversible = 0;
  pos.castleRights = 0;
  pos.epSquare = 0;
  pos.promotedCount = 0;
  pos.lastMove = 0;
  pos.castle = CastleGeometry{};
  memset(pos.castle.mask, 15, sizeof pos.castle.mask);
}

void copyPosition(Position& dest, const Position& src) {
  memcpy(dest.board, src.board, sizeof dest.board);
  memcpy(dest.pieceSquare, src.pieceSquare, sizeof dest.pieceSquare);
  dest.hashKey = src.hashKey;
  dest.sideToMove = src.sideToMove;
  dest.ply = src.ply;
  dest.material[0] = src.material[0];
  dest.material[1] = src.material[1];
  dest.pawnKey = src.pawnKey;
  dest.occupied = src.occupied;
  dest.lastIrreversible = src.lastIrreversible;
  dest.castleRights = src.castleRights;
  dest.epSquare = src.epSquare;
  size_t entries = src.ply < MaxHistory ? src.ply + 1 : MaxHistory;
  memcpy(dest.keyHistory, src.keyHistory, entries * sizeof(uint64_t));
  memcpy(dest.moveHistory, src.moveHistory, entries * sizeof(Move));
  memcpy(dest.promotedPawns, src.promotedPawns, sizeof dest.promotedPawns);
  dest.promotedCount = src.promotedCount;
  dest.lastMove = src.lastMove;
  dest.castle = src.castle;
}

void compactLists(Position& pos) {
  for (int side = White; side <= Black; side++) {
    int base = colourBase(side);
    for (int kind : {Pawn, Knight, Bishop, Rook, Queen}) {
      int next = kindFirstSlot[kind];
      for (int slot = kindFirstSlot[kind]; slot < kindEndSlot[kind]; slot++) {
        int sq = pos.pieceSquare[base + slot];
        if (sq == NoSquare) break;
        if (!onBoard(sq)) continue;
        pos.pieceSquare[base + next] = uint8_t(sq);
        pos.at(sq) = uint8_t(base + next);
        next++;
      }
      for (int slot = next; slot <= kindEndSlot[kind]; slot++)
        pos.pieceSquare[base + slot] = NoSquare;
    }
  }
  // Captured promoted pawns are gone from the lists, so the lines they belonged to can no
  // longer be taken back.
  pos.promotedCount = 0;
}

int castleRookSquare(const Position& pos, Move m) {
  int to = moveTo(m), from = moveFrom(m);
  int file = fileOf(to) >= 5 ? pos.castle.kingRookFile : pos.castle.queenRookFile;
  return squareOf(file, rankOf(from));
}

uint64_t computeHashKey(const Position& pos) {
  uint64_t key = 0;
  for (int piece = WhiteBase; piece < Guard; piece++) {
    int sq = pos.pieceSquare[piece];
    if (sq == NoSquare || !onBoard(sq)) continue;
    key ^= pieceKey(piece, sq);
  }
  key ^= tables.castleKeys[pos.castleRights];
  if (pos.epSquare) key ^= zobrist[pos.epSquare];
  return key;
}

uint64_t computePawnKey(const Position& pos) {
  uint64_t key = 0;
  for (int side = White; side <= Black; side++)
    for (int piece = colourBase(side) + PawnSlot; piece < colourBase(side) + PawnEnd; piece++) {
      int sq = pos.pieceSquare[piece];
      if (sq == NoSquare) break;
      if (onBoard(sq)) key ^= pieceKey(piece, sq);
    }
  return key;
}

uint64_t computeOccupancy(const Position& pos) {
  uint64_t occupied = 0;
  for (int sq = 0; sq < 128; sq++)
    if (onBoard(sq) && pos.at(sq) != Empty) occupied |= squareBit(sq);
  return occupied;
}

uint32_t computeMaterial(const Position& pos, int side) {
  uint32_t material = 0;
  int base = colourBase(side);
  for (int slot = 0; slot < 64; slot++) {
    int sq = pos.pieceSquare[base + slot];
    if (sq != NoSquare && onBoard(sq)) material += tables.materialOf[slot];
  }
  return material;
}

namespace {

[[noreturn]] void failVerification(const Position& pos, const char* label, Move m) {
  char text[MoveTextSize];
  printBoard(pos, &standardOutput());
  standardOutput().print("move: %s (%s)\n", printMove(pos, text, m), label);
  fflush(stdout);
  abort();
}

void printKey(const char* name, uint64_t key) {
  standardOutput().print("%s%08x%08x\n", name, unsigned(key >> 32), unsigned(key));
}

}  // namespace

void verifyPosition(const Position& pos, const char* label, Move m) {
  OutputStream& out = standardOutput();
  for (int side = White; side <= Black; side++) {
    int base = colourBase(side);
    for (int slot = 0; slot < 64; slot++) {
      int piece = base + slot;
      int sq = pos.pieceSquare[piece];
      if (sq == NoSquare || !onBoard(sq)) continue;
      if (pos.at(sq) != piece) {
        out.print("%s wrong index: sq=%x, col=%x, i=%x, ix=%x=%x\n", label, sq, base, slot, piece,
                  pos.at(sq));
        failVerification(pos, label, m);
      }
      if ((pos.at(sq) & 0xC0) != base) {
        out.print("%s wrong color: sq=%x, col=%x, i=%x, ix=%x=%x\n", label, sq, base, slot, piece,
                  pos.at(sq));
        failVerification(pos, label, m);
      }
    }
  }
  uint64_t real = computeHashKey(pos);
  if (real != pos.hashKey) {
    char text[MoveTextSize];
    printBoard(pos, &out);
    out.print("move: %s\n", printMove(pos, text, m));
    out.print("%s: hash not ok: %s\n", label, text);
    printKey("real : ", real);
    printKey("board: ", pos.hashKey);
    printKey("delta: ", real ^ pos.hashKey);
    printKey("chash: ", tables.castleKeys[pos.castleRights]);
    printKey("vhash: ", zobrist[8] | zobrist[9] | zobrist[10] | zobrist[11]);
    printKey("xhash: ", zobrist[8] ^ zobrist[9] ^ zobrist[10] ^ zobrist[11]);
    out.print("rites=%i\n", pos.castleRights);
    fflush(stdout);
    abort();
  }
  if (computeOccupancy(pos) != pos.occupied) {
    out.print("%s: occupancy not ok\n", label);
    failVerification(pos, label, m);
  }
  static const char* const labels[2] = {"%s: WhiteMaterial not ok: %x!=%x\n",
                                        "%s: BlackMaterial not ok: %x!=%x\n"};
  for (int side = White; side <= Black; side++) {
    uint32_t material = computeMaterial(pos, side);
    if (material != pos.material[side]) {
      out.print(labels[side], label, material, pos.material[side]);
      failVerification(pos, label, m);
    }
  }
}
