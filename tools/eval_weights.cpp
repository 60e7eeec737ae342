#include "eval_weights.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <regex>

namespace {

template <int N>
WeightTable weights(const char* name, int16_t (&t)[N]) {
  return {name, t, nullptr, N, 0, false, 0};
}
WeightTable weights(const char* name, SquareTable& t) {
  return {name, &t[0][0], nullptr, 64, 1, false, 0};
}
template <int N>
WeightTable weights(const char* name, SquareTable (&t)[N]) {
  return {name, &t[0][0][0], nullptr, 64 * N, N, true, 0};
}
WeightTable weights(const char* name, TracedWeight& v) {
  return {name, nullptr, &v, 1, 0, false, 0};
}

#define WEIGHTS(x) weights(#x, x)

std::vector<WeightTable> listWeights() {
  std::vector<WeightTable> tables = {
      WEIGHTS(PawnValue),
      WEIGHTS(KnightValue),
      WEIGHTS(BishopValue),
      WEIGHTS(RookValue),
      WEIGHTS(QueenValue),
      WEIGHTS(rookByPawns),
      WEIGHTS(bishopByPawns),
      WEIGHTS(knightByPawns),
      WEIGHTS(extraBishop),
      WEIGHTS(bishopVsKnightA),
      WEIGHTS(bishopVsKnightB),
      WEIGHTS(bishopPairVsNone),
      WEIGHTS(loneBishopVsNone),
      WEIGHTS(twoMinorsVsRook),
      WEIGHTS(minorVsRookC),
      WEIGHTS(minorVsRookD),
      WEIGHTS(minorVsRookA),
      WEIGHTS(minorVsRookB),
      WEIGHTS(queenVsRook),
      WEIGHTS(queenVsRookPawns),
      WEIGHTS(queenVsTwoRooks),
      WEIGHTS(minorUpB),
      WEIGHTS(minorUpA),
      WEIGHTS(imbalanceByPawns),
      WEIGHTS(ThreeMinorsVsQueen),
      WEIGHTS(ImbalancePerUnit),
      WEIGHTS(queenEndingScale),
      WEIGHTS(rookEndingScale),
      WEIGHTS(DrawishScale),
      WEIGHTS(LonePawnScale),
      WEIGHTS(SameBishopsScale),
      WEIGHTS(OppositeBishopsBase),
      WEIGHTS(OppositeBishopsPerPawn),
      WEIGHTS(TempoBonus),
      WEIGHTS(kingPawnSpan),
      WEIGHTS(kingFileDistance),
      WEIGHTS(kingScaleByPawns),
      WEIGHTS(kingScaleByUnits),
      WEIGHTS(kingDangerThresholds),
      WEIGHTS(KingShelterBase),
      WEIGHTS(KingDangerToMove),
      WEIGHTS(KingDangerWeight),
      WEIGHTS(KingAttackKnight),
      WEIGHTS(KingAttackBishop),
      WEIGHTS(KingAttackRook),
      WEIGHTS(KingAttackQueen),
      WEIGHTS(WalkStraight),
      WEIGHTS(WalkQueenEmptyEnd),
      WEIGHTS(WalkBishopEndFree),
      WEIGHTS(WalkRookEndOnRook),
      WEIGHTS(WalkOwnPawnOnDiagonal),
      WEIGHTS(WalkOwnPieceOnDiagonal),
      WEIGHTS(WalkOwnPawnOnLine),
      WEIGHTS(WalkPawnToLever),
      WEIGHTS(WalkOwnPieceOnLine),
      WEIGHTS(WalkBattery),
      WEIGHTS(WalkEnemyPiece),
      WEIGHTS(WalkEnemyBishopOnDiagonal),
      WEIGHTS(WalkEnemyPawnOnLine),
      WEIGHTS(WalkEnemyRookOnLine),
      WEIGHTS(WalkGuardingPawn),
      WEIGHTS(WalkQueenEnemyPiece),
      WEIGHTS(WalkQueenGuardingPawn),
      WEIGHTS(KingShieldWeight),
      WEIGHTS(KingShieldBase),
      WEIGHTS(ShieldBishopInFront),
      WEIGHTS(CastlingShieldCost),
      WEIGHTS(CastlingPathPiece),
      WEIGHTS(kingSquareTable),
      WEIGHTS(kingDanger),
      WEIGHTS(shelterTable),
      WEIGHTS(stormTable),
      WEIGHTS(knightMobilityMg),
      WEIGHTS(knightMobilityEg),
      WEIGHTS(knightAttacksMg),
      WEIGHTS(knightAttacksEg),
      WEIGHTS(knightSquareTable),
      WEIGHTS(knightBehindPawn),
      WEIGHTS(knightPawnAhead),
      WEIGHTS(bishopMobility),
      WEIGHTS(bishopAttacksMg),
      WEIGHTS(bishopAttacksEg),
      WEIGHTS(bishopSquareTable),
      WEIGHTS(rookMobilityMg),
      WEIGHTS(rookMobilityEg),
      WEIGHTS(rookAttacksMg),
      WEIGHTS(rookAttacksEg),
      WEIGHTS(rookOpenFile),
      WEIGHTS(rookHalfOpenFile),
      WEIGHTS(queenSquareMg),
      WEIGHTS(queenSquareEg),
      WEIGHTS(TrappedMinorPenalty),
      WEIGHTS(TrappedRookPenalty),
      WEIGHTS(RookSeventhKingBackMg),
      WEIGHTS(RookSeventhKingBackEg),
      WEIGHTS(RookSeventhKingSeventh),
      WEIGHTS(QueenSeventhKingBackMg),
      WEIGHTS(QueenSeventhKingBackEg),
      WEIGHTS(QueenSeventhKingSeventh),
      WEIGHTS(QueenNearKing),
      WEIGHTS(QueenKingDistance),
      WEIGHTS(pawnSquareMg),
      WEIGHTS(pawnSquareEg),
      WEIGHTS(passedMg),
      WEIGHTS(passedEg),
      WEIGHTS(isolatedMg),
      WEIGHTS(isolatedEg),
      WEIGHTS(doubledMg),
      WEIGHTS(doubledEg),
      WEIGHTS(backwardMg),
      WEIGHTS(backwardEg),
      WEIGHTS(pawnChainBonus),
      WEIGHTS(DoubledOpenMg),
      WEIGHTS(IsolatedOpenMg),
      WEIGHTS(IsolatedOpenEg),
      WEIGHTS(BackwardOpenMg),
      WEIGHTS(BackwardOpenEg),
      WEIGHTS(passedPhalanxMg),
      WEIGHTS(passedPhalanxEg),
      WEIGHTS(passedDefendedMg),
      WEIGHTS(passedDefendedEg),
      WEIGHTS(candidateMg),
      WEIGHTS(candidateEg),
      WEIGHTS(passerFree),
      WEIGHTS(passerBlocked),
      WEIGHTS(passerBlockedByMinor),
      WEIGHTS(passerOwnKing),
      WEIGHTS(passerEnemyKing),
      WEIGHTS(passerRookBehind),
      WEIGHTS(PromotionVsMinor),
      WEIGHTS(PromotionVsRook),
      WEIGHTS(PromotionVsQueen),
      WEIGHTS(RaceWin),
      WEIGHTS(RacePerMove),
      WEIGHTS(StormContact),
      WEIGHTS(StormLever),
      WEIGHTS(StormBlocked),
  };
  int id = 0;
  for (WeightTable& t : tables) {
    t.firstId = id;
    id += t.count;
  }
  return tables;
}

// The id of every weight by its address: the weights lie close together, so a table over their
// span, one slot per two bytes (the smallest weight), finds any of them at once.
class IdsByAddress {
 public:
  IdsByAddress() {
    for (const WeightTable& t : weightTables()) {
      const char* begin = t.entries ? reinterpret_cast<const char*>(t.entries)
                                    : reinterpret_cast<const char*>(t.scalar);
      const size_t bytes = t.entries ? sizeof(int16_t) : sizeof(TracedWeight);
      for (int i = 0; i < t.count; i++) entries_.push_back({begin + i * bytes, t.firstId + i});
    }
    low_ = entries_[0].address;
    const char* high = low_;
    for (const Entry& e : entries_) {
      low_ = std::min(low_, e.address);
      high = std::max(high, e.address);
    }
    const size_t span = size_t(high - low_) / 2 + 1;
    if (span <= MaxSlots) {
      slots_.assign(span, UnknownWeight);
      for (const Entry& e : entries_) slots_[size_t(e.address - low_) / 2] = uint16_t(e.id);
    }
    std::sort(entries_.begin(), entries_.end(),
              [](const Entry& a, const Entry& b) { return a.address < b.address; });
  }

  uint16_t operator()(const void* entry) const {
    const char* at = static_cast<const char*>(entry);
    if (!slots_.empty()) {
      if (at < low_ || size_t(at - low_) / 2 >= slots_.size() || (at - low_) % 2)
        return UnknownWeight;
      return slots_[size_t(at - low_) / 2];
    }
    // Weights spread over more memory than expected: a search instead.
    auto found = std::lower_bound(entries_.begin(), entries_.end(), at,
                                  [](const Entry& e, const char* p) { return e.address < p; });
    return found != entries_.end() && found->address == at ? uint16_t(found->id) : UnknownWeight;
  }

 private:
  static constexpr size_t MaxSlots = size_t(1) << 22;
  struct Entry {
    const char* address;
    int id;
  };
  std::vector<Entry> entries_;
  const char* low_ = nullptr;
  std::vector<uint16_t> slots_;
};

}  // namespace

const std::vector<WeightTable>& weightTables() {
  static const std::vector<WeightTable> tables = listWeights();
  return tables;
}

int weightCount() {
  const WeightTable& last = weightTables().back();
  return last.firstId + last.count;
}

WeightEntry weightEntry(int id) {
  for (const WeightTable& t : weightTables())
    if (id >= t.firstId && id < t.firstId + t.count) return {&t, id - t.firstId};
  return {nullptr, 0};
}

std::string weightName(int id) {
  const WeightEntry e = weightEntry(id);
  if (!e.table) return "unknown weight " + std::to_string(id);
  auto subscript = [](int i) {
    char text[16];
    std::snprintf(text, sizeof text, "[%d]", i);
    return std::string(text);
  };
  std::string name = e.table->name;
  if (e.table->scalar) return name;
  int i = e.index;
  if (e.table->squareTables > 1) name += subscript(i / 64);
  if (e.table->squareTables > 0) {
    i %= 64;
    return name + subscript(i / 8) + subscript(i % 8);
  }
  return name + subscript(i);
}

int weightValue(int id) {
  const WeightEntry e = weightEntry(id);
  return e.table ? e.table->get(e.index) : 0;
}

void setWeightValue(int id, int value) {
  const WeightEntry e = weightEntry(id);
  if (e.table) e.table->set(e.index, value);
}

namespace {

// Where the whole numbers of an initialiser stand: from `from` to the ';' that ends the
// declaration, comments skipped (they may hold numbers of their own, like "row 0").
struct NumberSpan {
  size_t start, length;
};
std::vector<NumberSpan> initialiserNumbers(const std::string& s, size_t from) {
  std::vector<NumberSpan> numbers;
  auto isWordChar = [](char c) { return std::isalnum((unsigned char)c) || c == '_'; };
  for (size_t i = from; i < s.size() && s[i] != ';';) {
    if (s.compare(i, 2, "//") == 0) {
      i = s.find('\n', i);
    } else if (s.compare(i, 2, "/*") == 0) {
      i = s.find("*/", i);
      if (i != std::string::npos) i += 2;
    } else if (std::isdigit((unsigned char)s[i]) && !isWordChar(s[i - 1])) {
      const size_t start = s[i - 1] == '-' ? i - 1 : i;
      while (i < s.size() && isWordChar(s[i])) i++;
      numbers.push_back({start, i - start});
    } else {
      i++;
    }
  }
  return numbers;
}

}  // namespace

bool writeTableInto(std::string& source, const WeightTable& table, std::string& error) {
  const std::string name = table.name;
  const std::regex declaration("(^|\\n)EVAL_(WEIGHT|DATA) \\w+ " + name + "(\\[\\d+\\])* = ");
  std::smatch m;
  if (!std::regex_search(source, m, declaration)) {
    error = name + " is not declared here";
    return false;
  }
  const std::vector<NumberSpan> numbers =
      initialiserNumbers(source, size_t(m.position(0) + m.length(0)));
  if (int(numbers.size()) != table.count) {
    error = name + " is declared with " + std::to_string(numbers.size()) + " numbers, not " +
            std::to_string(table.count);
    return false;
  }
  // Back to front, so that the spans still ahead keep their places.
  for (int i = table.count - 1; i >= 0; i--)
    source.replace(numbers[i].start, numbers[i].length, std::to_string(table.get(i)));
  return true;
}

MELVOK_EVAL_BEGIN

uint16_t tracedWeightId(const void* entry) {
  static const IdsByAddress ids;
  return ids(entry);
}

MELVOK_EVAL_END

std::string tableSource(const WeightTable& t) {
  auto list = [](const int16_t* v, int n) {
    std::string s = "{";
    for (int i = 0; i < n; i++) s += (i ? ", " : "") + std::to_string(v[i]);
    return s + "}";
  };
  const std::string name = t.name;
  if (t.scalar)
    return "EVAL_WEIGHT ScalarWeight " + name + " = " + std::to_string(t.scalar->value) + ";\n";
  if (t.squareTables == 0)
    return "EVAL_WEIGHT int16_t " + name + "[" + std::to_string(t.count) +
           "] = " + list(t.entries, t.count) + ";\n";
  std::string s;
  if (t.inSourceFile) {
    s = "EVAL_DATA SquareTable " + name + "[" + std::to_string(t.squareTables) + "] = {\n";
    for (int b = 0; b < t.squareTables; b++) {
      s += "    {\n";
      for (int r = 0; r < 8; r++) s += "        " + list(t.entries + 64 * b + 8 * r, 8) + ",\n";
      s += "    },\n";
    }
    return s + "};\n";
  }
  s = "EVAL_WEIGHT SquareTable " + name + " = {\n";
  for (int r = 0; r < 8; r++) s += "    " + list(t.entries + 8 * r, 8) + ",\n";
  return s + "};\n";
}
