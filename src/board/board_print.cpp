// The console's picture of a position: the board, the recent moves beside it, the material
// balance, the FEN and the keys.
#include "base/output_stream.h"
#include "board/notation.h"
#include "board/position.h"

namespace {

constexpr const char* Separator = "   +---+---+---+---+---+---+---+---+";

void printCell(const Position& pos, OutputStream& out, int sq, int mode) {
  int piece = pos.at(sq);
  if (mode == 1) {
    out.print("| %2x", tables.pieceMask[piece]);
  } else if (mode >= 2) {
    out.print("| %2x", piece);
  } else if (piece == Empty) {
    out.put("|   ");
  } else {
    char letter = kindLetters[tables.kindOfSlot[slotOf(piece)]];
    if (piece < BlackBase)
      out.print("|(%c)", letter - 32);
    else
      out.print("|*%c*", letter);
  }
}

// One pair of moves from the history beside a board line, while any are left.
void printMovePair(const Position& pos, OutputStream& out, int& ply) {
  if (ply >= int(pos.ply)) return;
  char text[MoveTextSize];
  out.print("  %2i. %-6s", ply / 2 + 1, printMove(pos, text, pos.moveHistory[ply]));
  if (ply + 1 < int(pos.ply))
    out.print(" %-6s", printMove(pos, text, pos.moveHistory[ply + 1]));
  else
    out.put(" ...");
  ply += 2;
}

void printMaterial(const Position& pos, OutputStream& out) {
  uint32_t white = pos.material[White], black = pos.material[Black];
  int whiteUnits = pieceUnits(white) + pawnCount(white);
  int blackUnits = pieceUnits(black) + pawnCount(black);
  out.print("  %i-%i=%i ", whiteUnits, blackUnits, whiteUnits - blackUnits);
  if (white == black) return;
  static const struct {
    int (*count)(uint32_t);
    char letter;
  } kinds[5] = {{queenCount, 'Q'},
                {rookCount, 'R'},
                {bishopCount, 'B'},
                {knightCount, 'N'},
                {pawnCount, 'P'}};
  for (const auto& kind : kinds) {
    int surplus = kind.count(white) - kind.count(black);
    for (int i = 0; i < surplus; i++) out.put(kind.letter);
    for (int i = 0; i < -surplus; i++) out.put(char(kind.letter + 32));
  }
}

}  // namespace

void printBoard(const Position& pos, OutputStream* stream, int mode) {
  if (!stream) return;
  OutputStream& out = *stream;
  int ply = int(pos.ply) > 30 ? (int(pos.ply) - 30) & ~1 : 0;
  out.put("\n");
  for (int rank = 7; rank >= 0; rank--) {
    out.put(Separator);
    printMovePair(pos, out, ply);
    out.print("\n %i ", rank + 1);
    for (int file = 0; file < 8; file++) printCell(pos, out, squareOf(file, rank), mode);
    out.put("|");
    printMovePair(pos, out, ply);
    out.put("\n");
  }
  out.put(Separator);
  printMaterial(pos, out);
  out.put("\n     a   b   c   d   e   f   g   h\n\n");
  writeFen(pos, out);
  out.print("\n hash=%08x%08x\n", unsigned(pos.hashKey >> 32), unsigned(pos.hashKey));
  out.print("phash=%08x%08x\n", unsigned(pos.pawnKey >> 32), unsigned(pos.pawnKey));
}
