#include "board/tables.h"

#include <cstdlib>

namespace {

// splitmix64: a fixed, well-mixed sequence, evaluated at compile time so the key table is a
// constant of the program like any literal table.
constexpr uint64_t splitmix(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

constexpr std::array<uint64_t, 1024> makeZobrist() {
  std::array<uint64_t, 1024> keys{};
  uint64_t state = 0x6D656C766F6B2121ull;  // "melvok!!"
  for (auto& key : keys) key = splitmix(state);
  return keys;
}

int kindOfSlotNumber(int slot) {
  if (slot == KingSlot) return King;
  if (slot >= PawnSlot && slot < PawnEnd) return Pawn;
  if (slot >= KnightSlot && slot < KnightEnd) return Knight;
  if (slot >= BishopSlot && slot < BishopEnd) return Bishop;
  if (slot >= RookSlot && slot < RookEnd) return Rook;
  if (slot >= QueenSlot && slot < QueenEnd) return Queen;
  return 0;
}

void addRoute(int8_t (&routes)[256][2], int diff, int firstLeg) {
  auto& slot = routes[diff + 128];
  if (slot[0] == firstLeg || slot[1] == firstLeg) return;
  if (slot[0] == 0)
    slot[0] = int8_t(firstLeg);
  else
    slot[1] = int8_t(firstLeg);
}

void buildAttackTables(BoardTables& t) {
  t.attackMask[15 + 128] |= 0x01;
  t.attackMask[17 + 128] |= 0x01;
  t.attackMask[-15 + 128] |= 0x02;
  t.attackMask[-17 + 128] |= 0x02;
  for (int step : kingSteps) t.attackMask[step + 128] |= 0x04;
  for (int jump : knightSteps) {
    t.attackMask[jump + 128] |= 0x08;
    t.directionTo[jump + 128] = int8_t(jump);
  }
  for (int dir : diagonalDirections)
    for (int n = 1; n <= 7; n++) {
      t.attackMask[dir * n + 128] |= 0x10;
      t.directionTo[dir * n + 128] = int8_t(dir);
    }
  for (int dir : orthogonalDirections)
    for (int n = 1; n <= 7; n++) {
      t.attackMask[dir * n + 128] |= 0x20;
      t.directionTo[dir * n + 128] = int8_t(dir);
    }
}

void buildPieceTables(BoardTables& t) {
  static constexpr uint32_t materialByKind[8] = {0, 0x100,      0x10001003, 0,
                                                 0, 0x10010003, 0x10100005, 0x1100000A};
  static constexpr uint8_t unitsByKind[8] = {0, 1, 3, 0, 0, 3, 5, 10};
  static constexpr uint8_t attackBitsByKind[8] = {0, 0, 0x08, 0x04, 0, 0x10, 0x20, 0x30};
  for (int slot = 0; slot < 64; slot++) {
    int kind = kindOfSlotNumber(slot);
    t.kindOfSlot[slot] = uint8_t(kind);
    t.materialOf[slot] = materialByKind[kind];
    t.unitsOfSlot[slot] = unitsByKind[kind];
  }
  for (int side = White; side <= Black; side++)
    for (int slot = 0; slot < 64; slot++) {
      int piece = colourBase(side) + slot;
      int kind = t.kindOfSlot[slot];
      uint8_t bits = kind == Pawn ? (side == White ? 0x01 : 0x02) : attackBitsByKind[kind];
      t.pieceMask[piece] = uint8_t(bits | (side == White ? 0x40 : 0x80));
      t.keyCode[piece] = uint32_t(kind * 128 + side * 8);
    }
  t.pieceMask[Empty] = 0;
  t.pieceMask[Guard] = 0xC0;
}

struct Step {
  int file, rank;
  int diff() const { return rank * 16 + file; }
};

void buildTwoStepTables(BoardTables& t) {
  for (int a : knightSteps)
    for (int b : knightSteps)
      if (a + b != 0) addRoute(t.knightFirstJumps, a + b, a);
  // A slider's two legs: `first` along one line, then `second` along a perpendicular line.
  static constexpr Step orthogonal[4] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
  static constexpr Step diagonal[4] = {{1, 1}, {-1, 1}, {-1, -1}, {1, -1}};
  auto addLegs = [](int8_t(&routes)[256][2], const Step(&dirs)[4]) {
    for (const Step& a : dirs)
      for (const Step& b : dirs) {
        if (a.file * b.file + a.rank * b.rank != 0) continue;  // perpendicular only
        for (int n = 1; n <= 7; n++)
          for (int m = 1; m <= 7; m++) {
            Step total{a.file * n + b.file * m, a.rank * n + b.rank * m};
            if (abs(total.file) > 7 || abs(total.rank) > 7) continue;
            addRoute(routes, total.diff(), Step{a.file * n, a.rank * n}.diff());
          }
      }
  };
  addLegs(t.orthogonalFirstLegs, orthogonal);
  addLegs(t.diagonalFirstLegs, diagonal);
}

void buildCastleKeys(BoardTables& t) {
  for (int rights = 0; rights < 16; rights++) {
    uint64_t key = 0;
    for (int bit = 0; bit < 4; bit++)
      if (rights & (1 << bit)) key ^= zobrist[8 + bit];
    t.castleKeys[rights] = key;
  }
}

}  // namespace

const std::array<uint64_t, 1024> zobrist = makeZobrist();
BoardTables tables;

void initTables() {
  tables = BoardTables{};
  buildAttackTables(tables);
  buildPieceTables(tables);
  buildTwoStepTables(tables);
  buildCastleKeys(tables);
}
