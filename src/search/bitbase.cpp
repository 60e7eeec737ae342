#include "search/bitbase.h"

#include <cstdio>
#include <cstdlib>

#include "base/diagnostics.h"

namespace {

constexpr int MinCacheMb = 16;
// The cache size travels as a 32-bit count of bytes.
constexpr int MaxCacheMb = 2047;
constexpr int LoadOption = 1;

// The library's numbering: squares a1 = 0 .. h8 = 63; pieces 2 queen, 3 rook, 4 bishop,
// 5 knight, 6 pawn for White, plus 6 for Black.
inline int32_t probeSquare(int sq) { return fileOf(sq) + 8 * rankOf(sq); }
constexpr int32_t BlackPieceOffset = 6;

struct ProbeKind {
  int kind;
  int32_t code;
};
// The order in which the piece lists are walked.
constexpr ProbeKind ProbeKinds[5] = {{Queen, 2}, {Rook, 3}, {Bishop, 4}, {Knight, 5}, {Pawn, 6}};

// Centralisation of a square, by rank and file: the lone king wants the centre, the
// winning king too.
constexpr int8_t Centre[8][8] = {
    {-9, -8, -7, -6, -6, -7, -8, -9}, {-8, -5, -4, -3, -3, -4, -5, -8},
    {-7, -4, -1, 0, 0, -1, -4, -7},   {-6, -3, 0, 3, 3, 0, -3, -6},
    {-6, -3, 0, 3, 3, 0, -3, -6},     {-7, -4, -1, 0, 0, -1, -4, -7},
    {-8, -5, -4, -3, -3, -4, -5, -8}, {-9, -8, -7, -6, -6, -7, -8, -9},
};

// Where the winning king should stand relative to the lone king (a 0x88 offset), indexed by
// the lone king's square mirrored top to bottom: two ranks toward the centre, in
// opposition, or diagonally in front near the corners.
constexpr int8_t Approach[8][8] = {
    {-15, -32, -32, -32, -32, -32, -32, -17},
    {2, -15, -32, -32, -32, -32, -17, -2},
    {2, 2, -15, -32, -32, -17, -2, -2},
    {2, 2, 2, -15, -17, -2, -2, -2},
    {2, 2, 2, 17, 15, 2, -2, -2},
    {2, 2, 17, 32, 32, 15, -2, -2},
    {2, 17, 32, 32, 32, 32, 15, -2},
    {17, 32, 32, 32, 32, 32, 32, 15},
};

// King distance by 0x88 difference + 136; 8 where no two board squares differ so.
struct DistanceTable {
  uint8_t byDifference[256];
  constexpr DistanceTable() : byDifference() {
    for (int i = 0; i < 256; ++i) byDifference[i] = 8;
    for (int dr = -7; dr <= 7; ++dr)
      for (int df = -7; df <= 7; ++df) {
        int r = dr < 0 ? -dr : dr, f = df < 0 ? -df : df;
        byDifference[dr * 16 + df + 136] = uint8_t(r > f ? r : f);
      }
  }
};
constexpr DistanceTable Distance;

inline int dist(int a, int b) { return Distance.byDifference[a - b + 136]; }
inline int centre(int sq) { return Centre[rankOf(sq)][fileOf(sq)]; }
inline int approach(int sq) { return Approach[rankOf(sq)][fileOf(sq)]; }
// Distance from the nearest dark corner (a1 or h8) along the anti-diagonals.
inline int corner(int sq) {
  int sum = rankOf(sq) + fileOf(sq);
  return sum <= 7 ? sum : 14 - sum;
}

// King, bishop and knight with nothing else: material 6, one bishop, one knight, two pieces.
constexpr uint32_t BishopKnightMaterial = 0x20011006;

// Calls visit(square) for every piece of `kind` that side still has on the board.
template <typename Visit>
void forEachPiece(const Position& pos, int side, int kind, Visit visit) {
  int base = colourBase(side);
  for (int slot = kindFirstSlot[kind]; slot < kindEndSlot[kind]; ++slot) {
    int sq = pos.pieceSquare[base + slot];
    if (onBoard(sq)) visit(sq);
  }
}

}  // namespace

bool Bitbases::loadLibrary(const char* directory) {
  loadFn = nullptr;
  probeFn = nullptr;
  egbbLoaded = false;
  egbbMaxMen = 0;
  egbbPath =
      DynamicLibrary::joinPath(directory != nullptr && *directory != '\0' ? directory : "egbb", "");
  RcString name(egbbPath);
  name.append("egbbdll");
  name.append(DynamicLibrary::sharedLibrarySuffix());
  if (!egbbModule.open(name.c_str())) {
    diagnostic("EGBB: WARNING egbb dll not found: %s\n", name.c_str());
    return false;
  }
  auto load = reinterpret_cast<LoadFunction>(egbbModule.symbol("load_egbb_5men"));
  if (load == nullptr) {
    diagnostic("EGBB: 5men load not supported\n");
    egbbModule.close();
    return false;
  }
  auto probe = reinterpret_cast<ProbeFunction>(egbbModule.symbol("probe_egbb_5men"));
  if (probe == nullptr) {
    diagnostic("EGBB: 5men probe not supported\n");
    egbbModule.close();
    return false;
  }
  loadFn = load;
  probeFn = probe;
  egbbMaxMen = 5;
  return true;
}

bool Bitbases::initialise() {
  if (probeFn == nullptr) {
    diagnostic("EGBB: not available\n");
    return false;
  }
  if (egbbLoaded) return true;
  if (egbbCacheMb < MinCacheMb) egbbCacheMb = MinCacheMb;
  if (egbbCacheMb > MaxCacheMb) egbbCacheMb = MaxCacheMb;
  loadFn(egbbPath.c_str(), int32_t(egbbCacheMb) << 20, LoadOption);
  egbbLoaded = true;
  egbbRam = 4;

  // White king a1, black king h8, White to move, with pawns a3, then b3, then a black h7.
  bool three = probeFn(White, 0, 63, 6, 16, 0, 0, 0, 0) != EgbbNoInformation;
  bool four = probeFn(White, 0, 63, 6, 16, 6, 17, 0, 0) != EgbbNoInformation;
  bool five = probeFn(White, 0, 63, 6, 16, 6, 17, 12, 55) != EgbbNoInformation;
  diagnostic("egbb.3men=%i\n", three ? 1 : 0);
  diagnostic("egbb.4men=%i\n", four ? 1 : 0);
  diagnostic("egbb.5men=%i\n", five ? 1 : 0);
  egbbMaxMen = five ? 5 : four ? 4 : three ? 3 : 0;
  diagnostic("EGBB: loaded, maxmen=%i, ram=%i\n", egbbMaxMen, egbbRam);
  return true;
}

bool Bitbases::startUp(const char* directory, const char* cacheMb) {
  if (directory == nullptr || *directory == '\0') return false;
  loadLibrary(directory);
  // A missing key means the smallest cache; atoi reads bad numbers as 0, which does too.
  egbbCacheMb = cacheMb != nullptr && *cacheMb != '\0' ? std::atoi(cacheMb) : MinCacheMb;
  return initialise();
}

void Bitbases::unload() {
  loadFn = nullptr;
  probeFn = nullptr;
  egbbLoaded = false;
  egbbMaxMen = 0;
  egbbModule.close();
}

bool Bitbases::probe(const Position& pos, int& score) const {
  if (probeFn == nullptr) return false;
  if (bitbaseMen(pos) > egbbMaxMen - 2) return false;
  // The tables know no castling: a castling move may change the result or its distance.
  if (pos.castleRights != 0) return false;

  int32_t pieces[3][2] = {};
  int filled = 0;
  for (int side = White; side <= Black; ++side)
    for (const ProbeKind& kind : ProbeKinds)
      forEachPiece(pos, side, kind.kind, [&](int sq) {
        if (filled == 3) return;
        pieces[filled][0] = kind.code + (side == Black ? BlackPieceOffset : 0);
        pieces[filled][1] = probeSquare(sq);
        ++filled;
      });

  int32_t result = probeFn(int32_t(pos.sideToMove), probeSquare(pos.kingSquare(White)),
                           probeSquare(pos.kingSquare(Black)), pieces[0][0], pieces[0][1],
                           pieces[1][0], pieces[1][1], pieces[2][0], pieces[2][1]);
  if (result == EgbbNoInformation) return false;
  if (result == 0) {
    score = 0;
    return true;
  }
  int side = int(pos.sideToMove);
  int mopUp = result < 0 ? -mopUpValue(pos, side ^ 1) : mopUpValue(pos, side);
  score = mopUp == 0 ? int(result) : mopUp;
  return true;
}

int mopUpValue(const Position& pos, int winner) {
  int loser = winner ^ 1;
  uint32_t winning = pos.material[winner], losing = pos.material[loser];
  if (pawnCount(winning) != 0 || pawnCount(losing) != 0) return 0;

  int value =
      5000 + 100 * pieceUnits(winning) - 100 * pieceUnits(losing) - 100 * officerCount(losing);
  int winningKing = pos.kingSquare(winner), losingKing = pos.kingSquare(loser);
  value += centre(winningKing);
  value -= dist(winningKing, losingKing + approach(losingKing ^ 0x70));
  // Knights belong near the lone king; its own rooks are weaker far from it.
  forEachPiece(pos, winner, Knight, [&](int sq) { value -= dist(losingKing, sq) / 2; });
  forEachPiece(pos, loser, Rook, [&](int sq) { value += dist(losingKing, sq) / 2; });

  if (winning == BishopKnightMaterial) {
    // Mate is only forced in a corner of the bishop's colour: mirror the board for a light
    // bishop so that a1 and h8 are always the target corners.
    int bishop = -1;
    forEachPiece(pos, winner, Bishop, [&](int sq) {
      if (bishop < 0) bishop = sq;
    });
    int target = losingKing;
    if (((rankOf(bishop) + fileOf(bishop)) & 1) != 0) target ^= 7;
    return value - 8 * corner(target);
  }
  return value - 2 * centre(losingKing);
}
